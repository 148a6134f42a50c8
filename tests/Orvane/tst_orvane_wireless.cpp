// The program's wireless path used from outside: Orvane started in the wireless device mode
// (ORVANE_TEST_WIRELESS=1; the window has no way into it) with two fake cameras on 127.0.0.2 and
// 127.0.0.3, its widgets found through the widget map and used with xdotool, the screen read with
// ffmpeg: the search, two tiles of moving video, the resolution menu, closing a tile, and 4, 8 and
// 48 tiles.

#include "fakecameraprocess.h"
#include "orvaneprocess.h"

#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include <functional>
#include <optional>

using orvaneprocess::documents;
using orvaneprocess::programPath;
using orvaneprocess::Widget;

namespace {
constexpr int Ceiling = 60000;

QString artefactFolder()
{
    const QString folder = qEnvironmentVariable("ORVANE_BIN_DIR") + QStringLiteral("/../test-artefacts/orvane-wireless");
    QDir().mkpath(folder);
    return folder;
}

int xdotool(const QStringList& arguments)
{
    return QProcess::execute(QStringLiteral("xdotool"), arguments);
}

// Pixels of the rectangle that differ between two pictures of the screen.
int differingPixels(const QImage& a, const QImage& b, const QRect& rect)
{
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); y += 2) {
        for (int x = rect.left(); x <= rect.right(); x += 2) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) + qAbs(qBlue(p) - qBlue(q)) > 30)
                ++count;
        }
    }
    return count;
}

// The middle of a tile, clear of the palettes that float over the window's edges.
QRect middle(const QRect& r)
{
    return r.adjusted(r.width() / 4, r.height() / 4, -r.width() / 4, -r.height() / 4);
}

// Distinct colours in the rectangle (a tile showing nothing is one grey).
int colours(const QImage& image, const QRect& rect)
{
    QSet<QRgb> seen;
    for (int y = rect.top(); y <= rect.bottom(); y += 4)
        for (int x = rect.left(); x <= rect.right(); x += 4)
            seen.insert(image.pixel(x, y) & 0xf0f0f0);
    return seen.size();
}
} // namespace

class tst_OrvaneWireless : public QObject {
    Q_OBJECT

    QProcess* m_orvane = nullptr;
    QByteArray m_output;
    QString m_mapFile;

    bool waitFor(const std::function<bool()>& condition, int ms = Ceiling)
    {
        return orvaneprocess::waitReading(m_orvane, m_output, condition, ms);
    }

    QList<Widget> widgets() { return orvaneprocess::readWidgetMap(m_mapFile); }

    QList<Widget> named(const QString& name) { return orvaneprocess::widgetsNamed(widgets(), name); }

    bool showsClass(const QString& cls)
    {
        for (const Widget& w : widgets())
            if (w.cls == cls)
                return true;
        return false;
    }

    bool click(const QRect& rect, int button = 1)
    {
        const QPoint p = rect.center();
        return xdotool({"mousemove", "--sync", QString::number(p.x()), QString::number(p.y()), "click",
                        QString::number(button)}) == 0;
    }

    bool click(const QString& name)
    {
        const QList<Widget> all = named(name);
        return !all.isEmpty() && click(all.first().rect);
    }

    QImage grabScreen(const QString& file)
    {
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"), {"-v", "error", "-y", "-f", "x11grab", "-draw_mouse", "0", "-video_size", "1920x1080", "-i",
                                                QString::fromLocal8Bit(qgetenv("DISPLAY")), "-frames:v", "1", file});
        if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
            return QImage();
        return QImage(file).convertToFormat(QImage::Format_RGB32);
    }

    int countInOutput(const QByteArray& text) { return m_output.count(text); }

    // Chooses the tile count through the bottom palette's list.
    void chooseTiles(int steps, int count)
    {
        QVERIFY(click("m_comboTiles"));
        QVERIFY(waitFor([this] { return showsClass("QComboBoxPrivateContainer"); }));
        for (int i = 0; i < steps; ++i)
            QCOMPARE(xdotool({"key", "Down"}), 0);
        QCOMPARE(xdotool({"key", "Return"}), 0);
        QVERIFY2(waitFor([&] { return named("wirelessTile").size() == count; }),
                 qPrintable(QString::number(named("wirelessTile").size())));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(programPath()).isExecutable(), qPrintable(programPath()));
        QVERIFY2(xdotool({"version"}) == 0, "xdotool is missing");
        QVERIFY(!qgetenv("DISPLAY").isEmpty());
    }

    void cleanup()
    {
        orvaneprocess::killAndForget(m_orvane, 60000);
        orvaneprocess::emptyDocuments();
    }

    void twoCamerasInTiles()
    {
        const QStringList options{"--sizes", "1280*720,640*480,", "--moving"};
        FakeCameraProcess cameraA(QStringLiteral("127.0.0.2"), options);
        FakeCameraProcess cameraB(QStringLiteral("127.0.0.3"), options);
        QVERIFY(cameraA.waitReady());
        QVERIFY(cameraB.waitReady());

        const QString folder = documents() + QStringLiteral("/vq3/app");
        QVERIFY(QDir().mkpath(folder));
        QFile config(folder + QStringLiteral("/config.ini"));
        QVERIFY(config.open(QIODevice::WriteOnly | QIODevice::Truncate));
        config.write("[common]\ngrabTipAudio=false\n");
        config.close();
        m_mapFile = qEnvironmentVariable("ORVANE_TEST_TMP", QDir::tempPath()) + QStringLiteral("/widgets.json");
        QFile::remove(m_mapFile);
        m_orvane = orvaneprocess::startProgram(this, {}, {"ORVANE_TEST_WIDGET_MAP=" + m_mapFile, "ORVANE_TEST_WIRELESS=1",
                                                          "ORVANE_WIRELESS_TARGETS=127.0.0.2,127.0.0.3"});
        QVERIFY(m_orvane->waitForStarted(60000));

        // The search finds both cameras; each is set to its first size.
        QVERIFY2(waitFor([this] { return m_output.contains("test hook: wireless device mode"); }),
                 m_output.right(3000).constData());
        QVERIFY(waitFor([&] {
            return cameraA.bytes().contains("CMD_SET_BACK_FRAME 1280*720")
                   && cameraB.bytes().contains("CMD_SET_BACK_FRAME 1280*720");
        }));
        QVERIFY2(waitFor([this] { return !named("m_buttonCompare").isEmpty(); }), m_output.right(3000).constData());

        // Two tiles, each showing one camera's moving picture.
        QVERIFY(click("m_buttonCompare"));
        QVERIFY(waitFor([this] { return named("wirelessTile").size() == 2; }));
        QVERIFY2(waitFor([this] { return countInOutput("video solution changed, width[1280] height[720]") >= 2; }),
                 m_output.right(3000).constData());
        QList<Widget> tiles = named("wirelessTile");
        QCOMPARE(tiles.size(), 2);
        const QImage first = grabScreen(artefactFolder() + QStringLiteral("/wireless-2-tiles.png"));
        QVERIFY(!first.isNull());
        QElapsedTimer clock;
        clock.start();
        QImage later;
        const bool moving = waitFor([&] {
            if (clock.elapsed() < 1000)
                return false;
            later = grabScreen(artefactFolder() + QStringLiteral("/wireless-2-tiles-later.png"));
            return !later.isNull() && differingPixels(first, later, tiles[0].rect) > 500
                   && differingPixels(first, later, tiles[1].rect) > 500;
        });
        QVERIFY2(moving, "the two tiles did not show two different frames a second apart");
        QVERIFY(colours(later, tiles[0].rect) > 4);
        QVERIFY(colours(later, tiles[1].rect) > 4);

        // The resolution menu of the first tile: its second size.
        QVERIFY(click(tiles[0].rect, 3));
        QVERIFY(waitFor([this] { return !named("wirelessTileMenu").isEmpty(); }));
        for (const char* key : {"Down", "Down", "Right", "Down", "Return"})
            QCOMPARE(xdotool({"key", key}), 0);
        QVERIFY2(waitFor([&] {
            return (cameraA.bytes() + cameraB.bytes()).contains("CMD_SET_BACK_FRAME 640*480")
                   && m_output.contains("video solution changed, width[640] height[480]");
        }), m_output.right(3000).constData());

        // Closing the first tile leaves it empty (its grey alone).
        QVERIFY(waitFor([this] { return named("wirelessTileMenu").isEmpty(); }));
        QVERIFY(click(tiles[0].rect, 3));
        QVERIFY(waitFor([this] { return !named("wirelessTileMenu").isEmpty(); }));
        QCOMPARE(xdotool({"key", "Down"}), 0);
        QCOMPARE(xdotool({"key", "Return"}), 0);
        QVERIFY2(waitFor([&] {
            const QImage now = grabScreen(artefactFolder() + QStringLiteral("/wireless-closed.png"));
            return !now.isNull() && colours(now, middle(tiles[0].rect)) == 1
                   && colours(now, tiles[1].rect) > 4;
        }), "the closed tile still shows a picture");

        // 4, 8 and 48 tiles: the two cameras in the first two.
        const int shown = countInOutput("video solution changed");
        chooseTiles(2, 4);
        chooseTiles(1, 8);
        chooseTiles(3, 48);
        QVERIFY2(waitFor([&] { return countInOutput("video solution changed") >= shown + 6; }),
                 m_output.right(3000).constData());
        tiles = named("wirelessTile");
        QCOMPARE(tiles.size(), 48);
        std::sort(tiles.begin(), tiles.end(), [](const Widget& a, const Widget& b) {
            return a.rect.y() != b.rect.y() ? a.rect.y() < b.rect.y() : a.rect.x() < b.rect.x();
        });
        QVERIFY2(waitFor([&] {
            const QImage now = grabScreen(artefactFolder() + QStringLiteral("/wireless-48-tiles.png"));
            return !now.isNull() && colours(now, tiles[0].rect) > 4 && colours(now, tiles[1].rect) > 4
                   && colours(now, middle(tiles[2].rect)) == 1;
        }), "the 48 tiles do not show the two cameras in the first two");

        QVERIFY(m_orvane->state() == QProcess::Running);
        m_output += m_orvane->readAll();
        QVERIFY2(!m_output.contains("ERROR: AddressSanitizer") && !m_output.contains("runtime error:"),
                 m_output.right(6000).constData());
    }
};

QTEST_MAIN(tst_OrvaneWireless)
#include "tst_orvane_wireless.moc"
