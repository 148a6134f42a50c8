#pragma once
// The camera SDK's facade with plain types: fixed text buffers, point and frame records, and three
// callbacks in place of signals. Its operations act on the current work mode.
//
// Threads: create, use and release it from one thread; the callbacks run in that thread from its
// event loop (a thread without one receives none).

#include "paxnotify.h"
#include "paxdata.h"

#include <QImage>

#include <cstdint>
#include <vector>

class PaxLibPrivate;

// Text in the local 8-bit encoding, NUL-terminated (at most 1023 bytes of text).
struct _PaxBufS {
    char buf[1024];
};

struct _PaxPointS {
    int32_t x;
    int32_t y;
};

// A frame handed to the frame callback: packed RGB rows of width x 3 bytes, top row first; valid
// only during the call.
struct _PaxFrameInfoS {
    uint8_t* data;
    uint64_t size;
    int64_t width;
    int64_t height;
};

// The picture as packed RGB rows (width x 3 bytes each, no padding), top row first.
void paxPackRgb(const QImage& picture, std::vector<uint8_t>& out, int& width, int& height);
// How many frames have been packed for a frame callback in this process.
quint64 paxPackedFrameCount();
// The text of a buffer read as the local 8-bit encoding (up to its NUL, at most 1024 bytes).
QString paxBufToString(const _PaxBufS& buf);
// The text in the local 8-bit encoding, cut to whole characters of at most 1023 bytes.
void paxStringToBuf(const QString& text, _PaxBufS& buf);

class PaxCommonLib
{
public:
    typedef void (*ChangeCallback)(_PaxChangeNotifyE);
    typedef void (*FrameCallback)(_PaxFrameInfoS);
    typedef void (*GrabCallback)(const _PaxBufS&);

    // Creates the singleton (an offscreen GUI application object and the save root when missing).
    static PaxCommonLib* getInstance();
    static void releaseInstance();

    void registerCallBackFun(ChangeCallback callback);
    void registerCallBackFun(FrameCallback callback);
    void registerCallBackFun(GrabCallback callback);

    bool isCameraInvalid(_PaxCameraIndexE camera);
    // A malloc'ed array of the current camera's resolutions (free it with free), or null; the count.
    int getSolutionList(_SolutionS** out);
    int getSolutionIndex();
    void switchCamera(_PaxCameraIndexE camera);
    void openCamera();
    void closeCamera();
    void switchSolution(int index);
    void switchColorMode(_PaxColorModeE mode);
    _PaxPicSaveFormatE getPicSaveFormat();
    // Refuses (ignores) a format outside jpg..pdf.
    void setPicSaveFormat(_PaxPicSaveFormatE format);
    _PaxPicNameModeE getPicNameMode();
    void setPicNameMode(_PaxPicNameModeE mode);
    int getPicPressRatio();
    void setPicPressRatio(int ratio);
    double getInitAngle();
    void setInitAngle(double angle);
    void getPicSavePath(_PaxBufS& out);
    void setPicSavePath(const _PaxBufS& path);
    int getNextPicIndex();
    void setNextPicIndex(int index);
    void grab();
    void setRectify(bool on);
    void setAutoTrim(bool on);
    void setManuTrim(bool on);
    bool getManuTrim();
    void setManuTrimMouseLeftKeyPress(_PaxPointS point);
    void setManuTrimMouseLeftKeyMove(_PaxPointS point);
    void setManuTrimMouseLeftRelease();
    void setManuTrimRemoveRect();
    // Has no effect: the text-logo font stays as it is.
    void setFontFamily(const _PaxBufS& family);
    void setAutoDoc(bool on);
    void setTimeGrabInfo(bool on, unsigned int seconds);
    void setIntelligent(bool on);
    bool getIntelligentInfo(int& count);
    void setScanQrcode(bool on);
    bool getScanQrcode(_PaxBufS& text);
    void setPicLogoInfo(const _PaxBufS& file, unsigned char alpha, int x, int y);
    void getPicLogoInfo(_PaxBufS& file, unsigned char& alpha, int& x, int& y);
    void setTextLogoInfo(_PaxBufS text, unsigned char alpha, int x, int y, int size, int weight, _PaxBufS color);
    void getTextLogoInfo(_PaxBufS& text, unsigned char& alpha, int& x, int& y, int& size, int& weight,
                         _PaxBufS& color);
    void initPdf(const _PaxBufS& file);
    void addPic(const _PaxBufS& file);
    void closePdf();
    bool isMakingPdf();

private:
    PaxCommonLib();
    ~PaxCommonLib();

    PaxLibPrivate* m_d = nullptr;
    static PaxCommonLib* s_instance;
};
