#include "app/LanguageFile.h"

#include <string.h>

#include <string_view>
#include <unordered_map>

#include "base/Memory.h"

int LangLongestKey(const LanguageTable *keys) {
    int longest = 0;
    for (const LanguageTable *r = keys + 1; r->id != 0; r++) {
        int n = r->text ? (int)strlen(r->text) : 0;
        if (n > longest)
            longest = n;
    }
    return longest;
}

void LangPadKey(const char *key, int width, char *out, size_t size) {
    if (size == 0)
        return;
    size_t n = 0;
    for (; key[n] && n + 1 < size; n++)
        out[n] = key[n];
    for (; (int)n < width && n + 1 < size; n++)
        out[n] = '_';
    out[n] = 0;
}

static size_t ValueLength(const char *value, const char *end, size_t max) {
    size_t n = 0;
    while (value + n < end && value[n] && value[n] != '\r' && value[n] != '\n' && n < max)
        n++;
    return n;
}

void LangFindValue(const char *key, char *out, size_t size, const char *text) {
    if (size == 0)
        return;
    out[0] = 0;
    if (!key[0])
        return;
    const char *hit = strstr(text, key);
    if (!hit || hit[strlen(key)] != '=')
        return;
    const char *value = hit + strlen(key) + 1;
    size_t n = ValueLength(value, value + strlen(value), size - 1);
    memcpy(out, value, n);
    out[n] = 0;
}

namespace {
// Every "key=value" line of the file, first occurrence of a key wins. Built
// once, so loading is linear in the file size however many keys there are.
typedef std::unordered_map<std::string_view, std::string_view> ValueIndex;

void IndexLines(const char *text, size_t length, ValueIndex *index) {
    const char *p = text, *end = text + length;
    while (p < end) {
        const char *line = p;
        while (p < end && *p != '\r' && *p != '\n' && *p)
            p++;
        const char *lineEnd = p;
        while (p < end && (*p == '\r' || *p == '\n' || !*p))
            p++;
        const char *eq = static_cast<const char *>(memchr(line, '=', lineEnd - line));
        if (!eq || eq == line)
            continue;
        std::string_view key(line, eq - line);
        std::string_view value(eq + 1, ValueLength(eq + 1, lineEnd, kLangValueMax));
        index->emplace(key, value);
    }
}
} // namespace

LanguageTable *LangBuildTable(const char *text, size_t length, const char *code, const LanguageTable *keys,
                              const LanguageTable *defaults) {
    int count = LangTableCount(keys);
    int width = LangLongestKey(keys);
    ValueIndex index;
    IndexLines(text, length, &index);

    // Records first, then the texts. The buffer moves while it grows, so the
    // records hold offsets until everything is in.
    GrowBuffer buffer = {};
    uint32_t recordBytes = (uint32_t)(count + 2) * sizeof(LanguageTable);
    if (!MemBufAppend(&buffer, nullptr, recordBytes)->data)
        return nullptr;
    uintptr_t offsets[2] = {};
    auto append = [&](const char *s, size_t n) -> uintptr_t {
        uintptr_t at = buffer.used;
        static const char zero = 0;
        if (!MemBufAppend(&buffer, s, (uint32_t)n)->data || !MemBufAppend(&buffer, &zero, 1)->data)
            return 0;
        return at;
    };
    size_t codeLen = code ? strlen(code) : 0;
    offsets[0] = append(code ? code : "", codeLen);
    auto name = index.find("Language");
    if (name != index.end() && !name->second.empty())
        offsets[1] = append(name->second.data(), name->second.size());
    else
        offsets[1] = append("External", 8);
    if (!offsets[0] || !offsets[1]) {
        MemFree(&buffer.data);
        return nullptr;
    }
    reinterpret_cast<LanguageTable *>(buffer.data)[0].id = 0;
    reinterpret_cast<LanguageTable *>(buffer.data)[1].id = (int16_t)kTextIdLanguageName;

    char padded[64];
    char value[kLangValueMax + 1];
    int defaultCount = LangTableCount(defaults);
    int k = 2;
    for (; k <= count && k <= defaultCount; k++) {
        const char *text2 = nullptr;
        size_t n = 0;
        LangPadKey(keys[k].text, width, padded, sizeof padded);
        auto hit = index.find(padded);
        if (hit != index.end() && !hit->second.empty()) {
            // "\n" becomes a line feed; "\t" stays until the look-up.
            size_t o = 0;
            for (size_t i = 0; i < hit->second.size(); i++) {
                if (hit->second[i] == '\\' && i + 1 < hit->second.size() && hit->second[i + 1] == 'n') {
                    value[o++] = '\n';
                    i++;
                } else {
                    value[o++] = hit->second[i];
                }
            }
            text2 = value;
            n = o;
        } else {
            text2 = defaults[k].text ? defaults[k].text : "";
            n = strlen(text2);
        }
        uintptr_t at = append(text2, n);
        if (!at) {
            MemFree(&buffer.data);
            return nullptr;
        }
        LanguageTable *records = reinterpret_cast<LanguageTable *>(buffer.data);
        records[k].id = keys[k].id;
        records[k].text = reinterpret_cast<const char *>(at);
    }
    LanguageTable *records = reinterpret_cast<LanguageTable *>(buffer.data);
    records[0].text = reinterpret_cast<const char *>(offsets[0]);
    records[1].text = reinterpret_cast<const char *>(offsets[1]);
    for (int i = 0; i < k; i++)
        records[i].text = reinterpret_cast<const char *>(buffer.data) + reinterpret_cast<uintptr_t>(records[i].text);
    // records[k] stays zero: the end record.
    return records;
}

void LangEscapeText(const char *text, char *out, size_t maxLen) {
    size_t o = 0;
    for (const char *p = text; *p; p++) {
        const char *piece = nullptr;
        char one[2] = {*p, 0};
        if (*p == '\t')
            piece = "\\t";
        else if (*p == '\n')
            piece = "\\n";
        else
            piece = one;
        size_t n = strlen(piece);
        if (o + n > maxLen)
            break;
        memcpy(out + o, piece, n);
        o += n;
    }
    out[o] = 0;
}

char *LangBuildTemplate(const LanguageTable *keys, const LanguageTable *english, uint32_t *length) {
    GrowBuffer buffer = {};
    int width = LangLongestKey(keys);
    char padded[64];
    char escaped[kLangTemplateTextMax + 1];
    auto line = [&](const char *key, const char *value) {
        MemBufAppend(&buffer, key, (uint32_t)strlen(key));
        if (buffer.data)
            MemBufAppend(&buffer, "=", 1);
        if (buffer.data)
            MemBufAppend(&buffer, value, (uint32_t)strlen(value));
        if (buffer.data)
            MemBufAppend(&buffer, "\r\n", 2);
        return buffer.data != nullptr;
    };
    MemBufAppend(&buffer, "[Text]\r\n", 8);
    if (!buffer.data)
        return nullptr;
    const char *name = LangFindText(english, kTextIdLanguageName);
    if (!line("Language", name ? name : ""))
        return nullptr;
    int count = LangTableCount(keys), englishCount = LangTableCount(english);
    for (int k = 2; k <= count && k <= englishCount; k++) {
        LangPadKey(keys[k].text, width, padded, sizeof padded);
        LangEscapeText(english[k].text ? english[k].text : "", escaped, kLangTemplateTextMax);
        if (!line(padded, escaped))
            return nullptr;
    }
    if (!MemBufAppend(&buffer, "", 1)->data) // terminator, not counted
        return nullptr;
    *length = buffer.used - 1;
    return reinterpret_cast<char *>(buffer.data);
}
