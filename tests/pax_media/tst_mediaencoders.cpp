// The rate-control rules written into a real libx264 encoder, which then opens; the pixel format
// choice; and the AAC encoder opened for an output container.
#include "paxaacencoder.h"
#include "paxavptr.h"
#include "paxh264options.h"

#include <QtTest>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <thread>

extern "C" {
#include <libavutil/opt.h>
}

namespace {

// The option `name` of the encoder (its private options included) as text; "" when unset.
QByteArray optionOf(AVCodecContext* encoder, const char* name)
{
    uint8_t* value = nullptr;
    if (av_opt_get(encoder, name, AV_OPT_SEARCH_CHILDREN, &value) < 0 || !value)
        return QByteArray();
    const QByteArray text(reinterpret_cast<const char*>(value));
    av_free(value);
    return text;
}

struct OpenedOutput {
    paxav::OutputContext context;
    explicit OpenedOutput(const char* format)
    {
        AVFormatContext* out = nullptr;
        avformat_alloc_output_context2(&out, nullptr, format, nullptr);
        context.reset(out);
    }
};

// libx264 opens counted through FFmpeg's log: each open logs the CPU capabilities it uses.
std::atomic<int> g_x264Opens{0};

void countX264Opens(void* object, int level, const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    char text[512] = {};
    if (format)
        std::vsnprintf(text, sizeof text, format, copy);
    va_end(copy);
    if (std::strstr(text, "using cpu capabilities"))
        ++g_x264Opens;
    av_log_default_callback(object, level, format, args);
}

} // namespace

class TestMediaEncoders : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!avcodec_find_encoder_by_name("libx264"))
            QSKIP("no libx264 encoder in this FFmpeg");
    }

    void rulesInAnOpenedEncoder_data()
    {
        QTest::addColumn<int>("bitrateType");
        QTest::addColumn<int>("quantizer");
        QTest::addColumn<qint64>("bitRate");
        QTest::addColumn<qint64>("minRate");
        QTest::addColumn<qint64>("maxRate");
        QTest::addColumn<int>("bufferSize");
        QTest::addColumn<bool>("qscale");
        QTest::addColumn<QByteArray>("crf");
        QTest::addColumn<QByteArray>("qp");
        const qint64 br = 2097152;   // step 1
        QTest::newRow("CBR") << 0 << 1 << br << br << br << int(br) << false << QByteArray("-1.000000")
                             << QByteArray("-1");
        QTest::newRow("VBR") << 1 << 1 << br << br / 4 << br + br * 3 / 4 << 0 << true << QByteArray("-1.000000")
                             << QByteArray("-1");
        QTest::newRow("ABR") << 2 << 1 << br << qint64(0) << qint64(0) << 0 << false << QByteArray("-1.000000")
                             << QByteArray("-1");
        QTest::newRow("CRF 13") << 3 << 2 << qint64(0) << qint64(0) << qint64(0) << 0 << false
                                << QByteArray("13.000000") << QByteArray("-1");
        QTest::newRow("CQP 51") << 4 << 0 << qint64(0) << qint64(0) << qint64(0) << 0 << false
                                << QByteArray("-1.000000") << QByteArray("51");
    }
    void rulesInAnOpenedEncoder()
    {
        QFETCH(int, bitrateType);
        QFETCH(int, quantizer);
        const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
        paxav::CodecContext encoder(avcodec_alloc_context3(codec));
        QVERIFY(encoder);
        paxh264::RecordSettings record;
        record.bitrateType = bitrateType;
        record.bitRate = paxh264::bitRateOf(1);
        record.quantizationParameter = quantizer;
        record.profile = 3;
        record.preset = 0;
        record.encoderName = QStringLiteral("libx264");
        const AVPixelFormat format = paxh264::encoderPixelFormat(codec, record.encoderName);
        QCOMPARE(format, codec->pix_fmts[0]);
        encoder->width = 320;
        encoder->height = 240;
        encoder->time_base = AVRational{1, 20};
        encoder->framerate = AVRational{20, 1};
        encoder->pix_fmt = format;
        const paxh264::EncoderSettings s = paxh264::encoderSettings(record, format, 20);
        QVERIFY(!s.globalHeader);   // the container decides
        AVDictionary* options = nullptr;
        paxh264::applyEncoderSettings(encoder.get(), s, &options);
        QTEST(qint64(encoder->bit_rate), "bitRate");
        QTEST(qint64(encoder->rc_min_rate), "minRate");
        QTEST(qint64(encoder->rc_max_rate), "maxRate");
        QTEST(encoder->rc_buffer_size, "bufferSize");
        QTEST(bool(encoder->flags & AV_CODEC_FLAG_QSCALE), "qscale");
        QVERIFY(!(encoder->flags & AV_CODEC_FLAG_GLOBAL_HEADER));
        QCOMPARE(encoder->gop_size, 60);
        QCOMPARE(encoder->max_b_frames, 0);
        QCOMPARE(encoder->qmin, 10);
        QCOMPARE(encoder->qmax, 40);
        QTEST(optionOf(encoder.get(), "crf"), "crf");
        QTEST(optionOf(encoder.get(), "qp"), "qp");
        QCOMPARE(QByteArray(av_dict_get(options, "profile", nullptr, 0)->value), QByteArray("high"));
        QCOMPARE(QByteArray(av_dict_get(options, "tune", nullptr, 0)->value), QByteArray("zerolatency"));
        QCOMPARE(QByteArray(av_dict_get(options, "preset", nullptr, 0)->value), QByteArray("ultrafast"));
        const int ret = avcodec_open2(encoder.get(), codec, &options);
        av_dict_free(&options);
        QCOMPARE(ret, 0);
    }

    // The quantizer modes name no bit rate: an encoder whose context starts with FFmpeg's generic
    // 200 kb/s (mpeg4 here) is left with none, so no encoder falls back to a rate-driven mode.
    void quantizerModesClearTheBitRate_data()
    {
        QTest::addColumn<int>("bitrateType");
        QTest::newRow("CRF") << int(paxh264::RateControlCRF);
        QTest::newRow("CQP") << int(paxh264::RateControlCQP);
    }
    void quantizerModesClearTheBitRate()
    {
        QFETCH(int, bitrateType);
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
        if (!codec)
            QSKIP("no mpeg4 encoder in this FFmpeg");
        paxav::CodecContext encoder(avcodec_alloc_context3(codec));
        QVERIFY(encoder);
        QVERIFY(encoder->bit_rate > 0);
        paxh264::RecordSettings record;
        record.bitrateType = bitrateType;
        record.bitRate = paxh264::bitRateOf(3);
        record.quantizationParameter = 1;
        AVDictionary* options = nullptr;
        paxh264::applyEncoderSettings(encoder.get(), paxh264::encoderSettings(record, AV_PIX_FMT_YUV420P, 25),
                                      &options);
        av_dict_free(&options);
        QCOMPARE(encoder->bit_rate, int64_t(0));
    }

    void pixelFormat_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("withCodec");
        QTest::addColumn<bool>("codecFirst");
        QTest::newRow("libx264: its first format") << "libx264" << true << true;
        QTest::newRow("videotoolbox: YUV420P") << "h264_videotoolbox" << true << false;
        QTest::newRow("no codec: YUV420P") << "libx264" << false << false;
    }
    void pixelFormat()
    {
        QFETCH(QString, name);
        QFETCH(bool, withCodec);
        QFETCH(bool, codecFirst);
        const AVCodec* codec = withCodec ? avcodec_find_encoder_by_name("libx264") : nullptr;
        const AVPixelFormat expected = codecFirst ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
        QCOMPARE(paxh264::encoderPixelFormat(codec, name), expected);
    }

    // NV12 encoders get only the rate control and the quantizer, no x264 options.
    void nv12TakesNoX264Options()
    {
        paxh264::RecordSettings record;
        record.bitrateType = paxh264::RateControlCRF;
        record.quantizationParameter = 1;
        const paxh264::EncoderSettings s = paxh264::encoderSettings(record, AV_PIX_FMT_NV12, 25);
        QCOMPARE(s.qmin, -1);
        QCOMPARE(s.qmax, -1);
        QCOMPARE(s.options.size(), 1);
        QCOMPARE(s.options.first().first, QByteArray("crf"));
        QCOMPARE(s.gopSize, 75);
    }

    // Each encoder is probed once per process: the ahead probe and the askers from two threads
    // share one open of libx264 and its answer, which is encoderOpens()'s.
    void encoderProbedOnce()
    {
        av_log_set_level(AV_LOG_INFO);
        av_log_set_callback(countX264Opens);
        g_x264Opens = 0;
        const QStringList names{QStringLiteral("libx264"), QStringLiteral("orvane_no_such_encoder")};
        paxh264::probeEncodersAhead(names);
        paxh264::probeEncodersAhead(names);
        bool inThread = false;
        std::thread asker([&inThread] { inThread = paxh264::encoderUsable(QStringLiteral("libx264")); });
        const bool here = paxh264::encoderUsable(QStringLiteral("libx264"));
        asker.join();
        QVERIFY(here);
        QVERIFY(inThread);
        QVERIFY(!paxh264::encoderUsable(QStringLiteral("orvane_no_such_encoder")));
        QCOMPARE(g_x264Opens.load(), 1);
        // A name never probed ahead is probed by its first asker, once.
        QVERIFY(!paxh264::encoderUsable(QStringLiteral("orvane_other_missing_encoder")));
        QVERIFY(!paxh264::encoderUsable(QStringLiteral("orvane_other_missing_encoder")));
        // The plain probe opens the encoder again each time.
        QVERIFY(paxh264::encoderOpens(QStringLiteral("libx264")));
        av_log_set_callback(av_log_default_callback);
        QCOMPARE(g_x264Opens.load(), 2);
    }

    void aacEncoder_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<bool>("globalHeader");
        QTest::newRow("mp4") << QByteArray("mp4") << true;
        QTest::newRow("mpegts") << QByteArray("mpegts") << false;
    }
    void aacEncoder()
    {
        QFETCH(QByteArray, format);
        QFETCH(bool, globalHeader);
        OpenedOutput output(format.constData());
        QVERIFY(output.context);
        paxaac::Encoder aac;
        const paxaac::OpenResult result = paxaac::open(output.context.get(), aac);
        QVERIFY2(result.ok(), result.failedCall);
        QCOMPARE(aac.context->sample_rate, 44100);
        QCOMPARE(aac.context->ch_layout.nb_channels, 1);
        QCOMPARE(bool(aac.context->flags & AV_CODEC_FLAG_GLOBAL_HEADER), globalHeader);
        QCOMPARE(output.context->nb_streams, 1u);
        QCOMPARE(output.context->streams[0], aac.stream);
        QCOMPARE(aac.stream->time_base.den, 44100);
        QCOMPARE(aac.stream->codecpar->codec_id, AV_CODEC_ID_AAC);
        QCOMPARE(aac.frame->nb_samples, aac.context->frame_size);
        QCOMPARE(aac.frame->format, int(aac.context->sample_fmt));
        QCOMPARE(aac.frame->ch_layout.nb_channels, 1);
        QVERIFY(aac.frame->data[0]);
    }
};

QTEST_GUILESS_MAIN(TestMediaEncoders)
#include "tst_mediaencoders.moc"
