#pragma once
// The packer definitions file VANDZIP.SET as a byte image: a u16 record
// count, then the records back to back. A record: u16 length (head
// included), ten u16 offsets of its strings (the first always 22), then the
// ten zero-terminated strings in order. Little-endian, no padding. No
// windows.h: the native build tests it.
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

enum PackerString : int {
    kPackerName = 0,
    kPackerExtension = 1,
    kPackerAdd = 2,
    kPackerAddPath = 3,
    kPackerExtract = 4,
    kPackerExtractPath = 5,
    kPackerDelete = 6,
    kPackerOption1 = 7,
    kPackerOption2 = 8,
    kPackerOption3 = 9,
    kPackerStringCount = 10,
};
const uint32_t kPackerRecordHead = 22;
const uint32_t kPackerMinFile = 25; // smaller files hold no definitions

// Longest text of each string a form keeps (the dialog's edit limits).
extern const uint8_t kPackerEditLimit[kPackerStringCount];

typedef std::vector<uint8_t> PackerImage;

// Empty when the image is sound; else what is wrong with which record, for
// the user ("record 3: string 4 runs past the record").
std::string PackerImageCheck(const uint8_t *image, size_t size);
uint16_t PackerImageCount(const PackerImage &image);
// Offset of record n in the image; n beyond the last gives the last one;
// -1 when there is none.
long PackerRecordOffset(const PackerImage &image, uint32_t n);
// String `index` of record n (empty when there is none).
std::string PackerGetString(const PackerImage &image, uint32_t n, int index);

struct PackerForm {
    std::string text[kPackerStringCount];
};
// Cuts each text to its limit and gives strings 2-9 their one trailing blank
// when they are not empty and do not end in one.
void PackerNormaliseForm(PackerForm *form);
std::vector<uint8_t> PackerBuildRecord(const PackerForm &form);
PackerForm PackerReadRecord(const PackerImage &image, uint32_t n);

// Edits; each keeps the image sound and returns false (image unchanged)
// when the record does not exist.
void PackerInsertEmpty(PackerImage *image, uint32_t after); // no image: becomes {1, empty record}
bool PackerReplace(PackerImage *image, uint32_t n, const PackerForm &form);
bool PackerDelete(PackerImage *image, uint32_t n);
