#include "viewer/CoffLib.h"

#include <stdio.h>
#include <string.h>

namespace {

const size_t kMemberHeader = 60;
const size_t kFileHeader = 20;
const size_t kSectionHeader = 40;

uint32_t Be32(const uint8_t* p) {
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}
uint32_t Le32(const uint8_t* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
uint16_t Le16(const uint8_t* p) {
    return (uint16_t)(p[0] | p[1] << 8);
}

bool SectionIs(const uint8_t* name, const char* want) {
    char n[8];
    for (int i = 0; i < 8; i++) {
        char c = (char)name[i];
        n[i] = c >= 'A' && c <= 'Z' ? (char)(c + 32) : c;
    }
    char w[8] = {};
    memcpy(w, want, strlen(want));
    return memcmp(n, w, 8) == 0;
}

bool Skipped(const char* name) {
    return strncmp(name, "__IMPORT_DESCRIPTOR_", 20) == 0 || strncmp(name, "__NULL_IMPORT_DESCRIPTOR", 24) == 0 ||
           strstr(name, "_NULL_THUNK_DATA") != nullptr;
}

// What the member's sections say about one symbol.
struct MemberFacts {
    bool import;
    const char* importName; // the name after the hint, terminated inside the file
    bool code;
    int rdataCount;
    const uint8_t* guid; // 16 bytes of the first .rdata when that is all it holds
};

MemberFacts ReadMember(const uint8_t* data, size_t size, uint64_t memberData) {
    MemberFacts m = {};
    const uint8_t* obj = data + memberData;
    int16_t sections = (int16_t)Le16(obj + 2);
    if (sections <= 0) return m; // a short import record, or nothing
    uint64_t at = memberData + kFileHeader + Le16(obj + 16); // after the optional header
    for (int s = 0; s < sections; s++, at += kSectionHeader) {
        if (at + kSectionHeader > size) break; // the headers that are there count
        const uint8_t* h = data + at;
        uint32_t rawSize = Le32(h + 16);
        uint64_t raw = memberData + Le32(h + 20);
        bool rawInside = raw + rawSize <= size;
        if (SectionIs(h, ".idata$5")) {
            m.import = true;
        } else if (SectionIs(h, ".idata$6")) {
            if (rawInside && rawSize > 2) {
                const char* name = reinterpret_cast<const char*>(data + raw + 2);
                if (memchr(name, 0, rawSize - 2)) m.importName = name;
            }
        } else if (SectionIs(h, ".text")) {
            m.code = true;
        } else if (SectionIs(h, ".rdata")) {
            if (++m.rdataCount == 1 && rawSize == 16 && rawInside) m.guid = data + raw;
        }
    }
    if (m.rdataCount > 1) m.guid = nullptr;
    return m;
}

void FormatLine(char* line, const char* symbol, const MemberFacts& m) {
    if (m.import) {
        if (m.importName)
            snprintf(line, kCoffLineSize, " %s imported as %s", symbol, m.importName);
        else
            snprintf(line, kCoffLineSize, " %s", symbol);
    } else if (m.guid && !m.code) {
        const uint8_t* g = m.guid;
        snprintf(line, kCoffLineSize, " {%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X} %s", Le32(g),
                 Le16(g + 4), Le16(g + 6), g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15], symbol);
    } else {
        snprintf(line, kCoffLineSize, " %s", symbol);
    }
}

} // namespace

bool CoffListSymbols(const uint8_t* data, size_t size, CoffLineSink sink, void* context) {
    const size_t kIndex = 8 + kMemberHeader; // the count, after the first linker member's header
    if (size < kIndex + 4 || memcmp(data, "!<arch>\n", 8) != 0) return false;
    uint64_t count = Be32(data + kIndex);
    uint64_t names = kIndex + 4 + count * 4;
    if (names > size) return false;
    // Every part the index refers to must be there before anything is shown.
    for (int pass = 0; pass < (sink ? 2 : 1); pass++) {
        uint64_t name = names;
        for (uint64_t i = 0; i < count; i++) {
            if (name >= size) return false;
            const char* symbol = reinterpret_cast<const char*>(data + name);
            const void* end = memchr(symbol, 0, size - name);
            if (!end) return false;
            name += (uint64_t)(static_cast<const char*>(end) - symbol) + 1;
            uint64_t member = Be32(data + kIndex + 4 + i * 4);
            if (member + kMemberHeader + kFileHeader > size) return false;
            if (pass == 0 || Skipped(symbol)) continue;
            char line[kCoffLineSize];
            FormatLine(line, symbol, ReadMember(data, size, member + kMemberHeader));
            sink(context, line);
        }
    }
    return true;
}
