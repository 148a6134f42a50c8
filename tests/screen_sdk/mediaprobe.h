#pragma once
// ffprobe of a recorded file or stream, as JSON, and small readers over it.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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
