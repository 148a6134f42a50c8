#pragma once
// Option values of the H.264 encoder shared by the camera and the screen recorders: the profile,
// preset and quantizer names behind the numbers kept in the settings, the bit rate steps, and
// the rate-control rules that turn the recording settings into encoder fields and options.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <cstdint>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace paxh264 {

// "baseline", "extended", "main", "high" for 0..3; nullptr otherwise.
const char* profileName(int profile);

// "ultrafast" .. "placebo" for 0..9; nullptr otherwise.
const char* presetName(int preset);

// The quantizer ("51", "23", "13") given as "crf" or "qp" for 0..2; nullptr otherwise.
const char* quantizerText(int quantizationParameter);

// Bit rate of a setting step: 1 MiB/s << step for 0..5, 8 MiB/s for anything else.
int64_t bitRateOf(int step);

// True when the encoder `name` exists and opens for 1920x1080 at 25 fps (NV12 when it takes
// NV12, else its first pixel format; H.264 encoders with the "slow" preset).
bool encoderOpens(const QString& name);

// encoderOpens() once per name and process: the first ask of a name probes it (or waits for the
// probe started by probeEncodersAhead()), later asks get the same answer at once.
bool encoderUsable(const QString& name);

// Starts probing the names not probed yet on a thread of its own, in this order, and returns at
// once; encoderUsable() then waits only for what is still running.
void probeEncodersAhead(const QStringList& names);

// Rate-control modes, as the recording settings number them.
enum RateControlE : int {
    RateControlCBR = 0,
    RateControlVBR = 1,
    RateControlABR = 2,
    RateControlCRF = 3,
    RateControlCQP = 4,
};

// The recording settings the video encoder is made from.
struct RecordSettings {
    int bitrateType = RateControlCBR;   // RateControlE
    qint64 bitRate = 0;                 // bit/s of the CBR/VBR/ABR modes (see bitRateOf())
    int quantizationParameter = 0;      // index of quantizerText()
    int profile = 0;                    // index of profileName()
    int preset = 0;                     // index of presetName()
    QString encoderName;
};

// What the recording settings make of the video encoder (before it is opened).
struct EncoderSettings {
    qint64 bitRate = 0;
    qint64 minRate = 0;            // 0: not set
    qint64 maxRate = 0;            // 0: not set
    int bufferSize = 0;            // 0: not set
    int initialBufferOccupancy = 0;
    int rateTolerance = 0;         // 0: not set
    bool fixedQualityScale = false;
    int gopSize = 0;
    int maxBFrames = 0;
    int qmin = -1;                 // -1: not set
    int qmax = -1;
    bool globalHeader = false;     // left to the caller: it depends on the container
    // Options given to the encoder in this order ("profile", "tune", "preset", "crf"/"qp").
    QList<QPair<QByteArray, QByteArray>> options;
};

// The pixel format the encoder is opened with: YUV420P for h264_videotoolbox or an encoder
// naming none, else the encoder's first format.
AVPixelFormat encoderPixelFormat(const AVCodec* codec, const QString& encoderName);

// The rate-control rules: CBR pins the rate, VBR lets it move by 3/4 either way (fixed quality
// scale except on h264_videotoolbox), ABR sets the mean only, CRF/CQP give the quantizer as
// "crf"/"qp". A key frame every 3 seconds, no B frames. Encoders not fed NV12 also get qmin 10,
// qmax 40, the profile, "tune=zerolatency" and the preset.
EncoderSettings encoderSettings(const RecordSettings& record, int pixelFormat, int fps);

// Writes `s` into the encoder's fields and `options` (the quantizer is also set on the
// encoder's private options, so it holds even where the dictionary is not read).
void applyEncoderSettings(AVCodecContext* encoder, const EncoderSettings& s, AVDictionary** options);

} // namespace paxh264
