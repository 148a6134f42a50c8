#include "korvidlauncher.h"

#include <QCoreApplication>
#include <QDir>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTime>

#include <cstdio>

namespace {
constexpr int kShortRun = 2000;        // a run shorter than this counts as a failed start
constexpr int kQuickRestart = 100;
constexpr int kFirstBackoff = 250;
constexpr int kMaxBackoff = 5000;
constexpr int kTerminateGrace = 3000;
} // namespace

void launcherLog(const QString& text)
{
    const QByteArray line = QStringLiteral("[%1] korvid-launcher: %2\n")
                                .arg(QTime::currentTime().toString(QStringLiteral("hh:mm:ss")), text)
                                .toLocal8Bit();
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

KorvidLauncher::KorvidLauncher(QObject* parent)
    : QObject(parent)
{
    m_restartTimer.setSingleShot(true);
    connect(&m_restartTimer, &QTimer::timeout, this, &KorvidLauncher::_startKorvid);
    connect(&m_server, &QTcpServer::newConnection, this, &KorvidLauncher::slotNewConnection);
}

KorvidLauncher::~KorvidLauncher()
{
    stop();
    qDeleteAll(m_readers);
}

QString KorvidLauncher::korvidPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Korvid"));
}

int KorvidLauncher::restartDelay(qint64 ranMs, int previousDelayMs)
{
    if (ranMs >= kShortRun)
        return kQuickRestart;
    if (previousDelayMs < kFirstBackoff)
        return kFirstBackoff;
    return qMin(previousDelayMs * 2, kMaxBackoff);
}

bool KorvidLauncher::start()
{
    if (!m_server.listen(QHostAddress(QString::fromLatin1(UvcLinkHost)), FatherPort)) {
        launcherLog(QStringLiteral("cannot listen on %1:%2: %3")
                        .arg(QString::fromLatin1(UvcLinkHost))
                        .arg(FatherPort)
                        .arg(m_server.errorString()));
        return false;
    }
    launcherLog(QStringLiteral("listening on %1:%2").arg(QString::fromLatin1(UvcLinkHost)).arg(FatherPort));
    _startKorvid();
    return true;
}

void KorvidLauncher::stop()
{
    m_stopping = true;
    m_restartTimer.stop();
    m_server.close();
    if (m_korvid) {
        QProcess* p = m_korvid;
        if (p->state() != QProcess::NotRunning) {
            launcherLog(QStringLiteral("ending Korvid (pid %1)").arg(p->processId()));
            p->terminate();
            if (!p->waitForFinished(kTerminateGrace)) {
                p->kill();
                p->waitForFinished(kTerminateGrace);
            }
        }
        p->disconnect(this);
        delete p;
        m_korvid = nullptr;
    }
}

void KorvidLauncher::_startKorvid()
{
    if (m_stopping)
        return;
    if (m_korvid && m_korvid->state() != QProcess::NotRunning)
        return;
    if (!m_korvid) {
        m_korvid = new QProcess(this);
        m_korvid->setProcessChannelMode(QProcess::ForwardedChannels);
        connect(m_korvid, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
                &KorvidLauncher::slotKorvidFinished);
        connect(m_korvid, &QProcess::errorOccurred, this, &KorvidLauncher::slotKorvidError);
    }
    QStringList args;
    if (!m_logDir.isEmpty())
        args << m_logDir;
    m_korvid->setProgram(korvidPath());
    m_korvid->setArguments(args);
    m_runTime.start();
    ++m_starts;
    m_korvid->start();
    if (m_korvid->waitForStarted(5000)) {
        launcherLog(QStringLiteral("started Korvid (pid %1)%2")
                        .arg(m_korvid->processId())
                        .arg(m_logDir.isEmpty() ? QString() : QStringLiteral(" with log folder ") + m_logDir));
    }
}

void KorvidLauncher::slotKorvidError(QProcess::ProcessError error)
{
    if (error != QProcess::FailedToStart || m_stopping)
        return;
    m_lastDelay = restartDelay(0, m_lastDelay);
    launcherLog(QStringLiteral("cannot start %1: %2; trying again in %3 ms")
                    .arg(korvidPath(), m_korvid->errorString())
                    .arg(m_lastDelay));
    m_restartTimer.start(m_lastDelay);
}

void KorvidLauncher::slotKorvidFinished(int exitCode, QProcess::ExitStatus status)
{
    const qint64 ran = m_runTime.elapsed();
    if (status == QProcess::CrashExit)
        launcherLog(QStringLiteral("Korvid ended by a signal after %1 ms").arg(ran));
    else
        launcherLog(QStringLiteral("Korvid ended with exit code %1 after %2 ms").arg(exitCode).arg(ran));
    if (m_stopping)
        return;
    if (m_resetPending) {
        m_resetPending = false;
        m_lastDelay = 0;
        _startKorvid();
        return;
    }
    m_lastDelay = restartDelay(ran, m_lastDelay);
    launcherLog(QStringLiteral("starting Korvid again in %1 ms").arg(m_lastDelay));
    m_restartTimer.start(m_lastDelay);
}

void KorvidLauncher::slotNewConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        m_readers.insert(socket, new UvcLinkReader);
        connect(socket, &QTcpSocket::readyRead, this, &KorvidLauncher::slotReadyRead);
        connect(socket, &QTcpSocket::disconnected, this, &KorvidLauncher::slotDisconnected);
        launcherLog(QStringLiteral("father link connected"));
        if (socket->bytesAvailable() > 0)
            QMetaObject::invokeMethod(this, "slotReadyRead", Qt::QueuedConnection);
    }
}

void KorvidLauncher::slotReadyRead()
{
    const auto sockets = m_readers.keys();
    for (QTcpSocket* socket : sockets) {
        UvcLinkReader* reader = m_readers.value(socket);
        if (!reader || socket->bytesAvailable() <= 0)
            continue;
        const QList<QByteArray> payloads = reader->feed(socket->readAll());
        for (const QByteArray& payload : payloads)
            _handleFatherMessage(UvcLinkFrame::payloadText(payload));
    }
}

void KorvidLauncher::slotDisconnected()
{
    auto* socket = qobject_cast<QTcpSocket*>(sender());
    if (!socket)
        return;
    delete m_readers.take(socket);
    socket->deleteLater();
    launcherLog(QStringLiteral("father link closed"));
}

void KorvidLauncher::_handleFatherMessage(const QString& text)
{
    const UvcLinkMessage msg(text);
    if (msg.hasHead(FatherCmdSetLogDir)) {
        const QString dir = msg.textAfterHead();
        if (dir.isEmpty() || dir == m_logDir)
            return;
        m_logDir = dir;
        launcherLog(QStringLiteral("log folder %1").arg(dir));
        // A running Korvid without a folder takes it from standard input; later starts get it
        // as their argument.
        if (m_korvid && m_korvid->state() == QProcess::Running) {
            m_korvid->write(dir.toUtf8() + '\n');
        }
    } else if (msg.hasHead(FatherCmdReset)) {
        _reset();
    } else {
        launcherLog(QStringLiteral("ignored father link message of %1 characters").arg(text.size()));
    }
}

void KorvidLauncher::_reset()
{
    launcherLog(QStringLiteral("reset requested"));
    m_restartTimer.stop();
    if (m_korvid && m_korvid->state() != QProcess::NotRunning) {
        m_resetPending = true;
        m_korvid->terminate();
        QProcess* p = m_korvid;
        const quint64 start = m_starts;
        QTimer::singleShot(kTerminateGrace, p, [this, p, start] {
            if (m_starts == start && p->state() != QProcess::NotRunning)
                p->kill();
        });
    } else {
        m_lastDelay = 0;
        _startKorvid();
    }
}
