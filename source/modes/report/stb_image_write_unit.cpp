// stb_image_write_unit.cpp - the one place the PNG writer's code is compiled
// (the report's gauge crops, and the screenshots the tests write).
//
// Where the build has zlib (HEALTHGAUGE_ZLIB), the writer compresses with it:
// on a gauge crop several times faster than its own compressor, and smaller.
#include <cstdlib>

#ifdef HEALTHGAUGE_ZLIB
#include <zlib.h>

// Level 1: on a gauge crop's noisy pixels higher levels, and the run-length
// or Huffman-only strategies, buy nothing (scripts/bench/report).
constexpr int ZLIB_LEVEL = 1;

// A zlib stream of data_len bytes at data, malloc'd; null on failure.
static unsigned char* zlib_compress(unsigned char* data, int data_len, int* out_len, int) {
    uLongf size = compressBound(static_cast<uLong>(data_len));
    unsigned char* out = static_cast<unsigned char*>(malloc(size));
    if (!out) return nullptr;
    if (compress2(out, &size, data, static_cast<uLong>(data_len), ZLIB_LEVEL) != Z_OK) {
        free(out);
        return nullptr;
    }
    *out_len = static_cast<int>(size);
    return out;
}
#define STBIW_ZLIB_COMPRESS zlib_compress
#endif

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
