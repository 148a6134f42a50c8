#include "korvidlauncher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTime>

#include <csignal>
#include <cstdio>
#include <sys/prctl.h>
#include <unistd.h>

namespace {
constexpr int kShortRun = 2000;        // a run shorter than this counts as a failed start
constexpr int kQuickRestart = 100;
constexpr int kFirstBackoff = 250;
constexpr int kMaxBackoff = 5000;
constexpr int kTerminateGrace = 3000;
constexpr int kPortRetry = 250;        // looking again whether the command port is free

// Korvid's process: it is sent SIGTERM when the launcher dies, however the launcher ends.
class KorvidProcess : public QProcess
{
public:
    explicit KorvidProcess(QObject* parent)
        : QProcess(parent)
    {
    }

protected:
    // Runs in the child between fork and exec: only async-signal-safe calls.
    void setupChildProcess() override
    {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        // The launcher may have died before the signal was asked for.
        if (::getppid() != m_launcher)
            ::_exit(1);
    }

private:
    const pid_t m_launcher = ::getpid();
};

bool hasForbiddenCharacter(const QString& text)
{
    for (const QChar c : text) {
        const QChar::Category cat = c.category();
        if (c == QChar::ReplacementCharacter || cat == QChar::Other_Control || cat == QChar::Other_Format ||
            cat == QChar::Other_Surrogate || cat == QChar::Other_NotAssigned || cat == QChar::Other_PrivateUse)
            return true;
    }
    return false;
}
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

QProcess::ProcessState KorvidLauncher::korvidState() const
{
    return m_korvid ? m_korvid->state() : QProcess::NotRunning;
}

QString KorvidLauncher::acceptedLogDir(const QString& text)
{
    if (text.isEmpty() || hasForbiddenCharacter(text))
        return QString();
    const QFileInfo info(text);
    if (!info.isAbsolute() || !info.isDir())
        return QString();
    const QString dir = text.endsWith(QLatin1Char('/')) ? text : text + QLatin1Char('/');
    if (dir.toUtf8().size() + 1 > KorvidStdinRead)
        return QString();
    return dir;
}

bool KorvidLauncher::_servicePortFree()
{
    QTcpServer probe;
    return probe.listen(QHostAddress(QString::fromLatin1(UvcLinkHost)), UvcServicePort);
}

void KorvidLauncher::_startKorvid()
{
    if (m_stopping)
        return;
    if (m_korvid && m_korvid->state() != QProcess::NotRunning)
        return;
    // A Korvid on the command port that is not ours (left by a launcher that was killed) keeps
    // serving the client until it ends; ours would only find a port where no client looks.
    if (!_servicePortFree()) {
        if (!m_portWaitLogged) {
            launcherLog(QStringLiteral("port %1 is taken; starting Korvid once it is free").arg(UvcServicePort));
            m_portWaitLogged = true;
        }
        m_restartTimer.start(kPortRetry);
        return;
    }
    m_portWaitLogged = false;
    if (!m_korvid) {
        m_korvid = new KorvidProcess(this);
        m_korvid->setProcessChannelMode(QProcess::ForwardedChannels);
        connect(m_korvid, &QProcess::started, this, &KorvidLauncher::slotKorvidStarted);
        connect(m_korvid, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
                &KorvidLauncher::slotKorvidFinished);
        connect(m_korvid, &QProcess::errorOccurred, this, &KorvidLauncher::slotKorvidError);
    }
    QStringList args;
    if (!m_logDir.isEmpty())
        args << m_logDir;
    m_givenLogDir = m_logDir;
    m_korvid->setProgram(korvidPath());
    m_korvid->setArguments(args);
    m_runTime.start();
    ++m_starts;
    // started() or errorOccurred() follow from the event loop; nothing waits here.
    m_korvid->start();
}

void KorvidLauncher::slotKorvidStarted()
{
    launcherLog(QStringLiteral("started Korvid (pid %1)%2")
                    .arg(m_korvid->processId())
                    .arg(m_givenLogDir.isEmpty() ? QString() : QStringLiteral(" with log folder ") + m_givenLogDir));
    // A folder that arrived while it was starting goes to its standard input.
    _giveLogDir();
}

void KorvidLauncher::_giveLogDir()
{
    if (!m_korvid || m_korvid->state() != QProcess::Running || m_logDir.isEmpty() || !m_givenLogDir.isEmpty())
        return;
    m_givenLogDir = m_logDir;
    m_korvid->write(m_logDir.toUtf8() + '\n');
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
        if (m_readers.size() >= MaxFatherConnections) {
            if (QTcpSocket* idle = _idleConnection()) {
                _dropConnection(idle, QStringLiteral("idle for %1 ms while another one waited")
                                          .arg(m_lastActivity.value(idle).elapsed()));
            } else {
                launcherLog(QStringLiteral("refused a father link connection: %1 are open").arg(m_readers.size()));
                socket->abort();
                socket->deleteLater();
                continue;
            }
        }
        // Qt's own buffer of the connection stays within what one command may take.
        socket->setReadBufferSize(UvcLinkFrame::HeaderSize + MaxFatherPayload);
        m_readers.insert(socket, new UvcLinkReader);
        m_lastActivity[socket].start();
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
        if (reader && socket->bytesAvailable() > 0)
            m_lastActivity[socket].start();
        while (reader && socket->bytesAvailable() > 0) {
            const QList<QByteArray> payloads = reader->feed(socket->read(UvcLinkFrame::HeaderSize + MaxFatherPayload));
            for (const QByteArray& payload : payloads)
                _handleFatherMessage(UvcLinkFrame::payloadText(payload));
            if (reader->announcedLength() > MaxFatherPayload) {
                _dropConnection(socket, QStringLiteral("a frame of %1 bytes").arg(reader->announcedLength()));
                reader = nullptr;
            }
        }
    }
}

void KorvidLauncher::_dropConnection(QTcpSocket* socket, const QString& why)
{
    launcherLog(QStringLiteral("dropped a father link connection: %1").arg(why));
    delete m_readers.take(socket);
    m_lastActivity.remove(socket);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void KorvidLauncher::slotDisconnected()
{
    auto* socket = qobject_cast<QTcpSocket*>(sender());
    if (!socket)
        return;
    delete m_readers.take(socket);
    m_lastActivity.remove(socket);
    socket->deleteLater();
    launcherLog(QStringLiteral("father link closed"));
}

QTcpSocket* KorvidLauncher::_idleConnection() const
{
    QTcpSocket* longest = nullptr;
    qint64 longestMs = -1;
    for (auto it = m_lastActivity.cbegin(); it != m_lastActivity.cend(); ++it) {
        const qint64 ms = it.value().elapsed();
        if (ms >= FatherIdleMs && ms > longestMs) {
            longest = it.key();
            longestMs = ms;
        }
    }
    return longest;
}

void KorvidLauncher::_handleFatherMessage(const QString& text)
{
    const UvcLinkMessage msg(text);
    if (msg.hasHead(FatherCmdSetLogDir)) {
        const QString dir = acceptedLogDir(msg.textAfterHead());
        if (dir.isNull()) {
            launcherLog(QStringLiteral("refused a log folder of %1 characters: not an absolute path of a folder, "
                                       "control characters in it, or longer than %2 bytes; keeping %3")
                            .arg(msg.textAfterHead().size())
                            .arg(KorvidStdinRead - 1)
                            .arg(m_logDir.isEmpty() ? QStringLiteral("none") : m_logDir));
            return;
        }
        if (dir == m_logDir)
            return;
        m_logDir = dir;
        launcherLog(QStringLiteral("log folder %1").arg(dir));
        // A running Korvid without a folder takes it from standard input; later starts get it
        // as their argument.
        _giveLogDir();
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
