#include "paxdata.h"
#include "logcapture.h"
#include "paxdatafixture.h"
#include "paxlib.h"

#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

using namespace paxtest;

namespace {
const QDateTime kNow(QDate(2024, 3, 5), QTime(9, 15, 2));
const QString kDay = QStringLiteral("2024_03_05");
const QString kStamp = QStringLiteral("2024_03_05_091502");

PaxData* store()
{
    PaxData* d = PaxData::getInstance();
    d->setClock([] { return kNow; });
    return d;
}

void grabOf(PaxData* d, int mode) { PAXTEST_TWIN(d, mode, grab); }
void setNameModeOf(PaxData* d, int mode, int nameMode)
{
    PAXTEST_TWIN(d, mode, setCurrentPicNameMode, _PaxPicNameModeE(nameMode));
}
void setIndexOf(PaxData* d, int mode, int index) { PAXTEST_TWIN(d, mode, setNextPicIndex, index); }
int indexOf(PaxData* d, int mode) { return PAXTEST_TWIN(d, mode, getNextPicIndex); }
void setFormatOf(PaxData* d, int mode, int format)
{
    PAXTEST_TWIN(d, mode, setCurrentPicSaveFormat, _PaxPicSaveFormatE(format));
}
void setPathOf(PaxData* d, int mode, const QString& path) { PAXTEST_TWIN(d, mode, setCurrentPicSavePath, path); }
void touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("picture");
}
} // namespace

class TestPaxDataNaming : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(!paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3")).isEmpty()); }
    void init()
    {
        freshStart();
        QDir(documents() + "mine").removeRecursively();
    }
    void cleanupTestCase() { PaxData::releaseInstance(); }

    void noRequestGivesNoName()
    {
        PaxData* d = store();
        const QByteArray before = rawIni();
        QSignalSpy spy(d, &PaxData::sigDataChange);
        PaxData::_IoctlTypeE type = PaxData::IoctlTypeZJ;
        QCOMPARE(d->getNextPicName(type), QString());
        QCOMPARE(int(type), int(PaxData::IoctlTypeZJ));
        QCOMPARE(rawIni(), before);
        QCOMPARE(spy.count(), 0);
    }

    void requestsCountOncePerFrame()
    {
        PaxData* d = store();
        d->grabForCS();
        d->grabForCS();
        PaxData::_IoctlTypeE type = PaxData::IoctlTypeCommon;
        QVERIFY(!d->getNextPicName(type).isEmpty());
        QCOMPARE(int(type), int(PaxData::IoctlTypeCS));
        type = PaxData::IoctlTypeCommon;
        QCOMPARE(d->getNextPicName(type), QString());
        QCOMPARE(int(type), int(PaxData::IoctlTypeCommon));
    }

    void pictureNames_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("nameMode");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("folder"); // "" keeps the default folder (ending in "/")
        QTest::addColumn<QString>("expected"); // relative to the folder as stored
        QTest::addColumn<int>("indexAfter");
        QTest::newRow("common number keeps two slashes") << 0 << 1 << 7 << 1 << "" << "/7.png" << 8;
        QTest::newRow("common number, folder without slash") << 0 << 1 << 3 << 0 << "mine/pics" << "/3.jpg" << 4;
        QTest::newRow("common number, folder with slash") << 0 << 1 << 3 << 0 << "mine/pics/" << "/3.jpg" << 4;
        QTest::newRow("BW number in a day folder") << 1 << 1 << 0 << 0 << "" << kDay + "/0.jpg" << 1;
        QTest::newRow("TM negative number") << 4 << 1 << -2 << 2 << "" << kDay + "/-2.bmp" << -1;
        QTest::newRow("CS time stamp") << 2 << 0 << 5 << 3 << "" << kDay + "/" + kStamp + ".tif" << 5;
        QTest::newRow("common time stamp") << 0 << 0 << 0 << 4 << "" << kDay + "/" + kStamp + ".pdf" << 0;
        QTest::newRow("ZJ time stamp, folder without slash") << 3 << 0 << 0 << 1 << "mine/pics" << "/" + kDay + "/" + kStamp + ".png" << 0;
        QTest::newRow("unknown format ends in a dot") << 1 << 0 << 0 << 9 << "" << kDay + "/" + kStamp + "." << 0;
    }
    void pictureNames()
    {
        QFETCH(int, mode);
        QFETCH(int, nameMode);
        QFETCH(int, index);
        QFETCH(int, format);
        QFETCH(QString, folder);
        QFETCH(QString, expected);
        QFETCH(int, indexAfter);
        PaxData* d = store();
        if (!folder.isEmpty()) {
            QDir().mkpath(documents() + folder);
            setPathOf(d, mode, documents() + folder);
        }
        setNameModeOf(d, mode, nameMode);
        setIndexOf(d, mode, index);
        setFormatOf(d, mode, format);
        const QString base = folder.isEmpty() ? sdkDir() + kSections[mode] + "/" : documents() + folder;
        QSignalSpy spy(d, &PaxData::sigDataChange);
        grabOf(d, mode);
        PaxData::_IoctlTypeE type = PaxData::IoctlTypeCommon;
        const QString name = d->getNextPicName(type);
        QCOMPARE(int(type), mode);
        QCOMPARE(name, base + expected);
        QVERIFY(QFileInfo(QFileInfo(name).path()).isDir());
        QCOMPARE(indexOf(d, mode), indexAfter);
        QCOMPARE(iniSnapshot().value(kSections[mode] + "/nextPicIndex").toInt(), indexAfter);
        QCOMPARE(spy.count(), nameMode == 1 ? 1 : 0);
        if (nameMode == 1)
            QCOMPARE(spy.at(0).at(0).value<_PaxDataChangeNotifyE>(), PaxNotifyNextPicName);
    }

    void unknownNameModeConsumesTheRequest()
    {
        PaxData* d = store();
        setNameModeOf(d, 2, 5);
        d->grabForCS();
        PaxData::_IoctlTypeE type = PaxData::IoctlTypeCommon;
        QCOMPARE(d->getNextPicName(type), QString());
        QCOMPARE(int(type), 2);
        QCOMPARE(d->getNextPicName(type), QString());
    }

    void twoPendingModes()
    {
        PaxData* d = store();
        d->setCurrentPicNameMode(PaxPicNameModeIndex);
        d->setNextPicIndex(3);
        d->grab();
        d->grabForTM();
        PaxData::_IoctlTypeE type = PaxData::IoctlTypeCommon;
        QCOMPARE(d->getNextPicName(type), sdkDir() + "TM/" + kDay + "/" + kStamp + ".jpg");
        QCOMPARE(int(type), 4);
        QCOMPARE(d->getNextPicIndex(), 4);
        QCOMPARE(iniSnapshot().value("common/nextPicIndex"), QStringLiteral("4"));
        QCOMPARE(d->getNextPicName(type), QString());
    }

    void oneShotNameIsUsedOnce()
    {
        PaxData* d = store();
        d->setCurrentPicNameModeForBW(PaxPicNameModeIndex);
        d->setTmpPicName("/somewhere/mine.png");
        PaxData::_IoctlTypeE type = PaxData::IoctlTypeCommon;
        QCOMPARE(d->getNextPicName(type), QString()); // no grab: the name stays
        d->grabForBW();
        QCOMPARE(d->getNextPicName(type), QStringLiteral("/somewhere/mine.png"));
        QCOMPARE(int(type), 1);
        QCOMPARE(d->getNextPicIndexForBW(), 0);
        d->grabForBW();
        QCOMPARE(d->getNextPicName(type), sdkDir() + "BW/" + kDay + "/0.jpg");
    }

    void sameSecondNeverOverwrites_data()
    {
        QTest::addColumn<bool>("saveFirst");
        QTest::addColumn<bool>("restartBetween");
        QTest::newRow("first not saved yet") << false << false;
        QTest::newRow("first saved") << true << false;
        QTest::newRow("first saved before a restart") << true << true;
    }
    void sameSecondNeverOverwrites()
    {
        QFETCH(bool, saveFirst);
        QFETCH(bool, restartBetween);
        PaxData* d = store();
        PaxData::_IoctlTypeE type = PaxData::IoctlTypeCommon;
        d->grabForZJ();
        const QString first = d->getNextPicName(type);
        QCOMPARE(first, sdkDir() + "ZJ/" + kDay + "/" + kStamp + ".jpg");
        if (saveFirst)
            touch(first);
        if (restartBetween) {
            PaxData::releaseInstance();
            d = store();
        }
        d->grabForZJ();
        const QString second = d->getNextPicName(type);
        QCOMPARE(second, sdkDir() + "ZJ/" + kDay + "/" + kStamp + "_1.jpg");
        touch(second);
        d->grabForZJ();
        QCOMPARE(d->getNextPicName(type), sdkDir() + "ZJ/" + kDay + "/" + kStamp + "_2.jpg");
    }

    void numberedNameOnDiskIsNotOverwritten()
    {
        PaxData* d = store();
        d->setCurrentPicNameModeForCS(PaxPicNameModeIndex);
        touch(sdkDir() + "CS/" + kDay + "/0.jpg");
        d->grabForCS();
        PaxData::_IoctlTypeE type = PaxData::IoctlTypeCommon;
        QCOMPARE(d->getNextPicName(type), sdkDir() + "CS/" + kDay + "/0_1.jpg");
        QCOMPARE(d->getNextPicIndexForCS(), 1);
    }

    void videoNames_data()
    {
        QTest::addColumn<int>("camera");
        QTest::addColumn<QString>("expected");
        QTest::newRow("main") << 0 << sdkDir() + "mainvideo/" + kDay + "/main_" + kStamp + ".mp4";
        QTest::newRow("second") << 1 << sdkDir() + "secondvideo/" + kDay + "/second_" + kStamp + ".mp4";
        QTest::newRow("screen") << 2 << QString();
        QTest::newRow("negative") << -1 << QString();
    }
    void videoNames()
    {
        QFETCH(int, camera);
        QFETCH(QString, expected);
        PaxData* d = store();
        const QString name = d->getNextVideoName(_PaxCameraIndexE(camera));
        QCOMPARE(name, expected);
        if (!expected.isEmpty()) {
            QVERIFY(QFileInfo(QFileInfo(name).path()).isDir());
            touch(name);
            QCOMPARE(d->getNextVideoName(_PaxCameraIndexE(camera)), expected.chopped(4) + "_1.mp4");
        }
    }

    void videoNameWithOwnFolderAndPrefix()
    {
        PaxData* d = store();
        QDir().mkpath(documents() + "mine/videos");
        d->setVideoSecondSavePath(documents() + "mine/videos");
        d->setVideoSecondPrefix("lesson");
        QCOMPARE(d->getNextVideoName(PaxCameraIndexSecond),
                 documents() + "mine/videos/" + kDay + "/lesson_" + kStamp + ".mp4");
    }

    void videoNamePrefixWithFolderSeparator_data()
    {
        QTest::addColumn<int>("camera");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("used");
        QTest::newRow("parent folders") << 1 << "../../escaped" << "second";
        QTest::newRow("absolute path") << 1 << "/tmp/escaped" << "second";
        QTest::newRow("inner folder") << 0 << "a/b" << "main";
    }

    void videoNamePrefixWithFolderSeparator()
    {
        QFETCH(int, camera);
        QFETCH(QString, prefix);
        QFETCH(QString, used);
        PaxData* d = store();
        QDir().mkpath(documents() + "mine/videos");
        if (camera == 0) {
            d->setVideoMainSavePath(documents() + "mine/videos");
            d->setVideoMainPrefix(prefix);
        } else {
            d->setVideoSecondSavePath(documents() + "mine/videos");
            d->setVideoSecondPrefix(prefix);
        }
        QCOMPARE(d->getNextVideoName(_PaxCameraIndexE(camera)),
                 documents() + "mine/videos/" + kDay + "/" + used + "_" + kStamp + ".mp4");
    }

    void todayFolders()
    {
        PaxData* d = store();
        const QString bw = d->getCurrentPicSaveTodayPathForBW();
        QCOMPARE(bw, sdkDir() + "BW/" + kDay);
        QVERIFY(QFileInfo(bw).isDir());
        QCOMPARE(d->getCurrentPicSaveTodayPathForTM(), sdkDir() + "TM/" + kDay);
        QVERIFY(QFileInfo(sdkDir() + "TM/" + kDay).isDir());
    }

    void formatExtensions_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("ext");
        QTest::newRow("jpeg") << 0 << "jpg";
        QTest::newRow("png") << 1 << "png";
        QTest::newRow("bmp") << 2 << "bmp";
        QTest::newRow("tiff") << 3 << "tif";
        QTest::newRow("pdf") << 4 << "pdf";
        QTest::newRow("5") << 5 << "";
        QTest::newRow("negative") << -1 << "";
    }
    void formatExtensions()
    {
        QFETCH(int, format);
        PaxData* d = store();
        d->setCurrentPicSaveFormatForZJ(_PaxPicSaveFormatE(format));
        QTEST(d->getCurrentPicSaveFormatSForZJ(), "ext");
        QCOMPARE(d->getCurrentPicSaveFormatS(), QStringLiteral("jpg"));
    }

    void captureFiresOnce()
    {
        PaxData* d = store();
        QVERIFY(!d->isCapture());
        d->capture();
        QVERIFY(d->isCapture());
        QVERIFY(!d->isCapture());
    }

    // A running number read from the file names one picture and moves on without ever turning
    // into a negative name; a number beyond the integer range is taken as missing.
    void storedIndexNearTheLimit_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("next");
        for (int mode : {0, 3}) {
            QTest::addRow("largest, mode %d", mode) << mode << "2147483647" << "2147483647" << 0;
            QTest::addRow("one below largest, mode %d", mode) << mode << "2147483646" << "2147483646" << 2147483647;
            QTest::addRow("one past largest, mode %d", mode) << mode << "2147483648" << "0" << 1;
            QTest::addRow("far past largest, mode %d", mode) << mode << "99999999999999" << "0" << 1;
            QTest::addRow("below smallest, mode %d", mode) << mode << "-2147483649" << "0" << 1;
            QTest::addRow("negative, mode %d", mode) << mode << "-2" << "-2" << -1;
        }
    }
    void storedIndexNearTheLimit()
    {
        QFETCH(int, mode);
        QFETCH(QString, stored);
        QFETCH(QString, name);
        QFETCH(int, next);
        store();
        PaxData::releaseInstance();
        editIni({{kSections.at(mode) + "/nextPicIndex", stored}, {kSections.at(mode) + "/picNameMode", 1}});
        PaxData* d = store();
        grabOf(d, mode);
        PaxData::_IoctlTypeE type = PaxData::IoctlTypeCommon;
        const QString path = d->getNextPicName(type);
        QCOMPARE(QFileInfo(path).completeBaseName(), name);
        QCOMPARE(indexOf(d, mode), next);
        QCOMPARE(iniSnapshot().value(kSections.at(mode) + "/nextPicIndex"), QString::number(next));
    }

    // A receiver connected directly to the notification emitted under the store's lock calls
    // back into the store: the calls are logged and refused, nothing waits for itself.
    void directReceiverOfNextPicNameIsRefused()
    {
        PaxData* d = store();
        d->setCurrentPicNameModeForBW(PaxPicNameModeIndex);
        d->setNextPicIndexForBW(7);
        int seen = -1;
        connect(
            d, &PaxData::sigDataChange, d,
            [d, &seen](_PaxDataChangeNotifyE what) {
                if (what != PaxNotifyNextPicName)
                    return;
                seen = d->getNextPicIndexForBW();
                d->setNextPicIndexForBW(100);
                d->grabForCS();
            },
            Qt::DirectConnection);
        LogCapture log(LogCapture::KeepOnly);
        grabOf(d, 1);
        std::promise<QString> named;
        std::future<QString> result = named.get_future();
        std::thread worker([d, &named] {
            PaxData::_IoctlTypeE type = PaxData::IoctlTypeCommon;
            named.set_value(d->getNextPicName(type));
        });
        if (result.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            // The worker cannot be joined: end the run (the log capture would swallow qFatal).
            std::fputs("FAIL: getNextPicName waits for itself when a receiver calls back into the store\n", stderr);
            std::abort();
        }
        worker.join();
        QCOMPARE(LogCapture::countContaining("re-entered while locked: call refused"), 3);
        QCOMPARE(QFileInfo(result.get()).fileName(), QStringLiteral("7.jpg"));
        QCOMPARE(seen, 0); // refused: the value-initialised answer
        QCOMPARE(d->getNextPicIndexForBW(), 8);
        QCOMPARE(iniSnapshot().value("BW/nextPicIndex"), QStringLiteral("8"));
        PaxData::_IoctlTypeE type = PaxData::IoctlTypeCommon;
        QVERIFY(d->getNextPicName(type).isEmpty()); // the grab asked for inside was refused too
        disconnect(d, &PaxData::sigDataChange, d, nullptr);
    }

    void nameModeAndIndexArePersisted()
    {
        PaxData* d = store();
        d->setCurrentPicNameModeForTM(PaxPicNameModeIndex);
        d->setNextPicIndexForTM(-5);
        QCOMPARE(iniSnapshot().value("TM/picNameMode"), QStringLiteral("1"));
        QCOMPARE(iniSnapshot().value("TM/nextPicIndex"), QStringLiteral("-5"));
        PaxData::releaseInstance();
        d = store();
        QCOMPARE(d->getCurrentPicNameModeForTM(), PaxPicNameModeIndex);
        QCOMPARE(d->getNextPicIndexForTM(), -5);
        QCOMPARE(d->getNextPicIndex(), 0);
    }

    void deleteVoidDirTidiesOnlyDayFolders()
    {
        PaxData* d = store();
        // A user folder tree above a picture folder of CS, outside the save root.
        QDir().mkpath(documents() + "mine/empty_sibling");
        QDir().mkpath(documents() + "mine/pics/2024_01_01");
        d->setCurrentPicSavePathForCS(documents() + "mine/pics");
        // BW: only an empty day folder -> the BW folder (below the save root) goes too.
        QDir().mkpath(sdkDir() + "BW/2024_01_02");
        // ZJ: an empty day folder beside one with a picture and one with a hidden file.
        QDir().mkpath(sdkDir() + "ZJ/2024_01_03");
        touch(sdkDir() + "ZJ/2024_01_04/a.jpg");
        touch(sdkDir() + "ZJ/2024_01_05/.hidden");
        QDir().mkpath(sdkDir() + "ZJ/keep_me");
        // TM: empty and never held a day folder -> stays.
        // common is never tidied.
        QDir().mkpath(sdkDir() + "common/2024_01_06");

        d->deleteVoidDir();

        QVERIFY(!QFileInfo::exists(documents() + "mine/pics/2024_01_01"));
        QVERIFY(QFileInfo(documents() + "mine/pics").isDir());
        QVERIFY(QFileInfo(documents() + "mine/empty_sibling").isDir());
        QVERIFY(QFileInfo(documents() + "mine").isDir());
        QVERIFY(!QFileInfo::exists(sdkDir() + "BW/2024_01_02"));
        QVERIFY(!QFileInfo::exists(sdkDir() + "BW"));
        QVERIFY(!QFileInfo::exists(sdkDir() + "ZJ/2024_01_03"));
        QVERIFY(QFileInfo::exists(sdkDir() + "ZJ/2024_01_04/a.jpg"));
        QVERIFY(QFileInfo::exists(sdkDir() + "ZJ/2024_01_05/.hidden"));
        QVERIFY(QFileInfo(sdkDir() + "ZJ/keep_me").isDir());
        QVERIFY(QFileInfo(sdkDir() + "TM").isDir());
        QVERIFY(QFileInfo(sdkDir() + "common/2024_01_06").isDir());
        QVERIFY(QFileInfo(sdkDir()).isDir());
        QVERIFY(QFileInfo(saveRoot()).isDir());
        QVERIFY(QFileInfo(documents()).isDir());

        // The next grab of BW makes its folder again.
        d->grabForBW();
        PaxData::_IoctlTypeE type = PaxData::IoctlTypeCommon;
        const QString name = d->getNextPicName(type);
        QVERIFY(QFileInfo(QFileInfo(name).path()).isDir());
    }

    void deleteVoidDirKeepsTheSaveRoot()
    {
        PaxData* d = store();
        // A picture folder that is the save root itself, holding only an empty day folder.
        for (const QString& e : QDir(saveRoot()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
            QVERIFY(e == "pax_sdk");
        d->setCurrentPicSavePathForTM(saveRoot());
        QDir().mkpath(saveRoot() + "2024_02_02");
        d->deleteVoidDir();
        QVERIFY(!QFileInfo::exists(saveRoot() + "2024_02_02"));
        QVERIFY(QFileInfo(saveRoot()).isDir());
    }
};

QTEST_GUILESS_MAIN(TestPaxDataNaming)
#include "tst_paxdata_naming.moc"
