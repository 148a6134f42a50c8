#pragma once
// The AAC encoder of a recording, shared by the camera and the screen recorders: mono at
// 44.1 kHz, its stream in the output, and one frame of the encoder's frame size to fill.

#include "paxavptr.h"

namespace paxaac {

constexpr int kSampleRate = 44100;
constexpr int kFrameSamples = 1024;   // when the encoder names no frame size

struct Encoder {
    paxav::CodecContext context;
    AVStream* stream = nullptr;   // owned by the output
    paxav::Frame frame;
};

// Where open() stopped: the FFmpeg call that failed (nullptr on success) and its result.
struct OpenResult {
    const char* failedCall = nullptr;
    int ret = 0;
    bool ok() const { return failedCall == nullptr; }
};

// Opens the encoder for `output` (a global header where the container wants one), adds its
// stream (time base 1/44100) and allocates its frame. On failure `encoder` may hold part of it.
OpenResult open(AVFormatContext* output, Encoder& encoder);

} // namespace paxaac
