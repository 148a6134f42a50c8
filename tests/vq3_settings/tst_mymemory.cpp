// Application settings: the ini file's write rules, the mapping tables, the save folder and its
// fallbacks, the dated names (injected clock), the registries and the UI metrics.
#include "logcapture.h"
#include "mymemory.h"
#include "screengeometry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

#include <functional>

namespace {
QString documents()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QLatin1Char('/');
}

QString appFolder()
{
    return QDir::tempPath() + QStringLiteral("/mymemory-app");
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void writeIni(const QMap<QString, QVariant>& values)
{
    QSettings s(MyMemory::configFileName(), QSettings::IniFormat);
    for (auto it = values.begin(); it != values.end(); ++it)
        s.setValue(it.key(), it.value());
    s.sync();
}

QStringList iniKeys()
{
    QSettings s(MyMemory::configFileName(), QSettings::IniFormat);
    QStringList keys = s.allKeys();
    keys.sort();
    return keys;
}

class RecordingSdkLink : public MyMemorySdkLink
{
public:
    void setVideoMainSavePath(const QString& folder) override { calls << QStringLiteral("main:") + folder; }
    void setVideoSecondSavePath(const QString& folder) override { calls << QStringLiteral("second:") + folder; }
    QStringList calls;
};

using Setter = std::function<void(MyMemory*)>;
using Getter = std::function<QVariant(MyMemory*)>;
} // namespace

Q_DECLARE_METATYPE(Setter)
Q_DECLARE_METATYPE(Getter)

class TestMyMemory : public QObject
{
    Q_OBJECT

private:
    RecordingSdkLink m_link;

    // No instance, no ini file, no save folders: the next getInstance() is a first start.
    void freshStart()
    {
        MyMemory::releaseInstance();
        QDir(appFolder()).removeRecursively();
        QDir().mkpath(appFolder());
        for (const QString& name : QDir(documents()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
            QFileInfo info(documents() + name);
            if (info.isDir())
                QDir(info.filePath()).removeRecursively();
            else
                QFile::remove(info.filePath());
        }
        m_link.calls.clear();
    }

private slots:
    void initTestCase()
    {
        MyMemory::setSavePath(appFolder());
        MyMemory::setSdkLink(&m_link);
        ScreenGeometry::setOverride(QRect(0, 0, 1920, 1080), QRect(0, 0, 1920, 1040), 96);
    }
    void init() { freshStart(); }
    void cleanupTestCase()
    {
        MyMemory::releaseInstance();
        MyMemory::setSdkLink(nullptr);
        MyMemory::setClock({});
        QDir(appFolder()).removeRecursively();
    }

    void freshUserWritesOnlySaveFolderAndVolume()
    {
        MyMemory* memory = MyMemory::getInstance();
        const QString expected = documents() + QStringLiteral("Orvane/");
        QCOMPARE(memory->getConfigSavePath(), expected);
        QVERIFY(QFileInfo(expected).isDir());
        QCOMPARE(iniKeys(), (QStringList{"common/micVolumn", "common/save_path"}));
        QSettings s(MyMemory::configFileName(), QSettings::IniFormat);
        QCOMPARE(s.value("common/save_path").toString(), expected);
        QCOMPARE(s.value("common/micVolumn").toInt(), 100);
        QCOMPARE(memory->getMicVolumn(), 100);
        // The default folder reaches both cameras' video folders: once through the setter and
        // once more after it.
        const QStringList once{"main:" + expected, "second:" + expected};
        QCOMPARE(m_link.calls, once + once);
    }

    void storedSaveFolderIsUsedAsItIs()
    {
        writeIni({{"common/save_path", "/nowhere/at/all/"}, {"common/micVolumn", 40}});
        MyMemory* memory = MyMemory::getInstance();
        QCOMPARE(memory->getConfigSavePath(), QStringLiteral("/nowhere/at/all/"));
        QCOMPARE(memory->getMicVolumn(), 40);
        QVERIFY(m_link.calls.isEmpty());
        QVERIFY(!QFileInfo::exists("/nowhere"));
    }

    void defaultSaveFolderFallbacks_data()
    {
        QTest::addColumn<QStringList>("files");     // plain files made in Documents first
        QTest::addColumn<QStringList>("folders");   // folders made in Documents first
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing there") << QStringList() << QStringList() << "Orvane/";
        QTest::newRow("existing folder") << QStringList() << QStringList{"Orvane"} << "Orvane/";
        QTest::newRow("plain file") << QStringList{"Orvane"} << QStringList() << "Orvane0/";
        QTest::newRow("two plain files") << QStringList{"Orvane", "Orvane0"} << QStringList() << "Orvane1/";
        QTest::newRow("file, then folder") << QStringList{"Orvane"} << QStringList{"Orvane0"} << "Orvane0/";
    }
    void defaultSaveFolderFallbacks()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, folders);
        QFETCH(QString, expected);
        for (const QString& name : files) {
            QFile f(documents() + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("keep me");
        }
        for (const QString& name : folders)
            QVERIFY(QDir().mkpath(documents() + name));

        QCOMPARE(MyMemory::getInstance()->getConfigSavePath(), documents() + expected);
        QVERIFY(QFileInfo(documents() + expected).isDir());
        for (const QString& name : files) {
            QVERIFY(QFileInfo(documents() + name).isFile());
            QCOMPARE(readAll(documents() + name), QByteArray("keep me"));
        }
        QCOMPARE(QSettings(MyMemory::configFileName(), QSettings::IniFormat).value("common/save_path").toString(),
                 documents() + expected);
    }

    void defaultsWhenAbsent_data()
    {
        QTest::addColumn<Getter>("get");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("picture format") << Getter([](MyMemory* m) { return m->getConfigPictureFormat(); }) << QVariant(0);
        QTest::newRow("video format") << Getter([](MyMemory* m) { return m->getConfigVideoFormat(); }) << QVariant(0);
        QTest::newRow("wireless resolution") << Getter([](MyMemory* m) { return m->getConfigGaoOption(); }) << QVariant(-1);
        QTest::newRow("line colour red") << Getter([](MyMemory* m) { return int(m->getDrawColor()); }) << QVariant(3);
        QTest::newRow("fill colour none") << Getter([](MyMemory* m) { return int(m->getFillColor()); }) << QVariant(0);
        QTest::newRow("pen width") << Getter([](MyMemory* m) { return int(m->getPenWidth()); }) << QVariant(2);
        QTest::newRow("transparency") << Getter([](MyMemory* m) { return int(m->getTransparent()); }) << QVariant(5);
        QTest::newRow("eraser width") << Getter([](MyMemory* m) { return int(m->getEraseWidth()); }) << QVariant(2);
        QTest::newRow("language") << Getter([](MyMemory* m) { return int(m->getCurLanguage()); }) << QVariant(0);
        QTest::newRow("ocr language") << Getter([](MyMemory* m) { return m->getCurTesseractLanguageIndex(); }) << QVariant(0);
        QTest::newRow("grab sound") << Getter([](MyMemory* m) { return m->getConfigGrabTipAudio(); }) << QVariant(true);
        QTest::newRow("uvc control") << Getter([](MyMemory* m) { return m->getConfigUvcControl(); }) << QVariant(false);
        QTest::newRow("record type") << Getter([](MyMemory* m) { return int(m->getRecordType()); }) << QVariant(0);
        QTest::newRow("prefix") << Getter([](MyMemory* m) { return m->getScreenRecordPrefix(); }) << QVariant("screen");
        QTest::newRow("capture width") << Getter([](MyMemory* m) { return m->getCaptureWidth(); }) << QVariant(-1);
        QTest::newRow("capture height") << Getter([](MyMemory* m) { return m->getCaptureHeight(); }) << QVariant(-1);
        QTest::newRow("language suffix") << Getter([](MyMemory* m) { return m->getCurLanguageSuffix(); }) << QVariant("zh");
    }
    void defaultsWhenAbsent()
    {
        QFETCH(Getter, get);
        QFETCH(QVariant, expected);
        QCOMPARE(get(MyMemory::getInstance()), expected);
    }

    void storedValuesAreRead_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<Getter>("get");
        QTest::newRow("picture format") << "common/picture_format" << QVariant(2)
                                        << Getter([](MyMemory* m) { return m->getConfigPictureFormat(); });
        QTest::newRow("video format") << "common/video_format" << QVariant(1)
                                      << Getter([](MyMemory* m) { return m->getConfigVideoFormat(); });
        QTest::newRow("wireless resolution") << "common/gaoOption" << QVariant(4)
                                             << Getter([](MyMemory* m) { return m->getConfigGaoOption(); });
        QTest::newRow("line colour") << "common/drawColor" << QVariant(5)
                                     << Getter([](MyMemory* m) { return int(m->getDrawColor()); });
        QTest::newRow("fill colour") << "common/fillColor" << QVariant(4)
                                     << Getter([](MyMemory* m) { return int(m->getFillColor()); });
        QTest::newRow("pen width") << "common/penWidth" << QVariant(5)
                                   << Getter([](MyMemory* m) { return int(m->getPenWidth()); });
        QTest::newRow("transparency") << "common/transparent" << QVariant(1)
                                      << Getter([](MyMemory* m) { return int(m->getTransparent()); });
        QTest::newRow("eraser width") << "common/eraseWidth" << QVariant(4)
                                      << Getter([](MyMemory* m) { return int(m->getEraseWidth()); });
        QTest::newRow("unknown language") << "common/language" << QVariant(7)
                                          << Getter([](MyMemory* m) { return int(m->getCurLanguage()); });
        QTest::newRow("grab sound off") << "common/grabTipAudio" << QVariant(false)
                                        << Getter([](MyMemory* m) { return m->getConfigGrabTipAudio(); });
        QTest::newRow("uvc control on") << "common/uvcControl" << QVariant(true)
                                        << Getter([](MyMemory* m) { return m->getConfigUvcControl(); });
        QTest::newRow("record type") << "common/recordType" << QVariant(2)
                                     << Getter([](MyMemory* m) { return int(m->getRecordType()); });
        QTest::newRow("prefix") << "common/screenRecordPrefix" << QVariant("lesson")
                                << Getter([](MyMemory* m) { return m->getScreenRecordPrefix(); });
        QTest::newRow("out-of-table colour kept") << "common/drawColor" << QVariant(42)
                                                  << Getter([](MyMemory* m) { return int(m->getDrawColor()); });
    }
    void storedValuesAreRead()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(Getter, get);
        writeIni({{key, stored}});
        QCOMPARE(get(MyMemory::getInstance()).toString(), stored.toString());
    }

    // Row: a hand-edited key, the value stored, what the getter then gives, the line logged
    // about it and the value stored in its place.
    void handEditedValueFallsBack_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<Getter>("get");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<QString>("rewritten");
        const Getter recordType = [](MyMemory* m) { return int(m->getRecordType()); };
        const Getter prefix = [](MyMemory* m) { return m->getScreenRecordPrefix(); };
        QTest::newRow("record type, hand-edited") << "common/recordType" << QVariant(77) << recordType
                                                  << "recordType[77]" << "0";
        QTest::newRow("record type one past the last") << "common/recordType" << QVariant(3) << recordType
                                                       << "recordType[3]" << "0";
        QTest::newRow("negative record type") << "common/recordType" << QVariant(-1) << recordType
                                              << "recordType[-1]" << "0";
        QTest::newRow("prefix naming a subfolder") << "common/screenRecordPrefix" << QVariant("lesson/week")
                                                   << prefix << "screenRecordPrefix[lesson/week]" << "screen";
        QTest::newRow("prefix climbing out of the save folder")
            << "common/screenRecordPrefix" << QVariant("../../elsewhere") << prefix
            << "screenRecordPrefix[../../elsewhere]" << "screen";
        QTest::newRow("prefix that is a path") << "common/screenRecordPrefix" << QVariant("/tmp/rec") << prefix
                                               << "screenRecordPrefix[/tmp/rec]" << "screen";
    }
    // A value the setting can't take is logged once, and the default is used and stored.
    void handEditedValueFallsBack()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(Getter, get);
        QFETCH(QString, logged);
        QFETCH(QString, rewritten);
        writeIni({{key, stored}});
        LogCapture capture;
        QCOMPARE(get(MyMemory::getInstance()).toString(), rewritten);
        QCOMPARE(LogCapture::countContaining(logged), 1);
        QSettings s(MyMemory::configFileName(), QSettings::IniFormat);
        QCOMPARE(s.value(key), QVariant(rewritten));
    }

    // A folder where config.ini should be is said once and left as it is; the settings of the run
    // are held in memory.
    void configFileThatIsAFolder()
    {
        const QString path = MyMemory::configFileName();
        QVERIFY(QDir().mkpath(path));
        QFile note(path + QStringLiteral("/note.txt"));
        QVERIFY(note.open(QIODevice::WriteOnly));
        QCOMPARE(note.write("kept"), qint64(4));
        note.close();
        LogCapture capture;
        MyMemory* memory = MyMemory::getInstance();
        memory->setConfigPenWidth(MyMemory::PenWidth4);
        memory->setRecordType(MyMemory::RecordMainCamera);
        QCOMPARE(memory->getPenWidth(), MyMemory::PenWidth4);
        QCOMPARE(memory->getRecordType(), MyMemory::RecordMainCamera);
        QCOMPARE(LogCapture::countContaining(path + QStringLiteral(" is a folder")), 1);
        const QDir::Filters all = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;
        QVERIFY(QFileInfo(path).isDir());
        QCOMPARE(QDir(path).entryList(all), QStringList{"note.txt"});
        QCOMPARE(readAll(note.fileName()), QByteArray("kept"));
        QCOMPARE(QDir(appFolder()).entryList(all), QStringList{"config.ini"});
    }

    void settersWriteOnlyChanges_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<Setter>("setHeld");    // the value held after a first start
        QTest::addColumn<Setter>("setOther");
        QTest::addColumn<QVariant>("other");
        QTest::addColumn<Getter>("get");
        QTest::newRow("picture format") << "common/picture_format"
            << Setter([](MyMemory* m) { m->setConfigPictureFormat(0); }) << Setter([](MyMemory* m) { m->setConfigPictureFormat(2); })
            << QVariant(2) << Getter([](MyMemory* m) { return m->getConfigPictureFormat(); });
        QTest::newRow("video format") << "common/video_format"
            << Setter([](MyMemory* m) { m->setConfigVideoFormat(0); }) << Setter([](MyMemory* m) { m->setConfigVideoFormat(1); })
            << QVariant(1) << Getter([](MyMemory* m) { return m->getConfigVideoFormat(); });
        QTest::newRow("wireless resolution") << "common/gaoOption"
            << Setter([](MyMemory* m) { m->setConfigGaoOption(-1); }) << Setter([](MyMemory* m) { m->setConfigGaoOption(3); })
            << QVariant(3) << Getter([](MyMemory* m) { return m->getConfigGaoOption(); });
        QTest::newRow("line colour") << "common/drawColor"
            << Setter([](MyMemory* m) { m->setConfigDrawColor(MyMemory::ColorRed); })
            << Setter([](MyMemory* m) { m->setConfigDrawColor(MyMemory::ColorBlue); })
            << QVariant(4) << Getter([](MyMemory* m) { return int(m->getDrawColor()); });
        QTest::newRow("fill colour") << "common/fillColor"
            << Setter([](MyMemory* m) { m->setConfigFillColor(MyMemory::ColorNone); })
            << Setter([](MyMemory* m) { m->setConfigFillColor(MyMemory::ColorYellow); })
            << QVariant(5) << Getter([](MyMemory* m) { return int(m->getFillColor()); });
        QTest::newRow("pen width") << "common/penWidth"
            << Setter([](MyMemory* m) { m->setConfigPenWidth(MyMemory::PenWidth2); })
            << Setter([](MyMemory* m) { m->setConfigPenWidth(MyMemory::PenWidth4); })
            << QVariant(4) << Getter([](MyMemory* m) { return int(m->getPenWidth()); });
        QTest::newRow("eraser width") << "common/eraseWidth"
            << Setter([](MyMemory* m) { m->setConfigEraseWidth(MyMemory::EraseWidth2); })
            << Setter([](MyMemory* m) { m->setConfigEraseWidth(MyMemory::EraseWidth0); })
            << QVariant(0) << Getter([](MyMemory* m) { return int(m->getEraseWidth()); });
        QTest::newRow("transparency") << "common/transparent"
            << Setter([](MyMemory* m) { m->setConfitTransparent(MyMemory::Transparent5); })
            << Setter([](MyMemory* m) { m->setConfitTransparent(MyMemory::Transparent1); })
            << QVariant(1) << Getter([](MyMemory* m) { return int(m->getTransparent()); });
        QTest::newRow("language") << "common/language"
            << Setter([](MyMemory* m) { m->setConfigCurLanguage(MyMemory::Chinese_Simplified); })
            << Setter([](MyMemory* m) { m->setConfigCurLanguage(MyMemory::Language(1)); })
            << QVariant(1) << Getter([](MyMemory* m) { return int(m->getCurLanguage()); });
        QTest::newRow("ocr language") << "common/tesseractLanguage"
            << Setter([](MyMemory* m) { m->setConfigCurTesseractLanguage(0); })
            << Setter([](MyMemory* m) { m->setConfigCurTesseractLanguage(3); })
            << QVariant(3) << Getter([](MyMemory* m) { return m->getCurTesseractLanguageIndex(); });
        QTest::newRow("grab sound") << "common/grabTipAudio"
            << Setter([](MyMemory* m) { m->setConfigGrabTipAudio(true); }) << Setter([](MyMemory* m) { m->setConfigGrabTipAudio(false); })
            << QVariant(false) << Getter([](MyMemory* m) { return m->getConfigGrabTipAudio(); });
        QTest::newRow("uvc control") << "common/uvcControl"
            << Setter([](MyMemory* m) { m->setConfigUvcControl(false); }) << Setter([](MyMemory* m) { m->setConfigUvcControl(true); })
            << QVariant(true) << Getter([](MyMemory* m) { return m->getConfigUvcControl(); });
        QTest::newRow("record type") << "common/recordType"
            << Setter([](MyMemory* m) { m->setRecordType(MyMemory::RecordScreen); })
            << Setter([](MyMemory* m) { m->setRecordType(MyMemory::RecordSecondCamera); })
            << QVariant(2) << Getter([](MyMemory* m) { return int(m->getRecordType()); });
        QTest::newRow("prefix, case matters") << "common/screenRecordPrefix"
            << Setter([](MyMemory* m) { m->setScreenRecordPrefix("screen"); })
            << Setter([](MyMemory* m) { m->setScreenRecordPrefix("Screen"); })
            << QVariant("Screen") << Getter([](MyMemory* m) { return m->getScreenRecordPrefix(); });
    }
    void settersWriteOnlyChanges()
    {
        QFETCH(QString, key);
        QFETCH(Setter, setHeld);
        QFETCH(Setter, setOther);
        QFETCH(QVariant, other);
        QFETCH(Getter, get);
        MyMemory* memory = MyMemory::getInstance();
        const QByteArray before = readAll(MyMemory::configFileName());
        setHeld(memory);
        QCOMPARE(readAll(MyMemory::configFileName()), before);
        QVERIFY(!iniKeys().contains(key));

        setOther(memory);
        QCOMPARE(get(memory).toString(), other.toString());
        QCOMPARE(QSettings(MyMemory::configFileName(), QSettings::IniFormat).value(key).toString(), other.toString());

        // The written value is what a later start reads.
        MyMemory::releaseInstance();
        QCOMPARE(get(MyMemory::getInstance()).toString(), other.toString());
    }

    void savePathSetterHandsFolderToSdk()
    {
        MyMemory* memory = MyMemory::getInstance();
        m_link.calls.clear();
        memory->setConfigSavePath(memory->getConfigSavePath());
        QVERIFY(m_link.calls.isEmpty());
        memory->setConfigSavePath("/tmp/Elsewhere/");
        QCOMPARE(m_link.calls, (QStringList{"main:/tmp/Elsewhere/", "second:/tmp/Elsewhere/"}));
        QCOMPARE(QSettings(MyMemory::configFileName(), QSettings::IniFormat).value("common/save_path").toString(),
                 QStringLiteral("/tmp/Elsewhere/"));
    }

    void micVolumeWrittenOnChange()
    {
        MyMemory* memory = MyMemory::getInstance();
        const QByteArray before = readAll(MyMemory::configFileName());
        memory->setMicVolumn(100);
        QCOMPARE(readAll(MyMemory::configFileName()), before);
        memory->setMicVolumn(35);
        QCOMPARE(memory->getMicVolumn(), 35);
        QCOMPARE(QSettings(MyMemory::configFileName(), QSettings::IniFormat).value("common/micVolumn").toInt(), 35);
    }

    void colourTable_data()
    {
        QTest::addColumn<int>("color");
        QTest::addColumn<int>("transparent");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("none ignores alpha") << 0 << 5 << QColor(0, 0, 0, 0);
        QTest::newRow("black") << 1 << 5 << QColor(0, 0, 0, 255);
        QTest::newRow("white") << 2 << 4 << QColor(255, 255, 255, 216);
        QTest::newRow("red") << 3 << 3 << QColor(255, 0, 0, 166);
        QTest::newRow("blue") << 4 << 2 << QColor(0, 0, 255, 115);
        QTest::newRow("yellow") << 5 << 1 << QColor(255, 255, 0, 63);
        QTest::newRow("unknown colour is red") << 9 << 5 << QColor(255, 0, 0, 255);
        QTest::newRow("negative colour is red") << -1 << 5 << QColor(255, 0, 0, 255);
        QTest::newRow("transparency 0") << 3 << 0 << QColor(255, 0, 0, 12);
        QTest::newRow("transparency 6") << 1 << 6 << QColor(0, 0, 0, 12);
    }
    void colourTable()
    {
        QFETCH(int, color);
        QFETCH(int, transparent);
        QFETCH(QColor, expected);
        writeIni({{"common/drawColor", color}, {"common/fillColor", color}, {"common/transparent", transparent}});
        MyMemory* memory = MyMemory::getInstance();
        QCOMPARE(memory->getDrawColorByQt(), expected);
        QCOMPARE(memory->getFillColorByQt(), expected);
    }

    void widthAndAlphaTables_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("pen");
        QTest::addColumn<int>("eraser");
        QTest::addColumn<int>("alpha");
        QTest::newRow("0") << 0 << 2 << 10 << 12;
        QTest::newRow("1") << 1 << 4 << 16 << 63;
        QTest::newRow("2") << 2 << 6 << 30 << 115;
        QTest::newRow("3") << 3 << 10 << 48 << 166;
        QTest::newRow("4") << 4 << 20 << 60 << 216;
        QTest::newRow("5") << 5 << 30 << 80 << 255;
        QTest::newRow("6") << 6 << 2 << 10 << 12;
        QTest::newRow("-3") << -3 << 2 << 10 << 12;
    }
    void widthAndAlphaTables()
    {
        QFETCH(int, value);
        QFETCH(int, pen);
        QFETCH(int, eraser);
        QFETCH(int, alpha);
        writeIni({{"common/penWidth", value}, {"common/eraseWidth", value}, {"common/transparent", value}});
        MyMemory* memory = MyMemory::getInstance();
        QCOMPARE(memory->getPenWidthByInt(), pen);
        QCOMPARE(memory->getEraseWidthByInt(), eraser);
        QCOMPARE(memory->getTransparentByInt(), alpha);
    }

    void formatTables_data()
    {
        QTest::addColumn<int>("picture");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("video");
        QTest::addColumn<QString>("videoSuffix");
        QTest::newRow("jpg") << 0 << "jpg" << "mjpeg" << 0 << "mp4";
        QTest::newRow("bmp") << 1 << "bmp" << "bmp" << 1 << "mkv";
        QTest::newRow("png") << 2 << "png" << "png" << 2 << "mp4";
        QTest::newRow("tif") << 3 << "tif" << "tiff" << -1 << "mp4";
        QTest::newRow("gif") << 4 << "gif" << "gif" << 0 << "mp4";
        QTest::newRow("tga") << 5 << "tga" << "targa" << 0 << "mp4";
        QTest::newRow("beyond the table") << 6 << "jpg" << "mjpeg" << 0 << "mp4";
        QTest::newRow("negative") << -2 << "jpg" << "mjpeg" << 0 << "mp4";
    }
    void formatTables()
    {
        QFETCH(int, picture);
        QFETCH(QString, suffix);
        QFETCH(QString, name);
        QFETCH(int, video);
        QFETCH(QString, videoSuffix);
        writeIni({{"common/picture_format", picture}, {"common/video_format", video}});
        MyMemory* memory = MyMemory::getInstance();
        QCOMPARE(memory->getConfigPictureFormatSuffix(), suffix);
        QCOMPARE(memory->getConfigPictureFormatName(), name);
        QCOMPARE(memory->getConfigVideoFormatSuffix(), videoSuffix);
    }

    void suffixToFormatName_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("expected");
        QTest::newRow("jpg") << "jpg" << "mjpeg";
        QTest::newRow("tif") << "tif" << "tiff";
        QTest::newRow("tga") << "tga" << "targa";
        QTest::newRow("upper case unchanged") << "JPG" << "JPG";
        QTest::newRow("unknown unchanged") << "webp" << "webp";
        QTest::newRow("empty") << "" << "";
    }
    void suffixToFormatName()
    {
        QFETCH(QString, suffix);
        QFETCH(QString, expected);
        QCOMPARE(MyMemory::convertPictureFormatSuffixToFormatName(suffix), expected);
    }

    void optionLists()
    {
        QCOMPARE(MyMemory::getPictureFormatOptionList(), (QStringList{"JPG", "BMP", "PNG"}));
        QCOMPARE(MyMemory::getVideoFormatOptionList(), (QStringList{"MP4", "MKV"}));
        QCOMPARE(MyMemory::getLanguageOptionList(), QStringList{"Chinese_Simplified"});
        const auto ocr = MyMemory::getTesseractLanguageOptionList();
        QCOMPARE(ocr.size(), 1);
        QCOMPARE(ocr[0].displayName, QStringLiteral("Chinese (Simplified)"));
        QCOMPARE(ocr[0].language, QStringLiteral("chi_sim"));
        QCOMPARE(ocr[0].oem, 1);
        writeIni({{"common/tesseractLanguage", 5}});
        QCOMPARE(MyMemory::getInstance()->getCurTesseractLanguageOption().language, QStringLiteral("chi_sim"));
    }

    void namesFromClock_data()
    {
        QTest::addColumn<int>("pictureFormat");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("video");
        QTest::newRow("png, screen") << 2 << "screen" << "2024_03_05/20240305_140709.png"
                                     << "2024_03_05/screen_2024_03_05_140709.mp4";
        QTest::newRow("jpg, lesson") << 0 << "lesson" << "2024_03_05/20240305_140709.jpg"
                                     << "2024_03_05/lesson_2024_03_05_140709.mp4";
        QTest::newRow("bmp ignores video format") << 1 << "x" << "2024_03_05/20240305_140709.bmp"
                                                  << "2024_03_05/x_2024_03_05_140709.mp4";
    }
    void namesFromClock()
    {
        QFETCH(int, pictureFormat);
        QFETCH(QString, prefix);
        QFETCH(QString, picture);
        QFETCH(QString, video);
        MyMemory::setClock([] { return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)); });
        writeIni({{"common/picture_format", pictureFormat}, {"common/screenRecordPrefix", prefix},
                  {"common/video_format", 1}});
        MyMemory* memory = MyMemory::getInstance();
        const QString folder = memory->getConfigSavePath();
        QCOMPARE(MyMemory::getSavePath(), folder + "2024_03_05/");
        QVERIFY(QFileInfo(folder + "2024_03_05").isDir());
        QCOMPARE(MyMemory::getNextPictureName(), folder + picture);
        QCOMPARE(MyMemory::getNextVideoName(), folder + video);
        MyMemory::setClock({});
    }

    void namesInOneSecondNeverRepeat()
    {
        MyMemory::setClock([] { return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)); });
        writeIni({{"common/picture_format", 2}});
        const QString day = MyMemory::getInstance()->getConfigSavePath() + "2024_03_05/";
        QCOMPARE(MyMemory::getNextPictureName(), day + "20240305_140709.png");
        QCOMPARE(MyMemory::getNextPictureName(), day + "20240305_140709_1.png");
        QCOMPARE(MyMemory::getNextPictureName(), day + "20240305_140709_2.png");
        QCOMPARE(MyMemory::getNextVideoName(), day + "screen_2024_03_05_140709.mp4");
        QCOMPARE(MyMemory::getNextVideoName(), day + "screen_2024_03_05_140709_1.mp4");

        // The next second starts afresh; a file already on disk is never handed out again.
        MyMemory::setClock([] { return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 10)); });
        QFile existing(day + "20240305_140710.png");
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();
        QCOMPARE(MyMemory::getNextPictureName(), day + "20240305_140710_1.png");
        MyMemory::setClock({});
    }

    void nameWithAudioTwin()
    {
        MyMemory::setClock([] { return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)); });
        writeIni({{"common/video_format", 1}});
        const QString day = MyMemory::getInstance()->getConfigSavePath() + "2024_03_05/";
        QString video, audio;
        QCOMPARE(MyMemory::getNextVideoName1(video, audio), day + "record20240305140709.mkv");
        QCOMPARE(video, day + "record20240305140709v.mkv");
        QCOMPARE(audio, day + "record20240305140709a.wav");
        MyMemory::setClock({});
    }

    void replaceFileSuffix_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "/d/2024_03_05/20240305_140709.png" << "/d/2024_03_05/20240305_140709.jpg";
        QTest::newRow("dot in a folder") << "/home/u/my.docs/Orvane/20240305_140709.png"
                                         << "/home/u/my.docs/Orvane/20240305_140709.jpg";
        QTest::newRow("no suffix, dotted folder") << "/a.b/name" << "/a.b/name.jpg";
        QTest::newRow("two dots in the name") << "/a/x.tar.png" << "/a/x.tar.jpg";
        QTest::newRow("hidden file") << "/a/.png" << "/a/.png.jpg";
    }
    void replaceFileSuffix()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(MyMemory::replaceFileSuffix(path, "jpg"), expected);
    }

    void registries()
    {
        MyMemory* memory = MyMemory::getInstance();
        QCOMPARE(memory->getPtr("view"), nullptr);
        int a = 0, b = 0;
        memory->savePtr("view", &a);
        memory->savePtr("curGraphicsView", &b);
        QCOMPARE(memory->getPtr("view"), static_cast<void*>(&a));
        memory->savePtr("view", &b);
        QCOMPARE(memory->getPtr("view"), static_cast<void*>(&b));
        QCOMPARE(memory->getInt("count"), 0);
        memory->saveInt("count", 7);
        QCOMPARE(memory->getInt("count"), 7);
    }

    void captureMappingReturnsArgument()
    {
        MyMemory* memory = MyMemory::getInstance();
        QCOMPARE(memory->getCaptureX(333), 333);
        QCOMPARE(memory->getCaptureY(-5), -5);
        memory->setCaptureWidth(960);
        memory->setCaptureHeight(540);
        QCOMPARE(memory->getCaptureX(1000), 500);
        QCOMPARE(memory->getCaptureY(1000), 500);
    }

    void presenceOfCameraKeys()
    {
        writeIni({{"common/contrast", 3}, {"common/exposureAuto", 1}});
        MyMemory* memory = MyMemory::getInstance();
        memory->init();
        bool contrast = false, gain = true, exposureAuto = false, exposure = true;
        memory->getConfigContrast(contrast);
        memory->getConfigGain(gain);
        memory->getConfigExposureAuto(exposureAuto);
        memory->getConfigExposure(exposure);
        QVERIFY(contrast);
        QVERIFY(!gain);
        QVERIFY(exposureAuto);
        QVERIFY(!exposure);
    }

    void uiMetrics_data()
    {
        QTest::addColumn<int>("availableHeight");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<int>("toolbarWidth");
        QTest::addColumn<int>("wideToolbarWidth");
        QTest::addColumn<QSize>("wideButton");
        QTest::addColumn<QSize>("tip");
        QTest::addColumn<QSizeF>("combo");
        QTest::addColumn<QSizeF>("slider");
        QTest::addColumn<int>("buttonFont");
        QTest::addColumn<int>("appFont");
        // 1440x900 with panels: no scaling.
        QTest::newRow("900 at 96 dpi") << 860 << 96 << 50 << 140 << QSize(140, 32) << QSize(80, 50)
                                       << QSizeF(150, 30) << QSizeF(120, 20) << 15 << 10;
        QTest::newRow("1024 at 72 dpi") << 1024 << 72 << 50 << 140 << QSize(140, 32) << QSize(80, 50)
                                        << QSizeF(150, 30) << QSizeF(120, 20) << 15 << 16;
        // 1680x1050 and 1920x1080 without panels: scaled by H / 1024.
        QTest::newRow("1050 at 96 dpi") << 1050 << 96 << 51 << 143 << QSize(143, 32) << QSize(82, 51)
                                        << QSizeF(153, 30) << QSizeF(123, 20) << 15 << 12;
        QTest::newRow("1080 at 96 dpi") << 1080 << 96 << 52 << 147 << QSize(147, 33) << QSize(84, 52)
                                        << QSizeF(158, 31) << QSizeF(126, 21) << 15 << 12;
        QTest::newRow("2160 at 192 dpi") << 2160 << 192 << 105 << 295 << QSize(295, 67) << QSize(168, 105)
                                         << QSizeF(316, 63) << QSizeF(253, 42) << 15 << 12;
        QTest::newRow("2160 at 96 dpi") << 2160 << 96 << 105 << 295 << QSize(295, 67) << QSize(168, 105)
                                        << QSizeF(316, 63) << QSizeF(253, 42) << 31 << 25;
    }
    void uiMetrics()
    {
        QFETCH(int, availableHeight);
        QFETCH(int, dpi);
        QFETCH(int, toolbarWidth);
        QFETCH(int, wideToolbarWidth);
        QFETCH(QSize, wideButton);
        QFETCH(QSize, tip);
        QFETCH(QSizeF, combo);
        QFETCH(QSizeF, slider);
        QFETCH(int, buttonFont);
        QFETCH(int, appFont);
        ScreenGeometry::setOverride(QRect(0, 0, 1920, availableHeight + 40), QRect(0, 0, 1920, availableHeight), dpi);
        MyMemory* memory = MyMemory::getInstance();
        QCOMPARE(memory->toolbarWidth, toolbarWidth);
        QCOMPARE(memory->wideToolbarWidth, wideToolbarWidth);
        QCOMPARE(memory->toolbarHeight, toolbarWidth);   // 50 scaled the same way, no bottom margin here
        QCOMPARE(memory->bottomMargin, 0);
        QCOMPARE(memory->toolButtonSize, QSize(toolbarWidth, toolbarWidth));
        QCOMPARE(memory->bottomButtonSize, QSize(toolbarWidth, toolbarWidth));
        QCOMPARE(memory->wideButtonSize, wideButton);
        QCOMPARE(memory->tipSize, tip);
        QCOMPARE(memory->comboSize, combo);
        QCOMPARE(memory->sliderSize, slider);
        QCOMPARE(memory->buttonFontSize, buttonFont);
        QCOMPARE(memory->appFontPointSize, appFont);
        ScreenGeometry::setOverride(QRect(0, 0, 1920, 1080), QRect(0, 0, 1920, 1040), 96);
    }

    void startLogsScreenAndAttributes()
    {
        QTest::ignoreMessage(QtCriticalMsg,
                             QRegularExpression("^come here ----QApplication::desktop\\(\\)->availableGeometry: QRect\\(0,0 1920x1040\\)"));
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^come here ----QCoreApplication::testAttribute: (true|false),(true|false)$"));
        MyMemory::getInstance();
    }
};

QTEST_MAIN(TestMyMemory)
#include "tst_mymemory.moc"
