#include "tools/DiffCore.h"

#include <ctype.h>

#include <algorithm>
#include <unordered_map>

void DiffSplitLines(DiffSide *side)
{
    side->lines.clear();
    side->differing = 0;
    const std::string &t = side->text;
    size_t start = 0, n = t.size();
    uint32_t number = 0;
    for (size_t i = 0; i < n; i++) {
        char c = t[i];
        if (c != '\r' && c != '\n')
            continue;
        DiffLine line;
        line.start = (uint32_t)start;
        line.length = (uint32_t)(i - start);
        line.number = ++number;
        side->lines.push_back(line);
        if (c == '\r' && i + 1 < n && t[i + 1] == '\n')
            i++;
        start = i + 1;
    }
    if (start < n) {
        DiffLine line;
        line.start = (uint32_t)start;
        line.length = (uint32_t)(n - start);
        line.number = ++number;
        side->lines.push_back(line);
    }
}

std::string DiffLineKey(const char *text, size_t length, uint32_t options)
{
    std::string key;
    key.reserve(length);
    for (size_t i = 0; i < length; i++) {
        char c = text[i];
        if ((options & kDiffIgnoreSpaces) && (c == ' ' || c == '\t'))
            continue;
        if (!(options & kDiffCaseSensitive))
            c = (char)toupper((unsigned char)c);
        key.push_back(c);
    }
    return key;
}

bool DiffLinesEqual(const std::string &a, const std::string &b, uint32_t options)
{
    return DiffLineKey(a.data(), a.size(), options) == DiffLineKey(b.data(), b.size(), options);
}

uint32_t DiffMarkLines(DiffSide *side, const DiffSide &other, uint32_t options)
{
    // Unmatched lines of the other file by key, in line order.
    std::unordered_map<std::string, std::vector<uint32_t>> open;
    for (uint32_t j = 0; j < other.lines.size(); j++) {
        const DiffLine &l = other.lines[j];
        open[DiffLineKey(other.text.data() + l.start, l.length, options)].push_back(j);
    }
    uint32_t differing = 0;
    for (uint32_t i = 0; i < side->lines.size(); i++) {
        DiffLine &q = side->lines[i];
        q.counterpart = -1;
        auto found = open.find(DiffLineKey(side->text.data() + q.start, q.length, options));
        if (found == open.end() || found->second.empty()) {
            q.status = kDiffAdded;
            differing++;
            continue;
        }
        std::vector<uint32_t> &candidates = found->second;
        auto at = std::lower_bound(candidates.begin(), candidates.end(), i);
        if (at == candidates.end())
            --at; // none at or after: the last one before
        uint32_t r = *at;
        candidates.erase(at);
        q.counterpart = (int32_t)r;
        uint32_t theirs = other.lines[r].number;
        if (theirs == q.number) {
            q.status = kDiffSame;
        } else {
            q.status = q.number < theirs ? kDiffMovedDown : kDiffMovedUp;
            differing++;
        }
    }
    side->differing = differing;
    return differing;
}

void DiffCompare(DiffSide *left, DiffSide *right, uint32_t options)
{
    DiffMarkLines(left, *right, options);
    DiffMarkLines(right, *left, options);
}

uint32_t DiffItemCount(const DiffSide &side, uint32_t options)
{
    return (options & kDiffOnlyDifferences) ? side.differing : (uint32_t)side.lines.size();
}

int32_t DiffLineAtItem(const DiffSide &side, uint32_t item, uint32_t options)
{
    if (!(options & kDiffOnlyDifferences))
        return item < side.lines.size() ? (int32_t)item : -1;
    for (uint32_t i = 0; i < side.lines.size(); i++) {
        if (side.lines[i].status != kDiffSame && item-- == 0)
            return (int32_t)i;
    }
    return -1;
}

std::string DiffExpandTabs(const std::string &text, unsigned tabWidth)
{
    if (tabWidth == 0)
        tabWidth = 1;
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\t')
            out.append(tabWidth - out.size() % tabWidth, ' ');
        else
            out.push_back(c);
    }
    return out;
}
