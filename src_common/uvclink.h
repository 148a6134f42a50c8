#pragma once
// The command link between MacUvcClient and Korvid and the father link to Korvid's launcher:
// ports, frame layout, heads, message texts, control numbering, client result codes,
// the frame writer and the incremental frame reader. Included by both ends.
//
// Frame (UvcLinkFrame): '#' | payload length N, unsigned 32-bit little-endian | N payload bytes.
// Payload: a head "[nn]" and ','-separated items, as local 8-bit text.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// ---- Ports and address -----------------------------------------------------------------------

constexpr quint16 UvcServicePort = 11080;   // Korvid listens from here upward; the client connects here
constexpr quint16 FatherPort = 11081;       // the launcher of Korvid
inline constexpr char UvcLinkHost[] = "127.0.0.1";

// ---- Heads of the command link ---------------------------------------------------------------

inline constexpr char UvcCmdSearchDevice[] = "[01]";
inline constexpr char UvcCmdOpenDevice[] = "[02]";
inline constexpr char UvcCmdCloseDevice[] = "[03]";
inline constexpr char UvcCmdStartPlay[] = "[04]";
inline constexpr char UvcCmdStopPlay[] = "[05]";
inline constexpr char UvcCmdGetControl[] = "[06]";
inline constexpr char UvcCmdSetControl[] = "[07]";
inline constexpr char UvcNotifyDeviceChange[] = "[08]";   // Korvid to client, unasked

// ---- Heads of the father link (client to launcher only) --------------------------------------

inline constexpr char FatherCmdSetLogDir[] = "[01]";   // followed by the folder text, unchanged
inline constexpr char FatherCmdReset[] = "[02]";

// Korvid reads its standard input this many bytes at a time and takes one read as its log
// folder, so a folder handed over there must fit in one read.
constexpr int KorvidStdinRead = 1023;

// ---- Image controls --------------------------------------------------------------------------

enum UvcControlType : int {
    UvcControlBrightness = 0,
    UvcControlContrast = 1,
    UvcControlSaturation = 2,
    UvcControlSharpness = 3,
    UvcControlGain = 4,
    UvcControlExposure = 5,
    UvcControlExposureMode = 6,   // automatic exposure on/off
    UvcControlFocus = 7,
    UvcControlFocusMode = 8,      // automatic focus on/off
};

// The controls by name: X(Name, UvcControlType). Value controls read max, min, def, cur;
// mode controls read the automatic flag.
#define UVC_LINK_VALUE_CONTROLS(X) \
    X(Brightness, UvcControlBrightness) \
    X(Contrast, UvcControlContrast) \
    X(Saturation, UvcControlSaturation) \
    X(Sharpness, UvcControlSharpness) \
    X(Gain, UvcControlGain) \
    X(Exposure, UvcControlExposure) \
    X(Focus, UvcControlFocus)
#define UVC_LINK_MODE_CONTROLS(X) \
    X(ExposureMode, UvcControlExposureMode) \
    X(FocusMode, UvcControlFocusMode)

// Types 0..8 (negatives are out of range).
inline bool uvcControlTypeValid(int type)
{
    return unsigned(type) <= unsigned(UvcControlFocusMode);
}
// Types whose read carries max, min, def, cur: the bit mask 0xBF over the type number.
inline bool uvcControlIsValueType(int type)
{
    return uvcControlTypeValid(type) && ((0xBFu >> unsigned(type)) & 1u) != 0;
}
// Types whose read carries the automatic flag (6 and 8).
inline bool uvcControlIsModeType(int type)
{
    return uvcControlTypeValid(type) && !uvcControlIsValueType(type);
}
// True when a value to set fits the width the control has at the camera: brightness signed
// 16-bit, exposure unsigned 32-bit, the other value controls unsigned 16-bit (a value past it
// would reach the camera cut to another value); the mode types take any value. False for a type
// outside 0..8.
bool uvcControlValueFits(int type, qint64 value);

// ---- Result codes of MacUvcClient (0 is success) ---------------------------------------------

enum MacUvcClientResult : int {
    MUCR_OCCUPATION = -94,             // another request is still waiting for its reply
    MUCR_CLOSED = -95,                 // the client was closed or is being released
    MUCR_UVC_ERROR = -96,              // the reply carried a non-zero result
    MUCR_TYPE_FAILD = -97,             // the reply's control type differs from the request's
    MUCR_CAMERA_INDEX_FAILD = -98,     // the reply's camera index differs from the request's
    MUCR_TIMEOUT = -99,                // no reply in time, or the reply left the result unset
    MUCR_CONNECT_SERVER_FAILD = -100,  // the command link is not connected
};

// "MUCR_TIMEOUT" and so on; "MUCR_UNKNOWN" for any other value.
const char* mucrName(int code);

// ---- Frame writer and reader -----------------------------------------------------------------

class UvcLinkFrame
{
public:
    static constexpr char StartMark = '#';
    static constexpr int HeaderSize = 5;
    // The reader drops a frame that announces more than this (no sane message comes near it).
    static constexpr qint64 MaxPayload = 16 * 1024 * 1024;
    // Payloads of at least this many bytes are logged by their head only.
    static constexpr int LongPayload = 1025;
    static constexpr int HeadSize = 4;

    // '#', the byte count of text.toLocal8Bit() as 32-bit little-endian, then those bytes.
    static QByteArray encode(const QString& text);
    // The 5 header bytes for a payload of n bytes.
    static QByteArray header(quint32 n);

    // A payload as text: local 8-bit, up to its first zero byte.
    static QString payloadText(const QByteArray& payload);
    // What the arrival log line shows: the whole payload below LongPayload bytes, else its head.
    static QByteArray logPart(const QByteArray& payload);
    // True when the payload starts with '[' (only those arrivals are logged).
    static bool isLogged(const QByteArray& payload);
};

// Incremental reader of a byte stream of UvcLinkFrame frames. Keeps a partial frame, from its
// '#' on, until later bytes complete it; drops bytes before a '#'. A length of 2^31 or more, or
// above MaxPayload, discards the whole buffer, so the buffer never grows past one frame of
// MaxPayload plus the bytes of one read.
class UvcLinkReader
{
public:
    // Appends bytes and returns every payload completed by them, in order.
    QList<QByteArray> feed(const QByteArray& bytes);
    void clear() { m_buffer.clear(); }
    const QByteArray& buffer() const { return m_buffer; }
    // Payload length announced by the partial frame kept in the buffer; -1 while no whole
    // header is there.
    qint64 announcedLength() const;

private:
    QByteArray m_buffer;
};

// ---- Payload grammar -------------------------------------------------------------------------

// One received message: split at every ']' (empty parts kept), the second part split at every ','
// (empty parts kept). A text without ']' has no items; "[01]" has one empty item.
class UvcLinkMessage
{
public:
    explicit UvcLinkMessage(const QString& text);

    const QString& text() const { return m_text; }
    // Case-sensitive prefix test.
    bool hasHead(const char* head) const { return m_text.startsWith(QLatin1String(head)); }
    // The whole text after the 4-character head (empty when shorter).
    QString textAfterHead() const { return m_text.mid(UvcLinkFrame::HeadSize); }

    int itemCount() const { return m_items.size(); }
    bool hasItems(int count) const { return m_items.size() >= count; }
    // Item i as text; empty when missing.
    QString item(int i) const;
    // Item i as a decimal int: 0 for text that is not a number, `missing` when there is no item i.
    int intItem(int i, int missing = 0) const;

    // Decimal int as the grammar reads it: 0 for text that is not a number.
    static int toInt(const QString& text);

private:
    QString m_text;
    QStringList m_items;
};

// ---- Message texts ---------------------------------------------------------------------------

namespace UvcLinkText {

// Requests (client to Korvid).
QString searchDevice();                                  // "[01]"
QString openDevice();                                    // "[02]"
QString closeDevice();                                   // "[03]"
QString startPlay(int idx, int width, int height, int fps);  // "[04]idx,w,h,fps"
QString stopPlay(int idx);                               // "[05]idx"
QString getControl(int idx, int type);                   // "[06]idx,type"
QString setControl(int idx, int type, int value);        // "[07]idx,type,value"

// Replies (Korvid to client).
// vid/pid as four lower-case hex digits each; empty text when no such camera.
QString cameraIds(quint16 vid, quint16 pid);
// "[01]main,second" / "[02]main,second".
QString searchReply(const QString& mainIds, const QString& secondIds);
QString openReply(const QString& mainIds, const QString& secondIds);
QString closeReply();                                    // "[03]0"
QString startPlayReply(int idx, int result);             // "[04]idx,result"
QString stopPlayReply(int idx);                          // "[05]idx,0"
QString getControlValueReply(int idx, int type, int max, int min, int def, int cur);  // "[06]idx,type,0,max,min,def,cur"
QString getControlModeReply(int idx, int type, bool automatic);                      // "[06]idx,type,0,1|0"
QString getControlFailReply(int idx, int type, int result);                         // "[06]idx,type,result"
QString setControlReply(int idx, int type, int result);  // "[07]idx,type,result"
QString notifyDeviceChange();                            // "[08]"

// Father link.
QString fatherSetLogDir(const QString& dir);             // "[01]" + dir
QString fatherReset();                                   // "[02]"

} // namespace UvcLinkText
