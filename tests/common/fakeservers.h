#pragma once
// Scripted stand-ins for Korvid (command link) and its launcher (father link), each running on
// a thread of its own so that a client blocked in a request on any thread is answered.

#include "eventwait.h"
#include "uvclink.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <functional>
#include <utility>

class FakeServer : public QObject
{
    Q_OBJECT

public:
    // One piece of a reply: sent `delayMs` after the previous piece (or after the request).
    struct Piece
    {
        int delayMs = 0;
        QByteArray bytes;
        bool close = false;   // close the connection after this piece
    };
    using Script = std::function<QList<Piece>(const QString& request)>;

    FakeServer()
    {
        m_thread.setObjectName(QStringLiteral("fake-server"));
        moveToThread(&m_thread);
        m_thread.start();
    }
    ~FakeServer() override
    {
        stop();
        m_thread.quit();
        m_thread.wait();
    }

    // Listens on 127.0.0.1:port; false when the port is taken.
    bool listen(quint16 port)
    {
        bool ok = false;
        QMetaObject::invokeMethod(
            this,
            [this, port, &ok] {
                if (!m_server) {
                    m_server = new QTcpServer(this);
                    connect(m_server, &QTcpServer::newConnection, this, &FakeServer::_accept);
                }
                ok = m_server->isListening() || m_server->listen(QHostAddress(QStringLiteral("127.0.0.1")), port);
            },
            Qt::BlockingQueuedConnection);
        return ok;
    }

    // Stops listening and drops the connection.
    void stop()
    {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_server)
                    m_server->close();
                _dropClient();
            },
            Qt::BlockingQueuedConnection);
    }

    // The next connection is taken but never served, and closed `ms` later: a connection that
    // reached the listening socket of a service that is ending.
    void abandonNextConnection(int ms)
    {
        QMutexLocker lock(&m_mutex);
        m_abandonMs = ms;
    }

    void dropClient()
    {
        QMetaObject::invokeMethod(this, [this] { _dropClient(); }, Qt::BlockingQueuedConnection);
    }

    void send(const QByteArray& bytes)
    {
        QMetaObject::invokeMethod(
            this,
            [this, bytes] {
                if (m_client) {
                    m_client->write(bytes);
                    m_client->flush();
                }
            },
            Qt::BlockingQueuedConnection);
    }

    void setScript(Script script)
    {
        QMutexLocker lock(&m_mutex);
        m_script = std::move(script);
    }

    QStringList received() const { return _locked(m_received); }
    int connections() const { return _locked(m_connections); }
    bool hasClient() const { return _locked(m_hasClient); }
    // Most requests that were waiting for their reply at the same time.
    int maxOutstanding() const { return _locked(m_maxOutstanding); }

    // Waits until pred holds or ms pass, running the calling thread's events meanwhile.
    template <typename Pred> static bool waitUntil(Pred pred, int ms)
    {
        return eventwait::waitUntil(pred, ms, 2);
    }

    // Replies the way the service does, with fixed control values.
    static QList<Piece> korvidLike(const QString& request)
    {
        const UvcLinkMessage m(request);
        auto one = [](const QString& text, bool close = false) {
            return QList<Piece>{Piece{0, UvcLinkFrame::encode(text), close}};
        };
        if (m.hasHead(UvcCmdSearchDevice))
            return one(UvcLinkText::searchReply("00000001", "00000002"), true);
        if (m.hasHead(UvcCmdOpenDevice))
            return one(UvcLinkText::openReply("00000001", "00000002"));
        if (m.hasHead(UvcCmdCloseDevice))
            return one(UvcLinkText::closeReply(), true);
        if (m.hasHead(UvcCmdStartPlay))
            return one(UvcLinkText::startPlayReply(m.intItem(0), 0));
        if (m.hasHead(UvcCmdStopPlay))
            return one(UvcLinkText::stopPlayReply(UvcLinkMessage::toInt(m.textAfterHead())));
        if (m.hasHead(UvcCmdGetControl)) {
            const int idx = m.intItem(0), type = m.intItem(1);
            if (!uvcControlTypeValid(type))
                return one(UvcLinkText::getControlFailReply(idx, type, -1));
            if (uvcControlIsModeType(type))
                return one(UvcLinkText::getControlModeReply(idx, type, type == UvcControlExposureMode));
            return one(UvcLinkText::getControlValueReply(idx, type, 255 + type, -type, 128 + type, 100 + type));
        }
        if (m.hasHead(UvcCmdSetControl))
            return one(UvcLinkText::setControlReply(m.intItem(0), m.intItem(1), 0));
        return {};
    }

    // korvidLike with the reply held back by delayMs.
    static Script korvidLikeAfter(int delayMs)
    {
        return [delayMs](const QString& request) {
            QList<Piece> pieces = korvidLike(request);
            if (!pieces.isEmpty())
                pieces.first().delayMs = delayMs;
            return pieces;
        };
    }

private slots:
    void _accept()
    {
        while (QTcpSocket* s = m_server->nextPendingConnection()) {
            int abandonMs = -1;
            {
                QMutexLocker lock(&m_mutex);
                std::swap(abandonMs, m_abandonMs);
            }
            if (abandonMs >= 0) {
                QTimer::singleShot(abandonMs, s, [s] {
                    s->abort();
                    s->deleteLater();
                });
                continue;
            }
            _dropClient();
            m_client = s;
            m_reader.clear();
            {
                QMutexLocker lock(&m_mutex);
                ++m_connections;
                m_hasClient = true;
            }
            connect(s, &QTcpSocket::readyRead, this, &FakeServer::_read);
            connect(s, &QTcpSocket::disconnected, this, [this, s] {
                if (m_client == s) {
                    QMutexLocker lock(&m_mutex);
                    m_hasClient = false;
                }
            });
        }
    }

    void _read()
    {
        if (!m_client)
            return;
        for (const QByteArray& payload : m_reader.feed(m_client->readAll())) {
            const QString text = UvcLinkFrame::payloadText(payload);
            Script script;
            {
                QMutexLocker lock(&m_mutex);
                m_received << text;
                ++m_outstanding;
                m_maxOutstanding = qMax(m_maxOutstanding, m_outstanding);
                script = m_script;
            }
            const QList<Piece> pieces = script ? script(text) : QList<Piece>{};
            if (pieces.isEmpty()) {
                QMutexLocker lock(&m_mutex);
                --m_outstanding;
                continue;
            }
            _sendPieces(m_client, pieces, 0);
        }
    }

private:
    template <typename T> T _locked(const T& member) const
    {
        QMutexLocker lock(&m_mutex);
        return member;
    }

    void _sendPieces(QPointer<QTcpSocket> to, QList<Piece> pieces, int i)
    {
        auto sendOne = [this, to, pieces, i] {
            if (!to || to != m_client)
                return;
            const Piece& p = pieces.at(i);
            if (i == pieces.size() - 1) {
                QMutexLocker lock(&m_mutex);
                --m_outstanding;
            }
            to->write(p.bytes);
            to->flush();
            if (p.close) {
                to->waitForBytesWritten(60000);
                _dropClient();
                return;
            }
            if (i + 1 < pieces.size())
                _sendPieces(to, pieces, i + 1);
        };
        if (pieces.at(i).delayMs <= 0)
            sendOne();
        else
            QTimer::singleShot(pieces.at(i).delayMs, this, sendOne);
    }

    void _dropClient()
    {
        if (!m_client)
            return;
        QTcpSocket* s = m_client;
        m_client = nullptr;
        s->disconnect(this);
        s->disconnectFromHost();
        s->deleteLater();
        QMutexLocker lock(&m_mutex);
        m_hasClient = false;
        m_outstanding = 0;
    }

    QThread m_thread;
    QTcpServer* m_server = nullptr;
    QPointer<QTcpSocket> m_client;
    UvcLinkReader m_reader;

    mutable QMutex m_mutex;
    Script m_script;
    QStringList m_received;
    int m_connections = 0;
    bool m_hasClient = false;
    int m_outstanding = 0;
    int m_maxOutstanding = 0;
    int m_abandonMs = -1;   // the next connection is abandoned after this many ms
};
