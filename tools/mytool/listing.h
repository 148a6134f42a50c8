#pragma once
// Output of mytool: every line carries the tool's prefix. Device and microphone names are
// written in the listing's own form (listedName), plain ASCII apart from names that need it, so
// the reader finds every name again whatever its script or bytes.

#include "videodeviceenum.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace mytool {

inline QByteArray line(const QString& text)
{
    return QByteArrayLiteral("[mytool] ") + text.toLatin1() + '\n';
}

// "[index] name" of one device.
inline QByteArray entry(int index, const QString& name)
{
    return line(QLatin1Char('[') + QString::number(index) + QStringLiteral("] ") + pax_platform::listedName(name));
}

// Video devices, the audio heading, then the microphones.
inline QByteArray listing(const QStringList& video, const QStringList& audio)
{
    QByteArray out = line(QStringLiteral("AVFoundation video devices:"));
    for (int i = 0; i < video.size(); ++i)
        out += entry(i, video.at(i));
    out += line(QStringLiteral("AVFoundation audio devices:"));
    for (int i = 0; i < audio.size(); ++i)
        out += entry(i, audio.at(i));
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
