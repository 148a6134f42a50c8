// The program Orvane shows its Simplified Chinese texts: the main window's palette and the settings
// dialog, read through the widget map and compared with the built translation; screenshots of both
// are written beside the test output. The About box opened from the settings covers them with its
// own background. Every window the program shows, Qt's standard dialogs included, leaves no English
// word in its texts and tooltips but those kept on purpose. A process on the X display of the test,
// with the virtual camera (or none) and the test's temporary HOME.

#include "fakecameraprocess.h"
#include "liveview.h"
#include "orvaneprocess.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QScreen>
#include <QSet>
#include <QTranslator>

#include <csignal>
#include <functional>
#include <sys/types.h>

using namespace orvaneprocess;

namespace {
// Latin words the program shows as they are: the product names, the picture and video formats, the
// encoder's rate modes and presets, USB, UVC and Wi-Fi.
const QSet<QString> kKeptWords{"Orvane", "Lumora", "JPG", "PNG", "BMP", "TIF", "PDF", "MP4", "MKV", "CBR", "VBR", "ABR",
                               "CFR", "CQP", "ultrafast", "superfast", "veryfast", "faster", "fast", "medium",
                               "slow", "slower", "veryslow", "placebo", "USB", "UVC", "Wi", "Fi"};

// Widgets whose texts are not the program's or stay as they are: the microphones' names as the
// system gives them, the wireless cameras' names and networks as they report them, the wireless
// work modes, and the title of the frameless second camera window (never visible).
bool keptAsIs(const Widget& w)
{
    return w.name == QLatin1String("m_comboMicrophone") || w.name == QLatin1String("m_comboDevice")
           || w.name == QLatin1String("m_comboWorkmode")
           || (w.cls == QLatin1String("PreviewDialog") && w.name == QLatin1String("PreviewDialog"));
}

// The English words of a text, leaving out paths, file patterns, sizes and the recording time.
QStringList englishWords(QString text)
{
    static const QRegularExpression kept(QStringLiteral("/\\S*|\\*\\.\\w+|\\b\\d+x\\d+\\b|^REC \\d+:\\d\\d:\\d\\d$"));
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{2,}\\d*"));
    text.remove(kept);
    QStringList words;
    for (auto match = word.globalMatch(text); match.hasNext();) {
        const QString found = match.next().captured();
        if (!kKeptWords.contains(found))
            words << found;
    }
    return words;
}
} // namespace

class tst_OrvaneChinese : public QObject {
    Q_OBJECT

    QList<QProcess*> m_processes;
    QTranslator m_translator;
    QTranslator m_qtTranslator;
    QString m_mapFile;
    QList<Widget> m_seen;   // the widgets of the maps collectEnglishWhenShown() read

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
    // A text of Qt's own as its Simplified Chinese translation gives it.
    QString zhQt(const char* context, const char* text) { return m_qtTranslator.translate(context, text); }

    // Once the map shows `window` (an object name or a class, of a window or a widget), adds the
    // texts and tooltips of that map that leave English to `english`, one "window/widget: text"
    // each; false when the map never shows it.
    bool collectEnglishWhenShown(const QString& window, QStringList& english)
    {
        QList<Widget> widgets;
        const bool seen = waitFor([&] {
            widgets = readWidgetMap(m_mapFile);
            for (const Widget& w : qAsConst(widgets))
                if (w.name == window || w.cls == window || w.windowClass == window)
                    return true;
            return false;
        }, kHangMs);
        m_seen += widgets;
        for (const Widget& w : qAsConst(widgets))
            for (const QString& text : {keptAsIs(w) ? QString() : w.text, w.tip})
                if (!englishWords(text).isEmpty())
                    english << QStringLiteral("%1/%2 %3: %4").arg(w.windowClass, w.name, w.cls, text);
        return seen;
    }

    bool gone(const QString& window)
    {
        return waitFor([&] {
            for (const Widget& w : readWidgetMap(m_mapFile))
                if (w.name == window || w.windowClass == window)
                    return false;
            return true;
        }, kHangMs);
    }

    // Clicks the first widget of the map that `match` accepts, once the map shows one.
    bool clickWhere(const std::function<bool(const Widget&)>& match)
    {
        Widget target;
        const bool seen = waitFor([&] {
            for (const Widget& w : readWidgetMap(m_mapFile))
                if (match(w)) {
                    target = w;
                    return true;
                }
            return false;
        }, kHangMs);
        const QPoint p = target.rect.center();
        return seen && QProcess::execute(QStringLiteral("xdotool"), {"mousemove", "--sync", QString::number(p.x()),
                                                                     QString::number(p.y()), "click", "1"}) == 0;
    }

    // Clicks the widget called `name` once the map shows it enabled.
    bool clickNamed(const QString& name)
    {
        return clickWhere([&](const Widget& w) { return w.name == name && w.enabled && !w.rect.isEmpty(); });
    }

    // Clicks the first widget named `nameOrClass`, or else of that class, in a window of class
    // `windowClass`.
    bool clickIn(const QString& windowClass, const QString& nameOrClass)
    {
        return clickWhere([&](const Widget& w) {
            return w.windowClass == windowClass && (w.name == nameOrClass || w.cls == nameOrClass);
        });
    }

    // Whether a map that collectEnglishWhenShown() read showed a widget of class `cls` in a window
    // of class `windowClass` with `text` as its text or tooltip.
    bool seen(const QString& windowClass, const QString& cls, const QString& text) const
    {
        for (const Widget& w : m_seen)
            if (w.windowClass == windowClass && w.cls == cls && (w.text == text || w.tip == text))
                return true;
        return false;
    }

    // Opens `window` with the button `opener`, collects its English and closes it with Escape.
    bool visitClosingWithEscape(const QString& opener, const QString& window, QStringList& english)
    {
        return clickNamed(opener) && collectEnglishWhenShown(window, english) && pressEscape() && gone(window);
    }

    bool pressEscape() { return QProcess::execute(QStringLiteral("xdotool"), {"key", "Escape"}) == 0; }

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
        const QString qtFolder = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
        QVERIFY2(m_qtTranslator.load(QStringLiteral("qtbase_zh_CN"), qtFolder), qPrintable(qtFolder));
        m_mapFile = QDir::homePath() + QStringLiteral("/widgetmap.json");
    }

    void cleanup()
    {
        endAllAndClear(m_processes);
        QFile::remove(m_mapFile);   // the next case reads only its own program's map
        m_seen.clear();
    }

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

    // Each window in turn, opened with the pointer as a person would: the main window with its
    // palettes, the extension palette, the video settings, the screen grab's frame, the second
    // camera's picture, the settings, the recording settings, the About box, the compare view's file
    // dialog, the message box that refuses Exit while the camera records and the offer to open the
    // finished recording.
    void everyWindowWithoutEnglish()
    {
        QVERIFY(writeSettings("[common]\ngrabTipAudio=false\nrecordType=1\n"));
        QProcess* orvane = startKept(this, m_processes, {},
                                     {QStringLiteral("ORVANE_TEST_WIDGET_MAP=") + m_mapFile,
                                      QStringLiteral("ORVANE_VIRTUAL_CAMERA=2")});
        QVERIFY(orvane->waitForStarted(kHangMs));
        QByteArray output;
        QVERIFY2(readUntil(orvane, "start-up done", kHangMs, output), output.right(3000).constData());

        QStringList english;
        QVERIFY(collectEnglishWhenShown(QStringLiteral("m_bottomToolbar"), english));
        QVERIFY(clickNamed(QStringLiteral("m_buttonExtension")));
        QVERIFY(collectEnglishWhenShown(QStringLiteral("m_extendToolbar"), english));
        QVERIFY(clickNamed(QStringLiteral("m_buttonExtension")));
        QVERIFY(gone(QStringLiteral("m_extendToolbar")));

        QVERIFY(visitClosingWithEscape(QStringLiteral("m_buttonVideoSet"), QStringLiteral("VideoSet"), english));
        QVERIFY(visitClosingWithEscape(QStringLiteral("buttonScreenShot"), QStringLiteral("grabFrame"), english));

        QVERIFY(clickNamed(QStringLiteral("buttonPip")));
        QVERIFY(collectEnglishWhenShown(QStringLiteral("PreviewDialog"), english));
        QVERIFY(clickIn(QStringLiteral("PreviewDialog"), QStringLiteral("m_buttonClose")));
        QVERIFY(gone(QStringLiteral("PreviewDialog")));

        QVERIFY(clickNamed(QStringLiteral("buttonSettings")));
        QVERIFY(collectEnglishWhenShown(QStringLiteral("ConfigDialog"), english));
        QVERIFY(visitClosingWithEscape(QStringLiteral("m_buttonRecordConfig"), QStringLiteral("CameraRecordDialog"), english));
        QVERIFY(visitClosingWithEscape(QStringLiteral("m_buttonAbout"), QStringLiteral("AboutDialog"), english));
        QVERIFY(pressEscape());
        QVERIFY(gone(QStringLiteral("ConfigDialog")));

        QVERIFY(clickNamed(QStringLiteral("m_buttonCompare")));
        QVERIFY(clickNamed(QStringLiteral("comparePictureButton")));
        QVERIFY(collectEnglishWhenShown(QStringLiteral("QFileDialog"), english));
        screenshot(QStringLiteral("file-dialog-zh.png"));
        QVERIFY(pressEscape());
        QVERIFY(gone(QStringLiteral("QFileDialog")));
        QVERIFY(clickNamed(QStringLiteral("m_buttonPresenter")));

        QVERIFY(clickNamed(QStringLiteral("m_buttonRecord")));
        QVERIFY(waitFor([&] { return shown().value("m_buttonRecord").text == zh("MainWindow", "Stop"); }, kHangMs));
        QVERIFY(clickNamed(QStringLiteral("buttonExit")));
        QVERIFY(collectEnglishWhenShown(QStringLiteral("QMessageBox"), english));
        screenshot(QStringLiteral("message-box-zh.png"));
        QVERIFY(clickIn(QStringLiteral("QMessageBox"), QStringLiteral("QPushButton")));
        QVERIFY(gone(QStringLiteral("QMessageBox")));
        QVERIFY(clickNamed(QStringLiteral("m_buttonRecord")));
        QVERIFY(collectEnglishWhenShown(QStringLiteral("recordFinishedDialog"), english));
        QVERIFY(clickNamed(QStringLiteral("pushButton_2")));
        QVERIFY(gone(QStringLiteral("recordFinishedDialog")));

        QVERIFY2(english.isEmpty(), qPrintable(english.join(QLatin1Char('\n'))));
        // The texts once left in English, now shown in Chinese.
        QVERIFY(seen("VideoSet", "QSlider", zh("VideoSet", "Brightness")));
        QVERIFY(seen("RecordDialog", "QPushButton", zh("RecordDialog", "Start Capture")));
        QVERIFY(seen("CameraRecordDialog", "CameraRecordDialog", zh("CameraRecordDialog", "Main camera record")));
        QVERIFY(seen("CameraRecordDialog", "QRadioButton", zh("CameraRecordDialog", "Custom")));
        QVERIFY(seen("QFileDialog", "QLabel", zhQt("QFileDialog", "Look in:")));
        QVERIFY(seen("QFileDialog", "QPushButton", zhQt("QPlatformTheme", "Cancel")));
        QVERIFY(seen("QMessageBox", "QPushButton", zhQt("QPlatformTheme", "OK")));
        ::kill(pid_t(orvane->processId()), SIGINT);
        QVERIFY(orvane->waitForFinished(kHangMs));
    }

    // Without a camera the program shows only its tip, in Chinese; "Close" ends it.
    void tipWithoutEnglish_data()
    {
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QString>("tip");
        QTest::newRow("no camera") << QStringList{QStringLiteral("ORVANE_VIRTUAL_CAMERA=")}
                                   << "Not find valid device, please insert valid device into usb and wait";
        // A wireless search that finds nobody at its one address.
        QTest::newRow("no wireless camera")
            << QStringList{QStringLiteral("ORVANE_TEST_WIRELESS=1"), QStringLiteral("ORVANE_WIRELESS_TARGETS=127.0.0.9")}
            << "Not find wireless device, please open wireless device and click refresh button, or switch into wire mode";
    }

    void tipWithoutEnglish()
    {
        QFETCH(QStringList, environment);
        QFETCH(QString, tip);
        QProcess* orvane = startKept(this, m_processes, {},
                                     environment << QStringLiteral("ORVANE_TEST_WIDGET_MAP=") + m_mapFile);
        QVERIFY(orvane->waitForStarted(kHangMs));
        QStringList english;
        QVERIFY(collectEnglishWhenShown(QStringLiteral("TipsDialog"), english));
        QVERIFY2(english.isEmpty(), qPrintable(english.join(QLatin1Char('\n'))));
        QVERIFY(seen("TipsDialog", "QLabel", zh("TipsDialog", tip.toUtf8().constData())));
        QVERIFY(clickNamed(QStringLiteral("m_buttonClose")));
        QVERIFY(orvane->waitForFinished(kHangMs));
    }

    // The wireless device mode with two cameras: the bottom palette with the tile count, a tile's
    // menu, the settings with the wireless group and the question "commit" asks first.
    void wirelessWindowsWithoutEnglish()
    {
        FakeCameraProcess cameraA(QStringLiteral("127.0.0.2"));
        FakeCameraProcess cameraB(QStringLiteral("127.0.0.3"));
        QVERIFY(cameraA.waitReady());
        QVERIFY(cameraB.waitReady());
        QVERIFY(writeSettings("[common]\ngrabTipAudio=false\n"));
        QProcess* orvane = startKept(this, m_processes, {},
                                     {QStringLiteral("ORVANE_TEST_WIDGET_MAP=") + m_mapFile,
                                      QStringLiteral("ORVANE_TEST_WIRELESS=1"),
                                      QStringLiteral("ORVANE_WIRELESS_TARGETS=127.0.0.2,127.0.0.3")});
        QVERIFY(orvane->waitForStarted(kHangMs));

        // In the wireless mode, both cameras found and set to a size.
        QByteArray output;
        QVERIFY2(waitFor([&] {
            output += orvane->readAll();
            return output.contains("test hook: wireless device mode")
                   && cameraA.bytes().contains("CMD_SET_BACK_FRAME") && cameraB.bytes().contains("CMD_SET_BACK_FRAME");
        }, kHangMs), output.right(3000).constData());
        QStringList english;
        QVERIFY(clickNamed(QStringLiteral("m_buttonCompare")));
        QVERIFY(collectEnglishWhenShown(QStringLiteral("m_comboTiles"), english));
        // The first tile once it shows its camera (its menu then offers the resolutions).
        QVERIFY2(waitFor([&] {
            output += orvane->readAll();
            return output.contains("video solution changed");
        }, kHangMs), output.right(3000).constData());
        Widget tile;
        QVERIFY(waitFor([&] {
            tile = shown().value(QStringLiteral("wirelessTile"));
            return !tile.rect.isEmpty();
        }, kHangMs));
        const QPoint p = tile.rect.center();
        QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), {"mousemove", "--sync", QString::number(p.x()),
                                                               QString::number(p.y()), "click", "3"}),
                 0);
        QVERIFY(collectEnglishWhenShown(QStringLiteral("wirelessTileMenu"), english));
        screenshot(QStringLiteral("wireless-tile-menu-zh.png"));
        QVERIFY(pressEscape());
        QVERIFY(gone(QStringLiteral("wirelessTileMenu")));

        QVERIFY(clickNamed(QStringLiteral("buttonSettings")));
        QVERIFY(collectEnglishWhenShown(QStringLiteral("m_comboDevice"), english));
        QVERIFY(clickNamed(QStringLiteral("m_buttonCommit")));
        QVERIFY(collectEnglishWhenShown(QStringLiteral("m_buttonConfirm"), english));
        screenshot(QStringLiteral("wireless-settings-zh.png"));
        QVERIFY(clickNamed(QStringLiteral("m_buttonCancel")));
        QVERIFY(gone(QStringLiteral("m_buttonConfirm")));
        QVERIFY(pressEscape());
        QVERIFY(gone(QStringLiteral("ConfigDialog")));

        QVERIFY2(english.isEmpty(), qPrintable(english.join(QLatin1Char('\n'))));
        const char* tileContext = "GraphicsViewForWirelessDevice";
        const QString menu = QStringList{zh(tileContext, "close"), zh(tileContext, "switch device"),
                                         zh(tileContext, "solution")}.join(QLatin1Char('\n'));
        QVERIFY2(seen("QMenu", "QMenu", menu), qPrintable(menu));
        QVERIFY(seen("ConfigDialog", "QLabel", zh("QDialog", "WirelessDevice:")));
        QVERIFY(seen("TipsDialog", "QLabel", zh("TipsDialog", "You confirm set wireless device?")));
        ::kill(pid_t(orvane->processId()), SIGINT);
        QVERIFY(orvane->waitForFinished(kHangMs));
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
