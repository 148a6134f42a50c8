#include "paxh264options.h"

#include "paxavptr.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <future>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace paxh264 {

namespace {

const char* const kProfiles[] = {"baseline", "extended", "main", "high"};
const char* const kPresets[] = {"ultrafast", "superfast", "veryfast", "faster", "fast",
                                "medium",    "slow",      "slower",   "veryslow", "placebo"};
const char* const kQuantizers[] = {"51", "23", "13"};

template <int N>
const char* pick(const char* const (&table)[N], int index)
{
    return index >= 0 && index < N ? table[index] : nullptr;
}

} // namespace

const char* profileName(int profile)
{
    return pick(kProfiles, profile);
}

const char* presetName(int preset)
{
    return pick(kPresets, preset);
}

const char* quantizerText(int quantizationParameter)
{
    return pick(kQuantizers, quantizationParameter);
}

int64_t bitRateOf(int step)
{
    if (step >= 0 && step <= 5)
        return int64_t(1048576) << step;
    return 8388608;
}

bool encoderOpens(const QString& name)
{
    const AVCodec* codec = avcodec_find_encoder_by_name(name.toLatin1().constData());
    if (!codec)
        return false;
    paxav::CodecContext ctx(avcodec_alloc_context3(codec));
    if (!ctx)
        return false;
    ctx->bit_rate = 8000000;
    ctx->width = 1920;
    ctx->height = 1080;
    ctx->time_base = AVRational{1, 25};
    ctx->framerate = AVRational{25, 1};
    ctx->gop_size = 10;
    ctx->max_b_frames = 0;
    ctx->pix_fmt = AV_PIX_FMT_NV12;
    if (codec->pix_fmts) {
        bool nv12 = false;
        for (const AVPixelFormat* f = codec->pix_fmts; *f != AV_PIX_FMT_NONE; ++f)
            nv12 = nv12 || *f == AV_PIX_FMT_NV12;
        if (!nv12)
            ctx->pix_fmt = codec->pix_fmts[0];
    }
    AVDictionary* options = nullptr;
    if (codec->id == AV_CODEC_ID_H264)
        av_dict_set(&options, "preset", "slow", 0);
    const int ret = avcodec_open2(ctx.get(), codec, &options);
    av_dict_free(&options);
    return ret >= 0;
}

namespace {

// The answers of encoderOpens() of this process, by name; the thread of probeEncodersAhead() is
// joined at exit.
struct ProbeCache {
    std::mutex lock;
    std::map<QString, std::shared_future<bool>> answers;
    std::vector<std::thread> probes;
    ~ProbeCache()
    {
        for (std::thread& t : probes)
            t.join();
    }
};

ProbeCache& probeCache()
{
    static ProbeCache cache;
    return cache;
}

} // namespace

bool encoderUsable(const QString& name)
{
    ProbeCache& cache = probeCache();
    std::shared_future<bool> answer;
    std::promise<bool> mine;
    bool probeHere = false;
    {
        std::lock_guard<std::mutex> lock(cache.lock);
        auto it = cache.answers.find(name);
        if (it != cache.answers.end()) {
            answer = it->second;
        } else {
            answer = mine.get_future().share();
            cache.answers.emplace(name, answer);
            probeHere = true;
        }
    }
    if (probeHere)
        mine.set_value(encoderOpens(name));
    return answer.get();
}

void probeEncodersAhead(const QStringList& names)
{
    ProbeCache& cache = probeCache();
    std::vector<std::pair<QString, std::promise<bool>>> todo;
    std::lock_guard<std::mutex> lock(cache.lock);
    for (const QString& name : names) {
        if (cache.answers.count(name))
            continue;
        std::promise<bool> promise;
        cache.answers.emplace(name, promise.get_future().share());
        todo.emplace_back(name, std::move(promise));
    }
    if (todo.empty())
        return;
    cache.probes.emplace_back([todo = std::move(todo)]() mutable {
        for (auto& entry : todo)
            entry.second.set_value(encoderOpens(entry.first));
    });
}

AVPixelFormat encoderPixelFormat(const AVCodec* codec, const QString& encoderName)
{
    if (encoderName == QLatin1String("h264_videotoolbox") || !codec || !codec->pix_fmts)
        return AV_PIX_FMT_YUV420P;
    return codec->pix_fmts[0];
}

EncoderSettings encoderSettings(const RecordSettings& record, int pixelFormat, int fps)
{
    EncoderSettings s;
    const int64_t br = record.bitRate;
    switch (record.bitrateType) {
    case RateControlCBR:
        s.bitRate = s.minRate = s.maxRate = br;
        s.rateTolerance = int(br);
        s.bufferSize = int(br);
        s.initialBufferOccupancy = int(br * 3 / 4);
        break;
    case RateControlVBR:
        s.bitRate = br;
        s.minRate = br - br * 3 / 4;
        s.maxRate = br + br * 3 / 4;
        s.fixedQualityScale = record.encoderName != QLatin1String("h264_videotoolbox");
        break;
    case RateControlABR:
        s.bitRate = br;
        break;
    default:
        break;
    }
    s.gopSize = 3 * fps;
    s.maxBFrames = 0;
    if (pixelFormat != AV_PIX_FMT_NV12) {
        s.qmin = 10;
        s.qmax = 40;
        if (const char* profile = profileName(record.profile))
            s.options.append(qMakePair(QByteArray("profile"), QByteArray(profile)));
        s.options.append(qMakePair(QByteArray("tune"), QByteArray("zerolatency")));
        if (const char* preset = presetName(record.preset))
            s.options.append(qMakePair(QByteArray("preset"), QByteArray(preset)));
    }
    const char* quantizer = quantizerText(record.quantizationParameter);
    const bool byQuantizer = record.bitrateType == RateControlCRF || record.bitrateType == RateControlCQP;
    if (byQuantizer && quantizer)
        s.options.append(
            qMakePair(QByteArray(record.bitrateType == RateControlCQP ? "qp" : "crf"), QByteArray(quantizer)));
    return s;
}

void applyEncoderSettings(AVCodecContext* encoder, const EncoderSettings& s, AVDictionary** options)
{
    encoder->bit_rate = s.bitRate;
    if (s.minRate)
        encoder->rc_min_rate = s.minRate;
    if (s.maxRate)
        encoder->rc_max_rate = s.maxRate;
    if (s.rateTolerance)
        encoder->bit_rate_tolerance = s.rateTolerance;
    if (s.bufferSize)
        encoder->rc_buffer_size = s.bufferSize;
    if (s.initialBufferOccupancy)
        encoder->rc_initial_buffer_occupancy = s.initialBufferOccupancy;
    if (s.fixedQualityScale)
        encoder->flags |= AV_CODEC_FLAG_QSCALE;
    encoder->gop_size = s.gopSize;
    encoder->max_b_frames = s.maxBFrames;
    if (s.globalHeader)
        encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (s.qmin >= 0)
        encoder->qmin = s.qmin;
    if (s.qmax >= 0)
        encoder->qmax = s.qmax;
    for (const auto& option : s.options) {
        av_dict_set(options, option.first.constData(), option.second.constData(), 0);
        if (option.first == "crf" || option.first == "qp")
            av_opt_set(encoder, option.first.constData(), option.second.constData(),
                       AV_OPT_SEARCH_CHILDREN);
    }
}

} // namespace paxh264
