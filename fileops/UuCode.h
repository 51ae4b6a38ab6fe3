#pragma once
// UUencode, XXencode and MIME base64: the text we write and two decoders
// fed in chunks of any size. No windows.h: the encode job, the archive front
// end's decoders, the native tests and the fuzzer share them.
//
// Names found in encoded files are data: a decoder hands its sink only the
// base name, made safe by UuSafeName; a name that cannot be made safe (empty,
// "." or "..", a device) makes the section undecodable.
#include <stddef.h>
#include <stdint.h>

#include <string>

enum : int { kUuVariantUu = 10001, kUuVariantXx = 10002 };
const size_t kUuLineBytes = 45;   // source bytes per UU/XX line
const size_t kUuMaxLine = 1024;   // longer input lines are not data

// 64 characters for values 0..63 and a terminating zero (size >= 65).
void UuMakeAlphabet(char* buffer, size_t size, int variant);
// 256 entries: value of each character, 255 for characters outside the set.
void UuMakeDecodeTable(uint8_t* table, size_t size, int variant);

// "begin 644 name" + CR LF.
std::string UuEncodeHeader(const std::string& name);
// One data line of up to 45 bytes (CR LF ended) into out (>= 64 bytes).
size_t UuEncodeLine(const char* alphabet, const uint8_t* data, size_t n, char* out);
// The zero-length line and "end".
std::string UuEncodeTrailer(const char* alphabet);

// MIME: header lines and the empty line before the data.
std::string MimeEncodeHeader(const std::string& name);
// Base64 in lines of 76 characters, fed in pieces.
struct Base64Encoder {
    uint32_t bits;
    int count;       // bits held in `bits` (0, 2 or 4 between calls)
    int lineLength;
    char line[80];
};
void Base64Start(Base64Encoder* e);
void Base64Feed(Base64Encoder* e, const uint8_t* data, size_t n, std::string* out);
void Base64Finish(Base64Encoder* e, std::string* out);

// The base name of an outside name, safe to create in the chosen folder:
// enclosing quotes dropped, everything up to the last "/", "\" or ":" dropped,
// characters Windows refuses become "_", trailing dots and blanks dropped.
// False for a name that stays empty, "." / "..", or names a device.
bool UuSafeName(const std::string& raw, std::string* safe);

// Receives what a decoder finds.
struct UuSink {
    // A section or part starts; false skips its data (nothing written).
    virtual bool Begin(const std::string& name) = 0;
    // Decoded bytes of the current section; false stops the walk (write error).
    virtual bool Write(const uint8_t* data, size_t n) = 0;
    // The section ends: complete false means its output must go.
    virtual void End(bool complete, uint64_t size) = 0;
    virtual ~UuSink() {}
};

// Line splitter both decoders share: cuts chunks into lines; a line longer
// than kUuMaxLine is passed on cut, marked overlong.
struct UuLines {
    char line[kUuMaxLine + 1];
    size_t length;
    bool overlong;
};

struct UuDecoder {
    UuSink* sink;
    UuLines lines;
    int state;
    int seekLines;         // lines since the last section; 30 without "begin" end the walk
    int tableChars;        // characters of an XX "table" read so far
    int tableLines;
    char tableText[64];
    bool customTable;
    uint8_t table[256];
    int variant;           // variant of the current section, 0 before its first line
    int found;             // kUuVariantUu / Xx of the last complete section
    bool open;             // the sink has a section open
    bool writing;          // ... and wants its data
    bool stopped;
    uint64_t size;
    int sections;          // complete sections
    int errors;            // broken sections (missing "end", bad data, bad name)
};
void UuDecoderStart(UuDecoder* d, UuSink* sink);
void UuDecoderFeed(UuDecoder* d, const void* data, size_t n);
// Ends the walk; a section still open is broken. Returns the variant of the
// decoded sections (kUuVariantUu/Xx), 0 when none was complete.
int UuDecoderFinish(UuDecoder* d);

struct MimeDecoder {
    UuSink* sink;
    UuLines lines;
    std::string name;
    bool nameNext;       // "name=" may follow on the line after Content-Type
    bool decodable;
    bool inData;         // data lines of the current part have started
    bool ended;          // "=" or a foreign character ended the part's data
    bool open, writing, stopped;
    uint32_t bits;
    int count;
    uint64_t size;
    int parts;
};
void MimeDecoderStart(MimeDecoder* d, UuSink* sink);
void MimeDecoderFeed(MimeDecoder* d, const void* data, size_t n);
int MimeDecoderFinish(MimeDecoder* d);   // parts written or listed
