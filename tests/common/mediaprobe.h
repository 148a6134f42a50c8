#pragma once
// ffprobe of a recorded file or stream, as JSON, and small readers over it.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace mediaprobe {

inline QJsonObject probe(const QString& file, bool packets = false, bool frames = false)
{
    QStringList args{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-print_format"),
                     QStringLiteral("json"), QStringLiteral("-show_streams"), QStringLiteral("-show_format")};
    if (packets)
        args << QStringLiteral("-show_packets");
    if (frames)
        args << QStringLiteral("-show_frames") << QStringLiteral("-select_streams") << QStringLiteral("v:0");
    args << file;
    QProcess p;
    p.start(QStringLiteral("ffprobe"), args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QJsonObject();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

inline QJsonObject stream(const QJsonObject& info, const QString& type)
{
    for (const QJsonValue& s : info.value(QStringLiteral("streams")).toArray()) {
        if (s.toObject().value(QStringLiteral("codec_type")).toString() == type)
            return s.toObject();
    }
    return QJsonObject();
}

inline double number(const QJsonObject& o, const char* key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    return v.isString() ? v.toString().toDouble() : v.toDouble();
}

// Packets of one stream index, in file order.
inline QList<QJsonObject> packetsOf(const QJsonObject& info, int streamIndex)
{
    QList<QJsonObject> out;
    for (const QJsonValue& p : info.value(QStringLiteral("packets")).toArray()) {
        const QJsonObject o = p.toObject();
        if (o.value(QStringLiteral("stream_index")).toInt() == streamIndex)
            out.append(o);
    }
    return out;
}

} // namespace mediaprobe

namespace mediaprobe {

// The types of the top-level boxes of an MP4 file, in file order ("ftyp", "moov", "mdat"...).
inline QStringList topLevelBoxes(const QString& file)
{
    QFile f(file);
    QStringList boxes;
    if (!f.open(QIODevice::ReadOnly))
        return boxes;
    qint64 pos = 0;
    const qint64 size = f.size();
    while (pos + 8 <= size && f.seek(pos)) {
        const QByteArray head = f.read(16);
        if (head.size() < 8)
            break;
        quint64 length = (quint64(quint8(head[0])) << 24) | (quint64(quint8(head[1])) << 16)
                         | (quint64(quint8(head[2])) << 8) | quint64(quint8(head[3]));
        boxes << QString::fromLatin1(head.mid(4, 4));
        if (length == 1 && head.size() >= 16) {
            length = 0;
            for (int i = 8; i < 16; ++i)
                length = (length << 8) | quint8(head[i]);
        } else if (length == 0) {
            break;   // the box runs to the end of the file
        }
        if (length < 8)
            break;
        pos += qint64(length);
    }
    return boxes;
}

// Seconds of video from the first to the last packet's end, read packet by packet (a file
// that lost its end still shows what it holds).
inline double videoSpan(const QJsonObject& info, int* packetCount = nullptr)
{
    const QJsonObject video = stream(info, QStringLiteral("video"));
    const QList<QJsonObject> packets = packetsOf(info, video.value(QStringLiteral("index")).toInt());
    if (packetCount)
        *packetCount = packets.size();
    if (packets.isEmpty())
        return 0;
    double first = 1e18, last = -1e18;
    for (const QJsonObject& p : packets) {
        const double t = number(p, "pts_time");
        first = qMin(first, t);
        last = qMax(last, t + number(p, "duration_time"));
    }
    return last - first;
}

// Every problem ffmpeg meets decoding the whole file; empty for a sound file. (The frames keep
// the file's own time base: a variable-rate recording has frames closer together than the
// nominal rate's tick.)
inline QByteArray decodeErrors(const QString& file)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), file,
                                            QStringLiteral("-enc_time_base"), QStringLiteral("-1"), QStringLiteral("-f"),
                                            QStringLiteral("null"), QStringLiteral("-")});
    if (!ffmpeg.waitForFinished(60000))
        return "ffmpeg did not finish";
    const QByteArray errors = ffmpeg.readAllStandardError();
    if (ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0)
        return "ffmpeg failed: " + errors;
    return errors;
}

} // namespace mediaprobe
