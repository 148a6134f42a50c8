#include "paxmacos.h"
#include "paxplatform.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestPaxMacos : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_bin;
    QByteArray m_path;

    // A system_profiler on PATH that prints `output` and counts its runs.
    void installProfiler(const QByteArray& output)
    {
        QFile script(m_bin.filePath(QStringLiteral("system_profiler")));
        QVERIFY(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
        script.write("#!/bin/sh\necho run >> \"" + QFile::encodeName(m_bin.filePath(QStringLiteral("runs"))) + "\"\n");
        script.write("cat <<'END'\n" + output + "\nEND\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::remove(m_bin.filePath(QStringLiteral("runs")));
        pax_resetMacosVersionCache();
    }
    int runs()
    {
        QFile f(m_bin.filePath(QStringLiteral("runs")));
        if (!f.open(QIODevice::ReadOnly))
            return 0;
        return f.readAll().count('\n');
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_bin.isValid());
        m_path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(m_bin.path()) + ":" + m_path);
    }
    void cleanupTestCase()
    {
        qputenv("PATH", m_path);
        pax_resetMacosVersionCache();
    }

    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("major");
        QTest::newRow("macOS 13") << "      System Version: macOS 13.0 (22A380)" << 13;
        QTest::newRow("macOS 12") << "System Version: macOS 12.6 (21G115)" << 12;
        QTest::newRow("Mac OS X 10") << "System Version: Mac OS X 10.11.6 (15G31)" << 10;
        QTest::newRow("macOS 11") << "System Version: macOS 11.7 (20G817)" << 11;
        QTest::newRow("no version line") << "Kernel Version: Darwin 22.1.0" << -1;
        QTest::newRow("no dotted piece") << "System Version: macOS" << -1;
        QTest::newRow("not a number") << "System Version: abc.def" << 0;
        QTest::newRow("later line wins") << "System Version: macOS 11.7\nSystem Version: macOS 14.1" << 14;
        QTest::newRow("empty") << "" << -1;
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(int, major);
        QCOMPARE(pax_parseMacosMajor(text), major);
    }

    void probe_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<bool>("ge12");
        QTest::addColumn<bool>("ge14");
        QTest::newRow("13.0") << QByteArray("Software:\n      System Version: macOS 13.0 (22A380)\n") << true << false;
        QTest::newRow("11.7") << QByteArray("      System Version: macOS 11.7 (20G817)") << false << false;
        QTest::newRow("14.2") << QByteArray("      System Version: macOS 14.2 (23C64)") << true << true;
        QTest::newRow("no version line") << QByteArray("Software:\n  Boot Volume: Macintosh HD") << false << false;
    }
    // The program runs once per process, whether or not it printed a version.
    void probe()
    {
        QFETCH(QByteArray, output);
        QFETCH(bool, ge12);
        QFETCH(bool, ge14);
        installProfiler(output);
        QCOMPARE(isAvailableMacos13(), ge12);
        QCOMPARE(isGEMacos(14), ge14);
        QCOMPARE(isGEMacos(12), ge12);
        QCOMPARE(runs(), 1);
    }

    void environmentVersionWithoutProgram_data()
    {
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<bool>("ge12");
        QTest::newRow("default") << QByteArray() << true;
        QTest::newRow("11.0") << QByteArray("11.0") << false;
        QTest::newRow("12.1") << QByteArray("12.1") << true;
    }
    void environmentVersionWithoutProgram()
    {
        QFETCH(QByteArray, version);
        QFETCH(bool, ge12);
        qputenv("PATH", m_path);
        if (version.isEmpty())
            qunsetenv("ORVANE_PLATFORM_VERSION");
        else
            qputenv("ORVANE_PLATFORM_VERSION", version);
        pax_resetMacosVersionCache();
        const bool result = isAvailableMacos13();
        qunsetenv("ORVANE_PLATFORM_VERSION");
        qputenv("PATH", QFile::encodeName(m_bin.path()) + ":" + m_path);
        QCOMPARE(result, ge12);
    }

    void cachedAcrossThreads()
    {
        installProfiler("System Version: macOS 12.6 (21G115)");
        QList<QThread*> threads;
        QAtomicInt trues;
        for (int i = 0; i < 8; ++i) {
            threads << QThread::create([&trues] {
                if (isAvailableMacos13())
                    trues.ref();
            });
            threads.last()->start();
        }
        for (QThread* t : threads) {
            t->wait();
            delete t;
        }
        QCOMPARE(trues.loadRelaxed(), 8);
        QVERIFY(runs() >= 1);
        const int afterThreads = runs();
        QVERIFY(isAvailableMacos13());
        QCOMPARE(runs(), afterThreads);
    }

    void cpuBrand_data()
    {
        QTest::addColumn<QByteArray>("cpuinfo");
        QTest::addColumn<QString>("brand");
        QTest::newRow("x86") << QByteArray("processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Xeon(R) CPU @ 2.20GHz\nflags\t: fpu\n")
                             << "Intel(R) Xeon(R) CPU @ 2.20GHz";
        QTest::newRow("first of several") << QByteArray("model name : A\nmodel name : B\n") << "A";
        QTest::newRow("colon in value") << QByteArray("model name\t: X: Y\n") << "X: Y";
        QTest::newRow("none") << QByteArray("processor : 0\nBogoMIPS : 50\n") << QString();
        QTest::newRow("empty") << QByteArray() << QString();
    }
    void cpuBrand()
    {
        QFETCH(QByteArray, cpuinfo);
        QFETCH(QString, brand);
        QCOMPARE(pax_platform::cpuBrandFromCpuinfo(cpuinfo), brand);
    }

    void micPermissionWithVirtualMicrophone()
    {
        qputenv("ORVANE_VIRTUAL_CAMERA", "1");
        QCOMPARE(getMicPrivacyStatus(), 0);
        qunsetenv("ORVANE_VIRTUAL_CAMERA");
    }

    void screenPermissionFollowsDisplay()
    {
        const QByteArray display = qgetenv("DISPLAY");
        qputenv("DISPLAY", ":77");
        QCOMPARE(getRecordDesktopPrivacyStatus(), 0);
        qunsetenv("DISPLAY");
        QCOMPARE(getRecordDesktopPrivacyStatus(), 1);
        if (!display.isEmpty())
            qputenv("DISPLAY", display);
    }
};

QTEST_GUILESS_MAIN(TestPaxMacos)
#include "tst_paxmacos.moc"
