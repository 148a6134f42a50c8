#pragma once
// The picture of the virtual camera: a generated document on a desk, or a media file.

#include <QImage>
#include <QSize>
#include <QString>

#include <memory>

namespace pax_virtual {

// Frames of virtual camera `camera` (0 main, 1 second) at `size`: a white sheet with lines of dark text,
// tilted by a few degrees, on a dark desk; it slides into place during the first two seconds after the
// stream starts (kSettleMs), then lies still; a frame counter sits in the top-left corner, inside
// counterRect(). Brightness and contrast follow controlValue(camera, Brightness/Contrast).
// When mediaFile() names an image or a video (main camera only), the frames show it, fitted into `size`
// with its aspect kept, a video looping; such a file is decoded with FFmpeg.
//
// frame() returns QImage::Format_ARGB32 of `size`, every pixel opaque; a null QImage when the media file
// cannot be decoded (see isValid()/errorString()). One object is used by one thread at a time.
class VirtualFrameSource {
public:
    VirtualFrameSource(int camera, QSize size);
    ~VirtualFrameSource();
    VirtualFrameSource(const VirtualFrameSource&) = delete;
    VirtualFrameSource& operator=(const VirtualFrameSource&) = delete;

    QImage frame(qint64 msSinceStart, qint64 frameNumber);

    // False when the media file could not be opened or decoded; errorString() says why.
    bool isValid() const;
    QString errorString() const;
    // True when the frames come from mediaFile() rather than the generated sheet.
    bool showsMediaFile() const;

    static constexpr qint64 kSettleMs = 2000;
    // Area of `size` the frame counter may touch.
    static QRect counterRect(QSize size);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace pax_virtual
