#pragma once
// Records and states of the capture pipeline (live video input, player, recorder and
// microphone input of each camera). Every enumeration travels as a plain int32.

#include <QMetaType>
#include <QString>
#include <QtGlobal>

#include <cstdint>

struct AVCodecContext;
struct AVFrame;

// Live display of a camera. 1 (stop) is the state every component starts in.
enum _MFCC_Play_StatusE : int {
    MFCC_Play_Play = 0,
    MFCC_Play_Stop = 1,
    MFCC_Play_Pause = 2,
};

// Recording of a camera. 1 (stopped) is the state every component starts in.
enum _MFCC_Record_StatusE : int {
    MFCC_Record_Recording = 0,
    MFCC_Record_Stopped = 1,
    MFCC_Record_Paused = 2,
};

// No native window to render into.
constexpr quint64 kMfccNoWindow = ~quint64(0);

// Capture parameters of one camera.
struct _MFCC_InfoS {
    int device_index = 0;           // camera index (_PaxCameraIndexE)
    QString device_name;            // capture-device name; empty: no camera
    QString pixel_format;           // "mjpeg"
    QString fps;                    // frame rate as decimal text
    QString video_size;             // "<width>x<height>"
    QString pin_name;
    QString input_format;           // FFmpeg input format of the decoding path; empty: "video4linux2"
    int iFrameCountPerSecond = -1;  // rate limit of the decoding path; below 1: none
    quint64 wid = kMfccNoWindow;    // native window to render into
};

// Recording parameters of one camera.
struct _MFCC_Record_InfoS {
    QString filename;               // full path of the MP4 file
    bool bAudio = false;
    QString microphoneName;         // logged only
    int microphoneIndex = -1;       // position in the microphone listing; -1 none
    int microphoneVolume = 100;     // gain in percent
    QString videoEncoder = QStringLiteral("libx264");
    int bitrateValue = 6;           // 0..5: 1, 2, 4, 8, 16, 32 x 2^20 bit/s; other: 8 x 2^20
    int bitrateType = 5;            // 0 CBR, 1 VBR, 2 ABR, 3 CRF, 4 CQP; other: none
    int quantizationParameter = 3;  // 0 "51", 1 "23", 2 "13", 3 none
    int profile = 2;                // 0 baseline, 1 extended, 2 main, 3 high
    int preset = 10;                // 0 ultrafast .. 9 placebo; other: none
};

// A decoded video frame and the decoder context that describes it (width, height, pixel
// format). Both stay the sender's; the receiver uses them only during the call.
struct _Ffmpeg_Video_Frame_SendS {
    AVFrame* frame = nullptr;
    AVCodecContext* codecCtx = nullptr;
};

// A decoded audio frame and its decoder context (sample rate and format); both stay the
// sender's. The frame's own channel layout is the one that counts.
struct _Ffmpeg_Audio_Frame_SendS {
    AVFrame* frame = nullptr;
    AVCodecContext* codecCtx = nullptr;
};

// Declared on the frame path toward the camera object; nothing emits it.
struct _Ffmpeg_Video_Frame_OutS {
    AVFrame* frame = nullptr;
    uint8_t* buffer = nullptr;
    int pixelFormat = -1;
};

Q_DECLARE_METATYPE(_MFCC_Play_StatusE)
Q_DECLARE_METATYPE(_MFCC_Record_StatusE)
Q_DECLARE_METATYPE(_MFCC_InfoS)
Q_DECLARE_METATYPE(_MFCC_Record_InfoS)
Q_DECLARE_METATYPE(_Ffmpeg_Video_Frame_SendS)
Q_DECLARE_METATYPE(_Ffmpeg_Audio_Frame_SendS)
Q_DECLARE_METATYPE(_Ffmpeg_Video_Frame_OutS)

// Registers the pipeline's meta types (idempotent).
void mfccRegisterMetaTypes();
