#pragma once
// Output of mytool: every line carries the tool's prefix and is written in Latin-1, the
// encoding its reader decodes, so names in that range come back exactly as listed.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace mytool {

inline QByteArray line(const QString& text)
{
    return QByteArrayLiteral("[mytool] ") + text.toLatin1() + '\n';
}

// "[index] name" per device: video devices, the audio heading, then the microphones.
inline QByteArray listing(const QStringList& video, const QStringList& audio)
{
    QByteArray out = line(QStringLiteral("AVFoundation video devices:"));
    for (int i = 0; i < video.size(); ++i)
        out += line(QStringLiteral("[%1] %2").arg(i).arg(video.at(i)));
    out += line(QStringLiteral("AVFoundation audio devices:"));
    for (int i = 0; i < audio.size(); ++i)
        out += line(QStringLiteral("[%1] %2").arg(i).arg(audio.at(i)));
    return out;
}

// One capture mode: "WxH@[min max]fps".
inline QByteArray modeLine(int width, int height, double minFps, double maxFps)
{
    return line(QStringLiteral("  %1x%2@[%3 %4]fps")
                    .arg(width)
                    .arg(height)
                    .arg(minFps, 0, 'f', 6)
                    .arg(maxFps, 0, 'f', 6));
}

} // namespace mytool
