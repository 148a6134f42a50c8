// The microphone listing: ALSA's capture devices named as FFmpeg's "alsa" input lists them, and a
// PulseAudio server that is missing or never answers.

#include "audioinput.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
}

namespace {

// A configuration of its own for ALSA: a device with a two-line description (the last line names
// it), one with a plain description, and "null".
const char kAlsaConfig[] = R"conf(
pcm.lecternmic {
    type null
    hint { show on description "Lectern USB Audio, USB Audio
Lectern Microphone" }
}
pcm.duplex {
    type null
    hint { show on description "Headset" }
}
pcm.null {
    type null
    hint { show on description "Discard all samples (playback) or generate zero samples (capture)" }
}
)conf";

// A hinted device without a description (FFmpeg's own listing crashes on it).
const char kBareDevice[] = R"conf(
pcm.bare {
    type null
    hint { show on }
}
)conf";

using Sources = QList<pax_platform::AudioSourceInfo>;

QStringList describe(const Sources& sources)
{
    QStringList out;
    for (const auto& s : sources)
        out << s.format + QLatin1Char('|') + s.device + QLatin1Char('|') + s.name;
    return out;
}

// What FFmpeg's own "alsa" input lists under the same configuration, in the listing's shape.
QStringList ffmpegAlsaListing()
{
    avdevice_register_all();
    QStringList out;
    AVDeviceInfoList* list = nullptr;
    const AVInputFormat* alsa = av_find_input_format("alsa");
    if (!alsa || avdevice_list_input_sources(alsa, nullptr, nullptr, &list) < 0 || !list)
        return out;
    for (int i = 0; i < list->nb_devices; ++i) {
        const QString device = QString::fromUtf8(list->devices[i]->device_name);
        if (device != QLatin1String("null"))
            out << QStringLiteral("alsa|%1|%2").arg(device, QString::fromUtf8(list->devices[i]->device_description));
    }
    avdevice_free_list_devices(&list);
    return out;
}

} // namespace

class TestAudioSources : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_config;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_config = m_dir.filePath(QStringLiteral("asound.conf"));
        QFile file(m_config);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(kAlsaConfig);
        file.close();
        // Read once per process by ALSA: set before any listing.
        qputenv("ALSA_CONFIG_PATH", QFile::encodeName(m_config));
        qputenv("PULSE_SERVER", QFile::encodeName(QStringLiteral("unix:") + m_dir.filePath(QStringLiteral("no-server"))));
        qunsetenv("ORVANE_VIRTUAL_CAMERA");
    }

    void alsaCaptureDevices()
    {
        const QStringList listed = describe(pax_platform::alsaAudioSources());
        QCOMPARE(listed, QStringList({QStringLiteral("alsa|lecternmic|Lectern Microphone"),
                                      QStringLiteral("alsa|duplex|Headset")}));
        // The names are those FFmpeg's input opens.
        QCOMPARE(listed, ffmpegAlsaListing());
    }

    // Listed under its device name; ALSA reads its changed configuration again.
    void alsaDeviceWithoutDescription()
    {
        QFile file(m_config);
        QVERIFY(file.open(QIODevice::Append));
        file.write(kBareDevice);
        file.close();
        QCOMPARE(describe(pax_platform::alsaAudioSources()),
                 QStringList({QStringLiteral("alsa|lecternmic|Lectern Microphone"), QStringLiteral("alsa|duplex|Headset"),
                              QStringLiteral("alsa|bare|bare")}));
    }

    void noPulseServerFallsBackToAlsa()
    {
        QVERIFY(pax_platform::pulseAudioSources().isEmpty());
        QCOMPARE(describe(pax_platform::listAudioSources()), describe(pax_platform::alsaAudioSources()));
    }

    // A server that takes the connection and never answers gives up instead of holding the search.
    void silentPulseServerGivesUp()
    {
        QLocalServer server;
        const QString path = m_dir.filePath(QStringLiteral("silent-pulse"));
        QVERIFY(server.listen(path));
        QList<QLocalSocket*> held;
        connect(&server, &QLocalServer::newConnection, &server, [&] {
            while (QLocalSocket* s = server.nextPendingConnection())
                held << s;
        });
        qputenv("PULSE_SERVER", QFile::encodeName(QStringLiteral("unix:") + path));
        Sources sources{{QStringLiteral("x"), QStringLiteral("x"), QStringLiteral("x")}};
        QThread* lister = QThread::create([&sources] { sources = pax_platform::pulseAudioSources(); });
        QSignalSpy finished(lister, &QThread::finished);
        lister->start();
        QVERIFY(finished.wait(60000));   // events run meanwhile: the server takes the connection
        lister->wait();
        delete lister;
        QVERIFY(!held.isEmpty());   // it did reach the server
        QVERIFY(sources.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestAudioSources)
#include "tst_audiosources.moc"
