#pragma once
// Document outline detection and the small image helpers shared by the frame processing and the tasks.

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRectF>

#include <opencv2/core.hpp>

// Finds the smallest rotated rectangle around the largest bright region of the frame. On success the
// corners are in frame pixels, the one with the smallest x * y first, then in the rectangle's cyclic
// order; the angle is in [-90, 0) degrees (an axis-aligned rectangle gives -90). An outline that is the
// frame's own border (every corner within 2 px of a frame corner) is no document and counts as not
// found. On failure the outputs are left as they were.
bool FindLunKuo(const QImage* frame, QPoint (&corners)[4], float& angle);

// The frame reduced as QImage::scaled(target, mode, Qt::FastTransformation) reduces it, as one grey
// channel ((11 R + 16 G + 5 B) >> 5, with stretch of each channel to clamp((c - 102) * 8 + 127) first),
// written into out (its buffer is reused when the size stays). RGB32 and ARGB32 frames are read in
// place through tables of the pixels that reduction picks; false for a null frame. With levels, the
// darkest and lightest grey level of out are found on the way (each row while it is still in cache).
struct GrayLevels
{
    uchar darkest = 255;
    uchar lightest = 0;
};
bool reduceToGray(const QImage& frame, QSize target, Qt::AspectRatioMode mode, bool stretch, cv::Mat& out,
                  GrayLevels* levels = nullptr);

// A new 8-bit image of the QImage's size: mode 1 gives three channels (blue, green, red), every other
// mode one grey channel ((11 R + 16 G + 5 B) >> 5). Empty for a null image or when it can't be made.
cv::Mat ImageToIplImage(const QImage& image, int mode);

// Moves each corner into the frame (x to 0..width, y to 0..height). An outline of a sheet that reaches
// past the frame's edge has corners outside it; clip them before cropping the frame to the outline:
// transferPointsToRect of clipped corners lies inside the frame.
void clipCornersToFrame(QPoint (&corners)[4], const QSize& frame);

// Bounding rectangle of four corners: right and bottom are the largest x and y minus 1.
QRect transferPointsToRect(QPoint (&corners)[4]);
QRectF transferPointsToRectF(QPoint (&corners)[4]);

// Replaces b by a new RGB888 picture that shows a above b.
void mergeImage(QImage* a, QImage* b);

// A new image of exactly width x height; with keepAspect the source is centred on black.
QImage myImageScaled(const QImage& source, int width, int height, bool keepAspect);

// Otsu binarisation of an 8-bit grey image into a Format_Grayscale8 image of 0 and 255: levels at or
// above Otsu's level are white.
QImage blackOrWhiteImage(QImage& image);

// Once per process: FFmpeg's log routed into the process's one log (the camera SDK asks for none
// of its messages unless it asked for a level before), network and device registration.
void ffmpeg_init();
