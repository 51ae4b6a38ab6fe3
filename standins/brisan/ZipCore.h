#pragma once
// ZIP and gzip reading and ZIP writing over stdio and zlib, without
// windows.h: the archive library's stand-in and the stand-in packer program
// share it, and the native build tests it under the sanitizers. Names are the
// bytes the archive holds; the Win32 side converts them.
#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

struct ZipEntry {
    std::string rawName;  // as stored ("/" separators)
    bool utf8 = false;    // flag bit 11, or a Unicode path extra field supplied the name
    uint16_t flags = 0;
    uint16_t method = 0;  // 0 stored, 8 deflated
    uint16_t dosTime = 0, dosDate = 0;
    uint16_t madeBy = 0;
    uint32_t crc = 0;
    uint32_t externalAttr = 0;
    uint64_t compSize = 0, size = 0;
    uint64_t localOffset = 0;
    bool IsDir() const;
    bool IsLink() const;           // a Unix symbolic link: never followed, never written as one
    uint32_t DosAttributes() const; // low byte of the external attributes (+0x10 for folders)
};

FILE *ArcFileOpen(const char *path, const char *mode);
int ArcSeek(FILE *f, uint64_t pos);
uint64_t ArcTell(FILE *f);
uint64_t ArcFileSize(FILE *f);

// 0, or kArcErrBadArchive (no central directory, or one that lies outside
// the file). An archive with no members is valid.
int ZipReadDirectory(FILE *f, std::vector<ZipEntry> *entries);

// Progress and stop test of a copy loop.
struct ArcProgress {
    void (*add)(void *context, uint64_t bytes) = nullptr;
    void *context = nullptr;
    volatile uint32_t *cancel = nullptr;
    bool Stopped() const { return cancel && *cancel; }
};

// Writes the member's data to `out`: 0, kArcErrEncrypted, kArcErrMethod,
// kArcErrCrc, kArcErrBadArchive, kArcErrWrite or kArcErrStopped.
int ZipExtract(FILE *in, const ZipEntry &entry, FILE *out, const ArcProgress &progress);

// gzip: one member named after the header's name or the archive.
struct GzipInfo {
    std::string name; // from the header, may be empty
    uint32_t mtime = 0;
    uint32_t isize = 0; // size modulo 2^32 from the trailer
};
int GzipReadInfo(FILE *f, GzipInfo *info);
int GzipExtract(FILE *in, FILE *out, const ArcProgress &progress);

// Writes a ZIP archive to a seekable file. Sizes of 4 GiB and more and
// offsets beyond 4 GiB get ZIP64 records.
class ZipWriter {
  public:
    explicit ZipWriter(FILE *out) : out_(out) {}
    // level 0 stores; 1-9 deflate. 0 or an error code.
    int AddFile(FILE *source, const std::string &name, bool utf8, uint16_t dosDate, uint16_t dosTime,
                uint32_t dosAttributes, int level, const ArcProgress &progress);
    int AddFolder(const std::string &name, bool utf8, uint16_t dosDate, uint16_t dosTime);
    // Copies a member of another archive without recompressing it.
    int CopyMember(FILE *in, const ZipEntry &entry);
    int Finish();

  private:
    int WriteLocal(ZipEntry &e, bool zip64);
    FILE *out_;
    std::vector<ZipEntry> written_;
};

// gzip of one file.
int GzipWrite(FILE *source, FILE *out, const std::string &name, uint32_t mtime, int level,
              const ArcProgress &progress);
