#pragma once
// A scripted camera on one loopback address, in the test's own thread: its command link on TCP
// 8888 answers requests with pieces of text sent with gaps between them, its discovery port on UDP
// 18889 answers when told to (or at once), and its RTSP port relays to a real stream elsewhere while keeping
// every byte the client sent.
#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QNetworkDatagram>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

class HostileCamera : public QObject
{
public:
    struct Piece
    {
        int gapMs = 0;    // after the previous piece (or the request)
        QByteArray bytes;
    };

    explicit HostileCamera(const QString& address) : m_address(address) {}

    // Listens on the command port; false when it can't.
    bool listenCommands(quint16 port = 8888)
    {
        connect(&m_commands, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_commands.nextPendingConnection()) {
                m_client = socket;
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { _onCommandBytes(socket); });
            }
        });
        return m_commands.listen(m_address, port);
    }

    // The reply to a request whose text begins with `request`.
    void answer(const QByteArray& request, const QList<Piece>& pieces) { m_script[request] = pieces; }

    QByteArray received() const { return m_received; }

    // Binds the discovery port; discovery messages are only counted until answerDiscovery.
    bool listenDiscovery(quint16 port = 18889)
    {
        connect(&m_udp, &QUdpSocket::readyRead, this, [this] {
            while (m_udp.hasPendingDatagrams()) {
                const QNetworkDatagram datagram = m_udp.receiveDatagram();
                if (datagram.data() == "CMD_DISCOVER") {
                    ++m_discoveries;
                    m_searcher = datagram.senderAddress();
                    m_searcherPort = quint16(datagram.senderPort());
                    if (!m_discoveryReply.isEmpty())
                        m_udp.writeDatagram(m_discoveryReply, m_searcher, m_searcherPort);
                }
            }
        });
        return m_udp.bind(m_address, port);
    }
    int discoveries() const { return m_discoveries; }
    // Answers every discovery message as it comes.
    void answerEveryDiscovery(const QByteArray& reply) { m_discoveryReply = reply; }
    // Answers the last discovery message after `ms` (a camera that is slow to answer).
    void answerDiscovery(const QByteArray& reply, int ms)
    {
        QTimer::singleShot(ms, this, [this, reply] { m_udp.writeDatagram(reply, m_searcher, m_searcherPort); });
    }

    // Relays the RTSP port to `target`:`port`, keeping what the client sent.
    bool relayRtsp(quint16 port, const QString& target)
    {
        connect(&m_rtsp, &QTcpServer::newConnection, this, [this, port, target] {
            while (QTcpSocket* in = m_rtsp.nextPendingConnection()) {
                auto* out = new QTcpSocket(in);
                connect(in, &QTcpSocket::readyRead, out, [this, in, out] {
                    const QByteArray bytes = in->readAll();
                    m_rtspReceived += bytes;
                    m_toServer[out] += bytes;
                    if (out->state() == QAbstractSocket::ConnectedState) {
                        out->write(m_toServer.take(out));
                    }
                });
                connect(out, &QTcpSocket::connected, in, [this, out] { out->write(m_toServer.take(out)); });
                connect(out, &QTcpSocket::readyRead, in, [in, out] { in->write(out->readAll()); });
                connect(out, &QTcpSocket::disconnected, in, [in] { in->disconnectFromHost(); });
                connect(in, &QTcpSocket::disconnected, in, [in] { in->deleteLater(); });
                out->connectToHost(target, port);
            }
        });
        return m_rtsp.listen(m_address, port);
    }
    QByteArray rtspReceived() const { return m_rtspReceived; }

private:
    // Replies go out in the order of the requests, a later one after the last piece of the former.
    void _onCommandBytes(QTcpSocket* socket)
    {
        const QByteArray bytes = socket->readAll();
        m_received += bytes;
        for (auto it = m_script.cbegin(); it != m_script.cend(); ++it) {
            if (bytes.contains(it.key()))
                m_queue += it.value();
        }
        if (!m_sending)
            _sendNext(socket);
    }

    void _sendNext(QPointer<QTcpSocket> socket)
    {
        if (m_queue.isEmpty() || !socket) {
            m_sending = false;
            return;
        }
        m_sending = true;
        const Piece piece = m_queue.takeFirst();
        QTimer::singleShot(piece.gapMs, this, [this, socket, piece] {
            if (socket) {
                socket->write(piece.bytes);
                socket->flush();
            }
            _sendNext(socket);
        });
    }

    QHostAddress m_address;
    QTcpServer m_commands;
    QPointer<QTcpSocket> m_client;
    QMap<QByteArray, QList<Piece>> m_script;
    QList<Piece> m_queue;
    bool m_sending = false;
    QByteArray m_received;
    QUdpSocket m_udp;
    int m_discoveries = 0;
    QHostAddress m_searcher;
    quint16 m_searcherPort = 0;
    QByteArray m_discoveryReply;
    QTcpServer m_rtsp;
    QByteArray m_rtspReceived;
    QMap<QTcpSocket*, QByteArray> m_toServer;
};
