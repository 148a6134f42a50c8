#pragma once
// The application's model of the capture devices: main camera, second camera and screen,
// with the cameras' capture modes, and the microphones. Filled by searchCameraDeviceInfo().
// Every public operation is safe from any thread.

#include "paxsdktypes.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>

class PaxCameraInfo : public QObject
{
    Q_OBJECT
public:
    // heightLimit value meaning "capture any height".
    static constexpr int kNoHeightLimit = -1;

    struct _Device_Option {
        QString reserveText1;
        QString reserveText2;
        QString video_size;   // "1280x720" as the tool printed it
        int fps = 0;          // highest frame rate seen for this size
        QString optionText;   // " video_size:<size> fps:<fps>", empty for a stream-line mode
        int width = 0;
        int height = 0;
        bool reserveFlag = false;
    };

    struct _CameraDeviceInfoS {
        QString deviceNameInMac;   // name the capture side opens; empty: no such device
        QString cameraName;
        int deviceIndexInMac = -1; // index in the tool's listing; -1: not listed
        QList<_Device_Option> optionList;
        int show_option = -1;      // mode offered as current
        int real_option = -1;      // mode actually captured
        QStringList reserveList;
        int reserveNumber = 0;
        bool reserveFlag = true;
        QString reserveText1;
        QString reserveText2;
        int heightLimit = kNoHeightLimit;  // capture-height limit; read from the main record
    };

    struct _MicrophoneS {
        int index = -1;        // audio device index in the listing (0..99)
        QString name;
        QByteArray reserveBytes;
        QString uniqueName;
    };

    // What one device listing says, before it is applied to the model.
    struct _DeviceListingS {
        int mainIndex = -1;
        int secondIndex = -1;
        bool screenFound = false;
        int screenIndex = -1;
        QString screenName;
        bool audioHeading = false;
        QList<_MicrophoneS> microphones;
    };

    static PaxCameraInfo* getInstance();
    static void releaseInstance();

    // 0: main camera found and listed; -1: no camera ids or main camera not in the listing;
    // -2: no video device matches the main camera. Blocking (runs the capture tool).
    int searchCameraDeviceInfo();

    _CameraDeviceInfoS getCameraInfo(_PaxCameraIndexE idx);
    bool isValidCamera(_PaxCameraIndexE idx);
    QStringList getCameraSolutionList(_PaxCameraIndexE idx);
    QList<_SolutionS> getCameraSolutionList1(_PaxCameraIndexE idx);
    int getCameraCurSolutionIndex(_PaxCameraIndexE idx);
    QString getCameraCurSolution(_PaxCameraIndexE idx);
    QString getCameraCurRealSolution(_PaxCameraIndexE idx);
    int getCameraCurFps(_PaxCameraIndexE idx);
    int getCameraDeviceIndexInMac(_PaxCameraIndexE idx);
    QString getCameraDeviceNameInMac(_PaxCameraIndexE idx);
    QList<_MicrophoneS> getMicrophoneList();
    int getCurMicrophoneIndex();
    int getCurMicrophoneInfo(_MicrophoneS* out);
    int switchMicrophone(int n);
    int switchCameraSolution(_PaxCameraIndexE idx, int n);
    int switchCameraSolution(_PaxCameraIndexE idx, int width, int height);

    // Runs the mode probe of listing entry avIndex and parses it into list (appended).
    void _getDeviceOptionsMac(int avIndex, QList<_Device_Option>& list);

    // Parsers of the capture tool's output (text up to its first zero byte, Latin-1).
    static void _parseDeviceOptions(const QString& output, QList<_Device_Option>& list);
    static _DeviceListingS _parseDeviceListing(const QString& output, const QString& mainName,
                                               const QString& secondName);
    // Text of a tool's output: the bytes before the first zero byte, as Latin-1.
    static QString _toolText(const QByteArray& bytes);

private:
    friend class tst_PaxCameraInfo;
    PaxCameraInfo();
    ~PaxCameraInfo() override;

    void _initCameraDevice();
    int _searchCameraDeviceInfoInMac();
    // Main and second camera ids ("vvvvpppp") from the UVC service or the in-process layer.
    int _fetchCameraIds(QString& mainId, QString& secondId);
    // Tells the service client the capture name of camera 0 or 1 (service path only).
    void _setServiceCameraName(int index, const QString& name);
    // Runs ./mytool with args in the application directory; merged output, 30 s at most.
    static QByteArray _runTool(const QStringList& args);
    bool _isFilledLocked() const;
    // The options of camera idx while the lists are filled; empty otherwise.
    QList<_Device_Option> _filledOptions(_PaxCameraIndexE idx) const;
    // Copies the option that `which` (show_option or real_option) selects on camera idx;
    // false when the index, the filled list or the selection is not valid.
    bool _selectedOption(_PaxCameraIndexE idx, int _CameraDeviceInfoS::*which, _Device_Option* option) const;
    static bool _validIndex(int idx) { return idx >= 0 && idx <= 2; }

    QStringList m_reserveList1;
    QStringList m_reserveList2;
    _CameraDeviceInfoS m_devices[3];
    QList<_MicrophoneS> m_microphones;
    int m_curMicrophone = -1;
    mutable QMutex m_mutex;

    static PaxCameraInfo* s_instance;
};

Q_DECLARE_METATYPE(PaxCameraInfo::_MicrophoneS)
