#include "ZipCore.h"

#include <string.h>
#include <zlib.h>

#include "ArcLib.h"

namespace {

const uint32_t kSigLocal = 0x04034b50, kSigCentral = 0x02014b50, kSigEnd = 0x06054b50;
const uint32_t kSigEnd64 = 0x06064b50, kSigLocator64 = 0x07064b50;
const size_t kChunk = 256 * 1024;

uint16_t Get16(const uint8_t *p) { return (uint16_t)(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t *p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24; }
uint64_t Get64(const uint8_t *p) { return Get32(p) | (uint64_t)Get32(p + 4) << 32; }

void Put16(std::string &s, uint32_t v) { s += (char)(v & 0xFF); s += (char)(v >> 8 & 0xFF); }
void Put32(std::string &s, uint32_t v) { Put16(s, v & 0xFFFF); Put16(s, v >> 16); }
void Put64(std::string &s, uint64_t v) { Put32(s, (uint32_t)v); Put32(s, (uint32_t)(v >> 32)); }

bool ReadAt(FILE *f, uint64_t pos, void *buf, size_t n) {
    return ArcSeek(f, pos) == 0 && fread(buf, 1, n, f) == n;
}

bool WriteAll(FILE *f, const void *p, size_t n) { return n == 0 || fwrite(p, 1, n, f) == n; }

} // namespace

FILE *ArcFileOpen(const char *path, const char *mode) { return fopen(path, mode); }

int ArcSeek(FILE *f, uint64_t pos) {
#if defined(_WIN32)
    return _fseeki64(f, (long long)pos, SEEK_SET);
#else
    return fseeko(f, (off_t)pos, SEEK_SET);
#endif
}

uint64_t ArcTell(FILE *f) {
#if defined(_WIN32)
    return (uint64_t)_ftelli64(f);
#else
    return (uint64_t)ftello(f);
#endif
}

uint64_t ArcFileSize(FILE *f) {
#if defined(_WIN32)
    _fseeki64(f, 0, SEEK_END);
#else
    fseeko(f, 0, SEEK_END);
#endif
    return ArcTell(f);
}

bool ZipEntry::IsDir() const {
    return (!rawName.empty() && rawName.back() == '/') || (externalAttr & 0x10) ||
           ((madeBy >> 8) == 3 && ((externalAttr >> 16) & 0170000) == 0040000);
}

bool ZipEntry::IsLink() const {
    return (madeBy >> 8) == 3 && ((externalAttr >> 16) & 0170000) == 0120000;
}

uint32_t ZipEntry::DosAttributes() const {
    uint32_t host = madeBy >> 8, a;
    if (host == 3) {
        uint32_t mode = externalAttr >> 16;
        a = (externalAttr & 0x27) | (mode && !(mode & 0200) ? 0x01 : 0);
    } else {
        a = externalAttr & 0x27;
    }
    return a | (IsDir() ? 0x10 : 0x20);
}

int ZipReadDirectory(FILE *f, std::vector<ZipEntry> *entries) {
    entries->clear();
    uint64_t fileSize = ArcFileSize(f);
    if (fileSize < 22)
        return kArcErrBadArchive;
    // The end record sits in the last 22 + 65535 bytes (its comment).
    uint64_t tail = fileSize < 22 + 65535 ? fileSize : 22 + 65535;
    std::vector<uint8_t> buf((size_t)tail);
    if (!ReadAt(f, fileSize - tail, buf.data(), buf.size()))
        return kArcErrBadArchive;
    long endAt = -1;
    for (long i = (long)tail - 22; i >= 0; --i)
        if (Get32(&buf[(size_t)i]) == kSigEnd && (uint64_t)i + 22 + Get16(&buf[(size_t)i + 20]) <= tail) {
            endAt = i;
            break;
        }
    if (endAt < 0)
        return kArcErrBadArchive;
    const uint8_t *end = &buf[(size_t)endAt];
    uint64_t count = Get16(end + 10), cdSize = Get32(end + 12), cdOffset = Get32(end + 16);
    uint64_t endPos = fileSize - tail + (uint64_t)endAt;
    if (endPos >= 20) {
        uint8_t loc[20];
        if (ReadAt(f, endPos - 20, loc, 20) && Get32(loc) == kSigLocator64) {
            uint8_t e64[56];
            uint64_t at = Get64(loc + 8);
            if (!ReadAt(f, at, e64, 56) || Get32(e64) != kSigEnd64)
                return kArcErrBadArchive;
            count = Get64(e64 + 32);
            cdSize = Get64(e64 + 40);
            cdOffset = Get64(e64 + 48);
        }
    }
    if (cdOffset > fileSize || cdSize > fileSize - cdOffset || count > cdSize / 46 + 1)
        return kArcErrBadArchive;
    std::vector<uint8_t> cd((size_t)cdSize);
    if (cdSize && !ReadAt(f, cdOffset, cd.data(), cd.size()))
        return kArcErrBadArchive;
    entries->reserve((size_t)count);
    size_t p = 0;
    for (uint64_t i = 0; i < count; ++i) {
        if (p + 46 > cd.size() || Get32(&cd[p]) != kSigCentral)
            return kArcErrBadArchive;
        const uint8_t *h = &cd[p];
        ZipEntry e;
        e.madeBy = Get16(h + 4);
        e.flags = Get16(h + 8);
        e.method = Get16(h + 10);
        e.dosTime = Get16(h + 12);
        e.dosDate = Get16(h + 14);
        e.crc = Get32(h + 16);
        e.compSize = Get32(h + 20);
        e.size = Get32(h + 24);
        size_t nameLen = Get16(h + 28), extraLen = Get16(h + 30), commentLen = Get16(h + 32);
        e.externalAttr = Get32(h + 38);
        e.localOffset = Get32(h + 42);
        if (p + 46 + nameLen + extraLen + commentLen > cd.size())
            return kArcErrBadArchive;
        e.rawName.assign((const char *)h + 46, nameLen);
        e.utf8 = (e.flags & 0x800) != 0;
        const uint8_t *x = h + 46 + nameLen, *xEnd = x + extraLen;
        while (x + 4 <= xEnd) {
            uint16_t id = Get16(x), len = Get16(x + 2);
            const uint8_t *d = x + 4;
            if (d + len > xEnd)
                break;
            if (id == 0x0001) {
                const uint8_t *q = d, *qEnd = d + len;
                if (e.size == 0xFFFFFFFFu && q + 8 <= qEnd) e.size = Get64(q), q += 8;
                if (e.compSize == 0xFFFFFFFFu && q + 8 <= qEnd) e.compSize = Get64(q), q += 8;
                if (e.localOffset == 0xFFFFFFFFu && q + 8 <= qEnd) e.localOffset = Get64(q), q += 8;
            } else if (id == 0x7075 && len > 5 && d[0] == 1 && Get32(d + 1) == (uint32_t)crc32(0, h + 46, (uInt)nameLen)) {
                e.rawName.assign((const char *)d + 5, len - 5);
                e.utf8 = true;
            }
            x = d + len;
        }
        if (e.localOffset >= fileSize)
            return kArcErrBadArchive;
        p += 46 + nameLen + extraLen + commentLen;
        entries->push_back(std::move(e));
    }
    return 0;
}

// Position of the member's data, after its local header.
static int DataOffset(FILE *in, const ZipEntry &e, uint64_t *pos) {
    uint8_t lh[30];
    if (!ReadAt(in, e.localOffset, lh, 30) || Get32(lh) != kSigLocal)
        return kArcErrBadArchive;
    *pos = e.localOffset + 30 + Get16(lh + 26) + Get16(lh + 28);
    return 0;
}

int ZipExtract(FILE *in, const ZipEntry &e, FILE *out, const ArcProgress &progress) {
    if (e.flags & 0x1)
        return kArcErrEncrypted;
    if (e.method != 0 && e.method != 8)
        return kArcErrMethod;
    uint64_t pos;
    int r = DataOffset(in, e, &pos);
    if (r)
        return r;
    if (ArcSeek(in, pos) != 0)
        return kArcErrBadArchive;
    std::vector<uint8_t> inBuf(kChunk), outBuf(kChunk);
    uint32_t crc = (uint32_t)crc32(0, nullptr, 0);
    uint64_t left = e.compSize, written = 0;
    if (e.method == 0) {
        while (left) {
            if (progress.Stopped())
                return kArcErrStopped;
            size_t n = left < kChunk ? (size_t)left : kChunk;
            if (fread(inBuf.data(), 1, n, in) != n)
                return kArcErrBadArchive;
            crc = (uint32_t)crc32(crc, inBuf.data(), (uInt)n);
            if (!WriteAll(out, inBuf.data(), n))
                return kArcErrWrite;
            left -= n;
            written += n;
            if (progress.add)
                progress.add(progress.context, n);
        }
    } else {
        z_stream z = {};
        if (inflateInit2(&z, -15) != Z_OK)
            return kArcErrMethod;
        int zr = Z_OK;
        while (zr != Z_STREAM_END) {
            if (progress.Stopped()) {
                inflateEnd(&z);
                return kArcErrStopped;
            }
            if (z.avail_in == 0) {
                if (left == 0) {
                    inflateEnd(&z);
                    return kArcErrBadArchive;
                }
                size_t n = left < kChunk ? (size_t)left : kChunk;
                if (fread(inBuf.data(), 1, n, in) != n) {
                    inflateEnd(&z);
                    return kArcErrBadArchive;
                }
                left -= n;
                z.next_in = inBuf.data();
                z.avail_in = (uInt)n;
            }
            z.next_out = outBuf.data();
            z.avail_out = (uInt)outBuf.size();
            zr = inflate(&z, Z_NO_FLUSH);
            if (zr != Z_OK && zr != Z_STREAM_END) {
                inflateEnd(&z);
                return kArcErrBadArchive;
            }
            size_t got = outBuf.size() - z.avail_out;
            crc = (uint32_t)crc32(crc, outBuf.data(), (uInt)got);
            if (!WriteAll(out, outBuf.data(), got)) {
                inflateEnd(&z);
                return kArcErrWrite;
            }
            written += got;
            if (progress.add && got)
                progress.add(progress.context, got);
        }
        inflateEnd(&z);
    }
    if (written != e.size || crc != e.crc)
        return kArcErrCrc;
    return fflush(out) == 0 ? 0 : kArcErrWrite;
}

int GzipReadInfo(FILE *f, GzipInfo *info) {
    uint64_t size = ArcFileSize(f);
    uint8_t h[10];
    if (size < 18 || !ReadAt(f, 0, h, 10) || h[0] != 0x1F || h[1] != 0x8B || h[2] != 8)
        return kArcErrBadArchive;
    info->mtime = Get32(h + 4);
    uint8_t flg = h[3];
    if (flg & 0x04) {
        uint8_t xl[2];
        if (fread(xl, 1, 2, f) != 2 || fseek(f, Get16(xl), SEEK_CUR) != 0)
            return kArcErrBadArchive;
    }
    info->name.clear();
    if (flg & 0x08) {
        int c;
        while ((c = fgetc(f)) != EOF && c != 0 && info->name.size() < 1024)
            info->name += (char)c;
        if (c != 0)
            return kArcErrBadArchive;
    }
    uint8_t t[4];
    if (!ReadAt(f, size - 4, t, 4))
        return kArcErrBadArchive;
    info->isize = Get32(t);
    return 0;
}

int GzipExtract(FILE *in, FILE *out, const ArcProgress &progress) {
    if (ArcSeek(in, 0) != 0)
        return kArcErrBadArchive;
    z_stream z = {};
    if (inflateInit2(&z, 15 + 16) != Z_OK)
        return kArcErrMethod;
    std::vector<uint8_t> inBuf(kChunk), outBuf(kChunk);
    int zr = Z_OK;
    bool ended = false;
    for (;;) {
        if (progress.Stopped()) {
            inflateEnd(&z);
            return kArcErrStopped;
        }
        if (z.avail_in == 0) {
            size_t n = fread(inBuf.data(), 1, inBuf.size(), in);
            if (n == 0)
                break;
            z.next_in = inBuf.data();
            z.avail_in = (uInt)n;
        }
        z.next_out = outBuf.data();
        z.avail_out = (uInt)outBuf.size();
        zr = inflate(&z, Z_NO_FLUSH);
        if (zr != Z_OK && zr != Z_STREAM_END) {
            inflateEnd(&z);
            return zr == Z_DATA_ERROR ? kArcErrCrc : kArcErrBadArchive;
        }
        ended = zr == Z_STREAM_END;
        size_t got = outBuf.size() - z.avail_out;
        if (!WriteAll(out, outBuf.data(), got)) {
            inflateEnd(&z);
            return kArcErrWrite;
        }
        if (progress.add && got)
            progress.add(progress.context, got);
        if (ended) {
            // Concatenated members form one file; anything else ends it.
            if (z.avail_in == 0) {
                int c = fgetc(in);
                if (c == EOF)
                    break;
                ungetc(c, in);
            } else if (z.next_in[0] != 0x1F) {
                break;
            }
            inflateReset(&z);
        }
    }
    inflateEnd(&z);
    if (!ended)
        return kArcErrBadArchive; // cut short
    return fflush(out) == 0 ? 0 : kArcErrWrite;
}

// ---- writing ----

int ZipWriter::WriteLocal(ZipEntry &e, bool zip64) {
    e.localOffset = ArcTell(out_);
    std::string h;
    Put32(h, kSigLocal);
    Put16(h, zip64 ? 45 : 20);
    Put16(h, e.flags);
    Put16(h, e.method);
    Put16(h, e.dosTime);
    Put16(h, e.dosDate);
    Put32(h, e.crc);
    Put32(h, zip64 ? 0xFFFFFFFFu : (uint32_t)e.compSize);
    Put32(h, zip64 ? 0xFFFFFFFFu : (uint32_t)e.size);
    Put16(h, (uint32_t)e.rawName.size());
    Put16(h, zip64 ? 20 : 0);
    h += e.rawName;
    if (zip64) {
        Put16(h, 1);
        Put16(h, 16);
        Put64(h, e.size);
        Put64(h, e.compSize);
    }
    return WriteAll(out_, h.data(), h.size()) ? 0 : kArcErrWrite;
}

int ZipWriter::AddFile(FILE *source, const std::string &name, bool utf8, uint16_t dosDate, uint16_t dosTime,
                       uint32_t dosAttributes, int level, const ArcProgress &progress) {
    ZipEntry e;
    e.rawName = name;
    e.utf8 = utf8;
    e.flags = utf8 ? 0x800 : 0;
    e.method = level > 0 ? 8 : 0;
    e.dosDate = dosDate;
    e.dosTime = dosTime;
    // Made on "Unix" with a mode beside the DOS bits: unzip then takes a
    // UTF-8 name as UTF-8 instead of as an OEM code page.
    e.madeBy = 3 << 8 | 20;
    e.externalAttr = (dosAttributes & 0x27) | (uint32_t)((dosAttributes & 1) ? 0100444 : 0100644) << 16;
    uint64_t size = ArcFileSize(source);
    if (ArcSeek(source, 0) != 0)
        return kArcErrBadArchive;
    // Deflate may grow incompressible data a little: room for that too.
    bool zip64 = size >= 0xFFFF0000ull;
    e.size = size;
    int r = WriteLocal(e, zip64);
    if (r)
        return r;
    uint64_t dataStart = ArcTell(out_);
    std::vector<uint8_t> inBuf(kChunk), outBuf(kChunk);
    uint32_t crc = (uint32_t)crc32(0, nullptr, 0);
    uint64_t read = 0, compressed = 0;
    if (e.method == 0) {
        size_t n;
        while ((n = fread(inBuf.data(), 1, inBuf.size(), source)) > 0) {
            if (progress.Stopped())
                return kArcErrStopped;
            crc = (uint32_t)crc32(crc, inBuf.data(), (uInt)n);
            if (!WriteAll(out_, inBuf.data(), n))
                return kArcErrWrite;
            read += n;
            if (progress.add)
                progress.add(progress.context, n);
        }
        compressed = read;
    } else {
        z_stream z = {};
        if (deflateInit2(&z, level > 9 ? 9 : level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            return kArcErrMethod;
        int flush = Z_NO_FLUSH;
        do {
            if (progress.Stopped()) {
                deflateEnd(&z);
                return kArcErrStopped;
            }
            size_t n = fread(inBuf.data(), 1, inBuf.size(), source);
            if (n < inBuf.size()) {
                if (ferror(source)) {
                    deflateEnd(&z);
                    return kArcErrRead;
                }
                flush = Z_FINISH;
            }
            crc = (uint32_t)crc32(crc, inBuf.data(), (uInt)n);
            read += n;
            z.next_in = inBuf.data();
            z.avail_in = (uInt)n;
            do {
                z.next_out = outBuf.data();
                z.avail_out = (uInt)outBuf.size();
                deflate(&z, flush);
                size_t got = outBuf.size() - z.avail_out;
                if (!WriteAll(out_, outBuf.data(), got)) {
                    deflateEnd(&z);
                    return kArcErrWrite;
                }
                compressed += got;
            } while (z.avail_out == 0);
            if (progress.add && n)
                progress.add(progress.context, n);
        } while (flush != Z_FINISH);
        deflateEnd(&z);
    }
    if (read != size)
        return kArcErrRead; // the file changed while it was packed
    if (!zip64 && compressed >= 0xFFFFFFFFull)
        return kArcErrWrite;
    e.crc = crc;
    e.compSize = compressed;
    uint64_t endPos = ArcTell(out_);
    (void)dataStart;
    // Back to the local header for the CRC and the sizes.
    std::string patch;
    Put32(patch, e.crc);
    if (ArcSeek(out_, e.localOffset + 14) != 0 || !WriteAll(out_, patch.data(), 4))
        return kArcErrWrite;
    patch.clear();
    if (zip64) {
        Put64(patch, e.size);
        Put64(patch, e.compSize);
        if (ArcSeek(out_, e.localOffset + 30 + e.rawName.size() + 4) != 0 || !WriteAll(out_, patch.data(), 16))
            return kArcErrWrite;
    } else {
        Put32(patch, (uint32_t)e.compSize);
        Put32(patch, (uint32_t)e.size);
        if (!WriteAll(out_, patch.data(), 8))
            return kArcErrWrite;
    }
    if (ArcSeek(out_, endPos) != 0)
        return kArcErrWrite;
    written_.push_back(e);
    return 0;
}

int ZipWriter::AddFolder(const std::string &name, bool utf8, uint16_t dosDate, uint16_t dosTime) {
    ZipEntry e;
    e.rawName = name;
    if (e.rawName.empty() || e.rawName.back() != '/')
        e.rawName += '/';
    e.utf8 = utf8;
    e.flags = utf8 ? 0x800 : 0;
    e.dosDate = dosDate;
    e.dosTime = dosTime;
    e.madeBy = 3 << 8 | 20;
    e.externalAttr = 0x10 | (uint32_t)040755 << 16;
    e.crc = 0;
    int r = WriteLocal(e, false);
    if (r)
        return r;
    written_.push_back(e);
    return 0;
}

int ZipWriter::CopyMember(FILE *in, const ZipEntry &src) {
    uint64_t pos;
    int r = DataOffset(in, src, &pos);
    if (r)
        return r;
    ZipEntry e = src;
    e.flags &= 0x0801 | 0x0006; // no data descriptor: the sizes go into the header
    bool zip64 = e.size >= 0xFFFFFFFFull || e.compSize >= 0xFFFFFFFFull;
    r = WriteLocal(e, zip64);
    if (r)
        return r;
    if (ArcSeek(in, pos) != 0)
        return kArcErrBadArchive;
    std::vector<uint8_t> buf(kChunk);
    uint64_t left = e.compSize;
    while (left) {
        size_t n = left < kChunk ? (size_t)left : kChunk;
        if (fread(buf.data(), 1, n, in) != n)
            return kArcErrBadArchive;
        if (!WriteAll(out_, buf.data(), n))
            return kArcErrWrite;
        left -= n;
    }
    written_.push_back(e);
    return 0;
}

int ZipWriter::Finish() {
    uint64_t cdStart = ArcTell(out_);
    std::string cd;
    for (const ZipEntry &e : written_) {
        std::string extra;
        bool bigSize = e.size >= 0xFFFFFFFFull || e.compSize >= 0xFFFFFFFFull;
        bool bigOffset = e.localOffset >= 0xFFFFFFFFull;
        if (bigSize || bigOffset) {
            std::string d;
            if (bigSize) {
                Put64(d, e.size);
                Put64(d, e.compSize);
            }
            if (bigOffset)
                Put64(d, e.localOffset);
            Put16(extra, 1);
            Put16(extra, (uint32_t)d.size());
            extra += d;
        }
        Put32(cd, kSigCentral);
        Put16(cd, e.madeBy ? e.madeBy : 3 << 8 | 20);
        Put16(cd, (bigSize || bigOffset) ? 45 : 20);
        Put16(cd, e.flags);
        Put16(cd, e.method);
        Put16(cd, e.dosTime);
        Put16(cd, e.dosDate);
        Put32(cd, e.crc);
        Put32(cd, bigSize ? 0xFFFFFFFFu : (uint32_t)e.compSize);
        Put32(cd, bigSize ? 0xFFFFFFFFu : (uint32_t)e.size);
        Put16(cd, (uint32_t)e.rawName.size());
        Put16(cd, (uint32_t)extra.size());
        Put16(cd, 0);
        Put16(cd, 0);
        Put16(cd, 0);
        Put32(cd, e.externalAttr);
        Put32(cd, bigOffset ? 0xFFFFFFFFu : (uint32_t)e.localOffset);
        cd += e.rawName;
        cd += extra;
    }
    if (!WriteAll(out_, cd.data(), cd.size()))
        return kArcErrWrite;
    uint64_t cdEnd = ArcTell(out_);
    uint64_t count = written_.size();
    std::string end;
    bool need64 = count >= 0xFFFF || cdStart >= 0xFFFFFFFFull || cd.size() >= 0xFFFFFFFFull;
    if (need64) {
        Put32(end, kSigEnd64);
        Put64(end, 44);
        Put16(end, 45);
        Put16(end, 45);
        Put32(end, 0);
        Put32(end, 0);
        Put64(end, count);
        Put64(end, count);
        Put64(end, cd.size());
        Put64(end, cdStart);
        Put32(end, kSigLocator64);
        Put32(end, 0);
        Put64(end, cdEnd);
        Put32(end, 1);
    }
    Put32(end, kSigEnd);
    Put16(end, 0);
    Put16(end, 0);
    Put16(end, need64 ? 0xFFFF : (uint32_t)count);
    Put16(end, need64 ? 0xFFFF : (uint32_t)count);
    Put32(end, need64 ? 0xFFFFFFFFu : (uint32_t)cd.size());
    Put32(end, need64 ? 0xFFFFFFFFu : (uint32_t)cdStart);
    Put16(end, 0);
    if (!WriteAll(out_, end.data(), end.size()) || fflush(out_) != 0)
        return kArcErrWrite;
    return 0;
}

int GzipWrite(FILE *source, FILE *out, const std::string &name, uint32_t mtime, int level,
              const ArcProgress &progress) {
    std::string h;
    h += (char)0x1F;
    h += (char)0x8B;
    h += (char)8;
    h += (char)(name.empty() ? 0 : 0x08);
    Put32(h, mtime);
    h += (char)0;
    h += (char)11; // NTFS file system
    if (!name.empty()) {
        h += name;
        h += (char)0;
    }
    if (!WriteAll(out, h.data(), h.size()))
        return kArcErrWrite;
    z_stream z = {};
    if (deflateInit2(&z, level < 1 ? 1 : level > 9 ? 9 : level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return kArcErrMethod;
    std::vector<uint8_t> inBuf(kChunk), outBuf(kChunk);
    uint32_t crc = (uint32_t)crc32(0, nullptr, 0);
    uint64_t read = 0;
    int flush = Z_NO_FLUSH;
    if (ArcSeek(source, 0) != 0) {
        deflateEnd(&z);
        return kArcErrRead;
    }
    do {
        if (progress.Stopped()) {
            deflateEnd(&z);
            return kArcErrStopped;
        }
        size_t n = fread(inBuf.data(), 1, inBuf.size(), source);
        if (n < inBuf.size()) {
            if (ferror(source)) {
                deflateEnd(&z);
                return kArcErrRead;
            }
            flush = Z_FINISH;
        }
        crc = (uint32_t)crc32(crc, inBuf.data(), (uInt)n);
        read += n;
        z.next_in = inBuf.data();
        z.avail_in = (uInt)n;
        do {
            z.next_out = outBuf.data();
            z.avail_out = (uInt)outBuf.size();
            deflate(&z, flush);
            size_t got = outBuf.size() - z.avail_out;
            if (!WriteAll(out, outBuf.data(), got)) {
                deflateEnd(&z);
                return kArcErrWrite;
            }
        } while (z.avail_out == 0);
        if (progress.add && n)
            progress.add(progress.context, n);
    } while (flush != Z_FINISH);
    deflateEnd(&z);
    std::string t;
    Put32(t, crc);
    Put32(t, (uint32_t)read);
    if (!WriteAll(out, t.data(), t.size()) || fflush(out) != 0)
        return kArcErrWrite;
    return 0;
}
