#pragma once
// Option values of the H.264 encoder shared by the camera and the screen recorders: the profile,
// preset and quantizer names behind the numbers kept in the settings, and the bit rate steps.

#include <QString>

#include <cstdint>

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

} // namespace paxh264
