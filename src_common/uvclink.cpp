#include "uvclink.h"

#include <QtEndian>

#include <initializer_list>

const char* mucrName(int code)
{
    switch (code) {
    case MUCR_OCCUPATION: return "MUCR_OCCUPATION";
    case MUCR_CLOSED: return "MUCR_CLOSED";
    case MUCR_UVC_ERROR: return "MUCR_UVC_ERROR";
    case MUCR_TYPE_FAILD: return "MUCR_TYPE_FAILD";
    case MUCR_CAMERA_INDEX_FAILD: return "MUCR_CAMERA_INDEX_FAILD";
    case MUCR_TIMEOUT: return "MUCR_TIMEOUT";
    case MUCR_CONNECT_SERVER_FAILD: return "MUCR_CONNECT_SERVER_FAILD";
    default: return "MUCR_UNKNOWN";
    }
}

bool uvcControlValueFits(int type, qint64 value)
{
    if (uvcControlIsModeType(type))
        return true;
    switch (type) {
    case UvcControlBrightness: return value >= -32768 && value <= 32767;
    case UvcControlExposure: return value >= 0 && value <= qint64(0xFFFFFFFFu);
    default: return uvcControlTypeValid(type) && value >= 0 && value <= 0xFFFF;
    }
}

// ---- UvcLinkFrame ----------------------------------------------------------------------------

QByteArray UvcLinkFrame::header(quint32 n)
{
    QByteArray h(HeaderSize, '\0');
    h[0] = StartMark;
    qToLittleEndian<quint32>(n, h.data() + 1);
    return h;
}

QByteArray UvcLinkFrame::encode(const QString& text)
{
    const QByteArray payload = text.toLocal8Bit();
    QByteArray frame = header(quint32(payload.size()));
    frame.append(payload);
    return frame;
}

QString UvcLinkFrame::payloadText(const QByteArray& payload)
{
    const int zero = payload.indexOf('\0');
    return QString::fromLocal8Bit(payload.constData(), zero < 0 ? payload.size() : zero);
}

QByteArray UvcLinkFrame::logPart(const QByteArray& payload)
{
    return payload.size() < LongPayload ? payload : payload.left(HeadSize);
}

bool UvcLinkFrame::isLogged(const QByteArray& payload)
{
    return !payload.isEmpty() && payload.at(0) == '[';
}

// ---- UvcLinkReader ---------------------------------------------------------------------------

QList<QByteArray> UvcLinkReader::feed(const QByteArray& bytes)
{
    QList<QByteArray> payloads;
    m_buffer.append(bytes);

    const qint64 size = m_buffer.size();
    qint64 p = 0;
    while (p < size) {
        if (m_buffer.at(int(p)) != UvcLinkFrame::StartMark) {
            ++p;
            continue;
        }
        if (size - p - 1 < 4)
            break;   // partial header: keep it from its '#'
        const quint32 raw = qFromLittleEndian<quint32>(m_buffer.constData() + p + 1);
        if (raw >= 0x80000000u || qint64(raw) > UvcLinkFrame::MaxPayload) {
            // No sane frame is that long, and such a length can't be waited for: drop everything.
            m_buffer.clear();
            return payloads;
        }
        const qint64 n = qint64(raw);
        if (size - p - UvcLinkFrame::HeaderSize < n)
            break;   // partial payload
        payloads.append(m_buffer.mid(int(p + UvcLinkFrame::HeaderSize), int(n)));
        p += n + UvcLinkFrame::HeaderSize;
    }
    if (p >= size)
        m_buffer.clear();
    else if (p > 0)
        m_buffer.remove(0, int(p));
    return payloads;
}

qint64 UvcLinkReader::announcedLength() const
{
    // feed() leaves either nothing or a partial frame from its '#' on.
    if (m_buffer.size() < UvcLinkFrame::HeaderSize || m_buffer.at(0) != UvcLinkFrame::StartMark)
        return -1;
    return qint64(qFromLittleEndian<quint32>(m_buffer.constData() + 1));
}

// ---- UvcLinkMessage --------------------------------------------------------------------------

UvcLinkMessage::UvcLinkMessage(const QString& text)
    : m_text(text)
{
    const QStringList parts = text.split(QLatin1Char(']'), Qt::KeepEmptyParts);
    if (parts.size() >= 2)
        m_items = parts.at(1).split(QLatin1Char(','), Qt::KeepEmptyParts);
}

QString UvcLinkMessage::item(int i) const
{
    return (i >= 0 && i < m_items.size()) ? m_items.at(i) : QString();
}

int UvcLinkMessage::intItem(int i, int missing) const
{
    if (i < 0 || i >= m_items.size())
        return missing;
    return toInt(m_items.at(i));
}

int UvcLinkMessage::toInt(const QString& text)
{
    return text.toInt(nullptr, 10);   // 0 when not a decimal int
}

// ---- UvcLinkText -----------------------------------------------------------------------------

namespace UvcLinkText {

namespace {
inline QString head(const char* h)
{
    return QLatin1String(h);
}
// The head followed by the decimal numbers, ','-separated.
QString numbers(const char* h, std::initializer_list<int> values)
{
    QString text = head(h);
    bool first = true;
    for (int v : values) {
        if (!first)
            text += QLatin1Char(',');
        text += QString::number(v, 10);
        first = false;
    }
    return text;
}
} // namespace

QString searchDevice() { return head(UvcCmdSearchDevice); }
QString openDevice() { return head(UvcCmdOpenDevice); }
QString closeDevice() { return head(UvcCmdCloseDevice); }

QString startPlay(int idx, int width, int height, int fps)
{
    return numbers(UvcCmdStartPlay, {idx, width, height, fps});
}

QString stopPlay(int idx) { return numbers(UvcCmdStopPlay, {idx}); }
QString getControl(int idx, int type) { return numbers(UvcCmdGetControl, {idx, type}); }

QString setControl(int idx, int type, int value)
{
    return numbers(UvcCmdSetControl, {idx, type, value});
}

QString cameraIds(quint16 vid, quint16 pid)
{
    return QString::asprintf("%04x%04x", unsigned(vid), unsigned(pid));
}

QString searchReply(const QString& mainIds, const QString& secondIds)
{
    return head(UvcCmdSearchDevice) + mainIds + QLatin1Char(',') + secondIds;
}

QString openReply(const QString& mainIds, const QString& secondIds)
{
    return head(UvcCmdOpenDevice) + mainIds + QLatin1Char(',') + secondIds;
}

QString closeReply() { return numbers(UvcCmdCloseDevice, {0}); }
QString startPlayReply(int idx, int result) { return numbers(UvcCmdStartPlay, {idx, result}); }
QString stopPlayReply(int idx) { return numbers(UvcCmdStopPlay, {idx, 0}); }

QString getControlValueReply(int idx, int type, int max, int min, int def, int cur)
{
    return numbers(UvcCmdGetControl, {idx, type, 0, max, min, def, cur});
}

QString getControlModeReply(int idx, int type, bool automatic)
{
    return numbers(UvcCmdGetControl, {idx, type, 0, automatic ? 1 : 0});
}

QString getControlFailReply(int idx, int type, int result)
{
    return numbers(UvcCmdGetControl, {idx, type, result});
}

QString setControlReply(int idx, int type, int result)
{
    return numbers(UvcCmdSetControl, {idx, type, result});
}

QString notifyDeviceChange() { return head(UvcNotifyDeviceChange); }

QString fatherSetLogDir(const QString& dir) { return head(FatherCmdSetLogDir) + dir; }
QString fatherReset() { return head(FatherCmdReset); }

} // namespace UvcLinkText
