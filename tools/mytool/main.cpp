// mytool: prints the capture devices and a camera's modes in the listing shape the
// device layer parses.
//
//   mytool -list_devices true -f avfoundation -i ''   device listing
//   mytool -f avfoundation -i N                       modes of video device N
//   mytool -f avfoundation -i N -f image2 -t 1 -frames:v 1 -s WxH FILE [-y]
//                                                     one frame of video device N, scaled to
//                                                     WxH, written to FILE (format by suffix)
//
// Listing: one "[index] name" entry per line, video devices first, then the heading
// "AVFoundation audio devices:" and the microphones. Modes: "WxH@[min max]fps" per size.

#include "audioinput.h"
#include "capturebackend.h"
#include "listing.h"
#include "videodeviceenum.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

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

// The index of the video device `input` names, or -1 after saying it names none.
int deviceIndex(const QString& input, const QList<pax_platform::VideoDevice>& video)
{
    bool ok = false;
    const int index = input.toInt(&ok);
    if (!ok || index < 0 || index >= video.size()) {
        say(QStringLiteral("Invalid device index: %1").arg(input));
        return -1;
    }
    return index;
}

// The capture modes of video device `index`; empty after saying it has none.
QList<pax_platform::VideoMode> deviceModes(const QList<pax_platform::VideoDevice>& video, int index)
{
    const QList<pax_platform::VideoMode> modes = pax_platform::videoDeviceModes(video.at(index));
    if (modes.isEmpty())
        say(QStringLiteral("No capture modes for device %1").arg(index));
    return modes;
}

int probeModes(const QString& input)
{
    const QList<pax_platform::VideoDevice> video = pax_platform::availableVideoDevices();
    const int index = deviceIndex(input, video);
    if (index < 0)
        return 1;
    const QList<pax_platform::VideoMode> modes = deviceModes(video, index);
    if (modes.isEmpty())
        return 1;
    say(QStringLiteral("Supported modes:"));
    for (const pax_platform::VideoMode& m : modes)
        put(mytool::modeLine(m.width, m.height, m.minFps, m.maxFps));
    return 0;
}

// How long a grab waits for the camera's first frame.
constexpr std::chrono::seconds kFirstFrameWait(20);

struct GrabRequest {
    QSize size;        // invalid: the frame's own size
    QString output;
    bool overwrite = false;
};

// The mode a grab opens: the one of the requested size, else the largest.
pax_platform::VideoMode grabMode(const QList<pax_platform::VideoMode>& modes, QSize wanted)
{
    pax_platform::VideoMode best = modes.first();
    for (const pax_platform::VideoMode& m : modes) {
        if (QSize(m.width, m.height) == wanted)
            return m;
        if (m.width * m.height > best.width * best.height)
            best = m;
    }
    return best;
}

int grabFrame(const QString& input, const GrabRequest& request)
{
    const QList<pax_platform::VideoDevice> video = pax_platform::availableVideoDevices();
    const int index = deviceIndex(input, video);
    if (index < 0)
        return 1;
    if (QFileInfo::exists(request.output) && !request.overwrite) {
        say(QStringLiteral("File '%1' already exists").arg(request.output));
        return 1;
    }
    const QList<pax_platform::VideoMode> modes = deviceModes(video, index);
    if (modes.isEmpty())
        return 1;
    const pax_platform::VideoMode mode = grabMode(modes, request.size);

    std::mutex lock;
    std::condition_variable arrived;
    QImage frame;
    auto stream = pax_platform::openCaptureStream(
        video.at(index).description, QSize(mode.width, mode.height), int(mode.maxFps), [&](QImage&& image) {
            std::lock_guard<std::mutex> guard(lock);
            if (frame.isNull()) {
                frame = std::move(image);
                arrived.notify_all();
            }
        });
    if (!stream) {
        say(QStringLiteral("Could not open device %1").arg(index));
        return 1;
    }
    {
        std::unique_lock<std::mutex> guard(lock);
        arrived.wait_for(guard, kFirstFrameWait, [&] { return !frame.isNull(); });
    }
    stream.reset();
    if (frame.isNull()) {
        say(QStringLiteral("No frame from device %1").arg(index));
        return 1;
    }
    if (request.size.isValid() && frame.size() != request.size)
        frame = frame.scaled(request.size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (!frame.convertToFormat(QImage::Format_RGB32).save(request.output)) {
        say(QStringLiteral("Could not write %1").arg(request.output));
        return 1;
    }
    return 0;
}

int usage()
{
    std::fprintf(stderr,
                 "usage: mytool -list_devices true -f avfoundation -i ''\n"
                 "       mytool -f avfoundation -i INDEX\n"
                 "       mytool -f avfoundation -i INDEX -f image2 -t 1 -frames:v 1 -s WxH FILE [-y]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    bool list = false;
    QString inputFormat;
    QString outputFormat;
    QString input;
    bool haveInput = false;
    GrabRequest grab;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("-y")) {
            grab.overwrite = true;
            continue;
        }
        if (!a.startsWith(QLatin1Char('-'))) {
            if (!grab.output.isEmpty())
                return usage();
            grab.output = a;
            continue;
        }
        if (i + 1 >= args.size())
            return usage();
        const QString value = args.at(++i);
        if (a == QLatin1String("-list_devices")) {
            list = value == QLatin1String("true");
        } else if (a == QLatin1String("-f")) {
            // A format before the input names the input's, one after it the output's.
            (haveInput ? outputFormat : inputFormat) = value;
        } else if (a == QLatin1String("-i")) {
            input = value;
            haveInput = true;
        } else if (a == QLatin1String("-s")) {
            const QStringList wh = value.split(QLatin1Char('x'));
            bool okW = false, okH = false;
            grab.size = wh.size() == 2 ? QSize(wh[0].toInt(&okW), wh[1].toInt(&okH)) : QSize();
            if (!okW || !okH || grab.size.isEmpty())
                return usage();
        } else if (a == QLatin1String("-t") || a == QLatin1String("-frames:v")) {
            // One frame is all a grab writes; the duration and the frame count ask for no more.
        } else {
            return usage();
        }
    }
    if (inputFormat != QLatin1String("avfoundation") || !haveInput)
        return usage();
    int rc;
    if (!grab.output.isEmpty()) {
        if (list || (!outputFormat.isEmpty() && outputFormat != QLatin1String("image2")))
            return usage();
        rc = grabFrame(input, grab);
    } else {
        if (!outputFormat.isEmpty() || grab.size.isValid())
            return usage();
        rc = list ? listDevices() : probeModes(input);
    }
    std::fflush(stdout);
    return rc;
}
