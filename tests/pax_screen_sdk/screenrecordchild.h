#pragma once
// The screen recorder in a child process of a test (the test program started again with
// "--record-child"): set up alike in every such child, it prints
// "info <state> <seconds> <writeError> <file>" for each record info and ends the process's
// event loop when the recording has ended.

#include "paxscreenqtlib.h"

#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>

namespace screenrecordchild {

// Records into `out` from the save folder `save`, with the virtual microphone when `audio`, at
// custom quality (8 Mbit/s CBR, 15 frames per second) over the whole screen; the process may
// write at most `limit` bytes (0: no limit; a write past it fails instead of ending the
// process). Stops the recording once it has announced `stopAt` seconds (0: never). Returns 0
// when the recording has ended, 2 when it did not start, 3 when `ceilingMs` passed first and
// 4 when the limit could not be set.
inline int record(QApplication& app, const QString& save, const QString& out, bool audio, qint64 limit, int stopAt,
                  int ceilingMs)
{
    QDir().mkpath(save);
    PaxScreenQtLib::setSavePath(save);
    PaxScreenQtLib* lib = PaxScreenQtLib::getInstance();
    // The first microphone listing runs from the event loop, and always reports.
    QSignalSpy listed(lib, &PaxScreenQtLib::sigAudioInfoChange);
    listed.wait(ceilingMs);
    lib->setCurMicrophoneName(QStringLiteral("Virtual Microphone"));
    lib->setIsRecordAudio(audio);
    lib->setRecordQuality(PaxRecordQualityCustom);
    lib->setBitrateType(PaxBitrateTypeCBR);
    lib->setBitrateValue(PaxBitrateValue8M);
    lib->setFramerate(15);
    lib->removeRect();
    bool started = false;
    bool stopped = false;
    QObject::connect(lib, &PaxScreenQtLib::sigRecordInfo, &app, [&](const PaxScreenRecordInfoS& info) {
        std::printf("info %d %d %d %s\n", info.state, info.recordSeconds, info.writeError,
                    info.fileName.toLocal8Bit().constData());
        std::fflush(stdout);
        if (info.state == 1)
            started = true;
        if (info.state == 1 && stopAt > 0 && info.recordSeconds >= stopAt && !stopped) {
            stopped = true;
            lib->stopRecordScreen();
        }
        if (info.state == 0 && started)
            app.exit(0);
    });
    if (limit > 0) {
        std::signal(SIGXFSZ, SIG_IGN);   // a write past the limit fails instead of ending the process
        const rlimit rl{rlim_t(limit), rlim_t(limit)};
        if (setrlimit(RLIMIT_FSIZE, &rl) != 0)
            return 4;
    }
    if (!lib->startRecordScreen(out))
        return 2;
    QTimer::singleShot(ceilingMs, &app, [&app] { app.exit(3); });
    const int code = app.exec();
    PaxScreenQtLib::releaseInstance();
    return code;
}

} // namespace screenrecordchild
