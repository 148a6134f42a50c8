#pragma once
// Keeps one Korvid process running beside the application: listens on the father link,
// hands Korvid the log folder it receives, starts it again after a reset request and after
// it ends, and ends it when the launcher ends (even by SIGKILL: Korvid gets a parent-death
// signal). Korvid is started only while the command port is free, so that the one the client
// finds on it is always the current one. GUI-less; everything runs on the thread that owns the
// launcher, and nothing of it blocks that thread's event loop except stop().

#include "uvclink.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTcpServer>
#include <QTimer>

class QTcpSocket;

class KorvidLauncher : public QObject
{
    Q_OBJECT
public:
    explicit KorvidLauncher(QObject* parent = nullptr);
    ~KorvidLauncher() override;

    // The father link carries only short commands: a connection may buffer at most this many
    // bytes of an unfinished frame (a frame announcing a longer payload is refused at once),
    // and at most this many connections are open; a connection beyond either is dropped.
    static constexpr int MaxFatherPayload = 8 * 1024;
    static constexpr int MaxFatherConnections = 8;
    // While all connections are open, a new one takes the place of the one idle longest when that
    // has sent nothing for this long; otherwise the new one is dropped. The client keeps its
    // connection while nobody else needs the place, and gets in again when it was the one dropped.
    static constexpr int FatherIdleMs = 10000;

    // Listens on 127.0.0.1:FatherPort and starts Korvid without waiting for it; false when the
    // port can't be had.
    bool start();
    // Ends Korvid (SIGTERM, then SIGKILL after a grace time) and stops restarting it. Blocks the
    // calling thread (the launcher's) for at most two grace times, 6 s.
    void stop();

    // State of Korvid's process: Starting from start() until the system has run it.
    QProcess::ProcessState korvidState() const;

    // The folder a log-folder message may set: an absolute path of an existing folder, without
    // control characters or undecodable bytes, ending with '/' (added when missing), that fits
    // with its line end in one read of Korvid's standard input; a null string when the text is
    // refused.
    static QString acceptedLogDir(const QString& text);

    // Path of the service program: Korvid beside this program.
    static QString korvidPath();

    // Delay before starting Korvid again after it ended, given how long it ran and the
    // delay used last time: short after a normal run, doubling while it keeps ending fast.
    static int restartDelay(qint64 ranMs, int previousDelayMs);

private slots:
    void slotNewConnection();
    void slotReadyRead();
    void slotDisconnected();
    void slotKorvidStarted();
    void slotKorvidFinished(int exitCode, QProcess::ExitStatus status);
    void slotKorvidError(QProcess::ProcessError error);

private:
    void _startKorvid();
    // Writes the folder to the standard input of a running Korvid that has none yet.
    void _giveLogDir();
    // True when nothing listens on the command port (a Korvid left by an earlier launcher may).
    static bool _servicePortFree();
    void _handleFatherMessage(const QString& text);
    void _reset();
    void _dropConnection(QTcpSocket* socket, const QString& why);
    // The connection idle longest, when it has been idle for FatherIdleMs at least; else null.
    QTcpSocket* _idleConnection() const;

    QTcpServer m_server;
    QHash<QTcpSocket*, UvcLinkReader*> m_readers;
    QHash<QTcpSocket*, QElapsedTimer> m_lastActivity;   // since the connection last sent bytes
    QProcess* m_korvid = nullptr;
    QString m_logDir;
    // The folder the running Korvid has: its argument, or the one written to its standard input.
    // Korvid keeps the first it gets and takes each read as one text, so a second one written
    // there could only join the first in one read and spoil it: it waits for the next start.
    QString m_givenLogDir;
    QTimer m_restartTimer;
    QElapsedTimer m_runTime;
    int m_lastDelay = 0;
    bool m_resetPending = false;
    quint64 m_starts = 0;   // counts starts, so a late kill never hits a newer Korvid
    bool m_stopping = false;
    bool m_portWaitLogged = false;
};

// One line "[hh:mm:ss] korvid-launcher: text" on standard output.
void launcherLog(const QString& text);
