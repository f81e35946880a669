// inflate.cpp - a raw deflate stream with ISA-L or zlib (see inflate.h).
#include "reading/png/inflate.h"

#include <cstdlib>

#ifdef HEALTHGAUGE_ISAL
#include <isa-l/igzip_lib.h>
#else
#include <zlib.h>
#endif

namespace {

// The most bytes handed to the library in one call (its counts are 32-bit).
const size_t MAX_STEP_BYTES = size_t(1) << 30;

size_t step_size(size_t size) { return size < MAX_STEP_BYTES ? size : MAX_STEP_BYTES; }

}  // namespace

#ifdef HEALTHGAUGE_ISAL

struct InflateState {
    inflate_state isal;
};

bool inflate_begin(Inflate* stream) {
    stream->state = static_cast<InflateState*>(malloc(sizeof(InflateState)));
    if (!stream->state) return false;
    isal_inflate_init(&stream->state->isal);  // raw deflate, full 32 KiB window
    return true;
}

InflateStep inflate_some(Inflate* stream, const uint8_t** in, size_t* in_size, uint8_t** out,
                         size_t* out_size) {
    inflate_state& isal = stream->state->isal;
    uint32_t in_step = static_cast<uint32_t>(step_size(*in_size));
    uint32_t out_step = static_cast<uint32_t>(step_size(*out_size));
    isal.next_in = const_cast<uint8_t*>(*in);  // ISA-L only reads its input
    isal.avail_in = in_step;
    isal.next_out = *out;
    isal.avail_out = out_step;
    int status = isal_inflate(&isal);
    *in += in_step - isal.avail_in;
    *in_size -= in_step - isal.avail_in;
    *out += out_step - isal.avail_out;
    *out_size -= out_step - isal.avail_out;
    if (status < 0) return InflateStep::failed;
    return isal.block_state == ISAL_BLOCK_FINISH ? InflateStep::ended : InflateStep::going;
}

void inflate_end(Inflate* stream) {
    free(stream->state);
    stream->state = nullptr;
}

const char* inflate_library() { return "ISA-L"; }

#else

struct InflateState {
    z_stream zlib;
};

bool inflate_begin(Inflate* stream) {
    stream->state = static_cast<InflateState*>(calloc(1, sizeof(InflateState)));
    if (!stream->state) return false;
    if (inflateInit2(&stream->state->zlib, -MAX_WBITS) != Z_OK) {  // raw deflate
        free(stream->state);
        stream->state = nullptr;
        return false;
    }
    return true;
}

InflateStep inflate_some(Inflate* stream, const uint8_t** in, size_t* in_size, uint8_t** out,
                         size_t* out_size) {
    z_stream& zlib = stream->state->zlib;
    uInt in_step = static_cast<uInt>(step_size(*in_size));
    uInt out_step = static_cast<uInt>(step_size(*out_size));
    zlib.next_in = const_cast<Bytef*>(*in);  // older zlib headers lack const
    zlib.avail_in = in_step;
    zlib.next_out = *out;
    zlib.avail_out = out_step;
    int status = inflate(&zlib, Z_NO_FLUSH);
    *in += in_step - zlib.avail_in;
    *in_size -= in_step - zlib.avail_in;
    *out += out_step - zlib.avail_out;
    *out_size -= out_step - zlib.avail_out;
    if (status == Z_STREAM_END) return InflateStep::ended;
    // Z_BUF_ERROR only says that no progress was possible this time.
    return status == Z_OK || status == Z_BUF_ERROR ? InflateStep::going : InflateStep::failed;
}

void inflate_end(Inflate* stream) {
    inflateEnd(&stream->state->zlib);
    free(stream->state);
    stream->state = nullptr;
}

const char* inflate_library() { return "zlib"; }

#endif
