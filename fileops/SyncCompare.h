#pragma once
// Folder synchronisation: the comparison of two trees that lists what has to
// be copied in which direction, and the copy run over the chosen lines. No
// windows.h: the file calls come through SyncIo, so the rules live here and
// build natively; the program plugs in the Win32 calls and the copy job's
// own file copy, the native tests and the benchmark plug in POSIX ones.
//
// Lines never carry a path parsed back from their text: each line keeps its
// kind, mark, relative path and 64-bit size, so summary, note and error
// lines are never mistaken for files and sizes of 2 GB and more stay whole.
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// Options (the settings word): the bits of the options dialog.
enum : uint16_t {
    kSyncSubFolders = 0x1,
    kSyncOnlyExisting = 0x2,
    kSyncWithFilter = 0x4,
    kSyncBothWays = 0x8,
    kSyncBinary = 0x10,
};

// Attribute bits of a scanned entry (the Win32 values).
enum : uint32_t { kSyncAttrFolder = 0x10, kSyncAttrLink = 0x400 };

// A walk never goes deeper than this; a deeper folder is reported.
inline constexpr int kSyncMaxDepth = 100;

struct SyncEntry {
    std::string name;
    std::string key;     // the name folded for matching (upper case)
    uint16_t dosDate = 0; // last write, local time
    uint16_t dosTime = 0;
    uint64_t size = 0;
    uint32_t attributes = 0;
    bool IsFolder() const { return (attributes & kSyncAttrFolder) != 0; }
    // A junction or a symbolic link to a folder: one entry, never entered.
    bool IsFolderLink() const { return IsFolder() && (attributes & kSyncAttrLink) != 0; }
};

enum SyncLineKind : uint8_t {
    kSyncLineChanged,       // a file newer on the other side
    kSyncLineMissingFile,   // a file only on the other side
    kSyncLineMissingFolder, // a folder only on the other side
    kSyncLineError,         // a file or folder that could not be read: never copied
    kSyncLineNote,          // a folder link left alone: never copied
    kSyncLineText,          // the summary and empty lines
};

struct SyncLine {
    SyncLineKind kind = kSyncLineText;
    char mark = 0;          // '<' copy into the left panel, '>' into the right one
    std::string text;       // as the list shows it
    std::string relative;   // file lines: the path below the roots, starting with a separator
    std::string folder;     // missing-folder lines: the full path to make
    uint64_t size = 0;      // file lines: bytes to copy
    bool IsFile() const { return kind == kSyncLineChanged || kind == kSyncLineMissingFile; }
    bool Copies() const { return IsFile() || kind == kSyncLineMissingFolder; }
};

typedef void *SyncHandle;

struct SyncIo {
    char separator = '\\';
    // 0 and every entry of the folder except "." and "..", with `key`
    // filled; or an error number.
    virtual uint32_t Scan(const std::string &folder, std::vector<SyncEntry> *entries) = 0;
    virtual uint32_t OpenRead(const std::string &path, SyncHandle *h) = 0;
    // 0 and the bytes read (fewer only at the end), or an error number.
    virtual uint32_t Read(SyncHandle h, void *buffer, size_t n, size_t *got) = 0;
    virtual void Close(SyncHandle h) = 0;
    // The filter of option kSyncWithFilter; applies to files only.
    virtual bool Accept(const std::string &folder, const SyncEntry &entry) { return true; }
    // The window was cancelled or the run stopped: checked between entries.
    virtual bool Stopped() { return false; }
    // Each line as it is found (the window adds it to its list).
    virtual void Emit(const SyncLine &line) = 0;
    virtual std::string ErrorText(uint32_t error) { return "error " + std::to_string(error); }

    // The copy run.
    // Stamp and size of a file now; 0, or an error number (2 absent).
    virtual uint32_t Stat(const std::string &path, SyncEntry *entry) = 0;
    // Makes a folder and its parents; an existing folder is success.
    virtual uint32_t MakeDirs(const std::string &path) = 0;
    // Copies into a temporary name beside the target and puts it in place
    // of the target only when complete, keeping the source's last-write
    // time. `mustBeNew`: the target was absent when the run looked.
    virtual uint32_t CopyFile(const std::string &source, const std::string &target, bool mustBeNew) = 0;
    virtual ~SyncIo() {}
};

// Results of SyncFilesDiffer.
enum : int { kSyncSame = 0, kSyncDiffer = 1, kSyncUnreadable = 2 };

struct SyncCompareJob {
    std::string source, target; // folders: the active panel's and the other one
    bool sourceIsLeft = true;
    uint16_t options = kSyncSubFolders;
    uint64_t fileLines = 0;   // file lines listed
    uint64_t folderLines = 0; // folders listed as missing (whole new trees)
    uint64_t errors = 0;      // error lines
    char SourceMark() const { return sourceIsLeft ? '<' : '>'; }
    char TargetMark() const { return sourceIsLeft ? '>' : '<'; }
    const std::string &LeftRoot() const { return sourceIsLeft ? source : target; }
    const std::string &RightRoot() const { return sourceIsLeft ? target : source; }
};

// The words the lines are made of, in the user's language. `files` and
// `folders` take one "%s" (a number with thousands separators).
struct SyncTexts {
    std::string files = "%s files";
    std::string folders = "%s directories";
    std::string link = "A link to another folder: left as it is, nothing taken from it.";
    std::string sameTime = "Same time, different size: left as it is.";
    std::string kinds = "A file on one side, a folder on the other: left as it is.";
    std::string tooDeep = "Folders nested too deeply: not compared.";
    std::string newerKept = "The target is now as new or newer: left as it is.";
    char thousands = ',';
};

// Fills the job's counters and sends every line to io.Emit, the summary
// (an empty line, files, folders) last.
void SyncCompare(SyncIo &io, SyncCompareJob &job, const SyncTexts &texts);

// kSyncSame, kSyncDiffer, or kSyncUnreadable (an error number in *error,
// the file that could not be read in *failed).
int SyncFilesDiffer(SyncIo &io, const std::string &a, const std::string &b, uint64_t sizeA, uint64_t sizeB,
                    uint32_t *error, std::string *failed);

// The folder joined with a name, without doubling a separator at a root.
std::string SyncJoin(const SyncIo &io, const std::string &folder, const std::string &name);

// ---- the copy run -----------------------------------------------------------

enum SyncLineResult : uint8_t {
    kSyncDone,
    kSyncNewerKept,  // the receiving side's file became newer since the comparison: left alone
    kSyncFailed,
    kSyncNotCopied,  // not a line that copies
};

// Source and target of a file line: the side named by the mark receives.
void SyncLinePaths(const SyncIo &io, const SyncCompareJob &job, const SyncLine &line, std::string *from,
                   std::string *to);

// Carries out one selected line. A file whose target is now newer than its
// source is never replaced by the older one (kSyncNewerKept, *error 0); a
// target is never deleted before the copy: the copy replaces it when
// complete. On failure *error is the error number.
SyncLineResult SyncRunLine(SyncIo &io, const SyncCompareJob &job, const SyncLine &line, uint32_t *error);

// Sum of the sizes of the selected lines, in 64 bits.
uint64_t SyncSelectedBytes(const std::vector<SyncLine> &lines, const std::vector<bool> &selected);

// "%lu:%02lu:%02lu  (%.2f KB/s)": remaining time and speed from the bytes
// done of the total after `elapsedMs`; empty while nothing can be said.
std::string SyncRemainingText(uint64_t total, uint64_t done, uint64_t elapsedMs);
