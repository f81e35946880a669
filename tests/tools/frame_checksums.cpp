// frame_checksums.cpp - decodes every video frame of a clip with FFmpeg's
// libraries and prints an MD5 of each, so that two builds of the libraries
// (Debian's on Linux, the DLLs of the Windows build under Wine) can be shown
// to decode alike.
//
//   frame_checksums DEMUXER FILE THREADS
//
// Opens FILE with the demuxer named DEMUXER only (mov, matroska, ...),
// decodes its first video stream with the decoder FFmpeg picks for it on
// THREADS threads, and prints one line naming that decoder, then one line a
// frame in output order:
//
//   decoder h264
//   320x240 yuv420p 5a1f...
//
// The MD5 is over the frame's planes, each row's visible bytes only, one
// plane after another: what `ffmpeg -i FILE -f framemd5 -` prints for the
// same frame. Exit status 0 when every packet and frame decoded, 1 with a
// message on stderr otherwise, 2 for a wrong command line. Built for Linux
// (tests/CMakeLists.txt) and for Windows (tests/windows/CMakeLists.txt);
// scripts/test/ffmpeg-windows-frames compares the two.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/md5.h>
#include <libavutil/pixdesc.h>
}

namespace {

constexpr int MD5_BYTES = 16;
constexpr int MAX_THREADS = 64;

// Everything one decode holds, released by close_decode.
struct Decode {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    AVMD5* md5 = nullptr;
    int stream = -1;
    long frames = 0;
};

void close_decode(Decode& decode) {
    av_free(decode.md5);
    av_frame_free(&decode.frame);
    av_packet_free(&decode.packet);
    avcodec_free_context(&decode.codec);
    avformat_close_input(&decode.format);
}

bool fail(const char* what, int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    fprintf(stderr, "frame_checksums: %s: %s\n", what, text);
    return false;
}

// Opens path with the named demuxer alone and its first video stream's decoder.
bool open_decode(Decode& decode, const char* demuxer, const char* path, int threads) {
    const AVInputFormat* input = av_find_input_format(demuxer);
    if (!input) {
        fprintf(stderr, "frame_checksums: no demuxer %s in these libraries\n", demuxer);
        return false;
    }
    int status = avformat_open_input(&decode.format, path, input, nullptr);
    if (status < 0) return fail(path, status);
    status = avformat_find_stream_info(decode.format, nullptr);
    if (status < 0) return fail("reading the streams", status);
    const AVCodec* decoder = nullptr;
    decode.stream = av_find_best_stream(decode.format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (decode.stream < 0) return fail("finding a video stream and its decoder", decode.stream);
    decode.codec = avcodec_alloc_context3(decoder);
    decode.packet = av_packet_alloc();
    decode.frame = av_frame_alloc();
    decode.md5 = av_md5_alloc();
    if (!decode.codec || !decode.packet || !decode.frame || !decode.md5) {
        return fail("allocating", AVERROR(ENOMEM));
    }
    status = avcodec_parameters_to_context(decode.codec,
                                           decode.format->streams[decode.stream]->codecpar);
    if (status < 0) return fail("the stream's parameters", status);
    decode.codec->thread_count = threads;
    status = avcodec_open2(decode.codec, decoder, nullptr);
    if (status < 0) return fail("opening the decoder", status);
    printf("decoder %s\n", decoder->name);
    return true;
}

// Prints one frame's size, pixel format and MD5.
bool print_frame(Decode& decode) {
    const AVFrame& frame = *decode.frame;
    const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(AVPixelFormat(frame.format));
    if (!format || (format->flags & AV_PIX_FMT_FLAG_HWACCEL)) {
        fprintf(stderr, "frame_checksums: frame %ld has no pixel format of memory\n", decode.frames);
        return false;
    }
    // The planes of the picture alone (a palette is not one of them).
    int planes = av_pix_fmt_count_planes(AVPixelFormat(frame.format));
    av_md5_init(decode.md5);
    for (int plane = 0; plane < planes; ++plane) {
        if (!frame.data[plane]) {
            fprintf(stderr, "frame_checksums: frame %ld lacks plane %d\n", decode.frames, plane);
            return false;
        }
        int row_bytes = av_image_get_linesize(AVPixelFormat(frame.format), frame.width, plane);
        bool chroma = plane == 1 || plane == 2;
        int rows = chroma ? AV_CEIL_RSHIFT(frame.height, format->log2_chroma_h) : frame.height;
        if (row_bytes <= 0 || frame.linesize[plane] < row_bytes) {
            fprintf(stderr, "frame_checksums: frame %ld, plane %d: rows of %d bytes in %d\n",
                    decode.frames, plane, row_bytes, frame.linesize[plane]);
            return false;
        }
        for (int row = 0; row < rows; ++row) {
            av_md5_update(decode.md5, frame.data[plane] + int64_t(row) * frame.linesize[plane],
                          size_t(row_bytes));
        }
    }
    uint8_t sum[MD5_BYTES];
    av_md5_final(decode.md5, sum);
    printf("%dx%d %s ", frame.width, frame.height, format->name);
    for (uint8_t byte : sum) printf("%02x", byte);
    printf("\n");
    ++decode.frames;
    return true;
}

// Takes every frame the decoder has ready; false on an error other than
// "send more" or "no more".
bool drain_frames(Decode& decode) {
    for (;;) {
        int status = avcodec_receive_frame(decode.codec, decode.frame);
        if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return true;
        if (status < 0) return fail("decoding", status);
        bool printed = print_frame(decode);
        av_frame_unref(decode.frame);
        if (!printed) return false;
    }
}

bool decode_all(Decode& decode) {
    for (;;) {
        int status = av_read_frame(decode.format, decode.packet);
        if (status == AVERROR_EOF) break;
        if (status < 0) return fail("reading a packet", status);
        if (decode.packet->stream_index == decode.stream) {
            status = avcodec_send_packet(decode.codec, decode.packet);
            av_packet_unref(decode.packet);
            if (status < 0) return fail("sending a packet", status);
            if (!drain_frames(decode)) return false;
        } else {
            av_packet_unref(decode.packet);
        }
    }
    int status = avcodec_send_packet(decode.codec, nullptr);
    if (status < 0) return fail("flushing the decoder", status);
    return drain_frames(decode);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 4) {
        fprintf(stderr, "usage: frame_checksums DEMUXER FILE THREADS\n");
        return 2;
    }
    char* end = nullptr;
    long threads = strtol(argv[3], &end, 10);
    if (*end != '\0' || threads < 1 || threads > MAX_THREADS) {
        fprintf(stderr, "frame_checksums: THREADS must be 1 to %d, not '%s'\n", MAX_THREADS, argv[3]);
        return 2;
    }
    Decode decode;
    bool decoded = open_decode(decode, argv[1], argv[2], int(threads)) && decode_all(decode);
    if (decoded && decode.frames == 0) {
        fprintf(stderr, "frame_checksums: %s has no video frame\n", argv[2]);
        decoded = false;
    }
    close_decode(decode);
    return decoded ? 0 : 1;
}
