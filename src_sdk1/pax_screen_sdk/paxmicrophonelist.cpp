#include "paxmicrophonelist.h"

#include "audioinput.h"
#include "paxscreenlog.h"

QList<_ScreenMicrophoneS> _gsParseDeviceListing(const QString& text, int& captureScreenIndex)
{
    QList<_ScreenMicrophoneS> list;
    const QStringList pieces = text.split(QLatin1Char('['), Qt::KeepEmptyParts, Qt::CaseSensitive);
    bool audioSection = false;
    for (const QString& piece : pieces) {
        if (!audioSection) {
            if (piece.contains(QLatin1String("Capture screen"))) {
                bool ok = false;
                const int index = piece.section(QLatin1Char(']'), 0, 0).trimmed().toInt(&ok);
                if (ok) {
                    captureScreenIndex = index;
                    PAXSCREEN_DEBUG("index of Capture screen in macos[%d]", index);
                }
            }
            if (piece.contains(QLatin1String("AVFoundation audio devices")))
                audioSection = true;
            continue;
        }
        const int close = piece.indexOf(QLatin1Char(']'));
        if (close < 0)
            continue;
        const QString head = piece.left(close);
        if (head.size() > 2)
            continue;
        bool ok = false;
        const int index = head.toInt(&ok);
        if (!ok)
            continue;
        QString rest = piece.mid(close + 1);
        const int lineEnd = rest.indexOf(QLatin1Char('\n'));
        if (lineEnd >= 0)
            rest.truncate(lineEnd);
        _ScreenMicrophoneS entry;
        entry.index = index;
        entry.name = rest.trimmed();
        list.append(entry);
    }
    return list;
}

QList<_ScreenMicrophoneS> _gsSearchMicrophoneInfo(int& captureScreenIndex)
{
    Q_UNUSED(captureScreenIndex);
    QList<_ScreenMicrophoneS> list;
    const QList<pax_platform::AudioSourceInfo> sources = pax_platform::listAudioSources();
    for (int i = 0; i < sources.size(); ++i) {
        _ScreenMicrophoneS entry;
        entry.index = i;
        entry.name = sources.at(i).name.trimmed();
        list.append(entry);
    }
    for (int i = 0; i < list.size(); ++i)
        PAXSCREEN_DEBUG("microphone list, option(%d) index(%d) name(%s)", i, list.at(i).index,
                        list.at(i).name.toLocal8Bit().constData());
    return list;
}
