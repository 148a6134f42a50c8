#pragma once
// Keeps one Korvid process running beside the application: listens on the father link,
// hands Korvid the log folder it receives, starts it again after a reset request and after
// it ends, and ends it when the launcher ends.

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

    // Listens on 127.0.0.1:FatherPort and starts Korvid; false when the port can't be had.
    bool start();
    // Ends Korvid (SIGTERM, then SIGKILL after a grace time) and stops restarting it.
    void stop();

    // Path of the service program: Korvid beside this program.
    static QString korvidPath();

    // Delay before starting Korvid again after it ended, given how long it ran and the
    // delay used last time: short after a normal run, doubling while it keeps ending fast.
    static int restartDelay(qint64 ranMs, int previousDelayMs);

private slots:
    void slotNewConnection();
    void slotReadyRead();
    void slotDisconnected();
    void slotKorvidFinished(int exitCode, QProcess::ExitStatus status);
    void slotKorvidError(QProcess::ProcessError error);

private:
    void _startKorvid();
    void _handleFatherMessage(const QString& text);
    void _reset();

    QTcpServer m_server;
    QHash<QTcpSocket*, UvcLinkReader*> m_readers;
    QProcess* m_korvid = nullptr;
    QString m_logDir;
    QTimer m_restartTimer;
    QElapsedTimer m_runTime;
    int m_lastDelay = 0;
    bool m_resetPending = false;
    quint64 m_starts = 0;   // counts starts, so a late kill never hits a newer Korvid
    bool m_stopping = false;
};

// One line "[hh:mm:ss] korvid-launcher: text" on standard output.
void launcherLog(const QString& text);
