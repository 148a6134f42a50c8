#pragma once
// Fixtures of the service tests: a child process that is always ended, a command-link client,
// and a few /proc readers.

#include "processoutput.h"
#include "uvclink.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>
#include <QTcpSocket>
#include <QTest>
#include <QtEndian>

// Ceiling of the waits of the service tests: only a hang reaches it.
constexpr int kServiceHangMs = 60000;

// A program of the build's bin folder, killed at the latest when this object goes away.
class ChildProcess
{
public:
    ~ChildProcess() { stop(); }

    QProcess& process() { return m_p; }

    bool start(const QString& program, const QStringList& args, const QProcessEnvironment& env,
               bool stdinAtEnd = false)
    {
        m_p.setProgram(QString::fromLocal8Bit(qgetenv("ORVANE_BIN_DIR")) + QLatin1Char('/') + program);
        m_p.setArguments(args);
        m_p.setProcessEnvironment(env);
        m_p.setProcessChannelMode(QProcess::MergedChannels);
        if (stdinAtEnd)
            m_p.setStandardInputFile(QProcess::nullDevice());
        m_p.start();
        return m_p.waitForStarted(kServiceHangMs);
    }

    // Waits for the end and returns the exit code; -1 when still running or killed by a signal.
    int waitExit(int ms)
    {
        if (m_p.state() != QProcess::NotRunning && !m_p.waitForFinished(ms))
            return -1;
        return m_p.exitStatus() == QProcess::NormalExit ? m_p.exitCode() : -1;
    }

    bool running() const { return m_p.state() != QProcess::NotRunning; }

    // Output so far (read without blocking).
    QByteArray output()
    {
        m_out += m_p.readAll();
        return m_out;
    }

    // Waits until the output holds `text` at least `count` times.
    bool waitOutput(const QByteArray& text, int count, int ms)
    {
        return processoutput::waitFor(m_p, m_out, text, count, ms);
    }

    void stop()
    {
        if (m_p.state() != QProcess::NotRunning) {
            m_p.terminate();
            if (!m_p.waitForFinished(5000)) {
                m_p.kill();
                m_p.waitForFinished(5000);
            }
        }
    }

private:
    QProcess m_p;
    QByteArray m_out;
};

// Environment of a service under test: the Korvid path of the UVC controls, with or
// without the virtual camera.
inline QProcessEnvironment serviceEnvironment(bool virtualCamera)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ORVANE_PLATFORM_VERSION"), QStringLiteral("13.0"));
    if (virtualCamera)
        env.insert(QStringLiteral("ORVANE_VIRTUAL_CAMERA"), QStringLiteral("1"));
    else
        env.remove(QStringLiteral("ORVANE_VIRTUAL_CAMERA"));
    return env;
}

// One frame as the wire carries it: '#', 32-bit little-endian length, payload.
inline QByteArray rawFrame(const QByteArray& payload)
{
    QByteArray f(5, '\0');
    f[0] = '#';
    qToLittleEndian<quint32>(quint32(payload.size()), f.data() + 1);
    return f + payload;
}

class LinkClient
{
public:
    // Connects, retrying while nothing listens yet.
    bool connectTo(quint16 port, int ms = kServiceHangMs)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            m_socket.abort();
            m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
            if (m_socket.waitForConnected(1000))
                return true;
            QTest::qWait(50);
        }
        return false;
    }

    void send(const QByteArray& payload)
    {
        m_socket.write(rawFrame(payload));
        m_socket.waitForBytesWritten(kServiceHangMs);
    }

    // The next message, or a null string when none arrives within ms.
    QString next(int ms)
    {
        QElapsedTimer t;
        t.start();
        while (m_pending.isEmpty()) {
            const qint64 left = ms - t.elapsed();
            if (left <= 0)
                break;
            if (m_socket.bytesAvailable() == 0 && !m_socket.waitForReadyRead(int(qMin<qint64>(left, 100))))
                if (m_socket.state() != QAbstractSocket::ConnectedState && m_socket.bytesAvailable() == 0)
                    break;
            for (const QByteArray& p : m_reader.feed(m_socket.readAll()))
                m_pending.append(UvcLinkFrame::payloadText(p));
        }
        return m_pending.isEmpty() ? QString() : m_pending.takeFirst();
    }

    QString request(const QByteArray& payload, int ms = kServiceHangMs)
    {
        send(payload);
        return next(ms);
    }

    // True once the peer has closed the connection.
    bool waitClosed(int ms)
    {
        QElapsedTimer t;
        t.start();
        while (m_socket.state() == QAbstractSocket::ConnectedState && t.elapsed() < ms) {
            m_socket.waitForReadyRead(100);
            for (const QByteArray& p : m_reader.feed(m_socket.readAll()))
                m_pending.append(UvcLinkFrame::payloadText(p));
        }
        return m_socket.state() != QAbstractSocket::ConnectedState;
    }

    void close()
    {
        m_socket.disconnectFromHost();
        if (m_socket.state() != QAbstractSocket::UnconnectedState)
            m_socket.waitForDisconnected(2000);
    }

    QTcpSocket& socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    UvcLinkReader m_reader;
    QStringList m_pending;
};

// Ports of 127.0.0.1 (or any address) in LISTEN state, from /proc/net/tcp.
inline QSet<int> listeningPorts()
{
    QSet<int> ports;
    QFile f(QStringLiteral("/proc/net/tcp"));
    if (!f.open(QIODevice::ReadOnly))
        return ports;
    f.readLine();
    while (!f.atEnd()) {
        const QList<QByteArray> cols = f.readLine().simplified().split(' ');
        if (cols.size() > 3 && cols.at(3) == "0A") {
            const QList<QByteArray> local = cols.at(1).split(':');
            if (local.size() == 2)
                ports.insert(local.at(1).toInt(nullptr, 16));
        }
    }
    return ports;
}

// Bytes received on the loopback connection from local port `from` to local port `to` that the
// program holding the receiving end has not read yet, from /proc/net/tcp; -1 when there is no
// such connection.
inline qint64 unreadBytes(int from, int to)
{
    QFile f(QStringLiteral("/proc/net/tcp"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    f.readLine();
    while (!f.atEnd()) {
        const QList<QByteArray> cols = f.readLine().simplified().split(' ');
        if (cols.size() < 5)
            continue;
        const QList<QByteArray> local = cols.at(1).split(':');
        const QList<QByteArray> remote = cols.at(2).split(':');
        const QList<QByteArray> queues = cols.at(4).split(':');   // tx_queue:rx_queue
        if (local.size() == 2 && remote.size() == 2 && queues.size() == 2 && local.at(1).toInt(nullptr, 16) == to &&
            remote.at(1).toInt(nullptr, 16) == from)
            return queues.at(1).toLongLong(nullptr, 16);
    }
    return -1;
}

// Waits until the service has read everything the client sent so far: the receiving end's
// queue is empty.
inline bool waitAllRead(QTcpSocket& client, int ms = kServiceHangMs)
{
    if (!client.waitForBytesWritten(ms) && client.bytesToWrite() > 0)
        return false;
    QElapsedTimer t;
    t.start();
    while (unreadBytes(client.localPort(), client.peerPort()) != 0) {
        if (t.elapsed() > ms)
            return false;
        QTest::qWait(5);
    }
    return true;
}

// User plus system CPU time of a process in clock ticks; -1 when unknown.
inline qint64 cpuTicks(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    const int close = stat.lastIndexOf(')');
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    // After "pid (comm) ": state is field 0, utime field 11, stime field 12.
    if (fields.size() < 13)
        return -1;
    return fields.at(11).toLongLong() + fields.at(12).toLongLong();
}
