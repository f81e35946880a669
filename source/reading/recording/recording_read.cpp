// recording_read.cpp - the demux and decode loop of read_recording (see
// recording.h): FFmpeg's demuxer for the name's ending, the stream's
// decoder, and each decoded frame handed to the frame reader
// (frame_reader.h) with its time and its YUV format.
#include "reading/recording/recording.h"

#include "reading/recording/frame_reader.h"
#include "reading/recording/recording_decode.h"
#include "reading/recording/recording_names.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/parseutils.h>
}

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>

// The largest frame decoded: 8K. Anything larger is refused by the decoder
// (a damaged or hostile file) instead of taking gigabytes.
constexpr int64_t RECORDING_MAX_PIXELS = 7680LL * 4320;
constexpr int64_t PROGRESS_EVERY_MS = 100;

struct Session {
    const RecordingJob* job;
    Recording* recording;
    AVFormatContext* format;
    AVCodecContext* codec;
    AVPacket* packet;
    AVFrame* frame;
    const AVStream* stream;
    FrameReader* reader;
    bool start_known;
    int64_t start;        // the stream's start, in its time base
    int64_t last_us;      // the latest frame's time
    bool have_converter;
    YuvFormat yuv;
    YuvConverter to_rgb;
    std::chrono::steady_clock::time_point last_progress;
};

static void stop(Session* session, RecordingProblem problem) {
    if (session->recording->problem == RecordingProblem::none) {
        session->recording->problem = problem;
    }
    if (problem == RecordingProblem::damaged) {
        session->recording->stopped_at = static_cast<double>(session->last_us) / 1e6;
    }
}

static bool stopped(const Session& session) {
    return session.recording->problem != RecordingProblem::none;
}

// FFmpeg returns the system's codes negated; its own codes are tags far
// beyond them.
static bool is_system_error(int code) {
    return code < 0 && code > -4096;
}

static int64_t creation_time(const AVFormatContext* format) {
    const AVDictionaryEntry* tag = av_dict_get(format->metadata, "creation_time", nullptr, 0);
    int64_t us = 0;
    if (!tag || av_parse_time(&us, tag->value, 0) < 0 || us < 0) return -1;
    return us / 1000000;
}

static RecordingInfo info_of(const AVFormatContext* format, const AVStream* stream) {
    RecordingInfo info = {};
    info.width = stream->codecpar->width;
    info.height = stream->codecpar->height;
    if (format->duration > 0) info.duration = static_cast<double>(format->duration) / AV_TIME_BASE;
    if (stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0) {
        info.frame_rate = av_q2d(stream->avg_frame_rate);
    }
    info.creation_time = creation_time(format);
    return info;
}

static const AVStream* first_video_stream(const AVFormatContext* format) {
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream* stream = format->streams[i];
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
        if (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) continue;
        return stream;
    }
    return nullptr;
}

// The decoders this program uses; null for any other codec. AV1 goes
// through dav1d: FFmpeg's own AV1 decoder needs hardware.
static const AVCodec* decoder_for(AVCodecID id) {
    switch (id) {
    case AV_CODEC_ID_H264:
    case AV_CODEC_ID_HEVC:
    case AV_CODEC_ID_VP9:
        return avcodec_find_decoder(id);
    case AV_CODEC_ID_AV1:
        return avcodec_find_decoder_by_name("libdav1d");
    default:
        return nullptr;
    }
}

// Opens the file with its name's demuxer and finds the video stream.
static bool open_input(Session* session, const char* path) {
    Recording* recording = session->recording;
    const char* demuxer = recording_demuxer(path);
    const AVInputFormat* input_format = demuxer ? av_find_input_format(demuxer) : nullptr;
    if (!input_format) {
        stop(session, RecordingProblem::not_a_recording);
        return false;
    }
    int result = avformat_open_input(&session->format, path, input_format, nullptr);
    if (result < 0) {
        if (result == AVERROR(ENOMEM)) {
            stop(session, RecordingProblem::out_of_memory);
        } else if (is_system_error(result)) {
            recording->error = AVUNERROR(result);
            stop(session, RecordingProblem::cannot_open);
        } else {
            stop(session, RecordingProblem::not_a_recording);
        }
        return false;
    }
    // FLV and MPEG-TS headers do not carry the picture's size: the first
    // packets are parsed for it.
    bool headerless = strcmp(demuxer, "flv") == 0 || strcmp(demuxer, "mpegts") == 0;
    if (headerless && avformat_find_stream_info(session->format, nullptr) < 0) {
        stop(session, RecordingProblem::not_a_recording);
        return false;
    }
    session->stream = first_video_stream(session->format);
    if (!session->stream) {
        stop(session, RecordingProblem::no_video);
        return false;
    }
    return true;
}

static bool open_decoder(Session* session, const RecordingDecoder& options) {
    const AVCodecParameters* parameters = session->stream->codecpar;
    const AVCodec* decoder = decoder_for(parameters->codec_id);
    if (!decoder) {
        stop(session, RecordingProblem::unsupported);
        return false;
    }
    session->codec = avcodec_alloc_context3(decoder);
    session->packet = av_packet_alloc();
    session->frame = av_frame_alloc();
    if (!session->codec || !session->packet || !session->frame) {
        stop(session, RecordingProblem::out_of_memory);
        return false;
    }
    AVCodecContext* codec = session->codec;
    if (avcodec_parameters_to_context(codec, parameters) < 0) {
        stop(session, RecordingProblem::unsupported);
        return false;
    }
    codec->pkt_timebase = session->stream->time_base;
    codec->thread_count = options.threads;
    codec->thread_type = FF_THREAD_FRAME;
    codec->max_pixels = RECORDING_MAX_PIXELS;
    // A damaged packet stops the reading (problem damaged) rather than
    // giving a frame patched up from its neighbours, whose gauge may lie.
    codec->err_recognition |= AV_EF_EXPLODE;
    if (options.skip_loop_filter && parameters->codec_id == AV_CODEC_ID_H264) {
        codec->skip_loop_filter = AVDISCARD_ALL;
    }
    if (options.skip_nonref) codec->skip_frame = AVDISCARD_NONREF;
    int result = avcodec_open2(codec, decoder, nullptr);
    if (result < 0) {
        stop(session, result == AVERROR(ENOMEM) ? RecordingProblem::out_of_memory
                                                : RecordingProblem::unsupported);
        return false;
    }
    return true;
}

// The frame's matrix and range by its tags (the stream's), BT.709 limited
// when it has none; false for a pixel format this program does not read.
static bool yuv_format_of(const AVFrame* frame, const AVCodecParameters* parameters,
                          YuvFormat* yuv) {
    switch (frame->format) {
    case AV_PIX_FMT_YUV420P:
    case AV_PIX_FMT_YUVJ420P:
        yuv->bits = 8;
        break;
    case AV_PIX_FMT_YUV420P10LE:
        yuv->bits = 10;
        break;
    default:
        return false;
    }
    AVColorRange range = frame->color_range != AVCOL_RANGE_UNSPECIFIED ? frame->color_range
                                                                       : parameters->color_range;
    yuv->full_range = frame->format == AV_PIX_FMT_YUVJ420P || range == AVCOL_RANGE_JPEG;
    AVColorSpace space = frame->colorspace != AVCOL_SPC_UNSPECIFIED ? frame->colorspace
                                                                    : parameters->color_space;
    bool bt601 = space == AVCOL_SPC_BT470BG || space == AVCOL_SPC_SMPTE170M;
    yuv->matrix = bt601 ? YuvMatrix::bt601 : YuvMatrix::bt709;
    return true;
}

// The frame's time from the stream's start; a frame without one, or one
// earlier than the frame before it, takes the frame before it's.
static int64_t frame_time_us(Session* session) {
    int64_t stamp = session->frame->best_effort_timestamp;
    if (stamp == AV_NOPTS_VALUE) return session->last_us;
    if (!session->start_known) {
        session->start_known = true;
        session->start = session->stream->start_time != AV_NOPTS_VALUE
                             ? session->stream->start_time : stamp;
        if (stamp < session->start) session->start = stamp;
    }
    int64_t us = av_rescale_q(stamp - session->start, session->stream->time_base, {1, 1000000});
    return us < session->last_us ? session->last_us : us;
}

static void report_progress(Session* session) {
    if (!session->job->on_progress) return;
    auto now = std::chrono::steady_clock::now();
    if (now - session->last_progress < std::chrono::milliseconds(PROGRESS_EVERY_MS)) return;
    session->last_progress = now;
    session->job->on_progress(session->job->context, static_cast<double>(session->last_us) / 1e6,
                              session->reader->frames);
}

static bool read_decoded_frame(Session* session) {
    const AVFrame* frame = session->frame;
    // A frame the decoder patched up over damage: reading stops before it.
    if (frame->decode_error_flags != 0 || (frame->flags & AV_FRAME_FLAG_CORRUPT)) {
        stop(session, RecordingProblem::damaged);
        return false;
    }
    YuvFormat yuv = {};
    if (!yuv_format_of(frame, session->stream->codecpar, &yuv)) {
        stop(session, RecordingProblem::unsupported);
        return false;
    }
    if (!session->have_converter || memcmp(&yuv, &session->yuv, sizeof yuv) != 0) {
        session->yuv = yuv;
        session->to_rgb = yuv_converter(yuv);
        session->have_converter = true;
    }
    session->last_us = frame_time_us(session);
    YuvPlanes planes = {{frame->data[0], frame->data[1], frame->data[2]},
                        {frame->linesize[0], frame->linesize[1], frame->linesize[2]},
                        frame->width, frame->height, yuv.bits > 8};
    read_frame(session->reader, planes, session->to_rgb, session->last_us);
    report_progress(session);
    return true;
}

// Every frame the decoder has ready; false when reading stops.
static bool receive_frames(Session* session) {
    for (;;) {
        int result = avcodec_receive_frame(session->codec, session->frame);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
        if (result < 0) {
            stop(session, result == AVERROR(ENOMEM) ? RecordingProblem::out_of_memory
                                                    : RecordingProblem::damaged);
            return false;
        }
        bool read = read_decoded_frame(session);
        av_frame_unref(session->frame);
        if (!read) return false;
    }
}

static bool send_to_decoder(Session* session, const AVPacket* packet) {
    int result = avcodec_send_packet(session->codec, packet);
    if (result < 0 && result != AVERROR_EOF) {
        stop(session, result == AVERROR(ENOMEM) ? RecordingProblem::out_of_memory
                                                : RecordingProblem::damaged);
        return false;
    }
    return receive_frames(session);
}

// A file cut short ends before the length its headers give (beyond the
// last frames that skip_nonref may leave out).
constexpr int64_t CUT_SHORT_MARGIN_US = 250000;

static bool ends_early(const Session& session) {
    int64_t duration = session.format->duration;
    if (duration <= 0 || duration == AV_NOPTS_VALUE) return false;
    return session.last_us + CUT_SHORT_MARGIN_US < av_rescale(duration, 1000000, AV_TIME_BASE);
}

static void decode_all(Session* session) {
    for (;;) {
        int result = av_read_frame(session->format, session->packet);
        if (result == AVERROR_EOF) break;
        if (result < 0) {
            stop(session, result == AVERROR(ENOMEM) ? RecordingProblem::out_of_memory
                                                    : RecordingProblem::damaged);
            return;
        }
        bool ours = session->packet->stream_index == session->stream->index;
        bool going = !ours || send_to_decoder(session, session->packet);
        av_packet_unref(session->packet);
        if (!going) return;
    }
    if (session->format->pb && session->format->pb->error < 0) {
        stop(session, RecordingProblem::damaged);
        return;
    }
    if (!send_to_decoder(session, nullptr)) return;
    if (ends_early(*session)) stop(session, RecordingProblem::damaged);
}

static void close_session(Session* session) {
    frame_reader_end(session->reader);
    av_frame_free(&session->frame);
    av_packet_free(&session->packet);
    avcodec_free_context(&session->codec);
    avformat_close_input(&session->format);
}

static void keep_what_was_read(Session* session) {
    Recording* recording = session->recording;
    RecordingProblem problem = recording->problem;
    if (problem != RecordingProblem::none && problem != RecordingProblem::damaged) return;
    frame_reader_finish(session->reader, recording);
    if (recording->problem == RecordingProblem::out_of_memory) return;
    // No frame at all, whether the stream holds none or is cut before its first.
    if (recording->frames == 0) {
        recording->problem = RecordingProblem::no_frames;
    } else if (recording->problem == RecordingProblem::none && recording->layout < 0) {
        recording->problem = RecordingProblem::no_match;
    }
}

bool read_recording_with(const RecordingJob& job, const RecordingDecoder& decoder,
                         Recording* recording) {
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });  // reading prints nothing
    recording->layout = -1;
    Session session = {};
    session.job = &job;
    session.recording = recording;
    if (open_input(&session, job.path)) {
        recording->info = info_of(session.format, session.stream);
        if (!size_fits_a_layout(recording->info.width, recording->info.height)) {
            stop(&session, RecordingProblem::no_layout);
        } else if (open_decoder(&session, decoder)) {
            session.reader = frame_reader_begin(recording->info.width, recording->info.height,
                                                job.want_crops);
            if (!session.reader) stop(&session, RecordingProblem::out_of_memory);
        }
        if (!stopped(session) && job.on_open) job.on_open(job.context, recording->info);
        if (!stopped(session)) decode_all(&session);
        if (session.reader) keep_what_was_read(&session);
    }
    close_session(&session);
    RecordingProblem problem = recording->problem;
    return problem == RecordingProblem::none || problem == RecordingProblem::damaged;
}

bool read_recording(const RecordingJob& job, Recording* recording) {
    return read_recording_with(job, DEFAULT_RECORDING_DECODER, recording);
}

void free_recording(Recording* recording) {
    for (uint32_t i = 0; i < recording->hit_count; ++i) free(recording->hits[i].crop);
    free(recording->hits);
    *recording = {};
}
