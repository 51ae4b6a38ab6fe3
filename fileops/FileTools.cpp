#include "fileops/FileTools.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <memory>

#include "fileops/Checksum.h"
#include "fileops/LineEnds.h"
#include "fileops/UuCode.h"

namespace {

const size_t kChunk = 1 << 18;

// An output file under a temporary name beside its target, buffered; the
// target is replaced only by Commit, and Abandon (or the destructor) removes
// whatever was written.
class TempOut {
public:
    TempOut(ToolIo* io, const std::string& target) : io_(io), target_(target) {}
    ~TempOut() { Abandon(); }

    uint32_t Open()
    {
        for (int n = 0; n < 1000; n++) {
            char suffix[24];
            snprintf(suffix, sizeof suffix, ".%d~zq", n);
            temp_ = target_ + suffix;
            uint64_t size;
            if (io_->SizeOf(temp_, &size) == 0) continue;
            uint32_t e = io_->CreateNew(temp_, &h_);
            if (e == 0) return 0;
            if (io_->SizeOf(temp_, &size) != 0) return e;  // not a name clash
        }
        return 80;  // ERROR_FILE_EXISTS
    }
    uint32_t Write(const void* data, size_t n)
    {
        written_ += n;
        if (buffer_.size() + n > kChunk && !buffer_.empty()) {
            uint32_t e = Flush();
            if (e) return e;
        }
        if (n >= kChunk) return io_->Write(h_, data, n);
        buffer_.append((const char*)data, n);
        return 0;
    }
    uint32_t Write(const std::string& s) { return Write(s.data(), s.size()); }
    uint64_t Written() const { return written_; }
    // Closes and puts the file in place; expect (when not ~0) must equal the
    // size found on disk afterwards.
    uint32_t Commit(uint64_t expect = ~0ull)
    {
        uint32_t e = Flush();
        ToolHandle h = h_;
        h_ = nullptr;
        uint32_t c = h ? io_->Close(h) : 0;
        if (e || c) return e ? e : c;
        uint64_t size = 0;
        if ((e = io_->SizeOf(temp_, &size)) != 0) return e;
        if (size != written_ || (expect != ~0ull && size != expect)) return kToolErrIncomplete;
        if ((e = io_->Replace(temp_, target_)) != 0) return e;
        temp_.clear();
        return 0;
    }
    void Abandon()
    {
        if (h_) io_->Close(h_);
        h_ = nullptr;
        if (!temp_.empty()) io_->Remove(temp_);
        temp_.clear();
    }

private:
    uint32_t Flush()
    {
        if (buffer_.empty()) return 0;
        uint32_t e = io_->Write(h_, buffer_.data(), buffer_.size());
        buffer_.clear();
        return e;
    }
    ToolIo* io_;
    std::string target_, temp_;
    ToolHandle h_ = nullptr;
    std::string buffer_;
    uint64_t written_ = 0;
};

struct InFile {
    ToolIo* io;
    ToolHandle h = nullptr;
    uint64_t size = 0;
    explicit InFile(ToolIo* i) : io(i) {}
    ~InFile()
    {
        if (h) io->Close(h);
    }
    uint32_t Open(const std::string& path) { return io->OpenRead(path, &h, &size); }
};

// Reads a whole file in chunks, handing each to `take` (false stops with
// the error it set).
template <class F> uint32_t ReadAll(ToolIo* io, const std::string& path, F take, bool progress = true)
{
    InFile in(io);
    uint32_t e = in.Open(path);
    if (e) return e;
    std::unique_ptr<uint8_t[]> buf(new uint8_t[kChunk]);
    for (;;) {
        if (io->Cancelled()) return kToolErrCancelled;
        size_t got = 0;
        if ((e = io->Read(in.h, buf.get(), kChunk, &got)) != 0) return e;
        if (!got) return 0;
        if (progress) io->Progress(got);
        if ((e = take(buf.get(), got)) != 0) return e;
    }
}

bool SameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = (char)(x - 32);
        if (y >= 'a' && y <= 'z') y = (char)(y - 32);
        if (x == '/') x = '\\';
        if (y == '/') y = '\\';
        if (x != y) return false;
    }
    return true;
}

std::string FolderOf(const std::string& path)
{
    size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

} // namespace

std::string ToolJoinPath(const ToolIo& io, const std::string& folder, const std::string& name)
{
    if (folder.empty()) return name;
    char last = folder.back();
    return last == '\\' || last == '/' ? folder + name : folder + io.separator + name;
}

std::string ToolBaseName(const std::string& path)
{
    size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// ---- checksums --------------------------------------------------------------

uint32_t ToolFileCrc32(ToolIo* io, const std::string& path, uint32_t* crc)
{
    uint32_t state = kCrc32Start;
    uint32_t e = ReadAll(io, path, [&](const uint8_t* p, size_t n) {
        state = Crc32Update(state, p, n);
        return 0u;
    });
    *crc = Crc32Final(state);
    return e;
}

uint32_t ToolFileMd5(ToolIo* io, const std::string& path, uint8_t digest[16])
{
    Md5State s;
    Md5Init(&s);
    uint32_t e = ReadAll(io, path, [&](const uint8_t* p, size_t n) {
        Md5Update(&s, p, n);
        return 0u;
    });
    Md5Final(&s, digest);
    return e;
}

uint32_t ToolSumCreate(ToolIo* io, const std::string& list, SumListKind kind, const std::vector<std::string>& files)
{
    TempOut out(io, list);
    uint32_t e = out.Open();
    if (e) return e;
    if (kind == kSumSfv && (e = out.Write(SumSfvHeader())) != 0) return e;
    for (const std::string& f : files) {
        if (kind == kSumSfv) {
            uint32_t crc;
            if ((e = ToolFileCrc32(io, f, &crc)) != 0) return e;
            e = out.Write(SumSfvLine(ToolBaseName(f), crc));
        } else {
            uint8_t d[16];
            if ((e = ToolFileMd5(io, f, d)) != 0) return e;
            e = out.Write(SumMd5Line(ToolBaseName(f), d));
        }
        if (e) return e;
    }
    return out.Commit();
}

namespace {

struct SumEntry {
    std::string name;
    uint32_t crc;
    uint8_t digest[16];
};

// The entries of a list, in order; *kind detected when kSumNone.
uint32_t ReadSumEntries(ToolIo* io, const std::string& list, SumListKind* kind, std::vector<SumEntry>* entries)
{
    std::string text;
    uint32_t e = ReadAll(io, list, [&](const uint8_t* p, size_t n) {
        if (text.size() + n > (64u << 20)) return 8u;  // ERROR_NOT_ENOUGH_MEMORY: no list is that long
        text.append((const char*)p, n);
        return 0u;
    }, false);
    if (e) return e;
    size_t firstEnd = text.find('\n');
    if (*kind == kSumNone)
        *kind = SumDetectKind(text.data(), firstEnd == std::string::npos ? text.size() : firstEnd);
    if (*kind == kSumNone) return 13;  // ERROR_INVALID_DATA
    bool counted = false;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const char* line = text.data() + pos;
        size_t len = end - pos;
        pos = end + 1;
        SumEntry entry;
        entry.crc = 0;
        bool ok;
        if (*kind == kSumSfv) {
            bool comment;
            ok = SumParseSfvLine(line, len, &entry.name, &entry.crc, &comment);
            if (comment) continue;
            if (!ok && (len == 0 || (len == 1 && line[0] == '\r'))) continue;
            if (!ok) break;  // a line without a blank ends the list
        } else {
            ok = SumParseMd5Line(line, len, &entry.name, entry.digest);
            if (!ok && (len == 0 || (len == 1 && line[0] == '\r'))) continue;
            if (!ok && !counted) {
                counted = true;  // a first line that is no entry is a title
                continue;
            }
            if (!ok) break;
        }
        counted = true;
        entries->push_back(entry);
    }
    return 0;
}

} // namespace

uint32_t ToolSumListTotal(ToolIo* io, const std::string& list, uint64_t* total)
{
    *total = 0;
    SumListKind kind = kSumNone;
    std::vector<SumEntry> entries;
    uint32_t e = ReadSumEntries(io, list, &kind, &entries);
    if (e) return e;
    std::string folder = FolderOf(list);
    for (const SumEntry& entry : entries) {
        uint64_t size;
        if (io->SizeOf(ToolJoinPath(*io, folder, entry.name), &size) == 0) *total += size;
    }
    return 0;
}

uint32_t ToolSumVerify(ToolIo* io, const std::string& list, SumListKind kind, std::string* report,
                       uint32_t* errors, const SumReportTexts& texts)
{
    std::vector<SumEntry> entries;
    uint32_t e = ReadSumEntries(io, list, &kind, &entries);
    if (e) return e;
    std::string folder = FolderOf(list);
    for (const SumEntry& entry : entries) {
        if (io->Cancelled()) return kToolErrCancelled;
        const std::string& name = entry.name;
        std::string path = ToolJoinPath(*io, folder, name);
        bool good;
        uint32_t fe;
        if (kind == kSumSfv) {
            uint32_t actual;
            fe = ToolFileCrc32(io, path, &actual);
            good = actual == entry.crc;
        } else {
            uint8_t actual[16];
            fe = ToolFileMd5(io, path, actual);
            good = memcmp(actual, entry.digest, 16) == 0;
        }
        if (fe == kToolErrCancelled) return fe;
        if (fe) {
            *report += texts.openFail + "\r\n" + name + ": ?\r\n";
            ++*errors;
        } else {
            *report += name + ": " + (good ? texts.ok : texts.wrong) + "\r\n";
            if (!good) ++*errors;
        }
    }
    char count[24];
    snprintf(count, sizeof count, "%lu", (unsigned long)*errors);
    std::string tail = texts.errors;
    size_t at = tail.find("%lu");
    if (at != std::string::npos) tail.replace(at, 3, count);
    else tail = std::string(count) + " " + tail;
    *report += "\r\n" + tail + "\r\n";
    return 0;
}

// ---- line ends --------------------------------------------------------------

uint32_t ToolCrLfFile(ToolIo* io, const std::string& source, const std::string& target, int16_t mode,
                      bool sameFile)
{
    InFile in(io);
    uint32_t e = in.Open(source);
    if (e) return e;
    if (!sameFile && SameName(source, target)) sameFile = true;
    TempOut out(io, sameFile ? source : target);
    if ((e = out.Open()) != 0) return e;
    std::unique_ptr<uint8_t[]> buf(new uint8_t[kChunk * 3]);
    CrLfChunk c = {};
    c.mode = mode;
    c.output = buf.get() + kChunk;
    uint64_t done = 0;
    for (;;) {
        if (io->Cancelled()) return kToolErrCancelled;
        size_t got = 0;
        if ((e = io->Read(in.h, buf.get(), kChunk, &got)) != 0) return e;
        if (!got) break;
        c.input = buf.get();
        c.inputSize = got;
        if (CrLfConvertChunk(&c) == kCrLfBinary) {
            io->Note("Not a text file: " + source);
            return kToolErrNotText;
        }
        if ((e = out.Write(c.output, (size_t)c.outputLength)) != 0) return e;
        done += got;
        io->Progress(got);
    }
    if (done != in.size) return kToolErrIncomplete;  // the source changed under us
    io->Close(in.h);
    in.h = nullptr;
    return out.Commit();
}

// ---- encoding ---------------------------------------------------------------

uint32_t ToolEncodeFile(ToolIo* io, const std::string& source, const std::string& target, int method)
{
    if (SameName(source, target)) return kToolErrSameFile;
    TempOut out(io, target);
    uint32_t e = out.Open();
    if (e) return e;
    std::string name = ToolBaseName(source);
    uint64_t total = 0;
    if (method == 3) {
        Base64Encoder b64;
        Base64Start(&b64);
        std::string text;
        if ((e = out.Write(MimeEncodeHeader(name))) != 0) return e;
        e = ReadAll(io, source, [&](const uint8_t* p, size_t n) {
            text.clear();
            Base64Feed(&b64, p, n, &text);
            total += n;
            return out.Write(text);
        });
        if (e) return e;
        text.clear();
        Base64Finish(&b64, &text);
        if ((e = out.Write(text)) != 0) return e;
    } else {
        char alphabet[80];
        UuMakeAlphabet(alphabet, sizeof alphabet, method == 2 ? kUuVariantXx : kUuVariantUu);
        if ((e = out.Write(UuEncodeHeader(name))) != 0) return e;
        uint8_t pending[kUuLineBytes];
        size_t held = 0;
        std::string text;
        e = ReadAll(io, source, [&](const uint8_t* p, size_t n) {
            text.clear();
            char line[80];
            total += n;
            while (n) {
                size_t take = std::min(n, kUuLineBytes - held);
                memcpy(pending + held, p, take);
                held += take;
                p += take;
                n -= take;
                if (held == kUuLineBytes) {
                    text.append(line, UuEncodeLine(alphabet, pending, held, line));
                    held = 0;
                }
            }
            return out.Write(text);
        });
        if (e) return e;
        char line[80];
        if (held && (e = out.Write(line, UuEncodeLine(alphabet, pending, held, line))) != 0) return e;
        if ((e = out.Write(UuEncodeTrailer(alphabet))) != 0) return e;
    }
    uint64_t size;
    if ((e = io->SizeOf(source, &size)) != 0) return e;
    if (size != total) return kToolErrIncomplete;
    return out.Commit();
}

namespace {

// Writes each decoded section beside the others in the chosen folder.
class FolderSink : public UuSink {
public:
    FolderSink(ToolIo* io, const std::string& folder, const std::string& source)
        : io_(io), folder_(folder), source_(source) {}
    bool Begin(const std::string& name) override
    {
        std::string target = ToolJoinPath(*io_, folder_, name);
        uint64_t size;
        if (SameName(target, source_)) {
            io_->Note("Not written over the encoded file itself: " + target);
            return false;
        }
        if (io_->SizeOf(target, &size) == 0 && !io_->AskOverwrite(target)) {
            io_->Note("Kept the existing file: " + target);
            return false;
        }
        out_.reset(new TempOut(io_, target));
        if ((error_ = out_->Open()) != 0) {
            out_.reset();
            return false;
        }
        return true;
    }
    bool Write(const uint8_t* data, size_t n) override
    {
        if (!out_) return true;
        if ((error_ = out_->Write(data, n)) != 0) return false;
        return true;
    }
    void End(bool complete, uint64_t size) override
    {
        if (!out_) return;
        if (complete && !error_) {
            if ((error_ = out_->Commit(size)) == 0) written++;
        } else if (!complete) {
            io_->Note("Broken section, nothing written");
        }
        out_.reset();
    }
    int written = 0;
    uint32_t error_ = 0;

private:
    ToolIo* io_;
    std::string folder_, source_;
    std::unique_ptr<TempOut> out_;
};

} // namespace

uint32_t ToolDecodeFile(ToolIo* io, const std::string& source, const std::string& folder, bool mime, int* written)
{
    FolderSink sink(io, folder, source);
    std::unique_ptr<UuDecoder> uu;
    std::unique_ptr<MimeDecoder> mm;
    if (mime) {
        mm.reset(new MimeDecoder);
        MimeDecoderStart(mm.get(), &sink);
    } else {
        uu.reset(new UuDecoder);
        UuDecoderStart(uu.get(), &sink);
    }
    uint32_t e = ReadAll(io, source, [&](const uint8_t* p, size_t n) {
        if (mime) MimeDecoderFeed(mm.get(), p, n);
        else UuDecoderFeed(uu.get(), p, n);
        return sink.error_;
    });
    if (mime) MimeDecoderFinish(mm.get());
    else UuDecoderFinish(uu.get());
    *written = sink.written;
    if (e) return e;
    if (sink.error_) return sink.error_;
    return 0;
}

// ---- split and join ---------------------------------------------------------

std::string SplitPieceName(const std::string& base, uint32_t number)
{
    char n[16];
    snprintf(n, sizeof n, ".%03u", number);
    return base + n;
}

namespace {

// A name as one argument of a batch line: quoted when it holds a blank or a
// character the command interpreter would act on; "%" doubled, since a batch
// file expands it even inside quotes.
std::string BatchName(const std::string& name, bool quote)
{
    std::string s;
    for (char c : name) {
        s += c;
        if (c == '%') s += '%';
    }
    return quote ? "\"" + s + "\"" : s;
}

} // namespace

std::vector<std::string> SplitRestoreLines(const std::vector<std::string>& pieces, const std::string& source,
                                           size_t maxLine)
{
    bool quote = source.find_first_of(" &^()|<>,;=!'`+") != std::string::npos;
    for (const std::string& p : pieces)
        if (p.find_first_of(" &^()|<>,;=!'`+") != std::string::npos) quote = true;
    std::string target = BatchName(source, quote);
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < pieces.size(); i++) {
        std::string piece = BatchName(pieces[i], quote);
        bool first = line.empty();
        if (first) line = lines.empty() ? "copy /B " + piece : "copy /B " + target + "+" + piece;
        else if (line.size() + 1 + piece.size() + 1 + target.size() > maxLine) {
            // Windows 9x reads at most 127 characters of a command: go on by
            // appending to what the previous line made.
            lines.push_back(line + " " + target);
            line = "copy /B " + target + "+" + piece;
        } else {
            line += "+" + piece;
        }
    }
    if (!line.empty()) lines.push_back(line + " " + target);
    return lines;
}

namespace {

// The window of source bytes not yet written to a piece.
struct SplitWindow {
    std::unique_ptr<uint8_t[]> data{new uint8_t[kChunk]};
    size_t start = 0, end = 0;
    bool eof = false;
    size_t Size() const { return end - start; }
    const uint8_t* Begin() const { return data.get() + start; }
};

// Position after the last line end in p[0..n), 0 when there is none. A CR
// directly before the window's end may be the first half of CR LF and is a
// cut point only at the end of the source.
size_t LastLineEnd(const uint8_t* p, size_t n, bool more)
{
    for (size_t i = n; i > 0; i--) {
        uint8_t b = p[i - 1];
        if (b == '\n') return i;
        if (b == '\r' && (i < n ? p[i] != '\n' : !more)) return i;
    }
    return 0;
}

} // namespace

uint32_t ToolSplitFile(ToolIo* io, const SplitParams& p, uint32_t* piecesOut)
{
    *piecesOut = 0;
    if (!p.pieceSize && !p.autosize && !(p.wholeLines && p.linesPerPiece)) return 87;  // ERROR_INVALID_PARAMETER
    InFile in(io);
    uint32_t e = in.Open(p.source);
    if (e) return e;
    bool wholeLines = p.wholeLines;
    const uint32_t linesPer = wholeLines ? p.linesPerPiece : 0;
    SplitWindow w;
    uint64_t total = 0;
    std::vector<std::string> names;
    std::vector<uint64_t> sizes;
    size_t firstOnDisk = 0;  // pieces before it went out with an earlier disk
    const std::string folder = FolderOf(p.base);
    bool notText = false;
    auto fill = [&]() -> uint32_t {
        memmove(w.data.get(), w.Begin(), w.Size());
        w.end -= w.start;
        w.start = 0;
        if (w.end == kChunk) return 0;
        size_t got = 0;
        uint32_t err = io->Read(in.h, w.data.get() + w.end, kChunk - w.end, &got);
        if (err) return err;
        if (!got) w.eof = true;
        else if (wholeLines && !CrLfIsText(w.data.get() + w.end, got)) {
            if (linesPer) notText = true;
            wholeLines = false;  // binary data: split as bytes
        }
        w.end += got;
        return notText ? kToolErrNotText : 0;
    };
    for (uint32_t number = 1;; number++) {
        // Refill first: a source that is used up ends the pieces.
        if (!w.Size() && !w.eof && (e = fill()) != 0) return e;
        if (!w.Size()) break;
        std::string piece = SplitPieceName(p.base, number);
        // A full target drive asks for the next disk; with Autosize the
        // free space is the piece's size.
        uint64_t pieceSize = p.pieceSize, free = 0;
        for (;;) {
            if ((e = io->FreeSpace(folder, &free)) != 0) return e;
            if (free) break;
            if (!io->AskNewDisk(piece)) return kToolErrCancelled;
            firstOnDisk = names.size();
        }
        if (p.autosize) pieceSize = std::min<uint64_t>(free, 0xFFFFFFFF);
        uint64_t size;
        if (io->SizeOf(piece, &size) == 0 && !io->AskOverwrite(piece)) return kToolErrExists;
        TempOut out(io, piece);
        if ((e = out.Open()) != 0) return e;
        uint64_t inPiece = 0;
        uint32_t lines = 0;
        for (;;) {
            if (io->Cancelled()) return kToolErrCancelled;
            // Keep the window full in line mode, so a line end can be looked for.
            if ((!w.Size() || (w.start && wholeLines)) && !w.eof && (e = fill()) != 0) return e;
            if (!w.Size()) break;
            size_t take = w.Size();
            bool full = false;
            if (linesPer) {
                const uint8_t* b = w.Begin();
                for (size_t i = 0; i < take; i++) {
                    if (b[i] == '\n' && ++lines == linesPer) {
                        take = i + 1;
                        full = true;
                        break;
                    }
                }
            } else {
                uint64_t room = pieceSize - inPiece;
                if (take >= room) {
                    take = (size_t)room;
                    full = true;
                    if (wholeLines) {
                        bool more = w.Size() > take || !w.eof;
                        size_t cut = LastLineEnd(w.Begin(), take, more || w.Size() > take);
                        if (cut) take = cut;
                        // No line end: a line longer than the piece is cut
                        // where the piece is full, or starts the next piece.
                        else if (inPiece) take = 0;
                    }
                } else if (wholeLines && !w.eof) {
                    // Keep a started line back for the next round, unless the
                    // window holds no line end at all (a line longer than the window).
                    size_t cut = LastLineEnd(w.Begin(), take, true);
                    if (cut) take = cut;
                    if (cut == 0 && w.start) take = 0;  // refill first
                }
            }
            if (take) {
                if ((e = out.Write(w.Begin(), take)) != 0) return e;
                w.start += take;
                inPiece += take;
                io->Progress(take);
            }
            if (full) break;
        }
        if (!inPiece) break;
        if ((e = out.Commit()) != 0) return e;
        names.push_back(piece);
        sizes.push_back(inPiece);
        total += inPiece;
        *piecesOut = number;
    }
    if (total != in.size) return kToolErrIncomplete;
    io->Close(in.h);
    in.h = nullptr;
    if (p.makeRestore) {
        std::vector<std::string> bare;
        for (const std::string& n : names)
            bare.push_back(ToolBaseName(n));
        std::string bat = ToolJoinPath(*io, FolderOf(p.base), "RESTORE.BAT");
        uint64_t size;
        if (io->SizeOf(bat, &size) == 0 && !io->AskOverwrite(bat)) return kToolErrExists;
        TempOut out(io, bat);
        if ((e = out.Open()) != 0) return e;
        for (const std::string& line : SplitRestoreLines(bare, ToolBaseName(p.source), 127))
            if ((e = out.Write(line + "\r\n")) != 0) return e;
        if ((e = out.Commit()) != 0) return e;
    }
    if (p.deleteSource) {
        // Every piece was measured before it took its name; those still
        // here (not gone with an earlier disk) are read back by size once
        // more before the source may go.
        for (size_t i = firstOnDisk; i < names.size(); i++) {
            uint64_t size;
            if (io->SizeOf(names[i], &size) != 0 || size != sizes[i]) return kToolErrIncomplete;
        }
        uint64_t now;
        if ((e = io->SizeOf(p.source, &now)) != 0) return e;
        if (total != now) return kToolErrIncomplete;
        if ((e = io->Remove(p.source)) != 0) return e;
    }
    return 0;
}

uint32_t ToolJoinFiles(ToolIo* io, const std::vector<std::string>& pieces, const std::string& target,
                       bool deleteSources)
{
    for (const std::string& piece : pieces)
        if (SameName(piece, target)) return kToolErrSameFile;
    uint64_t size;
    if (io->SizeOf(target, &size) == 0 && !io->AskOverwrite(target)) return kToolErrExists;
    TempOut out(io, target);
    uint32_t e = out.Open();
    if (e) return e;
    uint64_t expect = 0;
    for (const std::string& piece : pieces) {
        uint64_t before = out.Written();
        e = ReadAll(io, piece, [&](const uint8_t* p, size_t n) { return out.Write(p, n); });
        if (e) return e;
        if ((e = io->SizeOf(piece, &size)) != 0) return e;
        if (size != out.Written() - before) return kToolErrIncomplete;
        expect += size;
    }
    if ((e = out.Commit(expect)) != 0) return e;
    if (deleteSources)
        for (const std::string& piece : pieces)
            if ((e = io->Remove(piece)) != 0) return e;
    return 0;
}
