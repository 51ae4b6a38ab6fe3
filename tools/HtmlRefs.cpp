#include "tools/HtmlRefs.h"

#include <string.h>

#include <set>

namespace {

const size_t kTokenMax = 258;
// A value this long is no file name of ours even before decoding; cutting
// it instead could make it equal to another file's name.
const size_t kValueMax = 2048;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDelimiter(char c) { return c && strchr(" ,;<>={}\t\r\n", c) != nullptr; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? (char)(c + 32) : c; }

bool SameNoCase(const std::string &a, const char *b) {
    size_t n = strlen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; i++) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

struct Scanner {
    const char *p, *end;

    // Blanks skipped, then up to the first delimiter, which is consumed and
    // returned in `stop` (0 at the end of the text).
    std::string Token(char *stop) {
        while (p < end && IsBlank(*p))
            p++;
        std::string out;
        while (p < end && !IsDelimiter(*p)) {
            if (out.size() < kTokenMax)
                out += *p;
            p++;
        }
        *stop = p < end ? *p++ : 0;
        return out;
    }

    // The value after an attribute name: blanks and one "=" skipped, then a
    // value in double or single quotes, or an unquoted one up to a blank or
    // ">". False when there is none or it is too long to be a name.
    bool Value(char stop, std::string *out) {
        while (p < end && IsBlank(*p))
            p++;
        if (stop != '=') {
            if (p >= end || *p != '=')
                return false;
            p++;
            while (p < end && IsBlank(*p))
                p++;
        }
        if (p >= end)
            return false;
        const char *start;
        if (*p == '"' || *p == '\'') {
            char quote = *p++;
            start = p;
            while (p < end && *p != quote)
                p++;
            if (p >= end)
                return false;
            out->assign(start, (size_t)(p - start));
            p++;
        } else {
            start = p;
            while (p < end && !IsBlank(*p) && *p != '>')
                p++;
            out->assign(start, (size_t)(p - start));
        }
        return !out->empty() && out->size() <= kValueMax;
    }
};

const char *ExpectedAttribute(const std::string &tag) {
    if (SameNoCase(tag, "img"))
        return "src";
    if (SameNoCase(tag, "body"))
        return "background";
    if (SameNoCase(tag, "a"))
        return "href";
    return nullptr;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Character references of an attribute value. Named ones we know and
// numeric ones up to 255 become their byte; a reference the page's code page
// cannot hold in one byte makes the value unusable (false). Anything else
// that starts with "&" stays as written.
bool DecodeEntities(const std::string &in, std::string *out) {
    static const struct {
        const char *name;
        char byte;
    } kNamed[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", '\xA0'}};
    out->clear();
    for (size_t i = 0; i < in.size(); i++) {
        size_t semi = in[i] == '&' ? in.find(';', i + 1) : std::string::npos;
        if (semi == std::string::npos || semi - i > 10) {
            *out += in[i];
            continue;
        }
        std::string ref = in.substr(i + 1, semi - i - 1);
        if (ref.size() >= 2 && ref[0] == '#') {
            bool hex = Lower(ref[1]) == 'x';
            size_t k = hex ? 2 : 1;
            if (k >= ref.size()) {
                *out += in[i];
                continue;
            }
            unsigned long value = 0;
            for (; k < ref.size(); k++) {
                int d = hex ? HexDigit(ref[k]) : (ref[k] >= '0' && ref[k] <= '9' ? ref[k] - '0' : -1);
                if (d < 0 || value > 0x10FFFF)
                    return false;
                value = value * (hex ? 16 : 10) + (unsigned long)d;
            }
            if (value == 0 || value > 255)
                return false;
            *out += (char)value;
            i = semi;
            continue;
        }
        bool known = false;
        for (const auto &named : kNamed) {
            if (ref == named.name) {
                *out += named.byte;
                known = true;
                break;
            }
        }
        if (known)
            i = semi;
        else
            *out += in[i];
    }
    return true;
}

// "scheme:" as RFC 3986 has it: a letter, then letters, digits, "+", "-"
// or ".", then ":", before any "/", "\", "?" or "#". A drive letter is one.
bool HasScheme(const std::string &value) {
    if (value.empty() || !((Lower(value[0]) >= 'a' && Lower(value[0]) <= 'z')))
        return false;
    for (size_t i = 1; i < value.size(); i++) {
        char c = Lower(value[i]);
        if (c == ':')
            return true;
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'))
            return false;
    }
    return false;
}

} // namespace

std::vector<std::string> HtmlReferenceValues(const char *text, size_t length) {
    std::vector<std::string> values;
    Scanner s = {text, text + length};
    while (s.p < s.end) {
        const char *open = (const char *)memchr(s.p, '<', (size_t)(s.end - s.p));
        if (!open)
            break;
        s.p = open + 1;
        char stop;
        std::string tag = s.Token(&stop);
        const char *attribute = ExpectedAttribute(tag);
        // The attribute must stand inside the tag, right after its name.
        if (!attribute || !IsBlank(stop))
            continue;
        std::string name = s.Token(&stop);
        if (!SameNoCase(name, attribute) || !(stop == '=' || IsBlank(stop)))
            continue;
        std::string value;
        if (s.Value(stop, &value))
            values.push_back(value);
    }
    return values;
}

bool HtmlLocalName(const std::string &value, std::string *name) {
    std::string text;
    if (!DecodeEntities(value, &text))
        return false;
    size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first]))
        first++;
    while (last > first && IsBlank(text[last - 1]))
        last--;
    text = text.substr(first, last - first);
    if (text.empty() || text[0] == '#' || text[0] == '/' || text[0] == '\\' || HasScheme(text) ||
        text.find('?') != std::string::npos)
        return false;

    // %xx escapes, then the path steps; a decoded "/" or "\" separates too.
    std::string decoded;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
            decoded += (char)(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    std::vector<std::string> steps;
    size_t at = 0;
    while (at <= decoded.size()) {
        size_t sep = decoded.find_first_of("/\\", at);
        if (sep == std::string::npos)
            sep = decoded.size();
        std::string step = decoded.substr(at, sep - at);
        at = sep + 1;
        if (step.empty() || step == ".")
            continue;
        if (step == "..") {
            // Above the page's folder: never a name of this panel.
            if (steps.empty())
                return false;
            steps.pop_back();
            continue;
        }
        steps.push_back(step);
    }
    if (steps.size() != 1)
        return false;
    const std::string &result = steps[0];
    if (result.size() >= 260)
        return false;
    for (unsigned char c : result) {
        if (c < 32 || strchr(":*?\"<>|", c))
            return false;
    }
    *name = result;
    return true;
}

std::vector<std::string> HtmlLocalNames(const char *text, size_t length) {
    std::vector<std::string> names;
    std::set<std::string> keys;
    for (const std::string &value : HtmlReferenceValues(text, length)) {
        std::string name;
        if (!HtmlLocalName(value, &name))
            continue;
        std::string key = name;
        for (char &c : key)
            c = Lower(c);
        if (keys.insert(key).second)
            names.push_back(name);
    }
    return names;
}
