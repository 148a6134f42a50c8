// scripts/run.sh as a terminal runs it, in a tree of its own: the install and build steps and the
// two programs are stand-ins. The programs end with a chosen status on SIGINT or SIGTERM, or
// Orvane ends by itself; Ctrl+C reaches the script's whole process group, as a terminal sends it.
#include "eventwait.h"
#include "processoutput.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {
bool writeScript(const QString& path, const QByteArray& text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return false;
    file.close();
    return file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
}

// Both stand-ins install their handlers before they say they are ready. The launcher, started in
// the background, also leaves a file that Orvane waits for when it ends by itself.
const char kLauncher[] = R"(#!/usr/bin/perl
$| = 1;
$SIG{INT} = $SIG{TERM} = sub { print "launcher ended\n"; exit 0 };
open(my $ready, '>', "$ENV{STUB_DIR}/launcher-ready") or die; close($ready);
print "launcher ready\n";
sleep 1 while 1;
)";
const char kOrvane[] = R"(#!/usr/bin/perl
$| = 1;
$SIG{INT} = $SIG{TERM} = sub { exit $ENV{STUB_STATUS} };
print "orvane ready\n";
if ($ENV{STUB_SELF_END}) {
    select(undef, undef, undef, 0.05) until -e "$ENV{STUB_DIR}/launcher-ready";
    exit $ENV{STUB_STATUS};
}
sleep 1 while 1;
)";
} // namespace

class TestRunScript : public QObject
{
    Q_OBJECT
private slots:
    void exitStatus_data()
    {
        QTest::addColumn<bool>("interrupt");
        QTest::addColumn<int>("orvaneStatus");
        QTest::newRow("Ctrl+C, Orvane ends cleanly") << true << 0;
        QTest::newRow("Ctrl+C, Orvane fails") << true << 3;
        QTest::newRow("Orvane ends by itself cleanly") << false << 0;
        QTest::newRow("Orvane fails by itself") << false << 5;
    }
    // The script ends with Orvane's status, after the launcher has ended too.
    void exitStatus()
    {
        QFETCH(bool, interrupt);
        QFETCH(int, orvaneStatus);
        QTemporaryDir tree;
        QVERIFY(tree.isValid());
        const QString root = tree.path();
        QVERIFY(QDir(root).mkpath("scripts") && QDir(root).mkpath("build/bin"));
        QVERIFY(QFile::copy(qEnvironmentVariable("ORVANE_TEST_SOURCE_DIR") + "/scripts/run.sh",
                            root + "/scripts/run.sh"));
        QVERIFY(writeScript(root + "/scripts/install-deps.sh", "#!/bin/sh\nexit 0\n"));
        QVERIFY(writeScript(root + "/scripts/build.sh", "#!/bin/sh\nexit 0\n"));
        QVERIFY(writeScript(root + "/build/bin/korvid-launcher", kLauncher));
        QVERIFY(writeScript(root + "/build/bin/Orvane", kOrvane));

        QProcess script;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("ORVANE_FAKE_WIRELESS");
        env.insert("BUILD_DIR", root + "/build");
        env.insert("STUB_DIR", root);
        env.insert("STUB_STATUS", QString::number(orvaneStatus));
        env.insert("STUB_SELF_END", interrupt ? "" : "1");
        script.setProcessEnvironment(env);
        script.setProcessChannelMode(QProcess::MergedChannels);
        // A process group of its own, led by the script, like a terminal's foreground job.
        script.start("setsid", {"sh", root + "/scripts/run.sh"});
        QVERIFY(script.waitForStarted(eventwait::kHangMs));
        QByteArray out;
        QVERIFY2(processoutput::waitFor(script, out, "orvane ready", 1, eventwait::kHangMs), out.constData());
        QVERIFY2(processoutput::waitFor(script, out, "launcher ready", 1, eventwait::kHangMs), out.constData());
        if (interrupt)
            QCOMPARE(::kill(-pid_t(script.processId()), SIGINT), 0);
        QVERIFY2(script.waitForFinished(eventwait::kHangMs), out.constData());
        out += script.readAll();
        QCOMPARE(script.exitStatus(), QProcess::NormalExit);
        QCOMPARE(script.exitCode(), orvaneStatus);
        QVERIFY2(out.contains("launcher ended"), out.constData());
    }
};

QTEST_GUILESS_MAIN(TestRunScript)
#include "tst_runscript.moc"
