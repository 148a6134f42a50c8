#pragma once
// Recordings written as fragmented MP4: every finished fragment stays playable when the process
// dies before the trailer; a clean stop rewrites the file as a plain MP4 (one index, seekable).
// Shared by the camera and the screen recorders.

#include <QString>

struct AVDictionary;
struct AVOutputFormat;

namespace paxmp4 {

// Longest fragment: what a killed recording can lose at most.
constexpr const char* kFragmentMicroseconds = "1000000";

// True for the containers written in fragments (the MP4 / MOV family).
bool isMp4Family(const AVOutputFormat* format);

// Adds the muxer options of a fragmented recording (index in front, a fragment at least every
// kFragmentMicroseconds) to `options`.
void addFragmentOptions(AVDictionary** options);

// Rewrites the fragmented MP4 `file` as a plain MP4: written beside it as
// ".<complete base name>.part.mp4", then moved over it, so the fragmented file stays until the
// plain one is complete. 0, or a negative AVERROR code (the file is then left as it was).
int rewriteAsPlain(const QString& file);

} // namespace paxmp4
