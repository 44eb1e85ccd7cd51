#include "media/poster_frame.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "media/decode_threads.hpp"
#include "media/work_observer.hpp"

namespace lf::media {

namespace {

struct FormatDeleter {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct ScalerDeleter {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

// FFmpeg calls this during every blocking read; a non-zero answer makes the read fail with
// AVERROR_EXIT, which is how a stop reaches inside a long read.
int interruptRead(void* opaque) {
    detail::noteWorkStep();
    return static_cast<const lf::StopToken*>(opaque)->stop_requested() ? 1 : 0;
}

// One opened movie with a decoder for its main video stream.
class MovieDecoder {
public:
    static std::unique_ptr<MovieDecoder> open(const std::filesystem::path& movie, const lf::StopToken& stop) {
        auto decoder = std::unique_ptr<MovieDecoder>(new MovieDecoder(stop));
        return decoder->openFile(movie) ? std::move(decoder) : nullptr;
    }

    // The frame shown at the given time from the stream's start, or nothing when none is
    // (the movie ends earlier, or nothing decodes).
    FramePtr frameAt(double seconds) {
        const int64_t start = stream_->start_time != AV_NOPTS_VALUE ? stream_->start_time : 0;
        const int64_t target = start + av_rescale_q(std::llround(seconds * AV_TIME_BASE), AV_TIME_BASE_Q, stream_->time_base);
        // Land on the key frame at or before the wanted time, then decode forward to it.
        if (av_seek_frame(format_.get(), stream_->index, target, AVSEEK_FLAG_BACKWARD) < 0 && target > start) {
            if (av_seek_frame(format_.get(), stream_->index, start, AVSEEK_FLAG_BACKWARD) < 0) return nullptr;
        }
        avcodec_flush_buffers(codec_.get());

        std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
        FramePtr decoded(av_frame_alloc());
        FramePtr shown;  // the last frame at or before the target
        if (!packet || !decoded) return nullptr;
        bool draining = false;
        while (true) {
            lf::throwIfStopped(*stop_);
            if (!draining) {
                const int read = av_read_frame(format_.get(), packet.get());
                if (read < 0) {
                    lf::throwIfStopped(*stop_);
                    draining = true;
                    avcodec_send_packet(codec_.get(), nullptr);
                } else if (packet->stream_index != stream_->index) {
                    av_packet_unref(packet.get());
                    continue;
                } else {
                    const int sent = avcodec_send_packet(codec_.get(), packet.get());
                    av_packet_unref(packet.get());
                    if (sent < 0 && sent != AVERROR(EAGAIN)) continue;  // a damaged packet; keep going
                }
            }
            while (true) {
                const int received = avcodec_receive_frame(codec_.get(), decoded.get());
                if (received == AVERROR(EAGAIN)) break;
                if (received < 0) return covers(shown, target) ? std::move(shown) : nullptr;  // end of stream
                const int64_t pts = decoded->best_effort_timestamp;
                if (pts == AV_NOPTS_VALUE || pts <= target) {
                    shown.reset(av_frame_clone(decoded.get()));
                    av_frame_unref(decoded.get());
                    if (pts == target) return shown;
                    continue;
                }
                // The first frame past the target: the one before it is on screen at the target.
                // A stream that starts later than asked shows its first frame.
                if (shown) return shown;
                return FramePtr(av_frame_clone(decoded.get()));
            }
        }
    }

    // The clockwise quarter turns that make the picture upright, from the display matrix.
    int clockwiseQuarterTurns() const {
        const uint8_t* matrix = av_stream_get_side_data(stream_, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
        if (matrix == nullptr) return 0;
        // av_display_rotation_get answers counter-clockwise; a phone filming upright writes −90.
        const double counterClockwise = av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
        if (std::isnan(counterClockwise)) return 0;
        const long quarters = std::lround(-counterClockwise / 90.0);
        return static_cast<int>(((quarters % 4) + 4) % 4);
    }

    AVRational sampleAspectRatio(const AVFrame& frame) const {
        AVRational ratio = av_guess_sample_aspect_ratio(format_.get(), stream_, const_cast<AVFrame*>(&frame));
        if (ratio.num <= 0 || ratio.den <= 0) ratio = AVRational{1, 1};
        return ratio;
    }

private:
    explicit MovieDecoder(const lf::StopToken& stop) : stop_(&stop) {}

    bool openFile(const std::filesystem::path& movie) {
        AVFormatContext* context = avformat_alloc_context();
        if (context == nullptr) return false;
        context->interrupt_callback.callback = interruptRead;
        context->interrupt_callback.opaque = const_cast<lf::StopToken*>(stop_);
        // avformat_open_input frees the context itself when it fails.
        if (avformat_open_input(&context, movie.c_str(), nullptr, nullptr) < 0) return false;
        format_.reset(context);
        if (avformat_find_stream_info(format_.get(), nullptr) < 0) return false;
        const AVCodec* codec = nullptr;
        const int index = av_find_best_stream(format_.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
        if (index < 0 || codec == nullptr) return false;
        stream_ = format_->streams[index];
        // Cover art of a sound file is a video stream of one picture; it is no movie.
        if (stream_->disposition & AV_DISPOSITION_ATTACHED_PIC) return false;
        codec_.reset(avcodec_alloc_context3(codec));
        if (!codec_ || avcodec_parameters_to_context(codec_.get(), stream_->codecpar) < 0) return false;
        // As many threads as the machine has, or this decode's share of them when several run at once.
        codec_->thread_count = threadsPerDecode();
        if (avcodec_open2(codec_.get(), codec, nullptr) < 0) return false;
        for (unsigned i = 0; i < format_->nb_streams; ++i) {
            if (static_cast<int>(i) != index) format_->streams[i]->discard = AVDISCARD_ALL;
        }
        return true;
    }

    // Whether a frame left over at the end of the stream is still on screen at the target.
    bool covers(const FramePtr& frame, int64_t target) const {
        if (!frame) return false;
        const int64_t pts = frame->best_effort_timestamp;
        if (pts == AV_NOPTS_VALUE || pts >= target) return true;
        int64_t duration = frame->pkt_duration;
        if (duration <= 0) {
            const AVRational rate = stream_->avg_frame_rate.num > 0 ? stream_->avg_frame_rate : stream_->r_frame_rate;
            if (rate.num > 0 && rate.den > 0) duration = av_rescale_q(1, av_inv_q(rate), stream_->time_base);
        }
        return pts + duration > target;
    }

    const lf::StopToken* stop_;
    std::unique_ptr<AVFormatContext, FormatDeleter> format_;
    std::unique_ptr<AVCodecContext, CodecDeleter> codec_;
    AVStream* stream_ = nullptr;
};

// Converts a decoded frame to 8-bit RGB at a size that fits maxSide with square pixels.
std::optional<Picture> toPicture(const AVFrame& frame, AVRational sampleAspect, int maxSide) {
    if (frame.width <= 0 || frame.height <= 0) return std::nullopt;
    const double displayWidth = frame.width * av_q2d(sampleAspect);
    const double displayHeight = frame.height;
    const double scale = std::min(1.0, maxSide / std::max(displayWidth, displayHeight));
    const int width = std::max(1, static_cast<int>(std::lround(displayWidth * scale)));
    const int height = std::max(1, static_cast<int>(std::lround(displayHeight * scale)));

    std::unique_ptr<SwsContext, ScalerDeleter> scaler(
        sws_getContext(frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), width, height, AV_PIX_FMT_RGB24,
                       SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr));
    if (!scaler) return std::nullopt;
    // Movies say which YUV matrix they use; HD movies that do not say use BT.709.
    int matrix = frame.colorspace;
    if (matrix == AVCOL_SPC_UNSPECIFIED || matrix == AVCOL_SPC_RGB || matrix > AVCOL_SPC_BT2020_CL) {
        matrix = (frame.width >= 1280 || frame.height >= 720) ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
    const int fullRangeIn = frame.color_range == AVCOL_RANGE_JPEG ? 1 : 0;
    sws_setColorspaceDetails(scaler.get(), sws_getCoefficients(matrix), fullRangeIn, sws_getCoefficients(SWS_CS_DEFAULT), 1,
                             0, 1 << 16, 1 << 16);

    const int stride = width * 3;
    std::vector<uint8_t> pixels(static_cast<size_t>(stride) * height + 64);
    uint8_t* destination[4] = {pixels.data(), nullptr, nullptr, nullptr};
    int destinationStride[4] = {stride, 0, 0, 0};
    if (sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, destination, destinationStride) != height) {
        return std::nullopt;
    }
    try {
        return Picture::new_from_memory(pixels.data(), static_cast<size_t>(stride) * height, width, height, 3, VIPS_FORMAT_UCHAR)
            .copy(Picture::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
            .copy_memory();
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

Picture turned(const Picture& picture, int clockwiseQuarterTurns) {
    switch (clockwiseQuarterTurns) {
        case 1: return picture.rot(VIPS_ANGLE_D90).copy_memory();
        case 2: return picture.rot(VIPS_ANGLE_D180).copy_memory();
        case 3: return picture.rot(VIPS_ANGLE_D270).copy_memory();
        default: return picture;
    }
}

}  // namespace

std::optional<Picture> posterFrame(const std::filesystem::path& movie, int maxSide, lf::StopToken stop) {
    lf::throwIfStopped(stop);
    if (!initialize()) return std::nullopt;
    const int side = std::max(maxSide, 1);
    // One opened file per attempt: a failed first attempt can leave the demuxer anywhere.
    for (const double seconds : {1.0, 0.0}) {
        const std::unique_ptr<MovieDecoder> decoder = MovieDecoder::open(movie, stop);
        lf::throwIfStopped(stop);
        if (!decoder) return std::nullopt;
        const FramePtr frame = decoder->frameAt(seconds);
        lf::throwIfStopped(stop);
        if (!frame) continue;
        const std::optional<Picture> picture = toPicture(*frame, decoder->sampleAspectRatio(*frame), side);
        if (!picture) continue;
        try {
            return turned(*picture, decoder->clockwiseQuarterTurns());
        } catch (const vips::VError&) {
            vips_error_clear();
            return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace lf::media
