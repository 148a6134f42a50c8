#pragma once
// Runs the fake wireless camera program on one loopback address for the life of the object.
#include "eventwait.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>

class FakeCameraProcess
{
public:
    explicit FakeCameraProcess(const QString& address, const QStringList& extra = {}) : m_address(address)
    {
        m_logPath = m_dir.path() + "/bytes.log";
        QFile(m_logPath).open(QIODevice::WriteOnly);
        m_process.setProgram(qEnvironmentVariable("ORVANE_BIN_DIR") + "/fake-wireless-camera");
        m_process.setArguments(QStringList{"--address", address, "--byte-log", m_logPath} + extra);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
    }
    ~FakeCameraProcess()
    {
        resume();
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(3000);
    }
    // True once the program has bound its ports.
    bool waitReady()
    {
        if (!m_process.waitForStarted(eventwait::kHangMs))
            return false;
        QByteArray out;
        while (!out.contains("ready")) {
            if (!m_process.waitForReadyRead(eventwait::kHangMs))
                return false;
            out += m_process.readAllStandardOutput();
        }
        return true;
    }
    // Every byte the camera received on its command port so far.
    QByteArray bytes() const
    {
        QFile file(m_logPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void pause() { ::kill(pid_t(m_process.processId()), SIGSTOP); m_paused = true; }
    void resume()
    {
        if (m_paused)
            ::kill(pid_t(m_process.processId()), SIGCONT);
        m_paused = false;
    }
    QString address() const { return m_address; }

private:
    QString m_address;
    QTemporaryDir m_dir;
    QString m_logPath;
    QProcess m_process;
    bool m_paused = false;
};
