#include "tools/record/media_reader.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
}

#include <fstream>
#include <memory>

#include "tools/record/av_support.h"

namespace vexl::record {
namespace {

struct InputCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
using InputPtr = std::unique_ptr<AVFormatContext, InputCloser>;

bool open_input(const std::string& path, InputPtr& input, std::string& problem)
{
    capture_library_messages();
    AVFormatContext* context = nullptr;
    int result = avformat_open_input(&context, path.c_str(), nullptr, nullptr);
    if (result < 0) {
        problem = av_problem("cannot open " + path, result);
        return false;
    }
    input.reset(context);
    result = avformat_find_stream_info(context, nullptr);
    if (result < 0) {
        problem = av_problem("cannot read the streams of " + path, result);
        return false;
    }
    return true;
}

// Finds the first stream of `type` and opens its decoder.
bool open_decoder(AVFormatContext& input, AVMediaType type, int& index, CodecContextPtr& decoder,
                  std::string& problem)
{
    index = av_find_best_stream(&input, type, -1, -1, nullptr, 0);
    if (index < 0) {
        problem = "no such stream";
        return false;
    }
    const AVCodecParameters& parameters = *input.streams[index]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(parameters.codec_id);
    decoder.reset(codec != nullptr ? avcodec_alloc_context3(codec) : nullptr);
    int result =
        decoder ? avcodec_parameters_to_context(decoder.get(), &parameters) : AVERROR_DECODER_NOT_FOUND;
    if (result >= 0) {
        decoder->pkt_timebase = input.streams[index]->time_base;
        result = avcodec_open2(decoder.get(), codec, nullptr);
    }
    if (result < 0) {
        problem = av_problem("cannot decode", result);
        return false;
    }
    return true;
}

// Feeds every packet of stream `index`, then the end, to `decoder`; hands
// each decoded frame to `take`.
bool decode_all(AVFormatContext& input, int index, AVCodecContext& decoder,
                const std::function<bool(const AVFrame&)>& take, std::string& problem)
{
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    // Hands out what the decoder has ready; false on an error.
    const auto receive = [&] {
        int result = 0;
        while ((result = avcodec_receive_frame(&decoder, frame.get())) >= 0) {
            const bool ok = take(*frame);
            av_frame_unref(frame.get());
            if (!ok)
                return false;
        }
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return true;
        problem = av_problem("decoding failed", result);
        return false;
    };
    bool more = true;
    while (more) {
        int result = av_read_frame(&input, packet.get());
        more = result >= 0;
        if (more && packet->stream_index != index) {
            av_packet_unref(packet.get());
            continue;
        }
        // A decoder with frames waiting takes the packet once they are out.
        while ((result = avcodec_send_packet(&decoder, more ? packet.get() : nullptr)) == AVERROR(EAGAIN))
            if (!receive())
                return false;
        av_packet_unref(packet.get());
        if (result < 0) {
            problem = av_problem("decoding failed", result);
            return false;
        }
        if (!receive())
            return false;
    }
    return true;
}

double seconds_of(std::int64_t timestamp, AVRational time_base)
{
    return timestamp == AV_NOPTS_VALUE ? 0.0 : static_cast<double>(timestamp) * av_q2d(time_base);
}

std::uint64_t big_endian(const unsigned char* bytes, int count)
{
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | bytes[i];
    return value;
}

// The offsets of mp4's top-level index and data boxes.
void find_mp4_boxes(const std::string& path, MediaInfo& info)
{
    std::ifstream file(path, std::ios::binary);
    std::int64_t at = 0;
    unsigned char head[16];
    while (file.seekg(at) && file.read(reinterpret_cast<char*>(head), 8)) {
        std::uint64_t size = big_endian(head, 4);
        if (size == 1 && file.read(reinterpret_cast<char*>(head + 8), 8))
            size = big_endian(head + 8, 8);
        const std::string type(reinterpret_cast<const char*>(head + 4), 4);
        if (type == "moov")
            info.index_offset = at;
        else if (type == "mdat")
            info.data_offset = at;
        if (size < 8)
            break;
        at += static_cast<std::int64_t>(size);
    }
}

}  // namespace

bool probe_media(const std::string& path, MediaInfo& info, std::string& problem)
{
    InputPtr input;
    if (!open_input(path, input, problem))
        return false;
    info = {};
    info.container = input->iformat->name;
    info.duration_seconds =
        input->duration == AV_NOPTS_VALUE ? 0.0 : static_cast<double>(input->duration) / AV_TIME_BASE;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream& stream = *input->streams[i];
        const AVCodecParameters& p = *stream.codecpar;
        MediaStream s;
        s.video = p.codec_type == AVMEDIA_TYPE_VIDEO;
        s.codec = avcodec_get_name(p.codec_id);
        s.width = p.width;
        s.height = p.height;
        s.sample_rate = p.sample_rate;
        s.channels = p.ch_layout.nb_channels;
        s.start_seconds = seconds_of(stream.start_time, stream.time_base);
        info.streams.push_back(s);
    }
    if (info.container.find("mp4") != std::string::npos)
        find_mp4_boxes(path, info);
    return true;
}

bool read_pictures(const std::string& path, const std::function<void(const RgbFrame&)>& take,
                   std::string& problem)
{
    InputPtr input;
    int index = -1;
    CodecContextPtr decoder;
    if (!open_input(path, input, problem) ||
        !open_decoder(*input, AVMEDIA_TYPE_VIDEO, index, decoder, problem))
        return false;
    const AVRational time_base = input->streams[index]->time_base;
    ScalerPtr scaler;
    std::vector<std::uint8_t> rgb;
    return decode_all(
        *input, index, *decoder,
        [&](const AVFrame& frame) {
            // Exact conversion to RGB: the same size, so nothing is filtered.
            scaler.reset(sws_getCachedContext(
                scaler.release(), frame.width, frame.height, static_cast<AVPixelFormat>(frame.format),
                frame.width, frame.height, AV_PIX_FMT_RGB24,
                SWS_POINT | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr));
            if (!scaler) {
                problem = "cannot convert the pictures to RGB";
                return false;
            }
            if (frame.color_range == AVCOL_RANGE_MPEG || frame.colorspace == AVCOL_SPC_BT709) {
                const int* matrix =
                    sws_getCoefficients(frame.colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT);
                sws_setColorspaceDetails(scaler.get(), matrix, frame.color_range == AVCOL_RANGE_JPEG, matrix,
                                         1, 0, 1 << 16, 1 << 16);
            }
            rgb.resize(static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height) * 3);
            std::uint8_t* planes[1] = {rgb.data()};
            const int strides[1] = {frame.width * 3};
            sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
            take(RgbFrame{frame.width, frame.height, seconds_of(frame.best_effort_timestamp, time_base),
                          &rgb});
            return true;
        },
        problem);
}

bool read_sound(const std::string& path, DecodedSound& sound, std::string& problem)
{
    InputPtr input;
    int index = -1;
    CodecContextPtr decoder;
    if (!open_input(path, input, problem) ||
        !open_decoder(*input, AVMEDIA_TYPE_AUDIO, index, decoder, problem))
        return false;
    const AVRational time_base = input->streams[index]->time_base;
    sound = {};
    ResamplerPtr converter;
    std::vector<std::int16_t> part;
    bool first = true;
    return decode_all(
        *input, index, *decoder,
        [&](const AVFrame& frame) {
            if (first) {
                first = false;
                sound.rate = frame.sample_rate;
                sound.start_seconds = seconds_of(frame.best_effort_timestamp, time_base);
                AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
                AVChannelLayout layout{};
                av_channel_layout_copy(&layout, &frame.ch_layout);
                SwrContext* swr = nullptr;
                if (swr_alloc_set_opts2(&swr, &mono, AV_SAMPLE_FMT_S16, frame.sample_rate, &layout,
                                        static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0,
                                        nullptr) < 0 ||
                    swr_init(swr) < 0) {
                    av_channel_layout_uninit(&layout);
                    swr_free(&swr);
                    problem = "cannot convert the sound to samples";
                    return false;
                }
                av_channel_layout_uninit(&layout);
                converter.reset(swr);
            }
            part.resize(static_cast<std::size_t>(frame.nb_samples) + 256);
            std::uint8_t* out[1] = {reinterpret_cast<std::uint8_t*>(part.data())};
            const int got =
                swr_convert(converter.get(), out, static_cast<int>(part.size()),
                            const_cast<const std::uint8_t**>(frame.extended_data), frame.nb_samples);
            if (got < 0) {
                problem = "cannot convert the sound to samples";
                return false;
            }
            sound.samples.insert(sound.samples.end(), part.begin(), part.begin() + got);
            return true;
        },
        problem);
}

}  // namespace vexl::record
