#include "viewer/PngRead.h"

#include <png.h>
#include <setjmp.h>
#include <string.h>

namespace {

struct PngSource {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

void PngReadFromMemory(png_structp png, png_bytep out, size_t n) {
    PngSource* src = static_cast<PngSource*>(png_get_io_ptr(png));
    if (n > src->size - src->pos) png_error(png, "unexpected end of file");
    memcpy(out, src->data + src->pos, n);
    src->pos += n;
}

void PngOnError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void PngOnWarning(png_structp, png_const_charp) {}

// libpng's own rule for 8-bit compositing without gamma.
inline uint8_t Composite(uint32_t fg, uint32_t alpha, uint32_t bg) {
    return (uint8_t)((fg * alpha + bg * (255 - alpha) + 127) / 255);
}

void CompositeRow(const uint8_t* rgba, uint8_t* bgr, uint32_t width) {
    for (uint32_t x = 0; x < width; x++, rgba += 4, bgr += 3) {
        uint32_t alpha = rgba[3];
        bgr[0] = Composite(rgba[2], alpha, kPngBackground[2]);
        bgr[1] = Composite(rgba[1], alpha, kPngBackground[1]);
        bgr[2] = Composite(rgba[0], alpha, kPngBackground[0]);
    }
}

// What the rows are turned into.
enum PngOutput { kOutPalette, kOutGrey, kOutBgr, kOutComposite };

struct PngJob {
    png_structp png;
    png_infop info;
    PictureRecord* pic;
    const PicAllocator* a;
    uint8_t* scratch;       // RGBA rows of the compositing path
    png_bytep* rowPointers; // picture rows, top first
};

// The part that libpng may leave by longjmp: only PngJob's fields survive,
// and they live in the caller's frame.
bool PngRun(PngJob* job, PngSource* src) {
    png_structp png = job->png;
    png_infop info = job->info;
    if (setjmp(png_jmpbuf(png))) return job->pic->dibBlock != nullptr;
    png_set_read_fn(png, src, PngReadFromMemory);
    png_read_info(png, info);
    png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    int depth = png_get_bit_depth(png, info), type = png_get_color_type(png, info);
    bool transparent = (type & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);

    PngOutput out;
    if (transparent)
        out = kOutComposite;
    else if (type == PNG_COLOR_TYPE_PALETTE)
        out = kOutPalette;
    else if (type == PNG_COLOR_TYPE_GRAY)
        out = kOutGrey;
    else
        out = kOutBgr;

    if (depth == 16) png_set_strip_16(png);
    if (out == kOutPalette && depth < 8) png_set_packing(png);
    if (out == kOutGrey && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (out == kOutBgr) png_set_bgr(png);
    if (out == kOutComposite) {
        png_set_expand(png);
        png_set_gray_to_rgb(png);
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    }
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);

    int bpp = out == kOutBgr || out == kOutComposite ? 24 : 8;
    if (!PicCreate(job->pic, *job->a, (int32_t)width, (int32_t)height, bpp, type)) return false;
    if (out == kOutPalette) {
        png_colorp entries = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &entries, &count) && entries)
            PicSetColourTableRgb(job->pic, count, reinterpret_cast<const uint8_t*>(entries));
    } else if (out == kOutGrey) {
        PicSetGreyTable(job->pic, 256);
    }

    uint64_t pointerBytes = (uint64_t)height * sizeof(png_bytep);
    if (pointerBytes > kPicMaxBlock) return true;
    job->rowPointers = static_cast<png_bytep*>(job->a->alloc((size_t)pointerBytes));
    if (!job->rowPointers) return true;
    if (out != kOutComposite) {
        for (png_uint_32 y = 0; y < height; y++)
            job->rowPointers[y] = PicRow(job->pic, (int32_t)y);
        png_read_image(png, job->rowPointers);
        png_read_end(png, nullptr);
        return true;
    }
    // Compositing needs the alpha of every pass; an interlaced picture is
    // gathered whole first, a plain one goes row by row through one buffer.
    uint64_t rowBytes = (uint64_t)width * 4;
    uint64_t scratchBytes = passes > 1 ? rowBytes * height : rowBytes;
    if (scratchBytes > kPicMaxBlock) return true;
    job->scratch = static_cast<uint8_t*>(job->a->alloc((size_t)scratchBytes));
    if (!job->scratch) return true;
    if (passes > 1) {
        for (png_uint_32 y = 0; y < height; y++)
            job->rowPointers[y] = job->scratch + rowBytes * y;
        png_read_image(png, job->rowPointers);
        for (png_uint_32 y = 0; y < height; y++)
            CompositeRow(job->rowPointers[y], PicRow(job->pic, (int32_t)y), width);
    } else {
        for (png_uint_32 y = 0; y < height; y++) {
            png_read_row(png, job->scratch, nullptr);
            CompositeRow(job->scratch, PicRow(job->pic, (int32_t)y), width);
        }
    }
    png_read_end(png, nullptr);
    return true;
}

} // namespace

bool PngSignature(const uint8_t* data, size_t size) {
    return size >= 8 && png_sig_cmp(data, 0, 8) == 0;
}

bool PngDecode(const uint8_t* data, size_t size, PictureRecord* pic, const PicAllocator& a) {
    memset(pic, 0, sizeof *pic);
    if (!PngSignature(data, size)) return false;
    PngJob job = {};
    job.pic = pic;
    job.a = &a;
    job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngOnError, PngOnWarning);
    if (!job.png) return false;
    job.info = png_create_info_struct(job.png);
    PngSource src = {data, size, 0};
    bool shown = job.info && PngRun(&job, &src);
    png_destroy_read_struct(&job.png, job.info ? &job.info : nullptr, nullptr);
    if (job.scratch) a.release(reinterpret_cast<void**>(&job.scratch));
    if (job.rowPointers) a.release(reinterpret_cast<void**>(&job.rowPointers));
    if (!shown || !pic->dibBlock) {
        PicRelease(pic, a);
        return false;
    }
    return true;
}
