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

// Picture naming: 0 date and time in a day folder, 1 running number; other values give no name.
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
    void setRectify##SUFFIX(bool on) \
    { _setProfileFlag(MODE, &Profile::rectify, on, GroupRectify, PaxNotifyRectify); } \
    bool getAutoTrim##SUFFIX() { return _getFlag(MODE, &Profile::autoTrim); } \
    void setAutoTrim##SUFFIX(bool on) { _setAutoTrim(MODE, on); } \
    bool getManuTrim##SUFFIX() { return _getFlag(MODE, &Profile::manuTrim); } \
    void setManuTrim##SUFFIX(bool on) { _setManuTrim(MODE, on); } \
    void setManuTrimRect##SUFFIX(QRect rect) { _setManuTrimRect(MODE, rect); } \
    bool getManuTrimRect##SUFFIX(QRect& rect) { return _getManuTrimRect(MODE, rect); } \
    void removeMenuTrimRect##SUFFIX() { _removeMenuTrimRect(MODE); } \
    bool getAutoDoc##SUFFIX() { return _getFlag(MODE, &Profile::autoDoc); } \
    void setAutoDoc##SUFFIX(bool on) \
    { _setProfileFlag(MODE, &Profile::autoDoc, on, GroupAutoDoc, PaxNotifyAutoDoc); } \
    bool getTimeGrab##SUFFIX(int& seconds) { return _getTimeGrab(MODE, seconds); } \
    void setTimeGrab##SUFFIX(bool on, unsigned int seconds) { _setTimeGrab(MODE, on, seconds); } \
    bool getIntelligentGrab##SUFFIX(int& step) { return _getIntelligentGrab(MODE, step); } \
    void setIntelligentGrab##SUFFIX(bool on, int step, bool quiet) { _setIntelligentGrab(MODE, on, step, quiet); } \
    _PaxPicSaveFormatE getCurrentPicSaveFormat##SUFFIX() { return _PaxPicSaveFormatE(_getInt(MODE, &Profile::picSaveFormat)); } \
    void setCurrentPicSaveFormat##SUFFIX(_PaxPicSaveFormatE format) \
    { _setProfileInt(MODE, &Profile::picSaveFormat, format, GroupPicSaveFormat, PaxNotifyPicSaveFormat); } \
    _PaxColorModeE getCurrentColorMode##SUFFIX() { return _PaxColorModeE(_getInt(MODE, &Profile::colorMode)); } \
    void setCurrentColorMode##SUFFIX(_PaxColorModeE mode) \
    { _setProfileInt(MODE, &Profile::colorMode, mode, GroupColorMode, PaxNotifyColorMode); } \
    int getCurrentPicPressRatio##SUFFIX() { return _getInt(MODE, &Profile::picPressRatio); } \
    void setCurrentPicPressRatio##SUFFIX(int ratio) { _setPicPressRatio(MODE, ratio); } \
    QString getCurrentPicSavePath##SUFFIX() { return _getPicSavePath(MODE); } \
    void setCurrentPicSavePath##SUFFIX(QString path) { _setPicSavePath(MODE, path); } \
    void grab##SUFFIX() { _grab(MODE); } \
    QString getCurrentPicSaveFormatS##SUFFIX() { return _picFormatToString(getCurrentPicSaveFormat##SUFFIX()); } \
    int getNextPicIndex##SUFFIX() { return _getInt(MODE, &Profile::nextPicIndex); } \
    void setNextPicIndex##SUFFIX(int index) { _setProfileInt(MODE, &Profile::nextPicIndex, index, GroupNextPicIndex); } \
    _PaxPicNameModeE getCurrentPicNameMode##SUFFIX() { return _PaxPicNameModeE(_getInt(MODE, &Profile::picNameMode)); } \
    void setCurrentPicNameMode##SUFFIX(_PaxPicNameModeE nameMode) \
    { _setProfileInt(MODE, &Profile::picNameMode, nameMode, GroupPicNameMode); } \
    bool getPicLogoEnable##SUFFIX() { return _getFlag(MODE, &Profile::picLogoEnable); } \
    void setPicLogoEnable##SUFFIX(bool on) \
    { _setProfileFlag(MODE, &Profile::picLogoEnable, on, GroupLogoPic, PaxNotifyPicLogo); } \
    void setPicLogoInfo##SUFFIX(QString file, unsigned char alpha, int x, int y) \
    { _setPicLogoInfo(MODE, file, alpha, x, y); } \
    void getPicLogoInfo##SUFFIX(QString& file, unsigned char& alpha, int& x, int& y) \
    { _getPicLogoInfo(MODE, file, alpha, x, y); } \
    bool getTextLogoEnable##SUFFIX() { return _getFlag(MODE, &Profile::textLogoEnable); } \
    void setTextLogoEnable##SUFFIX(bool on) \
    { _setProfileFlag(MODE, &Profile::textLogoEnable, on, GroupLogoText, PaxNotifyTextLogo); } \
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

// The nine camera image controls in the order of their records, X(NAME, KIND, KEY, CALL):
// KIND is VALUE for a number, AUTO for an automatic-mode switch; KEY is the control's ini key in
// section "common"; CALL names the camera calls (getCALLInfo, setCALL).
#define PAX_DATA_UVC_CONTROLS(X) \
    X(Brightness, VALUE, "brightness", Brightness) \
    X(Contrast, VALUE, "contrast", Contrast) \
    X(Saturation, VALUE, "saturation", Saturation) \
    X(Sharpness, VALUE, "sharpness", Sharpness) \
    X(Gain, VALUE, "gain", Gain) \
    X(Exposure, VALUE, "exposure", Exposure) \
    X(ExposureAuto, AUTO, "exposureAuto", ExposureMode) \
    X(Focus, VALUE, "focus", Focus) \
    X(FocusAuto, AUTO, "focusAuto", FocusMode)

#define PAX_DATA_UVC_VALUE_OPERATIONS(NAME) \
    _PaxUvcInfoS get##NAME##Info() { return _getUvcInfo(Uvc##NAME); } \
    void set##NAME(int value) { _setUvcValue(Uvc##NAME, UvcOpSet, value); } \
    void set##NAME##ToDefault() { _setUvcValue(Uvc##NAME, UvcOpDefault, 0); }
#define PAX_DATA_UVC_AUTO_OPERATIONS(NAME) \
    _PaxUvcInfoS get##NAME##Info() { return _getUvcInfo(Uvc##NAME); } \
    void set##NAME(bool on) { _setUvcAuto(Uvc##NAME, UvcOpSet, on); } \
    void set##NAME##ToDefault() { _setUvcAuto(Uvc##NAME, UvcOpDefault, false); }
#define PAX_DATA_UVC_OPERATIONS(NAME, KIND, KEY, CALL) PAX_DATA_UVC_##KIND##_OPERATIONS(NAME)
#define PAX_DATA_UVC_CONTROL_ENUMERATOR(NAME, KIND, KEY, CALL) Uvc##NAME,

// The two recording cameras, X(CAMERA, INDEX): CAMERA is the name part Main or Second of
// the per-camera members, INDEX the camera's _PaxCameraIndexE.
#define PAX_DATA_RECORDING_CAMERAS(X) \
    X(Main, 0) \
    X(Second, 1)

#define PAX_DATA_RECORDING_OPERATIONS(CAMERA, INDEX) \
    QString getVideo##CAMERA##SavePath() { return _getRecording(INDEX, &Recording::videoSavePath); } \
    void setVideo##CAMERA##SavePath(QString path) { _setVideoSavePath(INDEX, path); } \
    QString getVideo##CAMERA##Prefix() { return _getRecording(INDEX, &Recording::videoPrefix); } \
    void setVideo##CAMERA##Prefix(QString prefix) { _setRecording(INDEX, KeyVideoPrefix, prefix); } \
    QString getCurMicrophoneName##CAMERA() { return _getRecording(INDEX, &Recording::microphoneName); } \
    void setCurMicrophoneName##CAMERA(QString name) { _setWhileStopped(INDEX, KeyMicrophoneName, name); } \
    int getCurMicrophoneVolumn##CAMERA() { return _getRecordingInt(INDEX, &Recording::microphoneVolume, 0); } \
    void setCurMicrophoneVolumn##CAMERA(int volume) { _setWhileStopped(INDEX, KeyMicrophoneVolume, volume); } \
    bool getbRecordAudio##CAMERA() { return _getRecording(INDEX, &Recording::recordAudio); } \
    void setbRecordAudio##CAMERA(bool on) { _setWhileStopped(INDEX, KeyRecordAudio, on); } \
    QString getEncoder##CAMERA() { return _getRecording(INDEX, &Recording::encoder); } \
    void setEncoder##CAMERA(QString name) { _setEncoder(INDEX, name); } \
    _PaxRecordInfoS getRecordInfo##CAMERA() { return _getRecording(INDEX, &Recording::recordInfo); } \
    void setRecordInfo##CAMERA(_PaxRecordInfoS info) { _setRecordInfo(INDEX, info); }
#define PAX_DATA_RECORDING_PRIVATE_OPERATIONS(CAMERA, INDEX) \
    void _handleRecordQuality##CAMERA() { _handleRecordQuality(INDEX); }

// Recording settings chosen by camera index, X(NAME, TYPE, FIELD, KEY, NONE): getNAME returns
// NONE for an index other than 0 and 1, setNAME stores and writes the value.
#define PAX_DATA_RECORDING_CHOICES(X) \
    X(BitrateValue, _PaxOBitrateValueE, bitrateValue, KeyBitrateValue, PaxOBitrateValueNone) \
    X(QuantizationParameter, _PaxOQuantizationParameterE, quantizationParameter, KeyQuantizationParameter, \
      PaxOQuantizationParameterNone) \
    X(Profile, _PaxOProfileE, profile, KeyProfile, PaxOProfileNone) \
    X(PresetMode, _PaxOPresetModeE, preset, KeyPreset, PaxOPresetNone) \
    X(RecordSolutionIndex, int, recordSolutionIndex, KeyRecordSolutionIndex, -1)
// The same for the choices whose setters change other settings with them (written by hand).
#define PAX_DATA_RECORDING_COUPLED_CHOICES(X) \
    X(BitrateType, _PaxOBitrateTypeE, bitrateType, KeyBitrateType, PaxOBitrateTypeNone) \
    X(RecordQuality, _PaxORecordQualityE, recordQuality, KeyRecordQuality, PaxORecordQualityNone)

#define PAX_DATA_RECORDING_CHOICE_GETTER(NAME, TYPE, FIELD, KEY, NONE) \
    TYPE get##NAME(_PaxCameraIndexE index) { return TYPE(_getRecordingInt(index, &Recording::FIELD, NONE)); }
#define PAX_DATA_RECORDING_CHOICE_SETTER(NAME, TYPE, FIELD, KEY, NONE) \
    void set##NAME(_PaxCameraIndexE index, TYPE value) { _setRecording(index, KEY, int(value)); }

#define PAX_DATA_COUNT_PROFILE(NAME, MODE) +1
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

    // Number of work-mode profiles: "common" and its twins.
    static constexpr int ModeCount = 1 PAX_MODE_PROFILES(PAX_DATA_COUNT_PROFILE);

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

    // Keys of the recording settings; the key text is stem + "Main"/"Second" + tail.
    enum RecordingKey : int {
        KeyVideoSavePath,
        KeyVideoPrefix,
        KeyMicrophoneName,
        KeyMicrophoneVolume,
        KeyRecordAudio,
        KeyEncoder,
        KeyBitrateValue,
        KeyQuantizationParameter,
        KeyBitrateType,
        KeyProfile,
        KeyPreset,
        KeyRecordQuality,
        KeyRecordSolutionIndex,
        RecordingKeyCount
    };

    // Positions of the nine camera image-control records.
    enum UvcControlE : int { PAX_DATA_UVC_CONTROLS(PAX_DATA_UVC_CONTROL_ENUMERATOR) UvcControlCount };
    // Op codes of the image-control setters: set by the user, back to the camera's default,
    // reload from the file.
    enum UvcOpE : int { UvcOpSet = 0, UvcOpDefault = 1, UvcOpReload = 2 };

    static PaxData* ms_paxData;
    // Any thread once created; the first call must come from one thread before others use the store.
    static PaxData* getInstance();
    static void releaseInstance();

    explicit PaxData(QObject* parent = nullptr);
    ~PaxData() override;

    // Threads: every operation may be called from any thread. A setter of a persistent value
    // writes the settings file before it returns (a few milliseconds; as long as the disk takes
    // with a large file), after giving up the store's lock: getters never wait for the disk, only
    // for another thread's short hold of the lock. A setter called from a thread that already
    // holds the lock (a receiver connected directly to PaxNotifyNextPicName) is logged and
    // refused; a getter so called returns the value-initialised result.

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
    PAX_DATA_RECORDING_CAMERAS(PAX_DATA_RECORDING_OPERATIONS)
    QStringList getEncoderList();
    void setEncoderList(QStringList list);

    PAX_DATA_RECORDING_CHOICES(PAX_DATA_RECORDING_CHOICE_GETTER)
    PAX_DATA_RECORDING_CHOICES(PAX_DATA_RECORDING_CHOICE_SETTER)
    PAX_DATA_RECORDING_COUPLED_CHOICES(PAX_DATA_RECORDING_CHOICE_GETTER)
    void setBitrateType(_PaxCameraIndexE index, _PaxOBitrateTypeE type);
    void setRecordQuality(_PaxCameraIndexE index, _PaxORecordQualityE quality);

    // Camera image controls of the main camera; the path (service or in-process) is chosen at
    // each call. None of them notifies. Any thread.
    // Blocking: a set applies the value to the camera before it returns. On the service path that
    // is one request to Korvid (at most 10 s; the store's lock is released meanwhile and the
    // calling thread's events are processed); switching automatic exposure off adds a second one
    // for the exposure value. In-process it is a libuvc control transfer with the lock held
    // (normally about a millisecond; a camera that stops answering holds it as long as libuvc waits). A set of the automatic switches
    // also reads the settings file first, without the lock. The getters never wait for a camera.
    PAX_DATA_UVC_CONTROLS(PAX_DATA_UVC_OPERATIONS)
    // One-shot refocus along the active path; stores nothing and takes no lock. Blocking: two
    // requests to Korvid on the service path (at most 10 s each), two libuvc transfers in-process.
    void setFocus();
    // The refreshes read every control's range from the camera and re-apply the stored values.
    // They block the calling thread: call them from a worker (the SDK worker, or a pooled thread
    // for the popup's check), not the GUI thread, which would stop drawing for seconds.
    // Service path (macOS 12 on), only with the UVC-control switch on: processes the calling
    // thread's pending events once, opens the devices, reads nine controls and applies up to nine
    // values, streams the camera for the refresh wait (2000 ms) and closes the devices: up to 21
    // requests of at most 10 s each, about 2.5 s with a live service. The store's lock is released
    // around every request, so other threads keep using the store. In-process path: nine control
    // reads and up to nine applies through libuvc with the lock held, some milliseconds; getters
    // of other threads wait for them. The settings file is read before the lock is taken.
    // freshAutoFocusInfo does the same for automatic focus alone (one read of the file, one apply).
    void freshAutoFocusInfo();
    void freshCameraRelative();
    void setUvcControl(bool on);
    // freshCameraRelative when the switch is on and the controls were not read yet; else returns at once.
    void checkUvcInit();
    // How long the service streams the camera at the end of a refresh (2000 ms); tests shorten it.
    void setRefreshStreamWaitMs(int ms);

signals:
    // Emitted after the store's lock is released, except for PaxNotifyNextPicName, which
    // getNextPicName emits while it still holds the lock: receivers must connect queued (a
    // direct receiver's calls into the store are refused).
    void sigDataChange(_PaxDataChangeNotifyE what);

private:
    friend class PaxDataLocker;
    struct PendingWrite {
        QString key;
        QVariant value; // invalid: remove the key
    };

    PAX_DATA_PROFILE_SAVES(, PaxWorkModeCommon)
    PAX_MODE_PROFILES(PAX_DATA_PROFILE_SAVE_TWINS)

    // The lock; false (logged) when the calling thread already holds it. Unlocking queues the
    // keys changed meanwhile and writes the queue, after the lock is given up, before it returns.
    bool _lock();
    void _unlock();
    void _writeQueued();
    void _writeBatch(const QVector<PendingWrite>& batch);
    static void _putInto(QVector<PendingWrite>& list, const QString& key, const QVariant& value);

    void _setCameraStatus(QString& member, const QString& status);
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
    // Store one field of the mode's profile, write its group, then emit notify (none when < 0).
    void _setProfileInt(int mode, int Profile::*field, int value, int group, int notify = -1);
    void _setProfileFlag(int mode, bool Profile::*field, bool on, int group, int notify);
    void _setAutoTrim(int mode, bool on);
    void _setManuTrim(int mode, bool on);
    void _setManuTrimRect(int mode, const QRect& rect);
    bool _getManuTrimRect(int mode, QRect& rect);
    void _removeMenuTrimRect(int mode);
    bool _getTimeGrab(int mode, int& seconds);
    void _setTimeGrab(int mode, bool on, unsigned int seconds);
    bool _getIntelligentGrab(int mode, int& step);
    void _setIntelligentGrab(int mode, bool on, int step, bool quiet);

    void _setPicPressRatio(int mode, int ratio);
    QString _getPicSavePath(int mode);
    void _setPicSavePath(int mode, const QString& path);
    void _setPicLogoInfo(int mode, const QString& file, unsigned char alpha, int x, int y);
    void _getPicLogoInfo(int mode, QString& file, unsigned char& alpha, int& x, int& y);
    void _setTextLogoInfo(int mode, const QString& text, unsigned char alpha, int x, int y, int size, int weight,
                          const QString& color);
    void _getTextLogoInfo(int mode, QString& text, unsigned char& alpha, int& x, int& y, int& size, int& weight,
                          QString& color);

    // Fields of camera 0 or 1 under the lock.
    QString _getRecording(int camera, QString Recording::*field);
    bool _getRecording(int camera, bool Recording::*field);
    _PaxRecordInfoS _getRecording(int camera, _PaxRecordInfoS Recording::*field);
    int _getRecordingInt(int camera, int Recording::*field, int invalid);
    // Stores and writes one recording key of camera 0 or 1 (other indexes are ignored); the
    // second form refuses while that camera records.
    void _setRecording(int camera, int key, const QVariant& value);
    void _setWhileStopped(int camera, int key, const QVariant& value);
    void _storeRecordingKeyLocked(int camera, int key, const QVariant& value);
    void _setVideoSavePath(int camera, const QString& path);
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
    void _readUvcKeys();
    void _freshCameraRelativeUvc(PaxDataLocker& lock);
    void _takeInfo(PaxDataLocker& lock, int control, int result, int max, int min, int def, bool defaultOn);
    void _closeServiceDevice();
    void _initUvcRecords();
    void _handleRecordQuality(int camera);
    PAX_DATA_RECORDING_CAMERAS(PAX_DATA_RECORDING_PRIVATE_OPERATIONS)

    QMutex m_mutex;
    std::atomic<Qt::HANDLE> m_lockOwner{nullptr};
    QVector<PendingWrite> m_pending;    // keys changed under the current hold of m_mutex
    QMutex m_queueMutex;                // guards m_writeQueue; never held while waiting for another lock
    QVector<PendingWrite> m_writeQueue; // batches handed over in lock order, not yet written
    QMutex m_fileMutex;                 // held while the file is written or read; never with m_mutex
    std::function<QDateTime()> m_clock;

    _PaxWorkModeE m_workMode = PaxWorkModeCommon;
    _PaxCameraIndexE m_cameraIndex = PaxCameraIndexMain;
    QString m_curCameraStatus;
    QString m_otherCameraStatus;
    Profile m_profiles[ModeCount];
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
    QVariant m_uvcStored[UvcControlCount]; // the control keys as the file holds them
    quint64 m_uvcStoredWrites[UvcControlCount] = {}; // writes of each key by the store
    bool m_uvcControl = false;
    int m_refreshStreamWaitMs = 2000;
    std::atomic<bool> m_closeDeferred{false};
};

Q_DECLARE_METATYPE(_PaxDataChangeNotifyE)
Q_DECLARE_METATYPE(_PaxWorkModeE)
Q_DECLARE_METATYPE(_PaxUvcInfoS)
