#include "paxdata.h"
#include "paxdatafixture.h"
#include "paxlib.h"

#include <QSignalSpy>
#include <QtTest>

using namespace paxtest;

namespace {
QString cam(int c) { return c == 0 ? QStringLiteral("Main") : QStringLiteral("Second"); }

struct Six {
    int quality, type, value, qp, preset, profile;
};

Six read(PaxData* d, int c)
{
    const auto i = _PaxCameraIndexE(c);
    return {d->getRecordQuality(i), d->getBitrateType(i), d->getBitrateValue(i), d->getQuantizationParameter(i),
            d->getPresetMode(i), d->getProfile(i)};
}

Six readFile(int c)
{
    const QMap<QString, QString> f = iniSnapshot();
    auto v = [&](const char* stem) { return f.value(QStringLiteral("common/") + stem + cam(c)).toInt(); };
    return {v("recordQuality"), v("bitrateType"), v("bitrateValue"), v("quantizationParameter"), v("preset"),
            v("profile")};
}

QString text(const Six& s)
{
    return QStringLiteral("q%1 t%2 v%3 qp%4 pr%5 pf%6")
        .arg(s.quality).arg(s.type).arg(s.value).arg(s.qp).arg(s.preset).arg(s.profile);
}

_PaxRecordInfoS info(int status)
{
    _PaxRecordInfoS r;
    r.status = status;
    r.fileName = QStringLiteral("x.mp4");
    r.seconds = 3;
    return r;
}
} // namespace

class TestPaxDataRecording : public QObject
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

    void bitrateTypeCoupling_data()
    {
        QTest::addColumn<int>("camera");
        QTest::addColumn<int>("valueBefore");
        QTest::addColumn<int>("qpBefore");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("qp");
        QTest::newRow("CQP drops the rate, keeps no level -> 23") << 0 << 3 << 3 << 4 << 6 << 1;
        QTest::newRow("CRF keeps a set level") << 1 << 2 << 2 << 3 << 6 << 2;
        QTest::newRow("CBR without a rate -> 8M") << 0 << 6 << 1 << 0 << 3 << 3;
        QTest::newRow("ABR keeps a set rate") << 1 << 5 << 0 << 2 << 5 << 3;
        QTest::newRow("VBR keeps a set rate") << 0 << 1 << 2 << 1 << 1 << 3;
        QTest::newRow("none only stored") << 0 << 4 << 2 << 5 << 4 << 2;
        QTest::newRow("negative only stored") << 1 << 4 << 2 << -3 << 4 << 2;
    }
    void bitrateTypeCoupling()
    {
        QFETCH(int, camera);
        QFETCH(int, valueBefore);
        QFETCH(int, qpBefore);
        QFETCH(int, type);
        PaxData* d = PaxData::getInstance();
        const auto c = _PaxCameraIndexE(camera);
        d->setBitrateValue(c, _PaxOBitrateValueE(valueBefore));
        d->setQuantizationParameter(c, _PaxOQuantizationParameterE(qpBefore));
        const Six other = read(d, 1 - camera);
        QSignalSpy spy(d, &PaxData::sigDataChange);
        d->setBitrateType(c, _PaxOBitrateTypeE(type));
        QCOMPARE(spy.count(), 0);
        QCOMPARE(int(d->getBitrateType(c)), type);
        QTEST(int(d->getBitrateValue(c)), "value");
        QTEST(int(d->getQuantizationParameter(c)), "qp");
        const Six file = readFile(camera);
        QCOMPARE(file.type, type);
        QTEST(file.value, "value");
        QTEST(file.qp, "qp");
        QCOMPARE(text(read(d, 1 - camera)), text(other));
    }

    void bitrateTypeSequence()
    {
        PaxData* d = PaxData::getInstance();
        d->setBitrateValue(PaxCameraIndexMain, PaxOBitrateValue8M);
        d->setQuantizationParameter(PaxCameraIndexMain, PaxOQuantizationParameterNone);
        d->setBitrateType(PaxCameraIndexMain, PaxOBitrateTypeCQP);
        QCOMPARE(d->getBitrateValue(PaxCameraIndexMain), PaxOBitrateValueNone);
        QCOMPARE(d->getQuantizationParameter(PaxCameraIndexMain), PaxOQuantizationParameter23);
        d->setBitrateType(PaxCameraIndexMain, PaxOBitrateTypeCBR);
        QCOMPARE(d->getQuantizationParameter(PaxCameraIndexMain), PaxOQuantizationParameterNone);
        QCOMPARE(d->getBitrateValue(PaxCameraIndexMain), PaxOBitrateValue8M);
    }

    void recordQualityCoupling_data()
    {
        QTest::addColumn<int>("camera");
        QTest::addColumn<int>("quality");
        QTest::addColumn<QString>("expected");
        // Before: quality custom with type 4, value 6, qp 2, preset 7, profile 3.
        QTest::newRow("second low") << 1 << 0 << "q0 t1 v1 qp1 pr0 pf2";
        QTest::newRow("main middle") << 0 << 1 << "q1 t1 v2 qp1 pr0 pf2";
        QTest::newRow("main high") << 0 << 2 << "q2 t1 v3 qp1 pr0 pf2";
        QTest::newRow("main custom keeps") << 0 << 3 << "q3 t4 v6 qp2 pr7 pf3";
        QTest::newRow("second none keeps") << 1 << 4 << "q4 t4 v6 qp2 pr7 pf3";
    }
    void recordQualityCoupling()
    {
        QFETCH(int, camera);
        QFETCH(int, quality);
        QFETCH(QString, expected);
        PaxData* d = PaxData::getInstance();
        const auto c = _PaxCameraIndexE(camera);
        d->setRecordQuality(c, PaxORecordQualityCustom);
        d->setBitrateType(c, PaxOBitrateTypeCQP);
        d->setQuantizationParameter(c, PaxOQuantizationParameter13);
        d->setPresetMode(c, PaxOPresetSlower);
        d->setProfile(c, PaxOProfileHigh);
        QCOMPARE(text(read(d, camera)), QStringLiteral("q3 t4 v6 qp2 pr7 pf3"));
        const QMap<QString, QString> before = iniSnapshot();
        d->setRecordQuality(c, _PaxORecordQualityE(quality));
        QCOMPARE(text(read(d, camera)), expected);
        QCOMPARE(text(readFile(camera)), expected);
        if (quality == 3) {
            QMap<QString, QString> after = iniSnapshot();
            QCOMPARE(after, before);
        }
        // A restart keeps them (custom) or sets them again from the quality.
        PaxData::releaseInstance();
        d = PaxData::getInstance();
        QCOMPARE(text(read(d, camera)), expected);
    }

    void otherIndexesAreIgnored_data()
    {
        QTest::addColumn<int>("index");
        QTest::newRow("screen") << 2;
        QTest::newRow("negative") << -1;
        QTest::newRow("large") << 7;
    }
    void otherIndexesAreIgnored()
    {
        QFETCH(int, index);
        PaxData* d = PaxData::getInstance();
        const auto i = _PaxCameraIndexE(index);
        const QByteArray before = rawIni();
        const QString main = text(read(d, 0)), second = text(read(d, 1));
        d->setBitrateValue(i, PaxOBitrateValue16M);
        d->setBitrateType(i, PaxOBitrateTypeCBR);
        d->setQuantizationParameter(i, PaxOQuantizationParameter51);
        d->setProfile(i, PaxOProfileHigh);
        d->setPresetMode(i, PaxOPresetSlow);
        d->setRecordQuality(i, PaxORecordQualityLow);
        d->setRecordSolutionIndex(i, 3);
        QCOMPARE(rawIni(), before);
        QCOMPARE(text(read(d, 0)), main);
        QCOMPARE(text(read(d, 1)), second);
        QCOMPARE(d->getBitrateValue(i), PaxOBitrateValueNone);
        QCOMPARE(d->getBitrateType(i), PaxOBitrateTypeNone);
        QCOMPARE(d->getQuantizationParameter(i), PaxOQuantizationParameterNone);
        QCOMPARE(d->getProfile(i), PaxOProfileNone);
        QCOMPARE(d->getPresetMode(i), PaxOPresetNone);
        QCOMPARE(d->getRecordQuality(i), PaxORecordQualityNone);
        QCOMPARE(d->getRecordSolutionIndex(i), -1);
    }

    void solutionIndexIsWrittenOnlyWhenSet()
    {
        PaxData* d = PaxData::getInstance();
        QVERIFY(!iniSnapshot().contains("common/recordSolutionIndexSecond"));
        d->setRecordSolutionIndex(PaxCameraIndexSecond, 2);
        QCOMPARE(iniSnapshot().value("common/recordSolutionIndexSecond"), QStringLiteral("2"));
        PaxData::releaseInstance();
        d = PaxData::getInstance();
        QCOMPARE(d->getRecordSolutionIndex(PaxCameraIndexSecond), 2);
        QCOMPARE(d->getRecordSolutionIndex(PaxCameraIndexMain), -1);
    }

    void audioSettingsWhileRecording_data()
    {
        QTest::addColumn<int>("mainStatus");
        QTest::addColumn<int>("secondStatus");
        QTest::addColumn<bool>("mainTaken");
        QTest::addColumn<bool>("secondTaken");
        QTest::newRow("both stopped") << 0 << 0 << true << true;
        QTest::newRow("main records") << 1 << 0 << false << true;
        QTest::newRow("main paused") << 2 << 0 << false << true;
        QTest::newRow("second records") << 0 << 1 << true << false;
        QTest::newRow("both paused") << 2 << 2 << false << false;
    }
    void audioSettingsWhileRecording()
    {
        QFETCH(int, mainStatus);
        QFETCH(int, secondStatus);
        QFETCH(bool, mainTaken);
        QFETCH(bool, secondTaken);
        PaxData* d = PaxData::getInstance();
        d->setRecordInfoMain(info(mainStatus));
        d->setRecordInfoSecond(info(secondStatus));
        d->setCurMicrophoneVolumnMain(50);
        d->setCurMicrophoneNameMain("Mic A");
        d->setbRecordAudioMain(true);
        d->setCurMicrophoneVolumnSecond(-7);
        d->setCurMicrophoneNameSecond("Mic B");
        d->setbRecordAudioSecond(true);
        QCOMPARE(d->getCurMicrophoneVolumnMain(), mainTaken ? 50 : 100);
        QCOMPARE(d->getCurMicrophoneNameMain(), mainTaken ? QString("Mic A") : QString());
        QCOMPARE(d->getbRecordAudioMain(), mainTaken);
        QCOMPARE(d->getCurMicrophoneVolumnSecond(), secondTaken ? -7 : 100);
        QCOMPARE(d->getCurMicrophoneNameSecond(), secondTaken ? QString("Mic B") : QString());
        QCOMPARE(d->getbRecordAudioSecond(), secondTaken);
        const QMap<QString, QString> f = iniSnapshot();
        QCOMPARE(f.value("common/curMicrophoneVolumnMain"), QString(mainTaken ? "50" : "100"));
        QCOMPARE(f.value("common/curMicrophoneNameSecond"), QString(secondTaken ? "Mic B" : ""));
        QCOMPARE(f.value("common/bRecordAudioSecond"), QString(secondTaken ? "true" : "false"));
    }

    void recordInfoNotifiesEveryCall()
    {
        PaxData* d = PaxData::getInstance();
        QSignalSpy spy(d, &PaxData::sigDataChange);
        d->setRecordInfoSecond(info(1));
        d->setRecordInfoSecond(info(1));
        d->setRecordInfoMain(info(2));
        QCOMPARE(spy.count(), 3);
        QCOMPARE(spy.at(0).at(0).value<_PaxDataChangeNotifyE>(), PaxNotifyRecordInfoSecond);
        QCOMPARE(spy.at(1).at(0).value<_PaxDataChangeNotifyE>(), PaxNotifyRecordInfoSecond);
        QCOMPARE(spy.at(2).at(0).value<_PaxDataChangeNotifyE>(), PaxNotifyRecordInfoMain);
        QCOMPARE(d->getRecordInfoSecond().fileName, QStringLiteral("x.mp4"));
        QCOMPARE(d->getRecordInfoSecond().seconds, 3);
        QCOMPARE(d->getRecordInfoMain().status, 2);
        PaxData::releaseInstance();
        d = PaxData::getInstance();
        QCOMPARE(d->getRecordInfoMain().status, 0);
    }

    void encoderList_data()
    {
        QTest::addColumn<QString>("storedMain");
        QTest::addColumn<QString>("storedSecond");
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<QString>("main");
        QTest::addColumn<QString>("second");
        QTest::newRow("main falls back") << "C" << "B" << QStringList{"A", "B"} << "A" << "B";
        QTest::newRow("both kept") << "B" << "A" << QStringList{"A", "B"} << "B" << "A";
        QTest::newRow("case differs") << "a" << "b" << QStringList{"A", "B"} << "A" << "A";
        QTest::newRow("empty list keeps both") << "C" << "D" << QStringList{} << "C" << "D";
        QTest::newRow("nothing stored") << "" << "" << QStringList{"x264"} << "x264" << "x264";
    }
    void encoderList()
    {
        QFETCH(QString, storedMain);
        QFETCH(QString, storedSecond);
        QFETCH(QStringList, list);
        PaxData::getInstance();
        PaxData::releaseInstance();
        if (!storedMain.isEmpty())
            editIni({{"common/curEncoderMain", storedMain}, {"common/curEncoderSecond", storedSecond}});
        PaxData* d = PaxData::getInstance();
        QCOMPARE(d->getEncoderMain(), storedMain);
        d->setEncoderList(list);
        QCOMPARE(d->getEncoderList(), list);
        QTEST(d->getEncoderMain(), "main");
        QTEST(d->getEncoderSecond(), "second");
        // The fallback is not written.
        QCOMPARE(iniSnapshot().value("common/curEncoderMain"), storedMain);
    }

    void encoderChoice_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("taken");
        QTest::newRow("in the list") << "libx264" << true;
        QTest::newRow("only case-insensitively") << "LIBX264" << false;
        QTest::newRow("not in the list") << "h264_videotoolbox" << false;
        QTest::newRow("the current one") << "mpeg4" << false;
    }
    void encoderChoice()
    {
        QFETCH(QString, name);
        QFETCH(bool, taken);
        PaxData* d = PaxData::getInstance();
        d->setEncoderMain("libx264");
        QCOMPARE(d->getEncoderMain(), QString()); // no list yet: nothing accepted
        d->setEncoderList({"mpeg4", "libx264"});
        QCOMPARE(d->getEncoderMain(), QStringLiteral("mpeg4"));
        const QByteArray before = rawIni();
        d->setEncoderMain(name);
        QCOMPARE(d->getEncoderMain(), taken ? name : QStringLiteral("mpeg4"));
        if (taken)
            QCOMPARE(iniSnapshot().value("common/curEncoderMain"), name);
        else
            QCOMPARE(rawIni(), before);
        QCOMPARE(d->getEncoderSecond(), QStringLiteral("mpeg4"));
    }

    void videoFolderMustExist_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("taken");
        QTest::newRow("missing") << "missing" << false;
        QTest::newRow("regular file") << "file" << false;
        QTest::newRow("folder") << "folder" << true;
    }
    void videoFolderMustExist()
    {
        QFETCH(QString, kind);
        QFETCH(bool, taken);
        PaxData* d = PaxData::getInstance();
        checkFolderSetting([d] { return d->getVideoMainSavePath(); },
                           [d](const QString& path) { d->setVideoMainSavePath(path); },
                           QStringLiteral("common/videoMainSavePath"), kind, QStringLiteral("videos"), taken);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(d->getVideoSecondSavePath(), sdkDir() + "secondvideo/");
    }

    void prefixesAreAlwaysTaken()
    {
        PaxData* d = PaxData::getInstance();
        d->setRecordInfoMain(info(1));
        d->setVideoMainPrefix("");
        d->setVideoSecondPrefix("cam2");
        QCOMPARE(d->getVideoMainPrefix(), QString());
        QCOMPARE(d->getVideoSecondPrefix(), QStringLiteral("cam2"));
        QCOMPARE(iniSnapshot().value("common/videoSecondPrefix"), QStringLiteral("cam2"));
    }
};

QTEST_GUILESS_MAIN(TestPaxDataRecording)
#include "tst_paxdata_recording.moc"
