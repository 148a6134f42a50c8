// The process's log handler writes a lasting condition that a library repeats on every use (the
// sound server missing) once; other messages each time. The messages are logged in a child
// process of this program, whose output is read.
#include "paxlog.h"

#include <QCoreApplication>
#include <QProcess>
#include <QtTest>

namespace {
const char kChildVariable[] = "ORVANE_LOGONCE_CHILD";
}

class TstLogOnce : public QObject
{
    Q_OBJECT
private slots:
    void repeatsWrittenOnce_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("expected");
        QTest::newRow("sound server missing") << QByteArray("PulseAudioService: pa_context_connect() failed") << 1;
        QTest::newRow("any other message") << QByteArray("some other warning") << 3;
    }
    void repeatsWrittenOnce()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, expected);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QLatin1String(kChildVariable), QString::fromLatin1(line));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitCode(), 0);
        const QByteArray output = child.readAllStandardOutput();
        int count = 0;
        for (const QByteArray& each : output.split('\n'))
            count += each.trimmed() == line ? 1 : 0;
        QVERIFY2(count == expected, output.constData());
    }
};

int main(int argc, char** argv)
{
    const QByteArray childLine = qgetenv(kChildVariable);
    if (!childLine.isEmpty()) {
        QCoreApplication app(argc, argv);
        pax_log::installHandler();
        for (int i = 0; i < 3; ++i)
            qWarning("%s", childLine.constData());
        return 0;
    }
    QCoreApplication app(argc, argv);
    TstLogOnce test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_logonce.moc"
