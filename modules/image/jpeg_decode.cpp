// JPEG through libjpeg-turbo. libjpeg reports faults by calling error_exit,
// which must not return: it jumps back here. Its warnings (corrupt data,
// a file cut short that it would pad with grey) are refusals too, so no
// image comes back with pixels the file did not hold. Only plain locals live
// between setjmp and longjmp.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

#include "modules/image/decode.h"

namespace {

// Progressive files may hold any number of scans, each a pass over the
// whole image: more than this is a file made to take time.
constexpr int kMaxScans = 256;

struct Failure {
    jpeg_error_mgr manager;  // first, so that cinfo->err points at the record
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void fail(j_common_ptr cinfo) {
    Failure *failure = reinterpret_cast<Failure *>(cinfo->err);
    cinfo->err->format_message(cinfo, failure->message);
    longjmp(failure->jump, 1);
}

void message(j_common_ptr cinfo, int level) {
    if (level < 0) fail(cinfo);  // a warning: the data is corrupt or cut short
}

void progress(j_common_ptr cinfo) {
    j_decompress_ptr d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
        Failure *failure = reinterpret_cast<Failure *>(cinfo->err);
        snprintf(failure->message, sizeof failure->message, "more than %d scans", kMaxScans);
        longjmp(failure->jump, 1);
    }
}

}  // namespace

uint8_t *jpegDecode(const ImageSource &source, const MVPluginImageLimits &limits, int *w, int *h) {
    jpeg_decompress_struct cinfo;
    Failure failure;
    jpeg_progress_mgr monitor;
    uint8_t *volatile pixels = nullptr;
    volatile bool overLimits = false;
    memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = fail;
    failure.manager.emit_message = message;
    failure.message[0] = '\0';
    if (setjmp(failure.jump)) {
        jpeg_destroy_decompress(&cinfo);
        free(pixels);
        if (!overLimits) {
            if (strstr(failure.message, "Backing store"))
                imageFail("JPEG: decoding it needs more memory than the image limits allow");
            else
                imageFail("JPEG: %s", failure.message);
        }
        return nullptr;
    }
    jpeg_create_decompress(&cinfo);
    monitor.progress_monitor = progress;
    cinfo.progress = &monitor;
    // Whole-image buffers (progressive and multi-scan files) are held to the
    // size of the largest RGBA image allowed.
    cinfo.mem->max_memory_to_use = static_cast<long>(limits.maxPixels) * 4;
    if (source.file)
        jpeg_stdio_src(&cinfo, source.file);
    else
        jpeg_mem_src(&cinfo, source.data, static_cast<unsigned long>(source.size));
    jpeg_read_header(&cinfo, TRUE);
    if (!imageWithinLimits(cinfo.image_width, cinfo.image_height, limits)) {
        overLimits = true;
        longjmp(failure.jump, 1);
    }
    cinfo.out_color_space = JCS_EXT_RGBA;
    jpeg_start_decompress(&cinfo);
    size_t stride = static_cast<size_t>(cinfo.output_width) * 4;
    pixels = static_cast<uint8_t *>(malloc(stride * cinfo.output_height));
    if (!pixels) {
        snprintf(failure.message, sizeof failure.message, "out of memory");
        longjmp(failure.jump, 1);
    }
    // Several rows a call, so that whole groups of upsampled rows go straight
    // into the image.
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[16];
        JDIMENSION n = cinfo.output_height - cinfo.output_scanline;
        if (n > 16) n = 16;
        for (JDIMENSION i = 0; i < n; i++) rows[i] = pixels + stride * (cinfo.output_scanline + i);
        jpeg_read_scanlines(&cinfo, rows, n);
    }
    jpeg_finish_decompress(&cinfo);
    *w = static_cast<int>(cinfo.output_width);
    *h = static_cast<int>(cinfo.output_height);
    jpeg_destroy_decompress(&cinfo);
    return pixels;
}
