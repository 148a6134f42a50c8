#pragma once
// One run of the screen recorder, in named steps. Private to the recorder.

#include "paxavptr.h"
#include "paxrecordscreen.h"

#include <QRect>
#include <QSize>
#include <QString>

// Everything one recording run owns, in the order the steps acquire it; the members are
// released in reverse order when the run ends. Each step logs its own failure and returns
// false; what a failed step made is released with the run, never used.
struct PaxRecordScreen::Run {
    explicit Run(PaxRecordScreen& owner);
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    // The settings of this run; the caller holds the data lock.
    void readSettings();
    void logSettings() const;
    // The screen source, its video stream and decoder; fixes the capture rectangle.
    bool openInput();
    // The container (FLV for a push URL, else chosen by the file name).
    bool openOutput();
    // The H.264 encoder with the chosen rate control, and the video stream.
    bool openVideoEncoder();
    // The file or the stream connection.
    bool openOutputIo();
    // The AAC encoder, its stream and its frame (with audio only).
    bool openAudioEncoder();
    // The header; a file is written as fragments of at most a second, so what was written
    // survives a killed process.
    bool writeHeader();
    // The converted frame, and the crop graph for frames larger than the rectangle.
    bool buildCropGraph();
    // With audio, hands the output to the microphone side; else starts the video clock.
    void publishHandOver();
    // Reads, crops, converts and encodes until a stop, a failure or the audio side's end.
    void loop();
    // Trailer, release, and the file as a normal MP4 (or what is left of it after a failure).
    void finish();

    // One decoded frame into the encoder, through the crop graph when it is larger. False:
    // the graph failed and the run ends.
    bool encodeDecoded();
    int scaleAndEncode(AVFrame* frame);
    int encodeConverted();
    int writeVideoPacket(AVPacket* packet);
    int writeHeldVideo(AVPacket* packet);
    // The first failed write ends the recording: logged and reported once.
    void noteWriteFailure(int ret);
    // Frames come at most at the frame rate; a source catching up after a stall is thinned out.
    bool frameDue(int64_t now);
    // The finished fragmented file rewritten as a normal MP4 (index in front of nothing lost).
    bool rewriteAsNormalMp4();

    PaxRecordScreen& owner;
    char err[1024] = {0};

    QString fileName;
    QString pushUrl;
    QRect logical;              // the area setting, logical pixels
    QSize screen;               // the logical screen size
    QRect rect;                 // capture pixels
    QSize capture;
    int framerate = 30;
    int64_t bitrate = 0;
    int bitrateType = 0;
    int quantizationParameter = 3;
    int profile = 2;
    int presetMode = 0;
    QString encoderName;
    bool audioOn = false;

    paxav::InputContext input;
    int videoIndex = -1;
    paxav::CodecContext decoder;
    const AVCodec* decoderCodec = nullptr;
    paxav::Frame decoded;
    paxav::Packet packet;
    paxav::Packet heldVideo;   // the last video packet, written when the next one comes
    paxav::OutputContext output;
    const AVCodec* encoderCodec = nullptr;
    paxav::CodecContext encoder;
    AVStream* videoStream = nullptr;
    paxav::CodecContext audioEncoder;
    AVStream* audioStream = nullptr;
    paxav::Frame audioFrame;
    paxav::Frame converted;
    paxav::FilterGraph graph;
    AVFilterContext* source = nullptr;
    AVFilterContext* sink = nullptr;
    paxav::Frame filtered;
    paxav::Scaler scaler;
    AVPixelFormat scalerInput = AV_PIX_FMT_NONE;
    QSize scalerSize;

    bool fileOpened = false;
    bool fragmented = false;
    bool headerWritten = false;
    bool videoWritten = false;
    int writeError = 0;
    int64_t lastVideoPts = AV_NOPTS_VALUE;
    int64_t framesSent = 0;
    int64_t nextFrameDue = 0;
    int lastAnnounced = 0;
};
