#include "myffmpegcameracontrol.h"

#include "ffmpegaudioinput.h"
#include "ffmpeginput.h"
#include "ffmpegoutput.h"
#include "ffmpegplay.h"
#include "ffmpegvideoinput.h"
#include "paxavptr.h"
#include "paxh264options.h"
#include "paxintool.h"

extern "C" {
#include <libavutil/opt.h>
}

void mfccRegisterMetaTypes()
{
    static const bool once = [] {
        qRegisterMetaType<_Ffmpeg_Audio_Frame_SendS>("Ffmpeg_Audio_Frame_SendS");
        qRegisterMetaType<_Ffmpeg_Video_Frame_SendS>("Ffmpeg_Video_Frame_SendS");
        qRegisterMetaType<_Ffmpeg_Video_Frame_OutS>("Ffmpeg_Video_Frame_OutS");
        qRegisterMetaType<_Ffmpeg_Audio_Frame_SendS>();
        qRegisterMetaType<_Ffmpeg_Video_Frame_SendS>();
        qRegisterMetaType<_Ffmpeg_Video_Frame_OutS>();
        qRegisterMetaType<_MFCC_Play_StatusE>("_MFCC_Play_StatusE");
        qRegisterMetaType<_MFCC_Record_StatusE>("_MFCC_Record_StatusE");
        qRegisterMetaType<_MFCC_InfoS>("_MFCC_InfoS");
        qRegisterMetaType<_MFCC_Record_InfoS>("_MFCC_Record_InfoS");
        return true;
    }();
    Q_UNUSED(once);
}

MyFfmpegCameraControl* MyFfmpegCameraControl::s_instance = nullptr;

MyFfmpegCameraControl* MyFfmpegCameraControl::getInstance()
{
    if (!s_instance)
        s_instance = new MyFfmpegCameraControl;
    return s_instance;
}

void MyFfmpegCameraControl::releaseInstance()
{
    delete s_instance;
    s_instance = nullptr;
}

QStringList MyFfmpegCameraControl::probedEncoderNames()
{
    return {QStringLiteral("h264_nvenc"), QStringLiteral("h264_qsv"), QStringLiteral("h264_amf"),
            QStringLiteral("libx264"), QStringLiteral("h264_videotoolbox")};
}

bool MyFfmpegCameraControl::_findVideoEncoder(const QString& name)
{
    return paxh264::encoderOpens(name);
}

void MyFfmpegCameraControl::probeEncodersAhead()
{
    paxh264::probeEncodersAhead(probedEncoderNames());
}

void MyFfmpegCameraControl::loadInputDevicesAhead()
{
    pax_platform::registerFfmpegDevicesAhead();
}

MyFfmpegCameraControl::MyFfmpegCameraControl(QObject* parent) : QObject(parent)
{
    mfccRegisterMetaTypes();
    for (const QString& name : probedEncoderNames()) {
        if (paxh264::encoderUsable(name))
            m_encoderList.append(name);
    }
    PAX_LOG_DEBUG("usable video encoders[%s]", qPrintable(m_encoderList.join(QLatin1Char(','))));
    _createCamera(0);
    _createCamera(1);
}

void MyFfmpegCameraControl::_createCamera(int index)
{
    Camera& c = m_cameras[index];
    c.videoInput = new FfmpegVideoInput(this);
    c.audioInput = new FfmpegAudioInput(this);
    c.output = new FfmpegOutput(this);
    c.player = new FfmpegPlay(this);

    const bool main = index == 0;
    connect(c.output, &FfmpegOutput::sigRecordStatusChange, c.videoInput, &FfmpegVideoInput::slotRecordStatusChange,
            Qt::DirectConnection);
    connect(c.output, &FfmpegOutput::sigRecordStatusChange, c.audioInput, &FfmpegAudioInput::slotRecordStatusChange,
            Qt::DirectConnection);
    connect(c.output, &FfmpegOutput::sigRecordStatusChange, this,
            main ? &MyFfmpegCameraControl::sigRecordStatusChangeForMain
                 : &MyFfmpegCameraControl::sigRecordStatusChangeForSecond,
            Qt::DirectConnection);
    connect(c.output, &FfmpegOutput::sigRecordTimeChange, this,
            main ? &MyFfmpegCameraControl::sigRecordTimeChangeForMain
                 : &MyFfmpegCameraControl::sigRecordTimeChangeForSecond,
            Qt::DirectConnection);
    connect(c.player, &FfmpegPlay::sigPlayStatusChange, c.videoInput, &FfmpegVideoInput::slotPlayStatusChange,
            Qt::DirectConnection);
    connect(c.player, &FfmpegPlay::sigGetOneFrame, this,
            main ? &MyFfmpegCameraControl::sigGetOneFrameForMain : &MyFfmpegCameraControl::sigGetOneFrameForSecond,
            Qt::DirectConnection);
    connect(c.player, &FfmpegPlay::sigSendOneFrame, this,
            main ? &MyFfmpegCameraControl::sigSendOneFrameForMain : &MyFfmpegCameraControl::sigSendOneFrameForSecond,
            Qt::DirectConnection);
    connect(c.audioInput, &FfmpegAudioInput::sigSendAudioFrame, c.output, &FfmpegOutput::slotSendAudioFrame,
            Qt::DirectConnection);
    connect(c.audioInput, &FfmpegAudioInput::sigInvalidExit, c.player, &FfmpegPlay::slotInvalidExit,
            Qt::DirectConnection);
    connect(c.audioInput, &FfmpegAudioInput::sigInvalidExit, c.output, &FfmpegOutput::slotInvalidExit,
            Qt::DirectConnection);
    connect(c.videoInput, &FfmpegVideoInput::sigSendVideoFrameForRecord, c.output,
            &FfmpegOutput::slotSendVideoFrameForRecord, Qt::DirectConnection);
    connect(c.videoInput, &FfmpegVideoInput::sigSendVideoImageForRecord, c.output,
            &FfmpegOutput::slotSendVideoImageForRecord, Qt::DirectConnection);
    connect(c.videoInput, &FfmpegVideoInput::sigSendVideoFrameForPlay, c.player, &FfmpegPlay::slotSendVideoFrameForPlay,
            Qt::DirectConnection);
    connect(c.videoInput, &FfmpegVideoInput::sigSendVideoImageForPlay, c.player, &FfmpegPlay::slotSendVideoImageForPlay,
            Qt::DirectConnection);
    connect(c.videoInput, &FfmpegVideoInput::sigInvalidExit, c.player, &FfmpegPlay::slotInvalidExit,
            Qt::DirectConnection);
    connect(c.videoInput, &FfmpegVideoInput::sigInvalidExit, c.output, &FfmpegOutput::slotInvalidExit,
            Qt::QueuedConnection);
}

MyFfmpegCameraControl::~MyFfmpegCameraControl()
{
    for (int i = 0; i < 2; ++i) {
        changeCameraPlayStatus(_PaxCameraIndexE(i), MFCC_Play_Stop);
        changeCameraRecordStatus(_PaxCameraIndexE(i), MFCC_Record_Stopped);
    }
    for (Camera& c : m_cameras)
        c.videoInput->closeWait();
}

const MyFfmpegCameraControl::Camera* MyFfmpegCameraControl::_camera(int index) const
{
    return index == 0 || index == 1 ? &m_cameras[index] : nullptr;
}

FfmpegVideoInput* MyFfmpegCameraControl::videoInput(int index) const
{
    const Camera* c = _camera(index);
    return c ? c->videoInput : nullptr;
}

FfmpegAudioInput* MyFfmpegCameraControl::audioInput(int index) const
{
    const Camera* c = _camera(index);
    return c ? c->audioInput : nullptr;
}

FfmpegOutput* MyFfmpegCameraControl::output(int index) const
{
    const Camera* c = _camera(index);
    return c ? c->output : nullptr;
}

FfmpegPlay* MyFfmpegCameraControl::player(int index) const
{
    const Camera* c = _camera(index);
    return c ? c->player : nullptr;
}

void MyFfmpegCameraControl::setCameraInfo(_PaxCameraIndexE index, _MFCC_InfoS info)
{
    PAX_LOG_DEBUG("type[%d] device_name[%s] fps[%s] video_size[%s] pixel_format[%s] input_format[%s] pin_name[%s] "
                  "wid[%d] iFrameCountPerSecond[%d]",
                  int(index), qPrintable(info.device_name), qPrintable(info.fps), qPrintable(info.video_size),
                  qPrintable(info.pixel_format), qPrintable(info.input_format), qPrintable(info.pin_name),
                  int(info.wid), info.iFrameCountPerSecond);
    info.device_index = int(index);
    const Camera* c = _camera(int(index));
    if (!c)
        return;
    const _MFCC_Play_StatusE previous = c->player->getStatus();
    c->player->setStatus(MFCC_Play_Stop);
    c->output->setStatus(MFCC_Record_Stopped);
    c->videoInput->setCameraInfo(info);
    if (info.device_name.isEmpty())
        return;
    const QStringList size = info.video_size.split(QLatin1Char('x'));
    const int width = size.value(0).toInt();
    const int height = size.value(1).toInt();
    const int fps = info.fps.toInt();
    c->output->setWidthHeightFramerate(width, height, fps);
    c->player->setWid(info.wid, width, height);
    if (previous == MFCC_Play_Play || previous == MFCC_Play_Pause)
        c->player->setStatus(previous);
}

void MyFfmpegCameraControl::setCameraRecordInfo(_PaxCameraIndexE index, _MFCC_Record_InfoS info)
{
    PAX_LOG_DEBUG("type[%d] filename[%s] bAudio[%d] microphoneName[%s] microphoneIndex[%d] videoEncoder[%s] \n"
                  "bitrateValue[%d] bitrateType[%d] preset[%d]",
                  int(index), qPrintable(info.filename), int(info.bAudio), qPrintable(info.microphoneName),
                  info.microphoneIndex, qPrintable(info.videoEncoder), info.bitrateValue, info.bitrateType,
                  info.preset);
    const Camera* c = _camera(int(index));
    if (!c)
        return;
    c->output->setRecordInfo(info);
    c->audioInput->setAudioInfo(info.bAudio, info.microphoneName, info.microphoneIndex, info.microphoneVolume);
}

void MyFfmpegCameraControl::changeCameraPlayStatus(_PaxCameraIndexE index, _MFCC_Play_StatusE status)
{
    PAX_LOG_DEBUG("type[%d] status[%d]", int(index), int(status));
    if (const Camera* c = _camera(int(index)))
        c->player->setStatus(status);
}

void MyFfmpegCameraControl::changeCameraRecordStatus(_PaxCameraIndexE index, _MFCC_Record_StatusE status)
{
    PAX_LOG_DEBUG("type[%d] status[%d]", int(index), int(status));
    if (const Camera* c = _camera(int(index)))
        c->output->setStatus(status);
}

QStringList MyFfmpegCameraControl::getVideoEncoderList()
{
    return m_encoderList;
}
