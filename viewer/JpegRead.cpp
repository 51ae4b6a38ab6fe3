#include "viewer/JpegRead.h"

#include <setjmp.h>
#include <stdio.h>
#include <string.h>

#include <jpeglib.h>

namespace {

// libjpeg's fatal errors must not return into the library: error_exit jumps
// back to the reader.
struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void JpegOnFatal(j_common_ptr cinfo) {
    longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}
void JpegOnMessage(j_common_ptr, int) {}
void JpegOutputMessage(j_common_ptr) {}

inline uint8_t MulDiv255(uint32_t a, uint32_t b) {
    uint32_t t = a * b + 128;
    return (uint8_t)((t + (t >> 8)) >> 8);
}

// CMYK stored as Adobe writes it (inverted) or plain, to blue, green, red.
void CmykRow(const uint8_t* cmyk, uint8_t* bgr, uint32_t width, bool inverted) {
    for (uint32_t x = 0; x < width; x++, cmyk += 4, bgr += 3) {
        uint32_t c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        // k is now the remaining light; each ink takes its share of it.
        bgr[0] = (uint8_t)(k - MulDiv255(255 - y, k));
        bgr[1] = (uint8_t)(k - MulDiv255(255 - m, k));
        bgr[2] = (uint8_t)(k - MulDiv255(255 - c, k));
    }
}

struct JpegJob {
    jpeg_decompress_struct cinfo;
    JpegError err;
    PictureRecord* pic;
    const PicAllocator* a;
};

bool JpegRun(JpegJob* job, const uint8_t* data, size_t size) {
    j_decompress_ptr cinfo = &job->cinfo;
    if (setjmp(job->err.jump)) return job->pic->dibBlock != nullptr;
    jpeg_mem_src(cinfo, const_cast<unsigned char*>(data), (unsigned long)size);
    jpeg_read_header(cinfo, TRUE);
    bool grey = cinfo->jpeg_color_space == JCS_GRAYSCALE;
    bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    cinfo->out_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_calc_output_dimensions(cinfo);
    if (cinfo->output_width == 0 || cinfo->output_height == 0) return false;
    // Refuse before libjpeg allocates its buffers for a size no picture takes.
    uint32_t stride, blockSize;
    if (!DibLayout(cinfo->output_width, cinfo->output_height, grey ? 8 : 24, &stride, &blockSize))
        return false;
    jpeg_start_decompress(cinfo);
    if (!PicCreate(job->pic, *job->a, (int32_t)cinfo->output_width, (int32_t)cinfo->output_height,
                   grey ? 8 : 24, -1))
        return false;
    if (grey) PicSetGreyTable(job->pic, 256);
    JSAMPARRAY cmykRow = nullptr;
    if (cmyk)
        cmykRow = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                              cinfo->output_width * 4, 1);
    while (cinfo->output_scanline < cinfo->output_height) {
        uint8_t* row = PicRow(job->pic, (int32_t)cinfo->output_scanline);
        if (cmyk) {
            if (jpeg_read_scanlines(cinfo, cmykRow, 1) != 1) break;
            CmykRow(cmykRow[0], row, cinfo->output_width, cinfo->saw_Adobe_marker);
        } else {
            JSAMPROW rows[1] = {row};
            if (jpeg_read_scanlines(cinfo, rows, 1) != 1) break;
        }
    }
    if (cinfo->output_scanline == cinfo->output_height) jpeg_finish_decompress(cinfo);
    return true;
}

} // namespace

bool JpegSignature(const uint8_t* data, size_t size) {
    return size >= 4 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF &&
           ((data[3] >> 4) == 0xE || (data[3] >> 4) == 0xD);
}

bool JpegDecode(const uint8_t* data, size_t size, PictureRecord* pic, const PicAllocator& a) {
    memset(pic, 0, sizeof *pic);
    if (!JpegSignature(data, size)) return false;
    // Large: the decompression record and its jump buffer stay off the
    // caller's small stacks.
    JpegJob* job = static_cast<JpegJob*>(a.alloc(sizeof(JpegJob)));
    if (!job) return false;
    job->pic = pic;
    job->a = &a;
    job->cinfo.err = jpeg_std_error(&job->err.mgr);
    job->err.mgr.error_exit = JpegOnFatal;
    job->err.mgr.emit_message = JpegOnMessage;
    job->err.mgr.output_message = JpegOutputMessage;
    volatile bool shown = false;
    if (setjmp(job->err.jump) == 0) {
        jpeg_create_decompress(&job->cinfo);
        shown = JpegRun(job, data, size);
    }
    jpeg_destroy_decompress(&job->cinfo);
    a.release(reinterpret_cast<void**>(&job));
    if (!shown || !pic->dibBlock) {
        PicRelease(pic, a);
        return false;
    }
    return true;
}
