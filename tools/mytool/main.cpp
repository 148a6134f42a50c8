// mytool: prints the capture devices and a camera's modes in the listing shape the
// device layer parses.
//
//   mytool -list_devices true -f avfoundation -i ''   device listing
//   mytool -f avfoundation -i N                       modes of video device N
//
// Listing: one "[index] name" entry per line, video devices first, then the heading
// "AVFoundation audio devices:" and the microphones. Modes: "WxH@[min max]fps" per size.

#include "audioinput.h"
#include "listing.h"
#include "videodeviceenum.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

void put(const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

void say(const QString& text)
{
    put(mytool::line(text));
}

int listDevices()
{
    QStringList video;
    for (const pax_platform::VideoDevice& d : pax_platform::availableVideoDevices())
        video << d.description;
    QStringList audio;
    for (const pax_platform::AudioSourceInfo& a : pax_platform::listAudioSources())
        audio << a.name;
    put(mytool::listing(video, audio));
    return 0;
}

int probeModes(const QString& input)
{
    bool ok = false;
    const int index = input.toInt(&ok);
    const QList<pax_platform::VideoDevice> video = pax_platform::availableVideoDevices();
    if (!ok || index < 0 || index >= video.size()) {
        say(QStringLiteral("Invalid device index: %1").arg(input));
        return 1;
    }
    const QList<pax_platform::VideoMode> modes = pax_platform::videoDeviceModes(video.at(index));
    if (modes.isEmpty()) {
        say(QStringLiteral("No capture modes for device %1").arg(index));
        return 1;
    }
    say(QStringLiteral("Supported modes:"));
    for (const pax_platform::VideoMode& m : modes)
        put(mytool::modeLine(m.width, m.height, m.minFps, m.maxFps));
    return 0;
}

int usage()
{
    std::fprintf(stderr,
                 "usage: mytool -list_devices true -f avfoundation -i ''\n"
                 "       mytool -f avfoundation -i INDEX\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    bool list = false;
    QString format;
    QString input;
    bool haveInput = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (i + 1 >= args.size())
            return usage();
        const QString value = args.at(++i);
        if (a == QLatin1String("-list_devices"))
            list = value == QLatin1String("true");
        else if (a == QLatin1String("-f"))
            format = value;
        else if (a == QLatin1String("-i")) {
            input = value;
            haveInput = true;
        } else
            return usage();
    }
    if (format != QLatin1String("avfoundation") || !haveInput)
        return usage();
    const int rc = list ? listDevices() : probeModes(input);
    std::fflush(stdout);
    return rc;
}
