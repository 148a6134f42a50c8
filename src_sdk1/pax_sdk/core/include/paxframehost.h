#pragma once
// The per-frame pass's view of the SDK: the settings store, the camera model, the outline tasks and
// the font loader. What the pass reports (capture, intelligent-grab state, written pictures) is left
// to the owner, which turns it into its signals.

#include "paxframepass.h"

class PaxOpenCv;

class PaxFrameStoreHost : public PaxFramePassHost
{
public:
    // openCv: the outline and motion tasks, owned by the caller; may be null (no tasks).
    explicit PaxFrameStoreHost(PaxOpenCv* openCv = nullptr);

    void setOpenCv(PaxOpenCv* openCv) { m_openCv = openCv; }

    bool takeCaptureRequest() override;
    QString takeNextPicName(PaxData::_IoctlTypeE& type) override;
    void pictureFormat(PaxData::_IoctlTypeE type, int& format, QString& formatText, int& quality) override;
    void mainSolutions(QString& real, QString& requested) override;
    void feedOutlineTasks(const QImage& frame) override;
    bool findOutline(const QImage& image, _Lunkuo& lunkuo) override;
    QString fontFamily() override;
    // Stores the new state (without a settings notification) and calls intelligentGrabReported().
    void intelligentGrabChanged(bool on, int step) override;

protected:
    virtual void intelligentGrabReported() = 0;

private:
    PaxOpenCv* m_openCv;
};
