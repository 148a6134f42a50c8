#pragma once
// The camera SDK's settings store: persistent settings in five work-mode profiles
// (sdk_config.ini), the recording settings of both cameras and the SDK's live state.

#include "paxsdktypes.h"

#include <QDateTime>
#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <atomic>
#include <functional>
#include <memory>

enum _PaxWorkModeE : int {
    PaxWorkModeCommon = 0,
    PaxWorkModeBW = 1,
    PaxWorkModeCS = 2,
    PaxWorkModeZJ = 3,
    PaxWorkModeTM = 4,
};

enum _PaxDataChangeNotifyE : int {
    PaxNotifyInitAngle = 0,
    PaxNotifyRectify = 1,
    PaxNotifyAutoTrim = 2,
    PaxNotifyManuTrim = 3,
    PaxNotifyManuTrimRect = 4,
    PaxNotifyAutoTrimRect = 5,
    PaxNotifyAutoDoc = 6,
    PaxNotifyTimeGrab = 7,
    PaxNotifyIntelligentGrab = 8,
    PaxNotifyScanQrcode = 9,
    PaxNotifyPicLogo = 10,
    PaxNotifyTextLogo = 11,
    PaxNotifyColorMode = 12,
    PaxNotifyPicSaveFormat = 13,
    PaxNotifyNextPicName = 14,
    PaxNotifyWorkMode = 15,
    PaxNotifyRecordInfoMain = 16,
    PaxNotifyRecordInfoSecond = 17,
    PaxNotifyReserved18 = 18,
    PaxNotifyCameraStatus = 19,
    PaxNotifyCameraInfo = 20,
    PaxNotifyReserved21 = 21,
    PaxNotifyCameraWid = 22,
    PaxNotifyFramePerSecond = 23,
};
typedef _PaxDataChangeNotifyE PaxDataChangeNotifyE;

// Picture file format; the extension is "jpg", "png", "bmp", "tif", "pdf", empty for other values.
enum _PaxPicSaveFormatE : int {
    PaxPicSaveFormatJpg = 0,
    PaxPicSaveFormatPng = 1,
    PaxPicSaveFormatBmp = 2,
    PaxPicSaveFormatTif = 3,
    PaxPicSaveFormatPdf = 4,
};

// Other values are treated as colour.
enum _PaxColorModeE : int {
    PaxColorModeColor = 0,
    PaxColorModeGray = 1,
    PaxColorModeBlackWhite = 2,
};

// Every value other than 1 names by date and time.
enum _PaxPicNameModeE : int {
    PaxPicNameModeTime = 0,
    PaxPicNameModeIndex = 1,
};

// Each recording enumeration has one "none" value past its last member.
enum _PaxOBitrateValueE : int {
    PaxOBitrateValue1M = 0,
    PaxOBitrateValue2M = 1,
    PaxOBitrateValue4M = 2,
    PaxOBitrateValue8M = 3,
    PaxOBitrateValue16M = 4,
    PaxOBitrateValue32M = 5,
    PaxOBitrateValueNone = 6,
};

enum _PaxOBitrateTypeE : int {
    PaxOBitrateTypeCBR = 0,
    PaxOBitrateTypeVBR = 1,
    PaxOBitrateTypeABR = 2,
    PaxOBitrateTypeCRF = 3,
    PaxOBitrateTypeCQP = 4,
    PaxOBitrateTypeNone = 5,
};

// Levels "51", "23", "13".
enum _PaxOQuantizationParameterE : int {
    PaxOQuantizationParameter51 = 0,
    PaxOQuantizationParameter23 = 1,
    PaxOQuantizationParameter13 = 2,
    PaxOQuantizationParameterNone = 3,
};

enum _PaxOProfileE : int {
    PaxOProfileBaseline = 0,
    PaxOProfileExtended = 1,
    PaxOProfileMain = 2,
    PaxOProfileHigh = 3,
    PaxOProfileNone = 4,
};

enum _PaxOPresetModeE : int {
    PaxOPresetUltrafast = 0,
    PaxOPresetSuperfast = 1,
    PaxOPresetVeryfast = 2,
    PaxOPresetFaster = 3,
    PaxOPresetFast = 4,
    PaxOPresetMedium = 5,
    PaxOPresetSlow = 6,
    PaxOPresetSlower = 7,
    PaxOPresetVeryslow = 8,
    PaxOPresetPlacebo = 9,
    PaxOPresetNone = 10,
};

enum _PaxORecordQualityE : int {
    PaxORecordQualityLow = 0,
    PaxORecordQualityMiddle = 1,
    PaxORecordQualityHigh = 2,
    PaxORecordQualityCustom = 3,
    PaxORecordQualityNone = 4,
};

// One camera image control: the camera's range and default, the value in force, and for the
// two automatic controls the mode in force and its default.
struct _PaxUvcInfoS {
    int max = 0;
    int min = 0;
    int cur = 0;
    int def = 0;
    bool curOn = false;
    bool defOn = false;
    bool supported = false;
};

// The work-mode profiles that have twins, X(NAME, MODE): NAME is the suffix after "For"
// (ForBW..ForTM), MODE the profile's _PaxWorkModeE. The plain member addresses "common".
#define PAX_MODE_PROFILES(X) \
    X(BW, PaxWorkModeBW) \
    X(CS, PaxWorkModeCS) \
    X(ZJ, PaxWorkModeZJ) \
    X(TM, PaxWorkModeTM)

// Public operations of one profile; SUFFIX is empty for "common", else ForBW..ForTM.
#define PAX_DATA_PROFILE_OPERATIONS(SUFFIX, MODE) \
    bool getRectify##SUFFIX() { return _getFlag(MODE, &Profile::rectify); } \
    void setRectify##SUFFIX(bool on) { _setRectify(MODE, on); } \
    bool getAutoTrim##SUFFIX() { return _getFlag(MODE, &Profile::autoTrim); } \
    void setAutoTrim##SUFFIX(bool on) { _setAutoTrim(MODE, on); } \
    bool getManuTrim##SUFFIX() { return _getFlag(MODE, &Profile::manuTrim); } \
    void setManuTrim##SUFFIX(bool on) { _setManuTrim(MODE, on); } \
    void setManuTrimRect##SUFFIX(QRect rect) { _setManuTrimRect(MODE, rect); } \
    bool getManuTrimRect##SUFFIX(QRect& rect) { return _getManuTrimRect(MODE, rect); } \
    void removeMenuTrimRect##SUFFIX() { _removeMenuTrimRect(MODE); } \
    bool getAutoDoc##SUFFIX() { return _getFlag(MODE, &Profile::autoDoc); } \
    void setAutoDoc##SUFFIX(bool on) { _setAutoDoc(MODE, on); } \
    bool getTimeGrab##SUFFIX(int& seconds) { return _getTimeGrab(MODE, seconds); } \
    void setTimeGrab##SUFFIX(bool on, unsigned int seconds) { _setTimeGrab(MODE, on, seconds); } \
    bool getIntelligentGrab##SUFFIX(int& step) { return _getIntelligentGrab(MODE, step); } \
    void setIntelligentGrab##SUFFIX(bool on, int step, bool quiet) { _setIntelligentGrab(MODE, on, step, quiet); } \
    _PaxPicSaveFormatE getCurrentPicSaveFormat##SUFFIX() { return _PaxPicSaveFormatE(_getInt(MODE, &Profile::picSaveFormat)); } \
    void setCurrentPicSaveFormat##SUFFIX(_PaxPicSaveFormatE format) { _setPicSaveFormat(MODE, format); } \
    _PaxColorModeE getCurrentColorMode##SUFFIX() { return _PaxColorModeE(_getInt(MODE, &Profile::colorMode)); } \
    void setCurrentColorMode##SUFFIX(_PaxColorModeE mode) { _setColorMode(MODE, mode); } \
    int getCurrentPicPressRatio##SUFFIX() { return _getInt(MODE, &Profile::picPressRatio); } \
    void setCurrentPicPressRatio##SUFFIX(int ratio) { _setPicPressRatio(MODE, ratio); } \
    QString getCurrentPicSavePath##SUFFIX() { return _getPicSavePath(MODE); } \
    void setCurrentPicSavePath##SUFFIX(QString path) { _setPicSavePath(MODE, path); } \
    void grab##SUFFIX() { _grab(MODE); } \
    QString getCurrentPicSaveFormatS##SUFFIX() { return _picFormatToString(_PaxPicSaveFormatE(_getInt(MODE, &Profile::picSaveFormat))); } \
    int getNextPicIndex##SUFFIX() { return _getInt(MODE, &Profile::nextPicIndex); } \
    void setNextPicIndex##SUFFIX(int index) { _setProfileInt(MODE, &Profile::nextPicIndex, index, GroupNextPicIndex); } \
    _PaxPicNameModeE getCurrentPicNameMode##SUFFIX() { return _PaxPicNameModeE(_getInt(MODE, &Profile::picNameMode)); } \
    void setCurrentPicNameMode##SUFFIX(_PaxPicNameModeE nameMode) \
    { _setProfileInt(MODE, &Profile::picNameMode, nameMode, GroupPicNameMode); } \
    bool getPicLogoEnable##SUFFIX() { return _getFlag(MODE, &Profile::picLogoEnable); } \
    void setPicLogoEnable##SUFFIX(bool on) { _setPicLogoEnable(MODE, on); } \
    void setPicLogoInfo##SUFFIX(QString file, unsigned char alpha, int x, int y) \
    { _setPicLogoInfo(MODE, file, alpha, x, y); } \
    void getPicLogoInfo##SUFFIX(QString& file, unsigned char& alpha, int& x, int& y) \
    { _getPicLogoInfo(MODE, file, alpha, x, y); } \
    bool getTextLogoEnable##SUFFIX() { return _getFlag(MODE, &Profile::textLogoEnable); } \
    void setTextLogoEnable##SUFFIX(bool on) { _setTextLogoEnable(MODE, on); } \
    void setTextLogoInfo##SUFFIX(QString text, unsigned char alpha, int x, int y, int size, int weight, QString color) \
    { _setTextLogoInfo(MODE, text, alpha, x, y, size, weight, color); } \
    void getTextLogoInfo##SUFFIX(QString& text, unsigned char& alpha, int& x, int& y, int& size, int& weight, QString& color) \
    { _getTextLogoInfo(MODE, text, alpha, x, y, size, weight, color); }

// Private save operations of one profile: each writes its group's keys in the profile's section.
#define PAX_DATA_PROFILE_SAVES(SUFFIX, MODE) \
    void _saveLogoPic##SUFFIX() { _saveGroup(MODE, GroupLogoPic); } \
    void _saveLogoText##SUFFIX() { _saveGroup(MODE, GroupLogoText); } \
    void _savePicSaveFormat##SUFFIX() { _saveGroup(MODE, GroupPicSaveFormat); } \
    void _savePicNameMode##SUFFIX() { _saveGroup(MODE, GroupPicNameMode); } \
    void _savePicPressRatio##SUFFIX() { _saveGroup(MODE, GroupPicPressRatio); } \
    void _saveNextPicIndex##SUFFIX() { _saveGroup(MODE, GroupNextPicIndex); } \
    void _savePicSavePath##SUFFIX() { _saveGroup(MODE, GroupPicSavePath); } \
    void _savebRectify##SUFFIX() { _saveGroup(MODE, GroupRectify); } \
    void _savebAutoTrim##SUFFIX() { _saveGroup(MODE, GroupAutoTrim); } \
    void _savebManuTrim##SUFFIX() { _saveGroup(MODE, GroupManuTrim); } \
    void _savebAutoDoc##SUFFIX() { _saveGroup(MODE, GroupAutoDoc); } \
    void _savebIntelligentGrab##SUFFIX() { _saveGroup(MODE, GroupIntelligentGrab); } \
    void _saveColorMode##SUFFIX() { _saveGroup(MODE, GroupColorMode); }

// Operations that exist for BW..TM only.
#define PAX_DATA_TWIN_ONLY_OPERATIONS(NAME, MODE) \
    QString getCurrentPicSaveTodayPathFor##NAME() { return _getPicSaveTodayPath(MODE); }

// The camera image controls, X(Name, INDEX): INDEX is the record's position among the nine.
#define PAX_UVC_VALUE_CONTROLS(X) \
    X(Brightness, 0) \
    X(Contrast, 1) \
    X(Saturation, 2) \
    X(Sharpness, 3) \
    X(Gain, 4) \
    X(Exposure, 5) \
    X(Focus, 7)
#define PAX_UVC_AUTO_CONTROLS(X) \
    X(ExposureAuto, 6) \
    X(FocusAuto, 8)

#define PAX_DATA_UVC_VALUE_OPERATIONS(NAME, INDEX) \
    _PaxUvcInfoS get##NAME##Info() { return _getUvcInfo(INDEX); } \
    void set##NAME(int value) { _setUvcValue(INDEX, UvcOpSet, value); } \
    void set##NAME##ToDefault() { _setUvcValue(INDEX, UvcOpDefault, 0); }
#define PAX_DATA_UVC_AUTO_OPERATIONS(NAME, INDEX) \
    _PaxUvcInfoS get##NAME##Info() { return _getUvcInfo(INDEX); } \
    void set##NAME(bool on) { _setUvcAuto(INDEX, UvcOpSet, on); } \
    void set##NAME##ToDefault() { _setUvcAuto(INDEX, UvcOpDefault, false); }

#define PAX_DATA_PROFILE_TWINS(NAME, MODE) \
    PAX_DATA_PROFILE_OPERATIONS(For##NAME, MODE) \
    PAX_DATA_TWIN_ONLY_OPERATIONS(NAME, MODE)
#define PAX_DATA_PROFILE_SAVE_TWINS(NAME, MODE) PAX_DATA_PROFILE_SAVES(For##NAME, MODE)

class PaxDataLocker;

class PaxData : public QObject
{
    Q_OBJECT
public:
    // Work mode whose output settings apply to a grabbed picture (same numbers as _PaxWorkModeE).
    enum _IoctlTypeE : int {
        IoctlTypeCommon = 0,
        IoctlTypeBW = 1,
        IoctlTypeCS = 2,
        IoctlTypeZJ = 3,
        IoctlTypeTM = 4,
    };

    // Per-mode values, one complete copy per work mode.
    struct Profile {
        int colorMode = 0;
        int picSaveFormat = 0;
        int picPressRatio = 0;
        QString picSavePath;
        bool grab = false;
        int picNameMode = 0;
        int nextPicIndex = 0;
        bool rectify = false;
        bool autoTrim = false;
        bool manuTrim = false;
        std::unique_ptr<QRect> manuTrimRect;
        bool autoDoc = false;
        bool timeGrab = false;
        unsigned int timeGrabSeconds = 10;
        bool intelligentGrab = false;
        bool picLogoEnable = false;
        QString logoFile;
        unsigned char logoAlpha = 0;
        int logoX = 0;
        int logoY = 0;
        bool textLogoEnable = false;
        QString logoText;
        unsigned char textLogoAlpha = 0;
        QString textLogoColor;
        int textLogoX = 0;
        int textLogoY = 0;
        int textSize = 0;
        int textWeight = 0;
    };

    // Recording settings of one camera.
    struct Recording {
        QString videoSavePath;
        QString videoPrefix;
        _PaxRecordInfoS recordInfo;
        QString microphoneName;
        int microphoneVolume = 0;
        bool recordAudio = false;
        QString encoder;
        int bitrateValue = 0;
        int bitrateType = 0;
        int quantizationParameter = 0;
        int profile = 0;
        int preset = 0;
        int recordQuality = 0;
        int recordSolutionIndex = -1;
    };

    // Save groups: each save operation writes every key of its group.
    enum Group : int {
        GroupLogoPic,
        GroupLogoText,
        GroupPicSaveFormat,
        GroupPicNameMode,
        GroupPicPressRatio,
        GroupNextPicIndex,
        GroupPicSavePath,
        GroupRectify,
        GroupAutoTrim,
        GroupManuTrim,
        GroupAutoDoc,
        GroupIntelligentGrab,
        GroupColorMode,
        GroupCount
    };

    // Positions of the nine camera image-control records.
    enum UvcControlE : int {
        UvcBrightness = 0,
        UvcContrast,
        UvcSaturation,
        UvcSharpness,
        UvcGain,
        UvcExposure,
        UvcExposureAuto,
        UvcFocus,
        UvcFocusAuto,
        UvcControlCount
    };
    // Op codes of the image-control setters: set by the user, back to the camera's default,
    // reload from the file.
    enum UvcOpE : int { UvcOpSet = 0, UvcOpDefault = 1, UvcOpReload = 2 };

    static PaxData* ms_paxData;
    // Any thread once created; the first call must come from one thread before others use the store.
    static PaxData* getInstance();
    static void releaseInstance();

    explicit PaxData(QObject* parent = nullptr);
    ~PaxData() override;

    // Local clock of file naming; tests install a fixed one. Null restores the system clock.
    void setClock(std::function<QDateTime()> clock);

    _PaxWorkModeE getCurrentWorkMode();
    void setCurrentWorkMode(_PaxWorkModeE mode);

    void setCurrentCameraIndex(_PaxCameraIndexE index);
    _PaxCameraIndexE getCurrentCameraIndex();
    _PaxCameraIndexE getOtherCameraIndex();
    QString getCameraStatus(_PaxCameraIndexE index);
    QString getCurCameraStatus();
    QString getOtherCameraStatus();
    void setCurCameraStatus(QString status);
    void setOtherCameraStatus(QString status);
    void cameraInfoUpdate();
    // Index 0 main, 1 second; other indexes read all bits set and are not stored.
    unsigned long long getCameraWid(_PaxCameraIndexE index);
    void setCameraWid(_PaxCameraIndexE index, unsigned long long wid);
    int getFramePerSecond();
    void setFramePerSecond(int fps);
    bool getbInitComplete();
    void setbInitComplete();
    void setFontFamily(QString family);
    QString getFontFamily();
    void setTmpPicName(QString name);

    PAX_DATA_PROFILE_OPERATIONS(, PaxWorkModeCommon)
    PAX_MODE_PROFILES(PAX_DATA_PROFILE_TWINS)

    bool getPhotoAutoTrim();
    void setPhotoAutoTrim(bool on);
    void setAutoTrimRect(QRect rect);
    bool getAutoTrimRect(QRect& rect);
    bool getScanQrcode(QString& text);
    void setScanQrcode(bool on, QString text, bool takeText);

    void capture();
    // Returns the capture request and clears it.
    bool isCapture();
    // Consumes the grab requests: the path to save the current frame under, or empty text.
    // type receives the highest pending work mode. Emits PaxNotifyNextPicName under the lock.
    QString getNextPicName(PaxData::_IoctlTypeE& type);
    // A new recording's path for camera 0 or 1 in today's folder; empty for other indexes.
    QString getNextVideoName(_PaxCameraIndexE index);
    // Removes empty day folders of the BW..TM picture folders, and a picture folder left empty
    // when it lies below the save root; nothing at or above the save root.
    void deleteVoidDir();

    double getCurrentInitAngle();
    void setCurrentInitAngle(double angle);

    // Recording settings of the main (0) and the second (1) camera.
    QString getVideoMainSavePath();
    QString getVideoSecondSavePath();
    void setVideoMainSavePath(QString path);
    void setVideoSecondSavePath(QString path);
    QString getVideoMainPrefix();
    QString getVideoSecondPrefix();
    void setVideoMainPrefix(QString prefix);
    void setVideoSecondPrefix(QString prefix);
    QString getCurMicrophoneNameMain();
    QString getCurMicrophoneNameSecond();
    void setCurMicrophoneNameMain(QString name);
    void setCurMicrophoneNameSecond(QString name);
    int getCurMicrophoneVolumnMain();
    int getCurMicrophoneVolumnSecond();
    void setCurMicrophoneVolumnMain(int volume);
    void setCurMicrophoneVolumnSecond(int volume);
    bool getbRecordAudioMain();
    bool getbRecordAudioSecond();
    void setbRecordAudioMain(bool on);
    void setbRecordAudioSecond(bool on);
    QString getEncoderMain();
    QString getEncoderSecond();
    void setEncoderMain(QString name);
    void setEncoderSecond(QString name);
    QStringList getEncoderList();
    void setEncoderList(QStringList list);
    _PaxRecordInfoS getRecordInfoMain();
    _PaxRecordInfoS getRecordInfoSecond();
    void setRecordInfoMain(_PaxRecordInfoS info);
    void setRecordInfoSecond(_PaxRecordInfoS info);

    _PaxOBitrateValueE getBitrateValue(_PaxCameraIndexE index);
    void setBitrateValue(_PaxCameraIndexE index, _PaxOBitrateValueE value);
    _PaxOBitrateTypeE getBitrateType(_PaxCameraIndexE index);
    void setBitrateType(_PaxCameraIndexE index, _PaxOBitrateTypeE type);
    _PaxOQuantizationParameterE getQuantizationParameter(_PaxCameraIndexE index);
    void setQuantizationParameter(_PaxCameraIndexE index, _PaxOQuantizationParameterE qp);
    _PaxOProfileE getProfile(_PaxCameraIndexE index);
    void setProfile(_PaxCameraIndexE index, _PaxOProfileE profile);
    _PaxOPresetModeE getPresetMode(_PaxCameraIndexE index);
    void setPresetMode(_PaxCameraIndexE index, _PaxOPresetModeE preset);
    _PaxORecordQualityE getRecordQuality(_PaxCameraIndexE index);
    void setRecordQuality(_PaxCameraIndexE index, _PaxORecordQualityE quality);
    int getRecordSolutionIndex(_PaxCameraIndexE index);
    void setRecordSolutionIndex(_PaxCameraIndexE index, int solutionIndex);

    // Camera image controls of the main camera; the path (service or in-process) is chosen at
    // each call. None of them notifies.
    PAX_UVC_VALUE_CONTROLS(PAX_DATA_UVC_VALUE_OPERATIONS)
    PAX_UVC_AUTO_CONTROLS(PAX_DATA_UVC_AUTO_OPERATIONS)
    // One-shot refocus along the active path; stores nothing and takes no lock.
    void setFocus();
    void freshAutoFocusInfo();
    void freshCameraRelative();
    void setUvcControl(bool on);
    void checkUvcInit();
    // How long the service streams the camera at the end of a refresh (2000 ms); tests shorten it.
    void setRefreshStreamWaitMs(int ms);

signals:
    // Emitted after the store's lock is released, except for PaxNotifyNextPicName, which
    // getNextPicName emits while it still holds the lock: receivers must connect queued.
    void sigDataChange(_PaxDataChangeNotifyE what);

private:
    friend class PaxDataLocker;
    struct PendingWrite {
        QString key;
        QVariant value; // invalid: remove the key
    };

    PAX_DATA_PROFILE_SAVES(, PaxWorkModeCommon)
    PAX_MODE_PROFILES(PAX_DATA_PROFILE_SAVE_TWINS)

    // The lock; unlocking writes the keys queued meanwhile, in lock order, before it returns.
    void _lock();
    void _unlock();
    // Writes the queued keys now, lock held.
    void _flushLocked();
    void _writeBatch(const QVector<PendingWrite>& batch);

    QString _getConfigPath();
    void _load();
    void _put(const QString& section, const QString& key, const QVariant& value);
    void _saveGroup(int mode, int group);
    void _saveRecordingKey(int camera, int key);
    void _applyBitrateTypeLocked(int camera, int type);
    void _applyRecordQualityLocked(int camera);
    QDateTime _now();
    void _grab(int mode);
    QString _getPicSaveTodayPath(int mode);
    QString _getTodayDir(QString folder);
    static QString _picFormatToString(_PaxPicSaveFormatE format);
    QString _uniquePath(const QString& path);

    bool _getFlag(int mode, bool Profile::*field);
    int _getInt(int mode, int Profile::*field);
    void _setProfileInt(int mode, int Profile::*field, int value, int group);
    void _setFlagAndSave(int mode, bool Profile::*field, bool on, int group, int notify);
    void _setRectify(int mode, bool on);
    void _setAutoTrim(int mode, bool on);
    void _setManuTrim(int mode, bool on);
    void _setManuTrimRect(int mode, const QRect& rect);
    bool _getManuTrimRect(int mode, QRect& rect);
    void _removeMenuTrimRect(int mode);
    void _setAutoDoc(int mode, bool on);
    bool _getTimeGrab(int mode, int& seconds);
    void _setTimeGrab(int mode, bool on, unsigned int seconds);
    bool _getIntelligentGrab(int mode, int& step);
    void _setIntelligentGrab(int mode, bool on, int step, bool quiet);

    void _setPicSaveFormat(int mode, int format);
    void _setColorMode(int mode, int colorMode);
    void _setPicPressRatio(int mode, int ratio);
    QString _getPicSavePath(int mode);
    void _setPicSavePath(int mode, const QString& path);
    void _setPicLogoEnable(int mode, bool on);
    void _setPicLogoInfo(int mode, const QString& file, unsigned char alpha, int x, int y);
    void _getPicLogoInfo(int mode, QString& file, unsigned char& alpha, int& x, int& y);
    void _setTextLogoEnable(int mode, bool on);
    void _setTextLogoInfo(int mode, const QString& text, unsigned char alpha, int x, int y, int size, int weight,
                          const QString& color);
    void _getTextLogoInfo(int mode, QString& text, unsigned char& alpha, int& x, int& y, int& size, int& weight,
                          QString& color);

    QString _getRecordingText(int camera, QString Recording::*field);
    void _setRecordingText(int camera, QString Recording::*field, int key, const QString& value);
    int _getRecordingInt(int camera, int Recording::*field, int invalid);
    void _setRecordingInt(int camera, int Recording::*field, int key, int value);
    void _setVideoSavePath(int camera, const QString& path);
    bool _recordStoppedLocked(int camera);
    void _setMicrophoneName(int camera, const QString& name);
    void _setMicrophoneVolume(int camera, int volume);
    void _setRecordAudio(int camera, bool on);
    void _setEncoder(int camera, const QString& name);
    void _setRecordInfo(int camera, const _PaxRecordInfoS& info);
    _PaxUvcInfoS _getUvcInfo(int control);
    void _setUvcValue(int control, int op, int value);
    void _setUvcAuto(int control, int op, bool on);
    void _setUvcValueLocked(PaxDataLocker& lock, int control, int op, int value);
    void _setUvcAutoLocked(PaxDataLocker& lock, int control, int op, bool on);
    void _applyUvcLocked(PaxDataLocker& lock, int control);
    void _saveUvc(int control);
    void _removeUvc(int control);
    QVariant _readUvcKey(int control);
    void _freshCameraRelativeUvc(PaxDataLocker& lock);
    void _takeValueInfo(PaxDataLocker& lock, int control, int result, int max, int min, int def);
    void _takeAutoInfo(PaxDataLocker& lock, int control, int result, bool defaultOn);
    void _closeServiceDevice();
    void _initUvcRecords();
    void _handleRecordQualityMain();
    void _handleRecordQualitySecond();

    QMutex m_mutex;
    std::atomic<Qt::HANDLE> m_lockOwner{nullptr};
    QMutex m_fileMutex; // taken only while m_mutex is held, so writes keep the lock order
    QVector<PendingWrite> m_pending;
    std::function<QDateTime()> m_clock;

    _PaxWorkModeE m_workMode = PaxWorkModeCommon;
    _PaxCameraIndexE m_cameraIndex = PaxCameraIndexMain;
    QString m_curCameraStatus;
    QString m_otherCameraStatus;
    Profile m_profiles[5];
    double m_initAngle = 0.0;
    bool m_capture = false;
    std::unique_ptr<QRect> m_autoTrimRect;
    bool m_photoAutoTrim = true;
    int m_intelligentGrabStep = 0;
    bool m_scanQrcode = false;
    QString m_scanQrcodeText;
    QString m_fontFamily;
    QString m_tmpPicName;
    QStringList m_recentNames; // names handed out lately, which may not be on disk yet
    Recording m_recording[2];
    QStringList m_encoderList;
    unsigned long long m_cameraWid[2] = {~0ULL, ~0ULL};
    int m_framePerSecond = -1;
    bool m_initComplete = false;
    _PaxUvcInfoS m_uvc[UvcControlCount];
    bool m_uvcControl = false;
    int m_refreshStreamWaitMs = 2000;
    std::atomic<bool> m_closeDeferred{false};
};

Q_DECLARE_METATYPE(_PaxDataChangeNotifyE)
Q_DECLARE_METATYPE(_PaxWorkModeE)
Q_DECLARE_METATYPE(_PaxUvcInfoS)
