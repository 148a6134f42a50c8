#include "paxdata.h"
#include "paxdatafixture.h"
#include "paxlib.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLockFile>
#include <QSignalSpy>
#include <QThread>

#include <atomic>
#include <thread>
#include <vector>
#include <QtTest>

#include <sys/stat.h>

using namespace paxtest;

Q_DECLARE_METATYPE(QList<int>)

namespace {
QList<int> notifications(const QSignalSpy& spy)
{
    QList<int> out;
    for (const QList<QVariant>& args : spy)
        out << args.at(0).value<_PaxDataChangeNotifyE>();
    return out;
}

// The twin of each mode, called by mode number.
void setRectifyOf(PaxData* d, int mode, bool on) { PAXTEST_TWIN(d, mode, setRectify, on); }
bool getRectifyOf(PaxData* d, int mode) { return PAXTEST_TWIN(d, mode, getRectify); }
void setAutoTrimOf(PaxData* d, int mode, bool on) { PAXTEST_TWIN(d, mode, setAutoTrim, on); }
void setManuTrimOf(PaxData* d, int mode, bool on) { PAXTEST_TWIN(d, mode, setManuTrim, on); }
bool getAutoTrimOf(PaxData* d, int mode) { return PAXTEST_TWIN(d, mode, getAutoTrim); }
bool getManuTrimOf(PaxData* d, int mode) { return PAXTEST_TWIN(d, mode, getManuTrim); }
void setPressRatioOf(PaxData* d, int mode, int v) { PAXTEST_TWIN(d, mode, setCurrentPicPressRatio, v); }
int getPressRatioOf(PaxData* d, int mode) { return PAXTEST_TWIN(d, mode, getCurrentPicPressRatio); }
void setColorModeOf(PaxData* d, int mode, _PaxColorModeE v) { PAXTEST_TWIN(d, mode, setCurrentColorMode, v); }
_PaxColorModeE getColorModeOf(PaxData* d, int mode) { return PAXTEST_TWIN(d, mode, getCurrentColorMode); }
void setTextLogoInfoOf(PaxData* d, int mode, const QString& t, unsigned char a, int x, int y, int s, int w,
                       const QString& c)
{
    PAXTEST_TWIN(d, mode, setTextLogoInfo, t, a, x, y, s, w, c);
}
QString getLogoTextOf(PaxData* d, int mode)
{
    QString t, c;
    unsigned char a = 0;
    int x = 0, y = 0, s = 0, w = 0;
    PAXTEST_TWIN(d, mode, getTextLogoInfo, t, a, x, y, s, w, c);
    return QStringLiteral("%1|%2|%3|%4|%5|%6|%7").arg(t).arg(a).arg(x).arg(y).arg(s).arg(w).arg(c);
}

// The whole first-start file, written out independently of the store's own tables.
QMap<QString, QString> expectedFirstStart()
{
    QMap<QString, QString> m;
    for (const QString& s : kSections) {
        const QString p = s + QLatin1Char('/');
        m[p + "picLogoEnable"] = "false";
        m[p + "logoFile"] = "";
        m[p + "logoAlpha"] = "255";
        m[p + "logoX"] = "50";
        m[p + "logoY"] = "200";
        m[p + "textLogoEnable"] = "false";
        m[p + "logoText"] = "";
        m[p + "textLogoAlpha"] = "255";
        m[p + "textLogoColor"] = "#FF0000";
        m[p + "textLogoX"] = "50";
        m[p + "textLogoY"] = "200";
        m[p + "textSize"] = "100";
        m[p + "textWeight"] = "10";
        m[p + "picSaveFormat"] = "0";
        m[p + "picNameMode"] = "0";
        m[p + "picPressRatio"] = "100";
        m[p + "nextPicIndex"] = "0";
        m[p + "picSavePath"] = sdkDir() + s + "/";
        m[p + "bRectify"] = "false";
        m[p + "bAutoTrim"] = "false";
        m[p + "bManuTrim"] = "false";
        m[p + "bAutoDoc"] = "false";
        m[p + "bIntelligentGrab"] = "false";
        m[p + "colorMode"] = s == "BW" ? "1" : "0";
    }
    m["common/initAngle"] = "0";
    m["common/videoMainSavePath"] = sdkDir() + "mainvideo/";
    m["common/videoSecondSavePath"] = sdkDir() + "secondvideo/";
    m["common/videoMainPrefix"] = "main";
    m["common/videoSecondPrefix"] = "second";
    for (const QString cam : {"Main", "Second"}) {
        m["common/curMicrophoneName" + cam] = "";
        m["common/curMicrophoneVolumn" + cam] = "100";
        m["common/bRecordAudio" + cam] = "false";
        m["common/bitrateValue" + cam] = "2";
        m["common/quantizationParameter" + cam] = "1";
        m["common/bitrateType" + cam] = "1";
        m["common/profile" + cam] = "2";
        m["common/preset" + cam] = "0";
        m["common/recordQuality" + cam] = "1";
    }
    return m;
}
} // namespace

class TestPaxData : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qRegisterMetaType<_PaxDataChangeNotifyE>();
        QVERIFY(!paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3")).isEmpty());
    }
    void init() { freshStart(); }
    void cleanupTestCase() { PaxData::releaseInstance(); }

    void firstStartWritesEveryDefault()
    {
        PaxData* d = PaxData::getInstance();
        QVERIFY(d);
        QVERIFY(QFileInfo::exists(iniPath()));
        QMap<QString, QString> file = iniSnapshot();
        QMap<QString, QString> expected = expectedFirstStart();
        QCOMPARE(file.value("common/initAngle").toDouble(), 0.0);
        file["common/initAngle"] = "0";
        QCOMPARE(file.keys(), expected.keys());
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QVERIFY2(file.value(it.key()) == it.value(), qPrintable(it.key() + " = " + file.value(it.key())));
        for (const char* absent : {"common/curEncoderMain", "common/curEncoderSecond",
                                   "common/recordSolutionIndexMain", "common/recordSolutionIndexSecond"})
            QVERIFY(!file.contains(absent));
        for (const QString& s : kSections)
            QVERIFY(QFileInfo(sdkDir() + s).isDir());
        QVERIFY(QFileInfo(sdkDir() + "mainvideo").isDir());
        QVERIFY(QFileInfo(sdkDir() + "secondvideo").isDir());
    }

    void firstStartValuesInMemory()
    {
        PaxData* d = PaxData::getInstance();
        QString file;
        unsigned char alpha = 0;
        int x = 0, y = 0;
        d->getPicLogoInfo(file, alpha, x, y);
        QCOMPARE(file, QString());
        QCOMPARE(int(alpha), 255);
        QCOMPARE(x, 50);
        QCOMPARE(y, 200);
        QCOMPARE(d->getCurrentColorModeForBW(), PaxColorModeGray);
        for (int mode : {0, 2, 3, 4})
            QCOMPARE(getColorModeOf(d, mode), PaxColorModeColor);
        for (int cam = 0; cam < 2; ++cam) {
            const auto c = _PaxCameraIndexE(cam);
            QCOMPARE(d->getRecordQuality(c), PaxORecordQualityMiddle);
            QCOMPARE(d->getBitrateValue(c), PaxOBitrateValue4M);
            QCOMPARE(d->getBitrateType(c), PaxOBitrateTypeVBR);
            QCOMPARE(d->getQuantizationParameter(c), PaxOQuantizationParameter23);
            QCOMPARE(d->getPresetMode(c), PaxOPresetUltrafast);
            QCOMPARE(d->getProfile(c), PaxOProfileMain);
            QCOMPARE(d->getRecordSolutionIndex(c), -1);
        }
        QCOMPARE(d->getEncoderMain(), QString());
        QCOMPARE(d->getCurMicrophoneVolumnSecond(), 100);
        QCOMPARE(d->getVideoMainPrefix(), QStringLiteral("main"));
        QCOMPARE(d->getCurCameraStatus(), QStringLiteral("-1"));
        QCOMPARE(d->getOtherCameraStatus(), QStringLiteral("-1"));
        QCOMPARE(d->getCameraWid(PaxCameraIndexMain), ~0ULL);
        QCOMPARE(d->getCameraWid(PaxCameraIndexSecond), ~0ULL);
        QCOMPARE(d->getFramePerSecond(), -1);
        QVERIFY(!d->getbInitComplete());
        QCOMPARE(d->getCurrentWorkMode(), PaxWorkModeCommon);
        QCOMPARE(d->getCurrentCameraIndex(), PaxCameraIndexMain);
        QVERIFY(d->getPhotoAutoTrim());
        QCOMPARE(d->getRecordInfoMain().status, 0);
        QCOMPARE(d->getRecordInfoSecond().status, 0);
    }

    void missingKeyIsWrittenBackAlone_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("restored");
        QTest::newRow("BW logoX") << "BW/logoX" << "50";
        QTest::newRow("TM colorMode") << "TM/colorMode" << "0";
        QTest::newRow("BW colorMode") << "BW/colorMode" << "1";
        QTest::newRow("common picPressRatio") << "common/picPressRatio" << "100";
        QTest::newRow("ZJ textWeight") << "ZJ/textWeight" << "10";
        QTest::newRow("common videoSecondPrefix") << "common/videoSecondPrefix" << "second";
    }
    void missingKeyIsWrittenBackAlone()
    {
        QFETCH(QString, key);
        QFETCH(QString, restored);
        PaxData::getInstance();
        PaxData::releaseInstance();
        const QString section = key.section('/', 0, 0);
        // Values of the same group that differ from the defaults must survive.
        editIni({{section + "/logoAlpha", 77}, {section + "/logoY", 9}, {section + "/textSize", 33},
                 {"CS/picPressRatio", 55}},
                {key});
        const QMap<QString, QString> before = iniSnapshot();
        QVERIFY(!before.contains(key));

        PaxData::getInstance();
        QMap<QString, QString> after = iniSnapshot();
        QCOMPARE(after.value(key), restored);
        after.remove(key);
        QCOMPARE(after, before);
    }

    void damagedValueTakesDefault_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("inFile");
        QTest::newRow("text for a format") << "common/picSaveFormat" << "abc" << "0";
        QTest::newRow("format 42") << "CS/picSaveFormat" << "42" << "0";
        QTest::newRow("colour mode 42") << "ZJ/colorMode" << "42" << "0";
        QTest::newRow("BW colour mode -1") << "BW/colorMode" << "-1" << "1";
        QTest::newRow("name mode 42") << "TM/picNameMode" << "42" << "0";
        QTest::newRow("quality 5") << "common/picPressRatio" << "5" << "100";
        QTest::newRow("quality 101") << "BW/picPressRatio" << "101" << "100";
        QTest::newRow("flag not a flag") << "TM/bRectify" << "maybe" << "false";
        QTest::newRow("index not a number") << "CS/nextPicIndex" << "12abc" << "0";
        QTest::newRow("volume not a number") << "common/curMicrophoneVolumnMain" << "loud" << "100";
        QTest::newRow("preset 42") << "common/presetSecond" << "42" << "0";
        QTest::newRow("record quality 42") << "common/recordQualityMain" << "42" << "1";
        QTest::newRow("rate type 42") << "common/bitrateTypeSecond" << "42" << "1";
    }
    void damagedValueTakesDefault()
    {
        QFETCH(QString, key);
        QFETCH(QString, raw);
        QFETCH(QString, inFile);
        PaxData::getInstance();
        PaxData::releaseInstance();
        editIni({{key, raw}});
        QCOMPARE(iniSnapshot().value(key), raw);
        PaxData* d = PaxData::getInstance();
        QCOMPARE(iniSnapshot().value(key), inFile);
        if (key == "common/picSaveFormat")
            QCOMPARE(int(d->getCurrentPicSaveFormat()), 0);
        if (key == "ZJ/colorMode")
            QCOMPARE(d->getCurrentColorModeForZJ(), PaxColorModeColor);
        if (key == "BW/colorMode")
            QCOMPARE(d->getCurrentColorModeForBW(), PaxColorModeGray);
        if (key == "TM/picNameMode")
            QCOMPARE(d->getCurrentPicNameModeForTM(), PaxPicNameModeTime);
        if (key == "common/picPressRatio")
            QCOMPARE(d->getCurrentPicPressRatio(), 100);
        if (key == "TM/bRectify")
            QVERIFY(!d->getRectifyForTM());
        if (key == "common/recordQualityMain") {
            QCOMPARE(d->getRecordQuality(PaxCameraIndexMain), PaxORecordQualityMiddle);
            QCOMPARE(d->getBitrateValue(PaxCameraIndexMain), PaxOBitrateValue4M);
        }
    }

    void logoAlphaIsTakenModulo256()
    {
        PaxData::getInstance();
        PaxData::releaseInstance();
        editIni({{"common/logoAlpha", 300}, {"TM/textLogoAlpha", 256 + 7}});
        PaxData* d = PaxData::getInstance();
        QString f;
        unsigned char a = 0;
        int x, y;
        d->getPicLogoInfo(f, a, x, y);
        QCOMPARE(int(a), 44);
        QString t, c;
        int s, w;
        d->getTextLogoInfoForTM(t, a, x, y, s, w, c);
        QCOMPARE(int(a), 7);
    }

    void recordQualityDecidesAtStart_data()
    {
        QTest::addColumn<int>("quality");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("qp");
        QTest::addColumn<int>("expType");
        QTest::addColumn<int>("expValue");
        QTest::addColumn<int>("expQp");
        QTest::addColumn<int>("expPreset");
        QTest::addColumn<int>("expProfile");
        // quality, stored type/value/qp (preset 7, profile 3 stored) -> after the start
        QTest::newRow("low") << 0 << 4 << 5 << 2 << 1 << 1 << 1 << 0 << 2;
        QTest::newRow("high overrides stored value") << 2 << 0 << 5 << 2 << 1 << 3 << 1 << 0 << 2;
        QTest::newRow("custom keeps, CQP drops the value") << 3 << 4 << 5 << 2 << 4 << 6 << 2 << 7 << 3;
        QTest::newRow("custom CQP without level gets 23") << 3 << 4 << 5 << 3 << 4 << 6 << 1 << 7 << 3;
        QTest::newRow("custom CBR drops the level") << 3 << 0 << 5 << 2 << 0 << 5 << 3 << 7 << 3;
        QTest::newRow("custom VBR without value gets 8M") << 3 << 1 << 6 << 2 << 1 << 3 << 3 << 7 << 3;
    }
    void recordQualityDecidesAtStart()
    {
        QFETCH(int, quality);
        QFETCH(int, type);
        QFETCH(int, value);
        QFETCH(int, qp);
        PaxData::getInstance();
        PaxData::releaseInstance();
        editIni({{"common/recordQualityMain", quality},
                 {"common/bitrateTypeMain", type},
                 {"common/bitrateValueMain", value},
                 {"common/quantizationParameterMain", qp},
                 {"common/presetMain", 7},
                 {"common/profileMain", 3}});
        PaxData* d = PaxData::getInstance();
        const auto m = PaxCameraIndexMain;
        QTEST(int(d->getBitrateType(m)), "expType");
        QTEST(int(d->getBitrateValue(m)), "expValue");
        QTEST(int(d->getQuantizationParameter(m)), "expQp");
        QTEST(int(d->getPresetMode(m)), "expPreset");
        QTEST(int(d->getProfile(m)), "expProfile");
        const QMap<QString, QString> file = iniSnapshot();
        QTEST(file.value("common/bitrateTypeMain").toInt(), "expType");
        QTEST(file.value("common/bitrateValueMain").toInt(), "expValue");
        QTEST(file.value("common/quantizationParameterMain").toInt(), "expQp");
        QTEST(file.value("common/presetMain").toInt(), "expPreset");
        // The second camera keeps its own defaults.
        QCOMPARE(d->getBitrateValue(PaxCameraIndexSecond), PaxOBitrateValue4M);
    }

    void emptyOrTruncatedFileIsRefilled_data()
    {
        QTest::addColumn<QByteArray>("cut");
        QTest::addColumn<bool>("setAside");
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("only a header") << QByteArray("[common]\n") << false;
        QTest::newRow("cut in a section header") << QByteArray("[common]\npicPressRatio=40\n[B") << true;
        QTest::newRow("cut in a value") << QByteArray("[common]\npicPressRatio=40\nbRectify=tr") << false;
        QTest::newRow("binary junk") << QByteArray("\x00\xff\xfe[[[==\n\x01", 11) << true;
    }
    void emptyOrTruncatedFileIsRefilled()
    {
        QFETCH(QByteArray, cut);
        QFETCH(bool, setAside);
        writeRawIni(cut);
        if (setAside)
            QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("is damaged"));
        PaxData* d = PaxData::getInstance();
        QCOMPARE(QFileInfo::exists(iniPath() + ".damaged"), setAside);
        if (setAside) {
            QFile kept(iniPath() + ".damaged");
            QVERIFY(kept.open(QIODevice::ReadOnly));
            QCOMPARE(kept.readAll(), cut);
        }
        const QMap<QString, QString> file = iniSnapshot();
        QMap<QString, QString> expected = expectedFirstStart();
        QCOMPARE(file.keys(), expected.keys());
        if (cut.contains("picPressRatio=40")) {
            QCOMPARE(d->getCurrentPicPressRatio(), 40);
            QCOMPARE(file.value("common/picPressRatio"), QStringLiteral("40"));
        } else {
            QCOMPARE(d->getCurrentPicPressRatio(), 100);
        }
        QVERIFY(!d->getRectify());
        QCOMPARE(file.value("BW/colorMode"), QStringLiteral("1"));
    }

    // A file QSettings cannot parse keeps what could still be read, the image controls the user
    // set included; a byte-order mark alone is no damage.
    void readableValuesSurviveAFile_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("tail");
        QTest::addColumn<bool>("setAside");
        const QByteArray body("[common]\npicPressRatio=40\nbrightness=150\nexposureAuto=false\nfocusAuto=true\n"
                              "[BW]\nbRectify=true\nlogoX=77\n");
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF") + body << QByteArray() << false;
        QTest::newRow("byte-order mark, CRLF lines")
            << QByteArray("\xEF\xBB\xBF") + QByteArray(body).replace("\n", "\r\n") << QByteArray() << false;
        QTest::newRow("cut in a section header") << body << QByteArray("[T") << true;
        QTest::newRow("byte-order mark and cut") << QByteArray("\xEF\xBB\xBF") + body << QByteArray("[Z") << true;
    }
    void readableValuesSurviveAFile()
    {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, tail);
        QFETCH(bool, setAside);
        writeRawIni(head + tail);
        if (setAside)
            QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("is damaged"));
        PaxData* d = PaxData::getInstance();
        QCOMPARE(QFileInfo::exists(iniPath() + ".damaged"), setAside);
        QCOMPARE(d->getCurrentPicPressRatio(), 40);
        QVERIFY(d->getRectifyForBW());
        QString file;
        unsigned char alpha = 0;
        int x = 0, y = 0;
        d->getPicLogoInfoForBW(file, alpha, x, y);
        QCOMPARE(x, 77);
        const QMap<QString, QString> ini = iniSnapshot();
        QCOMPARE(ini.value("common/picPressRatio"), QStringLiteral("40"));
        QCOMPARE(ini.value("BW/bRectify"), QStringLiteral("true"));
        QCOMPARE(ini.value("common/brightness"), QStringLiteral("150"));
        QCOMPARE(ini.value("common/exposureAuto"), QStringLiteral("false"));
        QCOMPARE(ini.value("common/focusAuto"), QStringLiteral("true"));
        // Everything else is filled in as on a first start.
        QMap<QString, QString> expected = expectedFirstStart();
        for (const char* key : {"common/brightness", "common/exposureAuto", "common/focusAuto"})
            expected[key] = ini.value(key);
        QCOMPARE(ini.keys(), expected.keys());
        QVERIFY(!rawIni().startsWith("\xEF\xBB\xBF"));
    }

    void everyDamagedFileIsKeptAside()
    {
        const QStringList names = {".damaged", ".damaged.1", ".damaged.2"};
        QList<QByteArray> contents;
        for (int round = 0; round < names.size(); ++round) {
            PaxData::releaseInstance();
            contents << QByteArray("[common]\npicPressRatio=") + QByteArray::number(20 + round) + "\n[B";
            writeRawIni(contents.last());
            QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("is damaged"));
            QCOMPARE(PaxData::getInstance()->getCurrentPicPressRatio(), 20 + round);
        }
        for (int round = 0; round < names.size(); ++round) {
            QFile kept(iniPath() + names.at(round));
            QVERIFY2(kept.open(QIODevice::ReadOnly), qPrintable(kept.fileName()));
            QCOMPARE(kept.readAll(), contents.at(round));
        }
        QVERIFY(!QFileInfo::exists(iniPath() + ".damaged.3"));
    }

    // A stored save folder that is empty, relative or a plain file is taken as missing: the
    // default folder is used and written back.
    void unusableSaveFolderTakesTheDefault_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("kept");
        const QStringList keys = {"common/picSavePath", "TM/picSavePath", "common/videoMainSavePath",
                                  "common/videoSecondSavePath"};
        for (const QString& key : keys) {
            QTest::addRow("%s empty", qPrintable(key)) << key << "empty" << false;
            QTest::addRow("%s relative", qPrintable(key)) << key << "relative" << false;
            QTest::addRow("%s dot", qPrintable(key)) << key << "dot" << false;
            QTest::addRow("%s plain file", qPrintable(key)) << key << "file" << false;
            QTest::addRow("%s folder", qPrintable(key)) << key << "folder/" << true;
            QTest::addRow("%s absent folder", qPrintable(key)) << key << "missing" << true;
        }
    }
    void unusableSaveFolderTakesTheDefault()
    {
        QFETCH(QString, key);
        QFETCH(QString, kind);
        QFETCH(bool, kept);
        PaxData::getInstance();
        PaxData::releaseInstance();
        const QString defaultPath = expectedFirstStart().value(key);
        QString stored = pathOfKind(kind, "stored");
        if (kind == "relative")
            stored = "pictures/here";
        else if (kind == "dot")
            stored = ".";
        editIni({{key, stored}});
        PaxData* d = PaxData::getInstance();
        QString inMemory;
        if (key == "common/videoMainSavePath")
            inMemory = d->getVideoMainSavePath();
        else if (key == "common/videoSecondSavePath")
            inMemory = d->getVideoSecondSavePath();
        else
            inMemory = key.startsWith("TM/") ? d->getCurrentPicSavePathForTM() : d->getCurrentPicSavePath();
        QCOMPARE(inMemory, kept ? stored : defaultPath);
        QCOMPARE(iniSnapshot().value(key), kept ? stored : defaultPath);
    }

    void relativeSaveFolderIsRefusedBySetters()
    {
        PaxData* d = PaxData::getInstance();
        const QString before = d->getCurrentPicSavePathForCS();
        const QString videoBefore = d->getVideoMainSavePath();
        // "." is a folder relative to the working directory.
        d->setCurrentPicSavePathForCS(".");
        d->setVideoMainSavePath(".");
        QCOMPARE(d->getCurrentPicSavePathForCS(), before);
        QCOMPARE(d->getVideoMainSavePath(), videoBefore);
        QCOMPARE(iniSnapshot().value("CS/picSavePath"), before);
    }

    // While one settings write is held up at the disk and a second writer waits for it, the
    // getters still answer: they never wait for the file.
    void gettersDoNotWaitForTheDisk()
    {
        PaxData* d = PaxData::getInstance();
        // QSettings takes this lock file for every write; holding it stops writes at the disk.
        QLockFile diskGate(iniPath() + ".lock");
        QVERIFY(diskGate.tryLock(0));
        std::atomic<int> writersDone{0};
        std::thread first([&] {
            d->setCurrentPicPressRatioForZJ(55);
            ++writersDone;
        });
        QThread::msleep(200);
        std::thread second([&] {
            d->setRectifyForCS(true);
            ++writersDone;
        });
        QThread::msleep(200);
        std::atomic<bool> answered{false};
        std::thread reader([&] {
            d->getRectify();
            d->getCurrentColorMode();
            d->getCurrentPicPressRatioForTM();
            answered = true;
        });
        QElapsedTimer waited;
        waited.start();
        while (!answered && waited.elapsed() < 60000)   // a held getter never answers: the ceiling
            QThread::msleep(5);
        const bool gettersAnswered = answered;
        const int writtenWhileHeld = writersDone;
        diskGate.unlock();
        reader.join();
        first.join();
        second.join();
        QVERIFY2(gettersAnswered, "a getter waited for a settings write held up at the disk");
        QCOMPARE(writtenWhileHeld, 0);
        // Both writes reached the file once the disk let them through.
        const QMap<QString, QString> ini = iniSnapshot();
        QCOMPARE(ini.value("ZJ/picPressRatio"), QStringLiteral("55"));
        QCOMPARE(ini.value("CS/bRectify"), QStringLiteral("true"));
    }

    // Writers racing on the same key leave the file with the value the store holds last.
    void racingWritersLeaveTheLastValueInTheFile()
    {
        PaxData* d = PaxData::getInstance();
        std::vector<std::thread> writers;
        for (int t = 0; t < 4; ++t) {
            writers.emplace_back([d, t] {
                for (int i = 0; i < 25; ++i)
                    d->setCurrentPicPressRatioForBW(10 + t * 25 + i);
            });
        }
        for (std::thread& w : writers)
            w.join();
        QCOMPARE(iniSnapshot().value("BW/picPressRatio").toInt(), d->getCurrentPicPressRatioForBW());
    }

    void unwritableConfigFolderKeepsValuesInMemory()
    {
        PaxData::getInstance();
        PaxData::releaseInstance();
        const QByteArray before = rawIni();
        QVERIFY(!before.isEmpty());
        NoFileOverride noOverride;
        if (!noOverride.ok())
            QSKIP("cannot drop the file-access override of this process");
        // Neither the settings folder nor a replacement beside it can be written.
        QVERIFY(::chmod(QFile::encodeName(sdkDir() + "config").constData(), 0555) == 0);
        QVERIFY(::chmod(QFile::encodeName(sdkDir()).constData(), 0555) == 0);
        QVERIFY(::chmod(QFile::encodeName(saveRoot()).constData(), 0555) == 0);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("cannot write settings file"));
        PaxData* d = PaxData::getInstance();
        d->setCurrentPicPressRatio(42);
        d->setRectifyForCS(true);
        QCOMPARE(d->getCurrentPicPressRatio(), 42);
        QVERIFY(d->getRectifyForCS());
        QCOMPARE(rawIni(), before);
        PaxData::releaseInstance();
        ::chmod(QFile::encodeName(saveRoot()).constData(), 0755);
        ::chmod(QFile::encodeName(sdkDir()).constData(), 0755);
        ::chmod(QFile::encodeName(sdkDir() + "config").constData(), 0755);
    }

    void releaseAndNewInstanceReloads()
    {
        PaxData* d = PaxData::getInstance();
        d->setCurrentPicPressRatioForZJ(66);
        d->setCurrentInitAngle(90);
        d->setTimeGrabForBW(true, 3);
        d->setPhotoAutoTrim(false);
        d->setCurCameraStatus("1");
        d->setFramePerSecond(25);
        d->setbInitComplete();
        PaxData::releaseInstance();
        QVERIFY(PaxData::ms_paxData == nullptr);
        editIni({{"TM/picPressRatio", 44}});
        d = PaxData::getInstance();
        QCOMPARE(d->getCurrentPicPressRatioForZJ(), 66);
        QCOMPARE(d->getCurrentPicPressRatioForTM(), 44);
        QCOMPARE(d->getCurrentInitAngle(), 0.0);
        int seconds = 0;
        QVERIFY(!d->getTimeGrabForBW(seconds));
        QCOMPARE(seconds, 10);
        QVERIFY(d->getPhotoAutoTrim());
        QCOMPARE(d->getCurCameraStatus(), QStringLiteral("-1"));
        QCOMPARE(d->getFramePerSecond(), -1);
        QVERIFY(!d->getbInitComplete());
    }

    void statusNotifications_data()
    {
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<int>("count");
        QTest::newRow("same current twice") << QStringList{"cur:1", "cur:1"} << 1;
        QTest::newRow("current then other") << QStringList{"cur:1", "other:1"} << 2;
        QTest::newRow("initial text again") << QStringList{"cur:-1", "other:-1"} << 0;
        QTest::newRow("case matters") << QStringList{"cur:a", "cur:A"} << 2;
    }
    void statusNotifications()
    {
        QFETCH(QStringList, calls);
        PaxData* d = PaxData::getInstance();
        QSignalSpy spy(d, &PaxData::sigDataChange);
        for (const QString& c : calls) {
            if (c.startsWith("cur:"))
                d->setCurCameraStatus(c.mid(4));
            else
                d->setOtherCameraStatus(c.mid(6));
        }
        QTEST(int(spy.count()), "count");
        for (int n : notifications(spy))
            QCOMPARE(n, int(PaxNotifyCameraStatus));
    }

    void cameraIndexAndStatus_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("other");
        QTest::newRow("main current") << 0 << 1;
        QTest::newRow("second current") << 1 << 0;
    }
    void cameraIndexAndStatus()
    {
        QFETCH(int, current);
        QFETCH(int, other);
        PaxData* d = PaxData::getInstance();
        QSignalSpy spy(d, &PaxData::sigDataChange);
        d->setCurrentCameraIndex(_PaxCameraIndexE(current));
        QCOMPARE(spy.count(), 0);
        QCOMPARE(int(d->getOtherCameraIndex()), other);
        d->setCurCameraStatus("1");
        d->setOtherCameraStatus("2");
        QCOMPARE(d->getCameraStatus(_PaxCameraIndexE(current)), QStringLiteral("1"));
        QCOMPARE(d->getCameraStatus(_PaxCameraIndexE(other)), QStringLiteral("2"));
        QCOMPARE(d->getCameraStatus(PaxCameraIndexScreen), QStringLiteral("2"));
    }

    void liveValuesAndTheirNotifications()
    {
        PaxData* d = PaxData::getInstance();
        QSignalSpy spy(d, &PaxData::sigDataChange);
        d->setCameraWid(PaxCameraIndexSecond, 0x1234);
        d->setFramePerSecond(15);
        d->cameraInfoUpdate();
        d->setbInitComplete();
        d->setbInitComplete();
        d->setFontFamily("Family");
        QCOMPARE(notifications(spy), (QList<int>{22, 23, 20}));
        QCOMPARE(d->getCameraWid(PaxCameraIndexSecond), 0x1234ULL);
        QCOMPARE(d->getCameraWid(PaxCameraIndexMain), ~0ULL);
        QCOMPARE(d->getFramePerSecond(), 15);
        QVERIFY(d->getbInitComplete());
        QCOMPARE(d->getFontFamily(), QStringLiteral("Family"));
        // Indexes other than the two cameras touch no slot.
        d->setCameraWid(PaxCameraIndexScreen, 5);
        QCOMPARE(d->getCameraWid(PaxCameraIndexScreen), ~0ULL);
        QCOMPARE(d->getCameraWid(PaxCameraIndexMain), ~0ULL);
    }

    void workModeAlwaysNotifiesAndResetsStep()
    {
        PaxData* d = PaxData::getInstance();
        d->setIntelligentGrabForCS(true, 1, true);
        QSignalSpy spy(d, &PaxData::sigDataChange);
        d->setCurrentWorkMode(PaxWorkModeCommon);
        QCOMPARE(notifications(spy), QList<int>{15});
        int step = -1;
        QVERIFY(d->getIntelligentGrabForCS(step));
        QCOMPARE(step, 0);
        d->setCurrentWorkMode(_PaxWorkModeE(9));
        QCOMPARE(int(d->getCurrentWorkMode()), 9);
        QCOMPARE(spy.count(), 2);
    }

    void queuedReceiverGetsTheValue()
    {
        PaxData* d = PaxData::getInstance();
        QList<int> got;
        QObject receiver;
        connect(d, &PaxData::sigDataChange, &receiver,
                [&got](_PaxDataChangeNotifyE what) { got << what; }, Qt::QueuedConnection);
        const int byName = QMetaType::type("PaxDataChangeNotifyE");
        QVERIFY(byName != QMetaType::UnknownType);
        d->setRectify(true);
        QVERIFY(got.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(got, QList<int>{1}, 60000);
    }

    void trimExclusion_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("autoBefore");
        QTest::addColumn<bool>("manuBefore");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QList<int>>("sent");
        QTest::addColumn<bool>("autoAfter");
        QTest::addColumn<bool>("manuAfter");
        QTest::newRow("manual on with auto on") << 0 << true << false << "manu on" << QList<int>{3, 4, 2} << false << true;
        QTest::newRow("auto on with manual on") << 2 << false << true << "auto on" << QList<int>{2, 3} << true << false;
        QTest::newRow("auto on, manual off") << 1 << false << false << "auto on" << QList<int>{2} << true << false;
        QTest::newRow("auto off with manual on") << 4 << true << true << "auto off" << QList<int>{2} << false << true;
        QTest::newRow("manual off with auto on") << 3 << true << true << "manu off" << QList<int>{3, 4} << true << false;
        QTest::newRow("manual on, auto off") << 3 << false << false << "manu on" << QList<int>{3, 4} << false << true;
    }
    void trimExclusion()
    {
        QFETCH(int, mode);
        QFETCH(bool, autoBefore);
        QFETCH(bool, manuBefore);
        QFETCH(QString, action);
        QFETCH(bool, autoAfter);
        QFETCH(bool, manuAfter);
        const QString s = kSections[mode];
        // Both on at once only comes from a file.
        editIni({{s + "/bAutoTrim", autoBefore}, {s + "/bManuTrim", manuBefore}});
        PaxData* d = PaxData::getInstance();
        QCOMPARE(getAutoTrimOf(d, mode), autoBefore);
        QCOMPARE(getManuTrimOf(d, mode), manuBefore);
        QSignalSpy spy(d, &PaxData::sigDataChange);
        if (action.startsWith("auto"))
            setAutoTrimOf(d, mode, action.endsWith("on"));
        else
            setManuTrimOf(d, mode, action.endsWith("on"));
        QTEST(notifications(spy), "sent");
        QCOMPARE(getAutoTrimOf(d, mode), autoAfter);
        QCOMPARE(getManuTrimOf(d, mode), manuAfter);
        // The file agrees with memory, so a restart keeps the exclusion.
        const QMap<QString, QString> file = iniSnapshot();
        QCOMPARE(file.value(s + "/bAutoTrim"), QString(autoAfter ? "true" : "false"));
        QCOMPARE(file.value(s + "/bManuTrim"), QString(manuAfter ? "true" : "false"));
        PaxData::releaseInstance();
        d = PaxData::getInstance();
        QCOMPARE(getAutoTrimOf(d, mode), autoAfter);
        QCOMPARE(getManuTrimOf(d, mode), manuAfter);
    }

    void manualTrimRectangle()
    {
        PaxData* d = PaxData::getInstance();
        QSignalSpy spy(d, &PaxData::sigDataChange);
        QRect r(1, 2, 3, 4);
        d->setManuTrimRect(QRect(5, 5, 5, 5));
        d->removeMenuTrimRect();
        QVERIFY(!d->getManuTrimRect(r));
        QCOMPARE(r, QRect(1, 2, 3, 4));
        QCOMPARE(spy.count(), 0);

        d->setManuTrim(true);
        spy.clear();
        d->removeMenuTrimRect();
        QCOMPARE(spy.count(), 0);
        d->setManuTrimRect(QRect(10, 20, -5, 0));
        QCOMPARE(notifications(spy), QList<int>{4});
        QVERIFY(d->getManuTrimRect(r));
        QCOMPARE(r, QRect(10, 20, -5, 0));
        // Twins keep rectangles of their own.
        d->setManuTrimForBW(true);
        d->setManuTrimRectForBW(QRect(0, 0, 9, 9));
        QVERIFY(d->getManuTrimRect(r));
        QCOMPARE(r, QRect(10, 20, -5, 0));
        QVERIFY(d->getManuTrimRectForBW(r));
        QCOMPARE(r, QRect(0, 0, 9, 9));

        // Automatic trim hides the rectangle; switching manual trim on again drops it.
        d->setAutoTrim(true);
        QVERIFY(!d->getManuTrimRect(r));
        spy.clear();
        d->removeMenuTrimRect();
        QCOMPARE(spy.count(), 0);
        d->setManuTrim(true);
        QVERIFY(!d->getManuTrimRect(r));
        d->setManuTrimRect(QRect(1, 1, 1, 1));
        spy.clear();
        d->removeMenuTrimRect();
        QCOMPARE(notifications(spy), QList<int>{4});
        QVERIFY(!d->getManuTrimRect(r));
    }

    void autoTrimRectangleFollowsCommonAutoTrim()
    {
        PaxData* d = PaxData::getInstance();
        QSignalSpy spy(d, &PaxData::sigDataChange);
        QRect r;
        d->setAutoTrimForBW(true);
        spy.clear();
        d->setAutoTrimRect(QRect(1, 2, 3, 4));
        QCOMPARE(spy.count(), 0);
        QVERIFY(!d->getAutoTrimRect(r));
        d->setAutoTrim(true);
        spy.clear();
        d->setAutoTrimRect(QRect(1, 2, 3, 4));
        QCOMPARE(notifications(spy), QList<int>{5});
        QVERIFY(d->getAutoTrimRect(r));
        QCOMPARE(r, QRect(1, 2, 3, 4));
        d->setAutoTrim(false);
        QVERIFY(!d->getAutoTrimRect(r));
    }

    void memoryOnlySwitches()
    {
        PaxData* d = PaxData::getInstance();
        const QByteArray before = rawIni();
        QSignalSpy spy(d, &PaxData::sigDataChange);
        d->setTimeGrabForZJ(true, 0);
        d->setPhotoAutoTrim(false);
        QString text = "old";
        d->setScanQrcode(true, "first", true);
        QVERIFY(d->getScanQrcode(text));
        QCOMPARE(text, QStringLiteral("first"));
        d->setScanQrcode(false, "second", false);
        QVERIFY(!d->getScanQrcode(text));
        QCOMPARE(text, QStringLiteral("first"));
        QCOMPARE(notifications(spy), (QList<int>{7, 2, 9}));
        int seconds = -1;
        QVERIFY(d->getTimeGrabForZJ(seconds));
        QCOMPARE(seconds, 0);
        QVERIFY(!d->getTimeGrab(seconds));
        QCOMPARE(seconds, 10);
        QVERIFY(!d->getPhotoAutoTrim());
        QCOMPARE(rawIni(), before);
    }

    void intelligentGrabStepIsShared()
    {
        PaxData* d = PaxData::getInstance();
        QSignalSpy spy(d, &PaxData::sigDataChange);
        d->setIntelligentGrabForCS(true, 1, false);
        d->setIntelligentGrab(false, 1, true);
        QCOMPARE(notifications(spy), QList<int>{8});
        for (int mode = 0; mode < 5; ++mode) {
            int step = 0;
            const bool on = PAXTEST_TWIN(d, mode, getIntelligentGrab, step);
            QCOMPARE(step, 1);
            QCOMPARE(on, mode == 2);
        }
        QCOMPARE(iniSnapshot().value("CS/bIntelligentGrab"), QStringLiteral("true"));
    }

    void twinsChangeOnlyTheirSection_data()
    {
        QTest::addColumn<int>("mode");
        for (int m = 0; m < 5; ++m)
            QTest::newRow(qPrintable(kSections[m])) << m;
    }
    void twinsChangeOnlyTheirSection()
    {
        QFETCH(int, mode);
        PaxData* d = PaxData::getInstance();
        const QMap<QString, QString> before = iniSnapshot();
        QSignalSpy spy(d, &PaxData::sigDataChange);
        setRectifyOf(d, mode, true);
        setPressRatioOf(d, mode, 70);
        setColorModeOf(d, mode, PaxColorModeBlackWhite);
        setTextLogoInfoOf(d, mode, "Hello, world", 128, 1, 2, 3, 4, "#00FF00");
        QCOMPARE(notifications(spy), (QList<int>{1, 12, 11}));
        const QMap<QString, QString> after = iniSnapshot();
        const QString s = kSections[mode];
        for (int other = 0; other < 5; ++other) {
            const bool mine = other == mode;
            QCOMPARE(getRectifyOf(d, other), mine);
            QCOMPARE(getPressRatioOf(d, other), mine ? 70 : 100);
            QCOMPARE(getColorModeOf(d, other),
                     mine ? PaxColorModeBlackWhite : (other == 1 ? PaxColorModeGray : PaxColorModeColor));
            QCOMPARE(getLogoTextOf(d, other),
                     mine ? QString("Hello, world|128|1|2|3|4|#00FF00") : QString("|255|50|200|100|10|#FF0000"));
            if (!mine)
                QCOMPARE(sectionOf(after, kSections[other]), sectionOf(before, kSections[other]));
        }
        QCOMPARE(after.value(s + "/bRectify"), QStringLiteral("true"));
        QCOMPARE(after.value(s + "/picPressRatio"), QStringLiteral("70"));
        QCOMPARE(after.value(s + "/colorMode"), QStringLiteral("2"));
        QCOMPARE(after.value(s + "/logoText"), QStringLiteral("Hello, world"));
        QCOMPARE(after.value(s + "/textLogoAlpha"), QStringLiteral("128"));
        QCOMPARE(after.value(s + "/textLogoColor"), QStringLiteral("#00FF00"));
        // A restart reads the twins back into their own profiles.
        PaxData::releaseInstance();
        d = PaxData::getInstance();
        QCOMPARE(getLogoTextOf(d, mode), QString("Hello, world|128|1|2|3|4|#00FF00"));
        QCOMPARE(getPressRatioOf(d, mode), 70);
    }

    void pressRatioRange_data()
    {
        QTest::addColumn<int>("ratio");
        QTest::addColumn<bool>("taken");
        QTest::newRow("9") << 9 << false;
        QTest::newRow("10") << 10 << true;
        QTest::newRow("100") << 100 << true;
        QTest::newRow("101") << 101 << false;
        QTest::newRow("negative") << -50 << false;
    }
    void pressRatioRange()
    {
        QFETCH(int, ratio);
        QFETCH(bool, taken);
        PaxData* d = PaxData::getInstance();
        d->setCurrentPicPressRatioForTM(80);
        QSignalSpy spy(d, &PaxData::sigDataChange);
        d->setCurrentPicPressRatioForTM(ratio);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(d->getCurrentPicPressRatioForTM(), taken ? ratio : 80);
        QCOMPARE(iniSnapshot().value("TM/picPressRatio").toInt(), taken ? ratio : 80);
        QCOMPARE(d->getCurrentPicPressRatio(), 100);
    }

    void picSavePathTakesOnlyAFolder_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("taken");
        QTest::newRow("missing folder") << "missing" << false;
        QTest::newRow("regular file") << "file" << false;
        QTest::newRow("empty text") << "empty" << false;
        QTest::newRow("existing folder") << "folder" << true;
        QTest::newRow("existing folder with slash") << "folder/" << true;
    }
    void picSavePathTakesOnlyAFolder()
    {
        QFETCH(QString, kind);
        QFETCH(bool, taken);
        PaxData* d = PaxData::getInstance();
        QSignalSpy spy(d, &PaxData::sigDataChange);
        checkFolderSetting([d] { return d->getCurrentPicSavePathForCS(); },
                           [d](const QString& path) { d->setCurrentPicSavePathForCS(path); },
                           QStringLiteral("CS/picSavePath"), kind, QStringLiteral("pictures"), taken);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(spy.count(), 0);
    }

    void formatAndLogoWrites()
    {
        PaxData* d = PaxData::getInstance();
        QSignalSpy spy(d, &PaxData::sigDataChange);
        d->setCurrentPicSaveFormatForZJ(_PaxPicSaveFormatE(7));
        QCOMPARE(int(d->getCurrentPicSaveFormatForZJ()), 7);
        QCOMPARE(iniSnapshot().value("ZJ/picSaveFormat"), QStringLiteral("7"));
        d->setPicLogoEnableForCS(true);
        editIni({{"CS/picLogoEnable", false}});
        d->setPicLogoInfoForCS("/no/such/logo.png", 128, 10, 20);
        QCOMPARE(notifications(spy), (QList<int>{13, 10, 10}));
        const QMap<QString, QString> file = iniSnapshot();
        QCOMPARE(file.value("CS/picLogoEnable"), QStringLiteral("true"));
        QCOMPARE(file.value("CS/logoFile"), QStringLiteral("/no/such/logo.png"));
        QCOMPARE(file.value("CS/logoAlpha"), QStringLiteral("128"));
        QCOMPARE(file.value("CS/logoX"), QStringLiteral("10"));
        QCOMPARE(file.value("CS/logoY"), QStringLiteral("20"));
        QVERIFY(d->getPicLogoEnableForCS());
        QVERIFY(!d->getPicLogoEnable());
        d->setTextLogoEnableForTM(true);
        QCOMPARE(iniSnapshot().value("TM/textLogoEnable"), QStringLiteral("true"));
        QVERIFY(d->getTextLogoEnableForTM());
    }

    void perFrameGettersNeverTouchTheFile()
    {
        PaxData* d = PaxData::getInstance();
        // Every file access works the settings folder out afresh and creates it when missing.
        QVERIFY(QDir(sdkDir() + "config").removeRecursively());
        QRect rect;
        int value = 0;
        QString text;
        unsigned char alpha = 0;
        int x = 0, y = 0, s = 0, w = 0;
        PaxData::_IoctlTypeE type = PaxData::IoctlTypeTM;
        d->getCurrentColorModeForCS();
        d->getCurrentPicSaveFormatForZJ();
        d->getCurrentPicPressRatio();
        d->getCurrentPicSavePathForTM();
        d->getRectify();
        d->getAutoTrimForBW();
        d->getManuTrim();
        d->getManuTrimRect(rect);
        d->getAutoDoc();
        d->getTimeGrab(value);
        d->getIntelligentGrab(value);
        d->getPicLogoInfoForBW(text, alpha, x, y);
        d->getTextLogoInfo(text, alpha, x, y, s, w, text);
        d->getCurrentInitAngle();
        d->isCapture();
        QCOMPARE(d->getNextPicName(type), QString());
        QCOMPARE(int(type), int(PaxData::IoctlTypeTM));
        d->getBitrateValue(PaxCameraIndexMain);
        d->getRecordInfoMain();
        QVERIFY(!QFileInfo::exists(sdkDir() + "config"));
        d->setRectify(true);
        QVERIFY(QFileInfo::exists(iniPath()));
    }

    void concurrentSettersLeaveFileAndMemoryAgreeing()
    {
        PaxData* d = PaxData::getInstance();
        std::atomic<bool> stop{false};
        std::atomic<long> reads{0};
        auto writer = [d](int first) {
            for (int i = 0; i < 60; ++i) {
                d->setCurrentPicPressRatioForCS(first + 2 * (i % 40));
                d->setRectifyForZJ(((first + i) & 1) != 0);
                d->setNextPicIndexForTM(first * 1000 + i);
            }
        };
        QThread* a = QThread::create(writer, 11);
        QThread* b = QThread::create(writer, 12);
        QThread* reader = QThread::create([d, &stop, &reads] {
            QRect rect;
            while (!stop.load()) {
                d->getCurrentPicPressRatioForCS();
                d->getManuTrimRect(rect);
                d->getRectifyForZJ();
                reads.fetch_add(1);
            }
        });
        reader->start();
        a->start();
        b->start();
        QVERIFY(a->wait(60000));
        QVERIFY(b->wait(60000));
        stop = true;
        QVERIFY(reader->wait(10000));
        delete a;
        delete b;
        delete reader;
        QVERIFY(reads.load() > 0);
        const QMap<QString, QString> file = iniSnapshot();
        QCOMPARE(file.value("CS/picPressRatio").toInt(), d->getCurrentPicPressRatioForCS());
        QCOMPARE(file.value("ZJ/bRectify"), QString(d->getRectifyForZJ() ? "true" : "false"));
        QCOMPARE(file.value("TM/nextPicIndex").toInt(), d->getNextPicIndexForTM());
        PaxData::releaseInstance();
        d = PaxData::getInstance();
        QCOMPARE(file.value("TM/nextPicIndex").toInt(), d->getNextPicIndexForTM());
    }

    void initAngleIsMemoryOnly()
    {
        PaxData* d = PaxData::getInstance();
        PaxData::releaseInstance();
        editIni({{"common/initAngle", 12.5}});
        d = PaxData::getInstance();
        QCOMPARE(d->getCurrentInitAngle(), 12.5);
        QSignalSpy spy(d, &PaxData::sigDataChange);
        d->setCurrentInitAngle(90);
        QCOMPARE(notifications(spy), QList<int>{0});
        QCOMPARE(d->getCurrentInitAngle(), 90.0);
        PaxData::releaseInstance();
        d = PaxData::getInstance();
        QCOMPARE(d->getCurrentInitAngle(), 12.5);
    }
};

QTEST_GUILESS_MAIN(TestPaxData)
#include "tst_paxdata.moc"
