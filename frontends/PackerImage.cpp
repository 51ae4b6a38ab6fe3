#include "frontends/PackerImage.h"

#include <stdio.h>
#include <string.h>

const uint8_t kPackerEditLimit[kPackerStringCount] = {7, 3, 63, 63, 63, 63, 63, 7, 7, 7};

static uint16_t Get16(const uint8_t *p) { return (uint16_t)(p[0] | p[1] << 8); }
static void Put16(uint8_t *p, uint32_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

std::string PackerImageCheck(const uint8_t *image, size_t size) {
    char text[160];
    if (size < 2)
        return "the file holds no record count";
    uint32_t count = Get16(image);
    size_t at = 2;
    for (uint32_t r = 0; r < count; ++r) {
        if (at + kPackerRecordHead > size) {
            snprintf(text, sizeof text, "record %u: the file ends inside it", r + 1);
            return text;
        }
        const uint8_t *rec = image + at;
        uint32_t length = Get16(rec);
        if (length < kPackerRecordHead + kPackerStringCount || at + length > size) {
            snprintf(text, sizeof text, "record %u: its length %u does not fit the file", r + 1, length);
            return text;
        }
        uint32_t expected = kPackerRecordHead;
        for (int i = 0; i < kPackerStringCount; ++i) {
            uint32_t offset = Get16(rec + 2 + 2 * i);
            if (offset != expected || offset >= length) {
                snprintf(text, sizeof text, "record %u: string %d is not where the record says", r + 1, i + 1);
                return text;
            }
            const void *end = memchr(rec + offset, 0, length - offset);
            if (!end) {
                snprintf(text, sizeof text, "record %u: string %d runs past the record", r + 1, i + 1);
                return text;
            }
            expected = (uint32_t)((const uint8_t *)end - rec) + 1;
        }
        if (expected != length) {
            snprintf(text, sizeof text, "record %u: its length %u is not the length of its strings", r + 1, length);
            return text;
        }
        at += length;
    }
    if (at != size) {
        // More bytes than records: a count that lost records, which a save
        // would then drop.
        snprintf(text, sizeof text, "record %u: the file goes on after the last record", count);
        return text;
    }
    return std::string();
}

uint16_t PackerImageCount(const PackerImage &image) { return image.size() >= 2 ? Get16(image.data()) : 0; }

long PackerRecordOffset(const PackerImage &image, uint32_t n) {
    uint32_t count = PackerImageCount(image);
    if (!count)
        return -1;
    if (n >= count)
        n = count - 1;
    size_t at = 2;
    for (uint32_t r = 0; r < n; ++r)
        at += Get16(image.data() + at);
    return (long)at;
}

std::string PackerGetString(const PackerImage &image, uint32_t n, int index) {
    long at = PackerRecordOffset(image, n);
    if (at < 0 || index < 0 || index >= kPackerStringCount)
        return std::string();
    const uint8_t *rec = image.data() + at;
    return std::string((const char *)rec + Get16(rec + 2 + 2 * index));
}

void PackerNormaliseForm(PackerForm *form) {
    for (int i = 0; i < kPackerStringCount; ++i) {
        std::string &t = form->text[i];
        if (i >= kPackerAdd) {
            // Room for the blank the command line needs after the text.
            if (t.size() > (size_t)kPackerEditLimit[i] - 1 && !(t.size() == kPackerEditLimit[i] && t.back() == ' '))
                t.resize((size_t)kPackerEditLimit[i] - 1);
            if (!t.empty() && t.back() != ' ')
                t += ' ';
        } else if (t.size() > kPackerEditLimit[i]) {
            t.resize(kPackerEditLimit[i]);
        }
    }
}

std::vector<uint8_t> PackerBuildRecord(const PackerForm &form) {
    std::vector<uint8_t> rec(kPackerRecordHead);
    for (int i = 0; i < kPackerStringCount; ++i) {
        Put16(rec.data() + 2 + 2 * i, (uint32_t)rec.size());
        const std::string &t = form.text[i];
        size_t len = strnlen(t.c_str(), t.size());
        rec.insert(rec.end(), t.begin(), t.begin() + (long)len);
        rec.push_back(0);
    }
    Put16(rec.data(), (uint32_t)rec.size());
    return rec;
}

PackerForm PackerReadRecord(const PackerImage &image, uint32_t n) {
    PackerForm form;
    for (int i = 0; i < kPackerStringCount; ++i)
        form.text[i] = PackerGetString(image, n, i);
    return form;
}

void PackerInsertEmpty(PackerImage *image, uint32_t after) {
    std::vector<uint8_t> rec = PackerBuildRecord(PackerForm());
    if (PackerImageCount(*image) == 0) {
        image->assign(2, 0);
        Put16(image->data(), 1);
        image->insert(image->end(), rec.begin(), rec.end());
        return;
    }
    uint32_t count = PackerImageCount(*image);
    size_t at = after + 1 >= count ? image->size() : (size_t)PackerRecordOffset(*image, after + 1);
    image->insert(image->begin() + (long)at, rec.begin(), rec.end());
    Put16(image->data(), count + 1);
}

bool PackerReplace(PackerImage *image, uint32_t n, const PackerForm &form) {
    if (n >= PackerImageCount(*image))
        return false;
    PackerForm normal = form;
    PackerNormaliseForm(&normal);
    PackerForm old = PackerReadRecord(*image, n);
    bool same = true;
    for (int i = 0; i < kPackerStringCount; ++i)
        same = same && old.text[i] == normal.text[i];
    if (same)
        return true;
    size_t at = (size_t)PackerRecordOffset(*image, n);
    uint32_t length = Get16(image->data() + at);
    std::vector<uint8_t> rec = PackerBuildRecord(normal);
    image->erase(image->begin() + (long)at, image->begin() + (long)(at + length));
    image->insert(image->begin() + (long)at, rec.begin(), rec.end());
    return true;
}

bool PackerDelete(PackerImage *image, uint32_t n) {
    uint32_t count = PackerImageCount(*image);
    if (n == 0 || n >= count)
        return false; // the first record stays
    size_t at = (size_t)PackerRecordOffset(*image, n);
    uint32_t length = Get16(image->data() + at);
    image->erase(image->begin() + (long)at, image->begin() + (long)(at + length));
    Put16(image->data(), count - 1);
    return true;
}
