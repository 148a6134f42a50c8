#pragma once
// Recordings written as fragmented MP4: every finished fragment stays playable when the process
// dies before the trailer; a clean stop rewrites the file as a plain MP4 (one index, seekable).
// Shared by the camera and the screen recorders.

#include <QString>

struct AVDictionary;
struct AVFormatContext;
struct AVOutputFormat;
struct AVPacket;

namespace paxmp4 {

// Longest fragment: what a killed recording can lose at most.
constexpr const char* kFragmentMicroseconds = "1000000";

// True for the containers written in fragments (the MP4 / MOV family).
bool isMp4Family(const AVOutputFormat* format);

// Adds the muxer options of a fragmented recording (index in front, a fragment at least every
// kFragmentMicroseconds, the output flushed to the file after every written fragment) to
// `options`.
void addFragmentOptions(AVDictionary** options);

// Writes a packet of a recording. A fragmented MP4 takes each stream's packets as they come (the
// muxer keeps every stream's samples apart until the fragment ends), so a packet is never held
// back waiting for the other stream and a fragment is flushed as soon as it is complete; other
// outputs are interleaved. The packet stays the caller's. The result of the FFmpeg call.
int writePacket(AVFormatContext* output, AVPacket* packet, bool fragmented);

// Cuts a fragmented MP4 whose writing failed back to its last whole fragment, so that only
// complete fragments remain. The file's size afterwards, or -1 when it can't be read or cut.
qint64 keepWholeFragments(const QString& file);

// Ends a fragmented recording whose writing failed: cut back to its whole fragments, then
// rewritten as a plain MP4 when there is room for that. The file is never removed. 0 when it
// became a plain MP4, or the negative AVERROR code of the rewrite (the file then stays
// fragmented and playable).
int finishAfterFailedWrite(const QString& file);

// Rewrites the fragmented MP4 `file` as a plain MP4: written beside it as
// ".<complete base name>.part.mp4", then moved over it, so the fragmented file stays until the
// plain one is complete. 0, or a negative AVERROR code (the file is then left as it was).
int rewriteAsPlain(const QString& file);

} // namespace paxmp4
