// The program Orvane shows its Simplified Chinese texts: the main window's palette and the settings
// dialog, read through the widget map and compared with the built translation; screenshots of both
// are written beside the test output. The About box opened from the settings covers them with its
// own background. A process on the X display of the test, with the virtual camera and the test's
// temporary HOME.

#include "liveview.h"
#include "orvaneprocess.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScreen>
#include <QTranslator>

#include <csignal>
#include <sys/types.h>

using namespace orvaneprocess;

class tst_OrvaneChinese : public QObject {
    Q_OBJECT

    QList<QProcess*> m_processes;
    QTranslator m_translator;
    QString m_mapFile;

    // The widgets of the map by name (of two with one name, the later).
    QHash<QString, Widget> shown()
    {
        QHash<QString, Widget> out;
        for (const Widget& widget : readWidgetMap(m_mapFile))
            out.insert(widget.name, widget);
        return out;
    }

    // The About box's rectangle and those of its children, as the widget map gives them; false
    // while the box is not shown.
    bool aboutBox(QRect& box, QRegion& children)
    {
        QFile file(m_mapFile);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        box = QRect();
        children = QRegion();
        const QJsonArray list = QJsonDocument::fromJson(file.readAll()).object().value("widgets").toArray();
        for (const QJsonValue& value : list) {
            const QJsonObject o = value.toObject();
            if (o.value("window").toString() != QLatin1String("AboutDialog"))
                continue;
            const QRect rect(o.value("x").toInt(), o.value("y").toInt(), o.value("w").toInt(), o.value("h").toInt());
            if (o.value("top").toBool())
                box = rect;
            else
                children += rect;
        }
        return !box.isEmpty() && !children.isEmpty();
    }

    void click(const QPoint& p)
    {
        QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), {"mousemove", "--sync", QString::number(p.x()),
                                                               QString::number(p.y()), "click", "1"}),
                 0);
    }

    QString zh(const char* context, const char* text) { return m_translator.translate(context, text); }

    void screenshot(const QString& name)
    {
        const QString folder = qEnvironmentVariable("ORVANE_BIN_DIR") + QStringLiteral("/../test-artefacts/orvane");
        QDir().mkpath(folder);
        QVERIFY(QGuiApplication::primaryScreen()->grabWindow(0).save(folder + QLatin1Char('/') + name));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(programPath()).isExecutable(), qPrintable(programPath()));
        QVERIFY2(!portListens(), "port 11050 is taken before the test");
        QVERIFY2(m_translator.load(QStringLiteral(ORVANE_TR_QM)), ORVANE_TR_QM);
        m_mapFile = QDir::homePath() + QStringLiteral("/widgetmap.json");
    }

    void cleanup() { endAllAndClear(m_processes); }

    void mainWindowAndSettingsInChinese()
    {
        QProcess* orvane = startKept(this, m_processes, {}, {QStringLiteral("ORVANE_TEST_WIDGET_MAP=") + m_mapFile});
        QVERIFY(orvane->waitForStarted(60000));
        QByteArray output;
        QVERIFY2(readUntil(orvane, "start-up done", 60000, output), output.right(3000).constData());

        const QString settings = zh("MainWindow", "Settings");
        QCOMPARE(settings, QString::fromUtf8("\xe8\xae\xbe\xe7\xbd\xae"));
        QVERIFY2(waitFor([&] { return shown().value("buttonSettings").text == settings; }, 60000),
                 qPrintable(shown().value("buttonSettings").text));
        QCOMPARE(shown().value("m_buttonRecord").text, zh("MainWindow", "Record"));
        QCOMPARE(shown().value("buttonExit").text, zh("MainWindow", "Exit"));
        // The live view shows the camera, not the placeholder picture: the media bridge has
        // reported the first frame's size, and the virtual sheet stands in the view and lies still
        // (two readings of the view below its frame counter alike).
        int colours = 0;
        int greys = 0;
        QImage before;
        QVERIFY2(waitFor([&] {
            output += orvane->readAll();
            if (!output.contains("MediaControl::showImgUsePixmap, video solution changed"))
                return false;
            const QRect view = shown().value("m_mainView").rect;
            const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
            const QImage below = screen.copy(view.adjusted(0, view.height() / 4, 0, 0));
            const bool still = !before.isNull() && below == before;
            before = below;
            return liveview::showsSheet(screen, view, &colours, &greys) && still;
        }, 60000), qPrintable(QStringLiteral("%1 colours, %2 grey levels; ").arg(colours).arg(greys)
                              + QString::fromLocal8Bit(output.right(3000))));
        screenshot(QStringLiteral("orvane-main-zh.png"));

        const QPoint p = shown().value("buttonSettings").rect.center();
        QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), {"mousemove", "--sync", QString::number(p.x()),
                                                               QString::number(p.y()), "click", "1"}),
                 0);
        QVERIFY(waitFor([&] { return shown().value("label").text == zh("ConfigDialog", "Save position"); }, 60000));
        QCOMPARE(shown().value("m_labelRecordMode").text, zh("QDialog", "Record mode"));
        QCOMPARE(shown().value("m_buttonAbout").text, zh("ConfigDialog", "About"));
        QCOMPARE(shown().value("m_buttonClose").text, zh("ConfigDialog", "Close"));
        QCOMPARE(shown().value("m_option3").text, zh("MyMemory", "Chinese_Simplified"));
        screenshot(QStringLiteral("orvane-settings-zh.png"));

        ::kill(pid_t(orvane->processId()), SIGINT);
        QVERIFY(orvane->waitForFinished(60000));
    }

    // "About" in the settings opens the About box over the settings dialog: on the screen, every
    // pixel of the box outside its child widgets is its background rgb(55, 66, 76), nothing of the
    // settings' labels and fields beneath.
    void aboutBoxOverSettings()
    {
        QProcess* orvane = startProgram(this, {}, {QStringLiteral("ORVANE_TEST_WIDGET_MAP=") + m_mapFile});
        m_processes << orvane;
        QVERIFY(orvane->waitForStarted(60000));
        QByteArray output;
        QVERIFY2(readUntil(orvane, "start-up done", 60000, output), output.right(3000).constData());
        QVERIFY(waitFor([&] { return !shown().value("buttonSettings").rect.isEmpty(); }, 60000));
        click(shown().value("buttonSettings").rect.center());
        QVERIFY(waitFor([&] { return !shown().value("m_buttonAbout").rect.isEmpty(); }, 60000));
        const QRect settings = shown().value("ConfigDialog").rect;
        click(shown().value("m_buttonAbout").rect.center());
        QRect box;
        QRegion children;
        QVERIFY(waitFor([&] { return aboutBox(box, children); }, 60000));
        QVERIFY2(settings.contains(box), "the About box lies over the settings dialog");

        // The box outside its children, one pixel clear of their edges.
        QRegion free(box);
        for (const QRect& child : children)
            free -= child.adjusted(-1, -1, 1, 1);
        QImage screen;
        int other = -1;
        int all = 0;
        QPoint first;
        // Read until the box shows its colour everywhere; a box that never does fails at the ceiling.
        waitFor([&] {
            screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
            other = 0;
            all = 0;
            for (const QRect& rect : free)
                for (int y = rect.top(); y <= rect.bottom(); ++y)
                    for (int x = rect.left(); x <= rect.right(); ++x) {
                        ++all;
                        if (screen.pixelColor(x, y) != QColor(55, 66, 76) && other++ == 0)
                            first = QPoint(x, y);
                    }
            return other == 0;
        }, 60000);
        const QString folder = qEnvironmentVariable("ORVANE_BIN_DIR") + QStringLiteral("/../test-artefacts/orvane");
        QDir().mkpath(folder);
        QVERIFY(screen.save(folder + QStringLiteral("/about-in-program.png")));
        QVERIFY2(all > box.width() * box.height() / 2, qPrintable(QString::number(all)));
        QVERIFY2(other == 0, qPrintable(QStringLiteral("%1 of %2 pixels differ, first at %3,%4: %5")
                                            .arg(other).arg(all).arg(first.x()).arg(first.y())
                                            .arg(screen.pixelColor(first).name())));

        ::kill(pid_t(orvane->processId()), SIGINT);
        QVERIFY(orvane->waitForFinished(60000));
    }
};

QTEST_MAIN(tst_OrvaneChinese)
#include "tst_orvane_chinese.moc"
