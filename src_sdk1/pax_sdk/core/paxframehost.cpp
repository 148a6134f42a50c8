#include "paxframehost.h"

#include "paxcamerainfo.h"
#include "paxopencv.h"
#include "paxthread.h"

PaxFrameStoreHost::PaxFrameStoreHost(PaxOpenCv* openCv) : m_openCv(openCv) {}

bool PaxFrameStoreHost::takeCaptureRequest()
{
    return PaxData::getInstance()->isCapture();
}

QString PaxFrameStoreHost::takeNextPicName(PaxData::_IoctlTypeE& type)
{
    return PaxData::getInstance()->getNextPicName(type);
}

// Generated from PAX_MODE_PROFILES: the output settings of one twin profile.
#define PAX_FRAME_FORMAT_CASE(NAME, MODE) \
    case MODE: \
        format = d->getCurrentPicSaveFormatFor##NAME(); \
        formatText = d->getCurrentPicSaveFormatSFor##NAME(); \
        quality = d->getCurrentPicPressRatioFor##NAME(); \
        break;

void PaxFrameStoreHost::pictureFormat(PaxData::_IoctlTypeE type, int& format, QString& formatText, int& quality)
{
    PaxData* d = PaxData::getInstance();
    switch (int(type)) {
        PAX_MODE_PROFILES(PAX_FRAME_FORMAT_CASE)
    default:
        format = d->getCurrentPicSaveFormat();
        formatText = d->getCurrentPicSaveFormatS();
        quality = d->getCurrentPicPressRatio();
        break;
    }
}

#undef PAX_FRAME_FORMAT_CASE

void PaxFrameStoreHost::mainSolutions(QString& real, QString& requested)
{
    PaxCameraInfo* info = PaxCameraInfo::getInstance();
    real = info->getCameraCurRealSolution(PaxCameraIndexMain);
    requested = info->getCameraCurSolution(PaxCameraIndexMain);
}

void PaxFrameStoreHost::feedOutlineTasks(const QImage& frame)
{
    if (m_openCv) {
        m_openCv->setImage(frame);
    }
}

bool PaxFrameStoreHost::findOutline(const QImage& image, _Lunkuo& lunkuo)
{
    return m_openCv ? m_openCv->getLunkuo(image, lunkuo) : false;
}

QString PaxFrameStoreHost::fontFamily()
{
    return PaxThread::getFontFamily();
}

void PaxFrameStoreHost::intelligentGrabChanged(bool on, int step)
{
    PaxData::getInstance()->setIntelligentGrab(on, step, true);
    intelligentGrabReported();
}
