// libFuzzer harness over one of the viewer's readers, picked at build time
// (FUZZ_png, FUZZ_jpeg, FUZZ_gif, FUZZ_tiff, FUZZ_dbf,
// FUZZ_coff, FUZZ_detect, FUZZ_pcx, FUZZ_tga, FUZZ_xbm, FUZZ_xpm, FUZZ_bmp,
// FUZZ_icon, FUZZ_ani, FUZZ_meta).
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "viewer/AniRead.h"
#include "viewer/BmpRead.h"
#include "viewer/CoffLib.h"
#include "viewer/DbfTable.h"
#include "viewer/Detect.h"
#include "viewer/GifDecode.h"
#include "viewer/IconRead.h"
#include "viewer/JpegRead.h"
#include "viewer/MetaCheck.h"
#include "viewer/PcxRead.h"
#include "viewer/PngRead.h"
#include "viewer/TgaRead.h"
#include "viewer/TiffRead.h"
#include "viewer/XbmRead.h"
#include "viewer/XpmRead.h"

static void* Alloc(size_t n) {
    return calloc(1, n);
}
static void** Release(void** p) {
    free(*p);
    *p = nullptr;
    return p;
}
static const PicAllocator kAlloc = {Alloc, Release};

struct Memory {
    const uint8_t* data;
    size_t size;
};
static bool MemoryRead(void* context, uint64_t offset, void* buffer, uint32_t n) {
    const Memory* m = static_cast<const Memory*>(context);
    if (offset > m->size || n > m->size - offset) return false;
    memcpy(buffer, m->data + offset, n);
    return true;
}

// The picture readers share one shape: bytes in, a picture or a refusal out.
#if defined(FUZZ_png)
#define FUZZ_DECODE PngDecode
#elif defined(FUZZ_jpeg)
#define FUZZ_DECODE JpegDecode
#elif defined(FUZZ_tiff)
#define FUZZ_DECODE TiffDecode
#elif defined(FUZZ_bmp)
#define FUZZ_DECODE BmpDecode
#elif defined(FUZZ_pcx)
#define FUZZ_DECODE PcxDecode
#elif defined(FUZZ_tga)
#define FUZZ_DECODE TgaDecode
#elif defined(FUZZ_xbm)
#define FUZZ_DECODE XbmDecode
#elif defined(FUZZ_xpm)
static const uint8_t kBackground[3] = {1, 2, 3};
static bool XpmWithBackground(const uint8_t* data, size_t size, PictureRecord* pic, const PicAllocator& a) {
    return XpmDecode(data, size, kBackground, pic, a);
}
#define FUZZ_DECODE XpmWithBackground
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
#if defined(FUZZ_DECODE)
    PictureRecord pic;
    bool ok = FUZZ_DECODE(data, size, &pic, kAlloc);
    if (ok) {
        // Every row must be there to be drawn.
        volatile uint8_t sum = 0;
        for (int32_t y = 0; y < pic.height; y++)
            sum ^= PicRow(&pic, y)[pic.stride - 1];
        PicRelease(&pic, kAlloc);
    }
#elif defined(FUZZ_dbf)
    // The same bytes serve as the table and as its memo file.
    Memory m = {data, size};
    DbfSource src = {&m, MemoryRead, size};
    DbfTable t;
    if (DbfOpen(&t, src, kAlloc)) {
        DbfAttachMemo(&t, src);
        DbfCursor* c = static_cast<DbfCursor*>(calloc(1, sizeof(DbfCursor)));
        if (DbfCursorInit(c, &t, kAlloc)) {
            char value[kDbfMemoTextSize];
            for (uint32_t i = 0; i < t.recordCount && i < 64; i++) {
                if (!DbfReadRecord(&t, c, i, src, &src)) break;
                for (uint32_t f = 0; f < t.fieldCount; f++)
                    DbfFieldValue(&t, c, f, value, sizeof value);
            }
        }
        DbfCursorFree(c, kAlloc);
        free(c);
        DbfClose(&t, kAlloc);
    }
    char path[300];
    size_t n = size < 259 ? size : 259;
    memcpy(path, data, n);
    path[n] = 0;
    char memo[260];
    DbfMemoPath(path, memo, sizeof memo);
#elif defined(FUZZ_coff)
    CoffListSymbols(data, size, [](void*, const char* line) {
        volatile size_t n = strlen(line);
        (void)n;
    }, nullptr);
#elif defined(FUZZ_icon)
    // Every image the directory accepts lies inside the file, whole.
    IconList list;
    if (IconParse(data, size, &list, kAlloc)) {
        volatile uint8_t sum = 0;
        for (uint32_t i = 0; i < list.count; i++)
            sum ^= data[list.images[i].offset + list.images[i].size - 1];
        IconListFree(&list, kAlloc);
    }
#elif defined(FUZZ_ani)
    // The tables and frames the parser accepts, and every frame's directory.
    AniCursor ani;
    if (AniParse(data, size, &ani, kAlloc)) {
        volatile uint32_t sum = 0;
        for (uint32_t i = 0; i < ani.steps; i++)
            sum += ani.frames[ani.sequence[i]].length + ani.rates[i];
        for (uint32_t i = 0; i < ani.frameCount; i++) {
            const AniFrame& f = ani.frames[i];
            AniImage images[64];
            uint32_t count;
            bool cursor;
            if (AniFrameDirectory(data + f.offset, f.length, &cursor, images, 64, &count))
                for (uint32_t k = 0; k < count; k++)
                    sum += data[f.offset + images[k].offset + images[k].size - 1];
        }
        AniRelease(&ani, kAlloc);
    }
#elif defined(FUZZ_meta)
    // The structure checks read only inside the data, whatever it claims.
    uint32_t n = 0;
    switch (MetaKindOf(data, size)) {
    case kMetaEnhanced:
        MetaCheckEnhanced(data, size);
        break;
    case kMetaPlaceable:
        if (MetaCheckPlaceable(data, size, &n) && n + 22 > size) abort();
        break;
    default:
        if (MetaCheckWindows(data, size, &n) && 2ull * n > size) abort();
        break;
    }
#elif defined(FUZZ_gif)
    GifStream s;
    if (GifOpen(&s, data, size)) {
        while (GifFrame* f = GifNextFrame(&s, kAlloc, 0x808080)) {
            volatile uint8_t last = f->rows[(size_t)f->stride * f->height - 1];
            (void)last;
            GifFreeFrame(&f, kAlloc);
        }
    }
#else
    if (size >= kDetectHeader) {
        DetectUnicodeText(data);
        DetectXpmHeader(data);
        DetectMediaHeader(data);
    }
    DetectBinary(data, size);
    DetectHtml(data, size);
    JpegSignature(data, size);
    GifSignature(data, size);
    PngSignature(data, size);
    TiffSignature(data, size);
#endif
    return 0;
}
