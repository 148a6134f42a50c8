#pragma once
// An older model of the cameras: any number of cameras with one current camera, options
// that carry an open mode, and a microphone list. Kept beside PaxCameraInfo; nothing fills it.

#include "paxsdktypes.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

// Open mode of a camera or option; 2 stands for "none" in answers and for "the camera's own
// mode" in getCameraSolutionList.
enum _PaxOpenModeE : int {
    PaxOpenMode0 = 0,
    PaxOpenMode1 = 1,
    PaxOpenModeNone = 2,
};

class PaxCameraInfo1 : public QObject
{
    Q_OBJECT
public:
    struct _Device_Option {
        QString reserveText1;
        QString pixelFormat;   // "mjpeg", "rawvideo", ...
        int openMode = PaxOpenMode0;
        QString reserveText2;
        QString videoSize;
        int fps = 0;
        QString reserveText3;
        int width = 0;
        int height = 0;
    };

    struct _CameraDeviceInfoS {
        QString cameraName;
        QString reserveText1;
        int reserveNumber = -1;
        QList<_Device_Option> optionList;
        int curOption = -1;
        QString reserveText2;
        QString reserveText3;
        _PaxOpenModeE openMode = PaxOpenMode1;
    };

    struct _MicrophoneS {
        int index = -1;
        QString name;
    };

    static PaxCameraInfo1* getInstance();
    static void releaseInstance();

    void searchCameraDeviceInfo();
    QStringList getCameraList();
    int getCurCameraIndex();
    bool switchCurCamera(int i);
    _CameraDeviceInfoS getCameraInfo(int i);
    QList<_SolutionS> getCurCameraSolutionList();
    int getCurCameraSolutionIndex();
    int getCameraSolutionIndex(int i);
    _PaxOpenModeE getCurCameraOpenMode();
    _PaxOpenModeE getCameraOpenMode(int i);
    QList<_SolutionS> getCameraSolutionList(int i, _PaxOpenModeE mode);
    bool switchCurCameraOpenMode(_PaxOpenModeE mode);
    bool switchCameraOpenMode(int i, _PaxOpenModeE mode);
    bool switchCurCameraSolution(int n);
    bool switchCameraSolution(int i, int n);
    QList<_MicrophoneS> getMicrophoneList();

    // mjpeg options first, then rawvideo, each by size, largest first; other formats and
    // repeated sizes dropped.
    static void _adjustOptionList(QList<_Device_Option>& list);

signals:
    void sigCurCameraInfoChange();
    void sigCameraInfoChange(int camera);

private:
    friend class tst_PaxCameraInfo1;
    PaxCameraInfo1() = default;

    bool _validCamera(int i) const { return i >= 0 && i < m_cameraList.size(); }
    static QList<_SolutionS> _solutions(const _CameraDeviceInfoS& camera, int mode);
    // First option of the camera's open mode; -1 when there is none.
    static int _firstOptionOfMode(const _CameraDeviceInfoS& camera);
    // Sets the open mode of camera i; true when it changed.
    bool _setOpenMode(int i, _PaxOpenModeE mode);
    // Selects solution n of camera i (n < 0: the first of its open mode); true when the caller
    // reports a change.
    bool _switchSolution(int i, int n);

    QList<_CameraDeviceInfoS> m_cameraList;
    int m_curCamera = -1;
    QList<_MicrophoneS> m_microphoneList;

    static PaxCameraInfo1* s_instance;
};
