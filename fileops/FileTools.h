#pragma once
// Batch file tools on whole files: checksum lists, line-end conversion,
// UU/XX/MIME encoding and decoding, split and join. Every output goes to a
// temporary name beside its target and is renamed over it only when it is
// complete; a source is deleted only after the sizes of its copies add up.
#include <stdint.h>

#include <string>
#include <vector>

#include "fileops/SumList.h"
#include "fileops/ToolIo.h"

// "folder" + separator + "name".
std::string ToolJoinPath(const ToolIo& io, const std::string& folder, const std::string& name);
// The file name after the last separator.
std::string ToolBaseName(const std::string& path);

// CRC-32 or MD5 of a file (2 = MD5 digest in out[16], 1 = CRC in *crc).
uint32_t ToolFileCrc32(ToolIo* io, const std::string& path, uint32_t* crc);
uint32_t ToolFileMd5(ToolIo* io, const std::string& path, uint8_t digest[16]);

// A checksum list (kSumSfv or kSumMd5Bin) naming each file by its base name.
uint32_t ToolSumCreate(ToolIo* io, const std::string& list, SumListKind kind,
                       const std::vector<std::string>& files);
// Checks every file a list names (relative to the list's folder), appending
// the report lines; *errors counts wrong, missing and unreadable files.
// kind kSumNone: detected from the first line. A list that cannot be read or
// is no list returns an error.
// The report's words, in the user's language; errors holds "%lu" where
// the count goes (the text is taken as it stands, never as a format).
struct SumReportTexts {
    std::string ok = "OK";
    std::string wrong = "Wrong CRC";
    std::string openFail = "The system cannot open the specified device or file.";
    std::string errors = "%lu errors occured";
};
uint32_t ToolSumVerify(ToolIo* io, const std::string& list, SumListKind kind, std::string* report,
                       uint32_t* errors, const SumReportTexts& texts = SumReportTexts());

// Sum of the sizes of the files a list names that exist (a verification's total).
uint32_t ToolSumListTotal(ToolIo* io, const std::string& list, uint64_t* total);

// Line ends of a text file (mode kCrLfDos/Unix/Mac); target may equal source.
// kToolErrNotText leaves the target untouched.
uint32_t ToolCrLfFile(ToolIo* io, const std::string& source, const std::string& target, int16_t mode,
                      bool sameFile);

// method 1 UU, 2 XX, 3 MIME; the encoded file names the source's base name.
uint32_t ToolEncodeFile(ToolIo* io, const std::string& source, const std::string& target, int method);
// Every section (UU/XX) or part (MIME) into folder + its safe base name.
// *written counts the files written; broken sections are noted and skipped.
uint32_t ToolDecodeFile(ToolIo* io, const std::string& source, const std::string& folder, bool mime,
                        int* written);

struct SplitParams {
    std::string source;
    std::string base;         // piece path without ".001"
    uint64_t pieceSize = 0;
    bool autosize = false;    // each piece as large as the target drive's free space
    bool wholeLines = false;
    uint32_t linesPerPiece = 0;   // with wholeLines: lines per piece, 0 = by size
    bool makeRestore = false;
    bool deleteSource = false;
};
// The piece name: base + ".%03u".
std::string SplitPieceName(const std::string& base, uint32_t number);
// The RESTORE.BAT lines (without line ends) joining the pieces into source
// with the system's copy command. A line stays within maxLine characters
// where it can: longer commands go on as "copy /B source+more source".
std::vector<std::string> SplitRestoreLines(const std::vector<std::string>& pieces, const std::string& source,
                                           size_t maxLine);
// *pieces: pieces written.
uint32_t ToolSplitFile(ToolIo* io, const SplitParams& p, uint32_t* pieces);
uint32_t ToolJoinFiles(ToolIo* io, const std::vector<std::string>& pieces, const std::string& target,
                       bool deleteSources);
