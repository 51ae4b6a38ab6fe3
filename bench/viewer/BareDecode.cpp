// bare_decode FILE: decodes a PNG or JPEG into memory as 24-bit rows and
// prints its size and the time taken on stderr; nothing else. The baseline of the viewer benchmark.
#include <windows.h>

#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <jpeglib.h>
#include <png.h>

static int DecodePng(const char *path) {
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path)) return 2;
    image.format = PNG_FORMAT_BGR;
    size_t size = PNG_IMAGE_SIZE(image);
    void *buffer = malloc(size);
    if (!buffer || !png_image_finish_read(&image, nullptr, buffer, 0, nullptr)) {
        free(buffer);
        png_image_free(&image);
        return 2;
    }
    printf("png %ux%u\n", image.width, image.height);
    free(buffer);
    return 0;
}

struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf back;
};

static void JpegFail(j_common_ptr info) {
    longjmp(reinterpret_cast<JpegError *>(info->err)->back, 1);
}

static int DecodeJpeg(const char *path) {
    FILE *f = fopen(path, "rb");
    if (!f) return 2;
    jpeg_decompress_struct info;
    JpegError err;
    info.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = JpegFail;
    unsigned char *buffer = nullptr;
    if (setjmp(err.back)) {
        jpeg_destroy_decompress(&info);
        fclose(f);
        free(buffer);
        return 2;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, f);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    size_t stride = ((size_t)info.output_width * 3 + 3) & ~(size_t)3;
    buffer = static_cast<unsigned char *>(malloc(stride * info.output_height));
    if (!buffer) longjmp(err.back, 1);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = buffer + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    printf("jpeg %ux%u\n", info.output_width, info.output_height);
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    fclose(f);
    free(buffer);
    return 0;
}

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: bare_decode FILE\n");
        return 1;
    }
    FILE *f = fopen(argv[1], "rb");
    unsigned char sig[8] = {};
    if (!f) return 2;
    size_t n = fread(sig, 1, sizeof sig, f);
    fclose(f);
    DWORD start = GetTickCount();
    int rc = 2;
    if (n == 8 && !png_sig_cmp(sig, 0, 8))
        rc = DecodePng(argv[1]);
    else if (n >= 3 && sig[0] == 0xFF && sig[1] == 0xD8)
        rc = DecodeJpeg(argv[1]);
    fprintf(stderr, "decode %lu ms\n", GetTickCount() - start);
    return rc;
}
