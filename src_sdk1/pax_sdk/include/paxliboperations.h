#pragma once
// The camera SDK facade's operation table: the operations that are one call into the settings
// store or the camera model, as lists. PaxLibPrivate carries them out and PaxQtLib forwards them;
// both generate their members from these lists.

#include "paxcamerainfo.h"
#include "paxdata.h"

static_assert(PaxData::ModeCount == 5, "PAX_LIB_EACH_PROFILE names one suffix per work mode");

// F(SUFFIX, ...) once per work-mode profile: the plain member (current work mode) and the twins
// ForBW..ForTM in PAX_MODE_PROFILES' order.
#define PAX_LIB_EACH_PROFILE(F, ...) \
    F(, __VA_ARGS__) F(ForBW, __VA_ARGS__) F(ForCS, __VA_ARGS__) F(ForZJ, __VA_ARGS__) F(ForTM, __VA_ARGS__)

// Work-mode families, X(RET, NAME, STORE, PARAMS, ARGS, FARGS): the facade member NAME (and
// NAME##ForBW .. NAME##ForTM, made with PAX_LIB_EACH_PROFILE) calls the store member STORE of the same
// suffix with ARGS; FARGS are the parameter names as a forward passes them.
#define PAX_LIB_MODE_FAMILIES(X) \
    X(void, switchColorMode, setCurrentColorMode, (_PaxColorModeE mode), (mode), (mode)) \
    X(_PaxColorModeE, getColorMode, getCurrentColorMode, (), (), ()) \
    X(void, setPicSaveFormat, setCurrentPicSaveFormat, (_PaxPicSaveFormatE format), (format), (format)) \
    X(_PaxPicSaveFormatE, getPicSaveFormat, getCurrentPicSaveFormat, (), (), ()) \
    X(void, setPicNameMode, setCurrentPicNameMode, (_PaxPicNameModeE mode), (mode), (mode)) \
    X(_PaxPicNameModeE, getPicNameMode, getCurrentPicNameMode, (), (), ()) \
    X(void, setPicPressRatio, setCurrentPicPressRatio, (int ratio), (ratio), (ratio)) \
    X(int, getPicPressRatio, getCurrentPicPressRatio, (), (), ()) \
    X(void, setPicSavePath, setCurrentPicSavePath, (QString path), (path), (path)) \
    X(QString, getPicSavePath, getCurrentPicSavePath, (), (), ()) \
    X(void, setNextPicIndex, setNextPicIndex, (int index), (index), (index)) \
    X(int, getNextPicIndex, getNextPicIndex, (), (), ()) \
    X(void, grab, grab, (), (), ()) \
    X(void, setRectify, setRectify, (bool on), (on), (on)) \
    X(bool, getRectify, getRectify, (), (), ()) \
    X(void, setAutoTrim, setAutoTrim, (bool on), (on), (on)) \
    X(bool, getAutoTrim, getAutoTrim, (), (), ()) \
    X(void, setManuTrim, setManuTrim, (bool on), (on), (on)) \
    X(bool, getManuTrim, getManuTrim, (), (), ()) \
    X(void, setAutoDoc, setAutoDoc, (bool on), (on), (on)) \
    X(bool, getAutoDoc, getAutoDoc, (), (), ()) \
    X(void, setTimeGrabInfo, setTimeGrab, (bool on, unsigned int seconds), (on, seconds), (on, seconds)) \
    X(void, setIntelligent, setIntelligentGrab, (bool on), (on, 0, false), (on)) \
    X(bool, getIntelligentInfo, getIntelligentGrab, (int& count), (count), (count)) \
    X(void, setPicLogoEnable, setPicLogoEnable, (bool on), (on), (on)) \
    X(bool, getPicLogoEnable, getPicLogoEnable, (), (), ()) \
    X(void, setPicLogoInfo, setPicLogoInfo, (QString file, unsigned char alpha, int x, int y), (file, alpha, x, y), (file, alpha, x, y)) \
    X(void, getPicLogoInfo, getPicLogoInfo, (QString & file, unsigned char& alpha, int& x, int& y), (file, alpha, x, y), (file, alpha, x, y)) \
    X(void, setTextLogoEnable, setTextLogoEnable, (bool on), (on), (on)) \
    X(bool, getTextLogoEnable, getTextLogoEnable, (), (), ()) \
    X(void, setTextLogoInfo, setTextLogoInfo, (QString text, unsigned char alpha, int x, int y, int size, int weight, QString color), (text, alpha, x, y, size, weight, color), (text, alpha, x, y, size, weight, color)) \
    X(void, getTextLogoInfo, getTextLogoInfo, (QString & text, unsigned char& alpha, int& x, int& y, int& size, int& weight, QString& color), (text, alpha, x, y, size, weight, color), (text, alpha, x, y, size, weight, color))

// Day folders of the twin profiles (no plain member), X(SUFFIX).
#define PAX_LIB_TODAY_PATHS(X) X(ForBW) X(ForCS) X(ForZJ) X(ForTM)

// Operations that are one call, X(RET, NAME, TARGET, PARAMS, ARGS, FARGS): TARGET ARGS is the call
// (paxLibStore()->name or paxLibCameras()->name), FARGS the parameter names as a forward passes them.
#define PAX_LIB_FORWARDS(X) \
    X(_PaxWorkModeE, getCurrentWorkMode, paxLibStore()->getCurrentWorkMode, (), (), ()) \
    X(void, setCurrentWorkMode, paxLibStore()->setCurrentWorkMode, (_PaxWorkModeE mode), (mode), (mode)) \
    X(_PaxCameraIndexE, getCurrentCameraIndex, paxLibStore()->getCurrentCameraIndex, (), (), ()) \
    X(_PaxCameraIndexE, getOtherCameraIndex, paxLibStore()->getOtherCameraIndex, (), (), ()) \
    X(void, setFramePerSecond, paxLibStore()->setFramePerSecond, (int fps), (fps), (fps)) \
    X(QList<_SolutionS>, getSolutionList, paxLibCameras()->getCameraSolutionList1, (), (paxLibStore()->getCurrentCameraIndex()), ()) \
    X(QList<_SolutionS>, getSolutionList, paxLibCameras()->getCameraSolutionList1, (_PaxCameraIndexE camera), (camera), (camera)) \
    X(int, getSolutionIndex, paxLibCameras()->getCameraCurSolutionIndex, (), (paxLibStore()->getCurrentCameraIndex()), ()) \
    X(int, getSolutionIndex, paxLibCameras()->getCameraCurSolutionIndex, (_PaxCameraIndexE camera), (camera), (camera)) \
    X(double, getInitAngle, paxLibStore()->getCurrentInitAngle, (), (), ()) \
    X(void, setInitAngle, paxLibStore()->setCurrentInitAngle, (double angle), (angle), (angle)) \
    X(void, deleteVoidDir, paxLibStore()->deleteVoidDir, (), (), ()) \
    X(QString, getFontFamily, paxLibStore()->getFontFamily, (), (), ()) \
    X(bool, getScanQrcode, paxLibStore()->getScanQrcode, (QString & text), (text), (text)) \
    X(void, setVideoMainSavePath, paxLibStore()->setVideoMainSavePath, (QString path), (path), (path)) \
    X(QString, getVideoMainSavePath, paxLibStore()->getVideoMainSavePath, (), (), ()) \
    X(void, setVideoSecondSavePath, paxLibStore()->setVideoSecondSavePath, (QString path), (path), (path)) \
    X(QString, getVideoSecondSavePath, paxLibStore()->getVideoSecondSavePath, (), (), ()) \
    X(void, setVideoMainPrefix, paxLibStore()->setVideoMainPrefix, (QString prefix), (prefix), (prefix)) \
    X(QString, getVideoMainPrefix, paxLibStore()->getVideoMainPrefix, (), (), ()) \
    X(void, setVideoSecondPrefix, paxLibStore()->setVideoSecondPrefix, (QString prefix), (prefix), (prefix)) \
    X(QString, getVideoSecondPrefix, paxLibStore()->getVideoSecondPrefix, (), (), ()) \
    X(_PaxUvcInfoS, getExposureAutoInfo, paxLibStore()->getExposureAutoInfo, (), (), ()) \
    X(void, setExposureAuto, paxLibStore()->setExposureAuto, (bool on), (on), (on)) \
    X(void, setExposureAutoToDefault, paxLibStore()->setExposureAutoToDefault, (), (), ()) \
    X(_PaxUvcInfoS, getFocusAutoInfo, paxLibStore()->getFocusAutoInfo, (), (), ()) \
    X(void, setFocusAuto, paxLibStore()->setFocusAuto, (bool on), (on), (on)) \
    X(void, setFocusAutoToDefault, paxLibStore()->setFocusAutoToDefault, (), (), ()) \
    X(void, setFocus, paxLibStore()->setFocus, (), (), ()) \
    X(QStringList, getEncoderList, paxLibStore()->getEncoderList, (), (), ()) \
    X(_PaxRecordInfoS, getRecordInfoMain, paxLibStore()->getRecordInfoMain, (), (), ()) \
    X(_PaxRecordInfoS, getRecordInfoSecond, paxLibStore()->getRecordInfoSecond, (), (), ()) \
    X(QString, getCurMicrophoneMain, paxLibStore()->getCurMicrophoneNameMain, (), (), ()) \
    X(void, setCurMicrophoneMain, paxLibStore()->setCurMicrophoneNameMain, (QString name), (name), (name)) \
    X(QString, getCurMicrophoneSecond, paxLibStore()->getCurMicrophoneNameSecond, (), (), ()) \
    X(void, setCurMicrophoneSecond, paxLibStore()->setCurMicrophoneNameSecond, (QString name), (name), (name)) \
    X(int, getCurMicrophoneVolumnMain, paxLibStore()->getCurMicrophoneVolumnMain, (), (), ()) \
    X(void, setCurMicrophoneVolumnMain, paxLibStore()->setCurMicrophoneVolumnMain, (int volume), (volume), (volume)) \
    X(int, getCurMicrophoneVolumnSecond, paxLibStore()->getCurMicrophoneVolumnSecond, (), (), ()) \
    X(void, setCurMicrophoneVolumnSecond, paxLibStore()->setCurMicrophoneVolumnSecond, (int volume), (volume), (volume)) \
    X(QString, getEncoderMain, paxLibStore()->getEncoderMain, (), (), ()) \
    X(void, setEncoderMain, paxLibStore()->setEncoderMain, (QString name), (name), (name)) \
    X(QString, getEncoderSecond, paxLibStore()->getEncoderSecond, (), (), ()) \
    X(void, setEncoderSecond, paxLibStore()->setEncoderSecond, (QString name), (name), (name)) \
    X(bool, getIsRecordAudioMain, paxLibStore()->getbRecordAudioMain, (), (), ()) \
    X(void, setIsRecordAudioMain, paxLibStore()->setbRecordAudioMain, (bool on), (on), (on)) \
    X(bool, getIsRecordAudioSecond, paxLibStore()->getbRecordAudioSecond, (), (), ()) \
    X(void, setIsRecordAudioSecond, paxLibStore()->setbRecordAudioSecond, (bool on), (on), (on)) \
    X(_PaxOBitrateValueE, getBitrateValue, paxLibStore()->getBitrateValue, (_PaxCameraIndexE c), (c), (c)) \
    X(void, setBitrateValue, paxLibStore()->setBitrateValue, (_PaxCameraIndexE c, _PaxOBitrateValueE v), (c, v), (c, v)) \
    X(_PaxOBitrateTypeE, getBitrateType, paxLibStore()->getBitrateType, (_PaxCameraIndexE c), (c), (c)) \
    X(void, setBitrateType, paxLibStore()->setBitrateType, (_PaxCameraIndexE c, _PaxOBitrateTypeE v), (c, v), (c, v)) \
    X(_PaxOQuantizationParameterE, getQuantizationParameter, paxLibStore()->getQuantizationParameter, (_PaxCameraIndexE c), (c), (c)) \
    X(void, setQuantizationParameter, paxLibStore()->setQuantizationParameter, (_PaxCameraIndexE c, _PaxOQuantizationParameterE v), (c, v), (c, v)) \
    X(_PaxOProfileE, getProfile, paxLibStore()->getProfile, (_PaxCameraIndexE c), (c), (c)) \
    X(void, setProfile, paxLibStore()->setProfile, (_PaxCameraIndexE c, _PaxOProfileE v), (c, v), (c, v)) \
    X(_PaxOPresetModeE, getPresetMode, paxLibStore()->getPresetMode, (_PaxCameraIndexE c), (c), (c)) \
    X(void, setPresetMode, paxLibStore()->setPresetMode, (_PaxCameraIndexE c, _PaxOPresetModeE v), (c, v), (c, v)) \
    X(_PaxORecordQualityE, getRecordQuality, paxLibStore()->getRecordQuality, (_PaxCameraIndexE c), (c), (c)) \
    X(void, setRecordQuality, paxLibStore()->setRecordQuality, (_PaxCameraIndexE c, _PaxORecordQualityE v), (c, v), (c, v)) \
    X(void, setMainCameraWindow, paxLibStore()->setCameraWid, (unsigned long long wid), (PaxCameraIndexMain, wid), (wid)) \
    X(void, setSecondCameraWindow, paxLibStore()->setCameraWid, (unsigned long long wid), (PaxCameraIndexSecond, wid), (wid)) \
    X(bool, getbInitComplete, paxLibStore()->getbInitComplete, (), (), ()) \
    X(void, setUvcControl, paxLibStore()->setUvcControl, (bool on), (on), (on)) \
    X(void, checkUvcInit, paxLibStore()->checkUvcInit, (), (), ())

// The numeric camera image controls, X(NAME): getNAMEInfo, setNAME(int), setNAMEToDefault.
#define PAX_LIB_UVC_VALUES(X) X(Brightness) X(Contrast) X(Saturation) X(Sharpness) X(Gain) X(Exposure) X(Focus)

inline PaxData* paxLibStore() { return PaxData::getInstance(); }
inline PaxCameraInfo* paxLibCameras() { return PaxCameraInfo::getInstance(); }
