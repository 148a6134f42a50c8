#include "paxh264options.h"

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

} // namespace paxh264
