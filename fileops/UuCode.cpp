#include "fileops/UuCode.h"

#include <string.h>

namespace {

const char kXxSet[] = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
const char kB64Set[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

enum { kSeek, kTable, kFirst, kData, kEnd, kDone };

// Feeds whole lines (without CR / LF) to `take`; the partial last line stays.
template <class F> void SplitLines(UuLines* l, const void* data, size_t n, F take)
{
    const char* p = (const char*)data;
    for (size_t i = 0; i < n; i++) {
        char c = p[i];
        if (c == '\n') {
            size_t len = l->length;
            if (len && l->line[len - 1] == '\r') len--;
            l->line[len] = 0;
            take(l->line, len, l->overlong);
            l->length = 0;
            l->overlong = false;
        } else if (l->length < kUuMaxLine) {
            l->line[l->length++] = c;
        } else {
            l->overlong = true;
        }
    }
}

template <class F> void FlushLine(UuLines* l, F take)
{
    if (l->length || l->overlong) {
        size_t len = l->length;
        if (len && l->line[len - 1] == '\r') len--;
        l->line[len] = 0;
        take(l->line, len, l->overlong);
    }
    l->length = 0;
    l->overlong = false;
}

bool StartsWith(const char* line, size_t n, const char* prefix)
{
    size_t k = strlen(prefix);
    return n >= k && memcmp(line, prefix, k) == 0;
}

bool StartsNoCase(const char* line, size_t n, const char* prefix)
{
    size_t k = strlen(prefix);
    if (n < k) return false;
    for (size_t i = 0; i < k; i++) {
        char a = line[i], b = prefix[i];
        if (a >= 'a' && a <= 'z') a = (char)(a - 32);
        if (b >= 'a' && b <= 'z') b = (char)(b - 32);
        if (a != b) return false;
    }
    return true;
}

const char* FindNoCase(const char* text, size_t n, const char* what)
{
    size_t k = strlen(what);
    for (size_t i = 0; i + k <= n; i++)
        if (StartsNoCase(text + i, n - i, what)) return text + i;
    return nullptr;
}

} // namespace

void UuMakeAlphabet(char* buffer, size_t size, int variant)
{
    if (size < 65) return;
    for (int v = 0; v < 64; v++)
        buffer[v] = variant == kUuVariantXx ? kXxSet[v] : (char)(v ? 0x20 + v : '`');
    buffer[64] = 0;
}

void UuMakeDecodeTable(uint8_t* table, size_t size, int variant)
{
    if (size < 256) return;
    memset(table, 255, 256);
    if (variant == kUuVariantXx) {
        for (int v = 0; v < 64; v++)
            table[(uint8_t)kXxSet[v]] = (uint8_t)v;
    } else {
        for (int c = 0x20; c <= 0x60; c++)
            table[c] = (uint8_t)((c - 0x20) & 63);
    }
}

std::string UuEncodeHeader(const std::string& name) { return "begin 644 " + name + "\r\n"; }

size_t UuEncodeLine(const char* a, const uint8_t* data, size_t n, char* out)
{
    size_t o = 0;
    out[o++] = a[n & 63];
    for (size_t i = 0; i < n; i += 3) {
        uint32_t b0 = data[i], b1 = i + 1 < n ? data[i + 1] : 0, b2 = i + 2 < n ? data[i + 2] : 0;
        out[o++] = a[b0 >> 2];
        out[o++] = a[((b0 << 4) | (b1 >> 4)) & 63];
        out[o++] = a[((b1 << 2) | (b2 >> 6)) & 63];
        out[o++] = a[b2 & 63];
    }
    out[o++] = '\r';
    out[o++] = '\n';
    return o;
}

std::string UuEncodeTrailer(const char* alphabet) { return std::string(1, alphabet[0]) + "\r\nend\r\n"; }

std::string MimeEncodeHeader(const std::string& name)
{
    return "MIME-Version: 1.0\r\nContent-Type: application/octet-stream; name=\"" + name +
           "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n";
}

void Base64Start(Base64Encoder* e)
{
    e->bits = 0;
    e->count = 0;
    e->lineLength = 0;
}

static void Base64Put(Base64Encoder* e, char c, std::string* out)
{
    e->line[e->lineLength++] = c;
    if (e->lineLength == 76) {
        out->append(e->line, 76);
        out->append("\r\n");
        e->lineLength = 0;
    }
}

void Base64Feed(Base64Encoder* e, const uint8_t* data, size_t n, std::string* out)
{
    for (size_t i = 0; i < n; i++) {
        e->bits = (e->bits << 8) | data[i];
        e->count += 8;
        while (e->count >= 6) {
            e->count -= 6;
            Base64Put(e, kB64Set[(e->bits >> e->count) & 63], out);
        }
        e->bits &= (1u << e->count) - 1;
    }
}

void Base64Finish(Base64Encoder* e, std::string* out)
{
    if (e->count == 2) {  // one byte over: 4 bits to fill, two pads
        Base64Put(e, kB64Set[(e->bits << 4) & 63], out);
        Base64Put(e, '=', out);
        Base64Put(e, '=', out);
    } else if (e->count == 4) {
        Base64Put(e, kB64Set[(e->bits << 2) & 63], out);
        Base64Put(e, '=', out);
    }
    e->count = 0;
    if (e->lineLength) {
        out->append(e->line, e->lineLength);
        out->append("\r\n");
        e->lineLength = 0;
    }
}

bool UuSafeName(const std::string& raw, std::string* safe)
{
    std::string s = raw;
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.pop_back();
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
    size_t cut = s.find_last_of("/\\:");
    if (cut != std::string::npos) s.erase(0, cut + 1);
    for (char& c : s)
        if ((unsigned char)c < 0x20 || strchr("<>\"|?*", c)) c = '_';
    // Windows drops trailing dots and blanks, so "..." and ". ." would be the folder itself.
    while (!s.empty() && (s.back() == '.' || s.back() == ' '))
        s.pop_back();
    size_t lead = s.find_first_not_of(' ');
    s.erase(0, lead == std::string::npos ? s.size() : lead);
    if (s.empty()) return false;
    // Device names open the device whatever folder or extension they get.
    std::string stem = s.substr(0, s.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    for (char& c : stem)
        if (c >= 'a' && c <= 'z') c = (char)(c - 32);
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "CLOCK$", "CONIN$", "CONOUT$"};
    for (const char* dev : devices)
        if (stem == dev) return false;
    if (stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
        stem[3] >= '0' && stem[3] <= '9')
        return false;
    *safe = s;
    return true;
}

// ---- UU / XX decoder --------------------------------------------------------

void UuDecoderStart(UuDecoder* d, UuSink* sink)
{
    memset(d, 0, sizeof *d);
    d->sink = sink;
    d->state = kSeek;
}

static void UuCloseSection(UuDecoder* d, bool complete)
{
    if (d->open) {
        d->sink->End(complete, d->size);
        if (complete) {
            d->sections++;
            d->found = d->variant;
        } else {
            d->errors++;
        }
    }
    d->open = d->writing = false;
    d->customTable = false;
    d->variant = 0;
    d->size = 0;
    d->seekLines = 0;
    d->state = d->stopped ? kDone : kSeek;
}

// The count character of a data line agrees with the line's length: 4
// characters per started group of 3 bytes. Trailing blanks may have been
// cut by a mailer, and some encoders append one check character.
static bool UuLineFits(const uint8_t* table, const char* line, size_t n)
{
    uint8_t count = table[(uint8_t)line[0]];
    if (count == 255 || count == 0) return false;
    size_t need = (count + 2u) / 3u * 4u;
    if (n - 1 > need + 1) return false;
    for (size_t i = 1; i < n; i++)
        if (table[(uint8_t)line[i]] == 255) return false;
    return n - 1 + 3 >= need;  // at most three blanks may be missing
}

static void UuFirstLine(UuDecoder* d, const char* line, size_t n)
{
    if (d->customTable) {
        d->variant = kUuVariantXx;
        return;
    }
    // An empty source: the zero-length line comes first.
    if (n <= 1) {
        d->variant = n && line[0] == '+' ? kUuVariantXx : kUuVariantUu;
        UuMakeDecodeTable(d->table, 256, d->variant);
        return;
    }
    uint8_t uu[256], xx[256];
    UuMakeDecodeTable(uu, 256, kUuVariantUu);
    UuMakeDecodeTable(xx, 256, kUuVariantXx);
    if (n && UuLineFits(uu, line, n)) {
        d->variant = kUuVariantUu;
        memcpy(d->table, uu, 256);
    } else if (n && UuLineFits(xx, line, n)) {
        d->variant = kUuVariantXx;
        memcpy(d->table, xx, 256);
    }
}

static void UuDataLine(UuDecoder* d, const char* line, size_t n, bool overlong)
{
    if (d->state == kFirst) {
        UuFirstLine(d, line, n);
        if (!d->variant || overlong) {
            UuCloseSection(d, false);
            return;
        }
        d->state = kData;
    }
    uint8_t count = n ? d->table[(uint8_t)line[0]] : 0;
    if (count == 0 || count == 255) {
        // Data ended; "end" must follow (or be this very line).
        if (StartsWith(line, n, "end")) UuCloseSection(d, true);
        else d->state = kEnd;
        return;
    }
    if (overlong) {
        UuCloseSection(d, false);
        return;
    }
    uint8_t out[64];
    size_t o = 0;
    for (size_t i = 1; o < count; i += 4) {
        uint32_t v[4];
        for (int k = 0; k < 4; k++) {
            // A line cut short counts as padded with blanks.
            uint8_t c = i + k < n ? (uint8_t)line[i + k] : ' ';
            v[k] = d->table[c];
            if (v[k] == 255) {
                if (i + k < n) {
                    UuCloseSection(d, false);
                    return;
                }
                v[k] = 0;
            }
        }
        uint8_t b[3] = {(uint8_t)((v[0] << 2) | (v[1] >> 4)), (uint8_t)((v[1] << 4) | (v[2] >> 2)),
                        (uint8_t)((v[2] << 6) | v[3])};
        for (int k = 0; k < 3 && o < count; k++)
            out[o++] = b[k];
    }
    d->size += o;
    if (d->writing && !d->sink->Write(out, o)) {
        d->stopped = true;
        UuCloseSection(d, false);
    }
}

static void UuBegin(UuDecoder* d, const char* line, size_t n)
{
    size_t i = 6;
    while (i < n && line[i] >= '0' && line[i] <= '7')
        i++;
    if (i == 6 || i >= n || line[i] != ' ') return;  // not a begin line: keep looking
    std::string raw(line + i + 1, n - i - 1), name;
    d->state = kFirst;
    d->size = 0;
    if (!UuSafeName(raw, &name)) {
        // No safe name: the data is read past, nothing is written, and the
        // section counts as broken.
        d->errors++;
        return;
    }
    d->open = true;
    d->writing = d->sink->Begin(name);
}

static void UuLine(UuDecoder* d, const char* line, size_t n, bool overlong)
{
    switch (d->state) {
    case kSeek:
        if (StartsWith(line, n, "begin ")) {
            UuBegin(d, line, n);
        } else if (StartsWith(line, n, "table")) {
            d->state = kTable;
            d->tableChars = d->tableLines = 0;
        } else if (++d->seekLines > 30) {
            d->state = kDone;
        }
        break;
    case kTable:
        for (size_t i = 0; i < n && d->tableChars < 64; i++)
            d->tableText[d->tableChars++] = line[i];
        if (++d->tableLines == 2 || d->tableChars == 64) {
            if (d->tableChars == 64) {
                memset(d->table, 255, 256);
                d->customTable = true;
                for (int v = 0; v < 64; v++) {
                    uint8_t c = (uint8_t)d->tableText[v];
                    if (d->table[c] != 255) d->customTable = false;  // a repeated character
                    d->table[c] = (uint8_t)v;
                }
            }
            d->state = kSeek;
        }
        break;
    case kFirst:
    case kData:
        UuDataLine(d, line, n, overlong);
        break;
    case kEnd:
        UuCloseSection(d, StartsWith(line, n, "end"));
        break;
    default:
        break;
    }
}

void UuDecoderFeed(UuDecoder* d, const void* data, size_t n)
{
    SplitLines(&d->lines, data, n, [d](const char* line, size_t len, bool overlong) {
        if (d->state != kDone) UuLine(d, line, len, overlong);
    });
}

int UuDecoderFinish(UuDecoder* d)
{
    FlushLine(&d->lines, [d](const char* line, size_t len, bool overlong) {
        if (d->state != kDone) UuLine(d, line, len, overlong);
    });
    if (d->state == kFirst || d->state == kData || d->state == kEnd) UuCloseSection(d, false);
    d->state = kDone;
    return d->sections ? d->found : 0;
}

// ---- MIME base64 decoder ----------------------------------------------------

namespace {

struct B64Table {
    uint8_t v[256];
    B64Table()
    {
        memset(v, 255, sizeof v);
        for (int i = 0; i < 64; i++)
            v[(uint8_t)kB64Set[i]] = (uint8_t)i;
    }
};
const B64Table gB64;

bool IsDataLine(const char* line, size_t n)
{
    if (n && line[n - 1] == ' ') n--;  // a blank before the line end is allowed
    if (!n) return false;
    for (size_t i = 0; i < n; i++)
        if (gB64.v[(uint8_t)line[i]] == 255 && line[i] != '=') return false;
    return true;
}

// The value of name= on a header line, quotes dropped; false when absent.
bool HeaderName(const char* line, size_t n, std::string* name)
{
    for (size_t i = 0; i + 5 <= n; i++) {
        if (memcmp(line + i, "name=", 5) != 0) continue;
        if (i && line[i - 1] != ' ' && line[i - 1] != ';' && line[i - 1] != '\t') continue;  // not filename=
        const char* v = line + i + 5;
        size_t len = n - i - 5;
        if (len && *v == '"') {
            v++;
            len--;
            const char* q = (const char*)memchr(v, '"', len);
            if (q) len = (size_t)(q - v);
        } else {
            for (size_t k = 0; k < len; k++)
                if (v[k] == ';' || v[k] == ' ') {
                    len = k;
                    break;
                }
        }
        name->assign(v, len);
        return true;
    }
    return false;
}

} // namespace

void MimeDecoderStart(MimeDecoder* d, UuSink* sink)
{
    d->sink = sink;
    d->lines.length = 0;
    d->lines.overlong = false;
    d->name.clear();
    d->nameNext = false;
    d->decodable = true;
    d->inData = d->ended = d->open = d->writing = d->stopped = false;
    d->bits = 0;
    d->count = 0;
    d->size = 0;
    d->parts = 0;
}

static void MimeEndPart(MimeDecoder* d, bool complete)
{
    if (d->open) {
        d->sink->End(complete && !d->stopped, d->size);
        if (complete && !d->stopped) d->parts++;
    }
    d->open = d->writing = false;
    d->inData = d->ended = false;
    d->bits = 0;
    d->count = 0;
    d->size = 0;
    d->name.clear();
}

static void MimeData(MimeDecoder* d, const char* line, size_t n)
{
    if (!d->inData) {
        d->inData = true;
        std::string safe;
        if (!d->name.empty() && UuSafeName(d->name, &safe)) {
            d->open = true;
            d->writing = d->sink->Begin(safe);
        }
    }
    if (d->ended) return;
    uint8_t out[kUuMaxLine];
    size_t o = 0;
    for (size_t i = 0; i < n; i++) {
        uint8_t v = gB64.v[(uint8_t)line[i]];
        if (v == 255) {
            if (line[i] != ' ') d->ended = true;  // "=" or a foreign character ends the part
            break;
        }
        d->bits = (d->bits << 6) | v;
        d->count += 6;
        if (d->count >= 8) {
            d->count -= 8;
            out[o++] = (uint8_t)(d->bits >> d->count);
            d->bits &= (1u << d->count) - 1;
        }
    }
    d->size += o;
    if (d->writing && o && !d->sink->Write(out, o)) {
        d->stopped = true;
        MimeEndPart(d, false);
    }
}

static void MimeLine(MimeDecoder* d, const char* line, size_t n, bool overlong)
{
    if (d->stopped) return;
    if (!overlong && IsDataLine(line, n) && d->decodable) {
        MimeData(d, line, n);
        return;
    }
    if (!overlong && IsDataLine(line, n)) return;  // data of a part we cannot decode
    if (d->inData) MimeEndPart(d, true);
    if (d->nameNext) {
        d->nameNext = false;
        HeaderName(line, n, &d->name);
    }
    if (StartsNoCase(line, n, "Content-Type")) {
        d->name.clear();
        d->decodable = true;
        d->nameNext = !HeaderName(line, n, &d->name);
    } else if (StartsNoCase(line, n, "Content-Transfer-Encoding")) {
        // Header values are case-insensitive: "BASE64" is base64 too.
        d->decodable = FindNoCase(line, n, "base64") != nullptr;
    }
}

void MimeDecoderFeed(MimeDecoder* d, const void* data, size_t n)
{
    SplitLines(&d->lines, data, n,
               [d](const char* line, size_t len, bool overlong) { MimeLine(d, line, len, overlong); });
}

int MimeDecoderFinish(MimeDecoder* d)
{
    FlushLine(&d->lines, [d](const char* line, size_t len, bool overlong) { MimeLine(d, line, len, overlong); });
    if (d->inData) MimeEndPart(d, true);
    return d->parts;
}
