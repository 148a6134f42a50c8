#pragma once
// The per-frame pass of the main camera: rotation, outline feed, rectification, colour mode, grabs
// (trims, logos, intelligent grab, scaling, saving) and the trim overlays on the live frame.
//
// The pass runs in the main camera's video-input thread while the SDK worker thread rewrites its
// settings. Both sides meet only in PaxFramePass's one lock: the worker replaces settings with
// edit(), the pass copies them (with the outline and the kept first picture) at its start and
// writes back what it changes itself. The lock is never held while anything else runs.

#include "paxdata.h"
#include "paxopencv.h"

#include <QImage>
#include <QMutex>
#include <QRect>
#include <QString>

#include <functional>

struct PaxTextLogoS {
    bool enable = false;
    QString text;
    unsigned char alpha = 0;
    int x = 0;
    int y = 0;
    int fontSize = 0;
    int fontWeight = 0;
    QString colorName;
};

struct PaxPicLogoS {
    bool enable = false;
    QString file;
    unsigned char alpha = 0;
    int x = 0;
    int y = 0;
};

// The settings of the current work mode that the pass reads.
struct PaxFrameSettingsS {
    double initAngle = 0.0;
    bool autoDoc = false;
    bool rectify = false;
    bool autoTrim = false;
    bool photoAutoTrim = false;
    bool manuTrim = false;
    bool hasManuTrimRect = false;
    QRect manuTrimRect;
    int colorMode = PaxColorModeColor;
    bool intelligentGrab = false;
    int intelligentGrabStep = 0;
    PaxTextLogoS textLogo;
    PaxPicLogoS picLogo;
};

// What the pass asks of the SDK around it. PaxObject's host serves the store, the camera model,
// the outline tasks and its own signals; every call comes from the video-input thread.
class PaxFramePassHost
{
public:
    virtual ~PaxFramePassHost() = default;

    // Reads and clears the one-shot capture request.
    virtual bool takeCaptureRequest() = 0;
    // The pending grab's file name (empty: none) and the work mode it serves.
    virtual QString takeNextPicName(PaxData::_IoctlTypeE& type) = 0;
    // Save format, its extension and the JPEG quality of work mode `type`.
    virtual void pictureFormat(PaxData::_IoctlTypeE type, int& format, QString& formatText, int& quality) = 0;
    // The main camera's captured and requested sizes ("1920x1080").
    virtual void mainSolutions(QString& real, QString& requested) = 0;
    // Hands the frame to the outline and motion tasks (they drop it while busy).
    virtual void feedOutlineTasks(const QImage& frame) = 0;
    // Synchronous outline search on `image`.
    virtual bool findOutline(const QImage& image, _Lunkuo& lunkuo) = 0;
    virtual QString fontFamily() = 0;

    virtual void captured(const QImage& frame) = 0;
    // The intelligent grab moved to `on` with step count `step` (first shot kept / pair saved).
    virtual void intelligentGrabChanged(bool on, int step) = 0;
    // A picture was written (a picture that can't be written is logged and not reported).
    virtual void grabbed(const QString& fileName) = 0;
};

class PaxFramePass
{
public:
    explicit PaxFramePass(PaxFramePassHost* host);

    // Any thread: changes the settings under the lock. `edit` must only assign.
    void edit(const std::function<void(PaxFrameSettingsS&)>& edit);
    PaxFrameSettingsS settings() const;

    void setLunkuo(const _Lunkuo& lunkuo);
    _Lunkuo lunkuo() const;
    void clearLunkuoFound();

    // Drops the kept first picture of the intelligent grab; a pass running meanwhile does not
    // bring it back.
    void releaseKeptPicture();
    bool hasKeptPicture() const;

    // Video-input thread: one pass over the frame; on return it holds the frame to display.
    void process(QImage& frame);

    // Building blocks, exposed for tests and benchmarks.
    // The correction of a legacy outline angle (degrees, [-90, 0)): -a above -45, else -90 - a.
    static double correctionAngle(double outlineAngle);
    // The frame turned by `degrees` (clockwise on screen) as RGB888, cut to the frame's size
    // around the centre.
    static QImage rectified(const QImage& frame, double degrees);
    // The manual-trim rectangle normalised and clipped to `bounds`; empty when nothing is left.
    static QRect usableTrimRect(const QRect& rect, const QRect& bounds);
    // Overlay pen width: frame width / 640.
    static int overlayPenWidth(int frameWidth) { return frameWidth / 640; }
    // The eight handle squares of the manual-trim rectangle for pen width p.
    static QVector<QRectF> trimHandles(const QRect& rect, int penWidth);

private:
    struct Snapshot {
        PaxFrameSettingsS settings;
        _Lunkuo lunkuo;
        QImage kept;
        bool hasKept = false;
        quint64 keptGeneration = 0;
    };

    Snapshot _snapshot() const;
    QImage _rectifiedByOutline(const QImage& frame, const _Lunkuo& lunkuo) const;
    // Steps of a grab up to saving; false when nothing is to be saved (first of two shots).
    bool _buildPicture(const Snapshot& s, const QImage& frame, const QImage& rectifiedCopy, QImage& picture);
    void _drawTextLogo(QImage& picture, const PaxTextLogoS& logo);
    static void _drawPicLogo(QImage& picture, const PaxPicLogoS& logo);
    void _save(const QImage& picture, const QString& name, int format, const QString& formatText, int quality);
    void _drawOverlays(const Snapshot& s, QImage& frame, QImage& rectifiedCopy, bool fed);

    PaxFramePassHost* m_host;
    mutable QMutex m_mutex;
    PaxFrameSettingsS m_settings;
    _Lunkuo m_lunkuo;
    QImage m_kept;
    bool m_hasKept = false;
    quint64 m_keptGeneration = 0;
};

// Writes a picture as one PDF page of its size (a point per pixel); false when nothing usable was
// written.
bool paxSavePdf(const QImage& picture, const QString& fileName);
