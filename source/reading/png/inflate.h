// inflate.h - a raw deflate stream inflated piece by piece into the
// caller's buffers, with ISA-L's inflate where the build has it
// (HEALTHGAUGE_ISAL) and zlib's otherwise.
//
//     Inflate stream;
//     if (!inflate_begin(&stream)) ... out of memory ...
//     InflateStep step = inflate_some(&stream, &in, &in_size, &out, &out_size);
//     ... in/in_size and out/out_size are advanced past what was used ...
//     inflate_end(&stream);
//
// The stream is raw deflate: the caller reads and checks the two bytes of
// a zlib header itself, and nothing checks the Adler-32 that follows the
// data. Each call stops when the input is used up, the output buffer is
// full, the last block ends or the data is found bad. Output buffers need
// not follow one another in memory: both libraries keep the history that
// later data may refer back to.
#pragma once

#include <cstddef>
#include <cstdint>

struct InflateState;  // the library's own state, allocated by inflate_begin

struct Inflate {
    InflateState* state;
};

enum class InflateStep {
    going,   // more input or more output room is wanted
    ended,   // the last block has ended
    failed,  // the data is not valid deflate
};

// Starts a stream. False when memory runs out.
bool inflate_begin(Inflate* stream);

// Inflates from *in (*in_size bytes) into *out (*out_size bytes of room).
InflateStep inflate_some(Inflate* stream, const uint8_t** in, size_t* in_size, uint8_t** out,
                         size_t* out_size);

void inflate_end(Inflate* stream);

// The library this build inflates with, for messages: "ISA-L" or "zlib".
const char* inflate_library();
