#include "korvid.h"

#include "korvidlog.h"
#include "paxdevicemonitor.h"
#include "paxuvccontrol.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

Korvid* Korvid::ms_Korvid = nullptr;

Korvid* Korvid::getInstance()
{
    if (!ms_Korvid)
        ms_Korvid = new Korvid();
    return ms_Korvid;
}

void Korvid::releaseInstance()
{
    delete ms_Korvid;
    ms_Korvid = nullptr;
}

Korvid::Korvid()
{
    _createTcpServer();
    m_reader.clear();
    // USB changes reach the client as "[08]" for as long as the service runs.
    _startMonitor();
}

Korvid::~Korvid()
{
    _stopMonitor();
    if (m_client) {
        m_client->disconnect(this);
        m_client->abort();
        delete m_client;
        m_client = nullptr;
    }
    delete m_server;
}

QString Korvid::_getHostIp()
{
    return QStringLiteral("127.0.0.1");
}

void Korvid::_createTcpServer()
{
    m_server = new QTcpServer();
    m_host = QString::fromLatin1(UvcLinkHost);
    // Upward from 11080, never on the launcher's port; the system picks one when all are taken.
    bool listening = false;
    for (int port = UvcServicePort; port <= 65535 && !listening; ++port) {
        if (port == FatherPort)
            continue;
        if (m_server->listen(QHostAddress(m_host), quint16(port))) {
            m_port = port;
            listening = true;
        }
    }
    if (!listening && m_server->listen(QHostAddress(m_host), 0))
        m_port = m_server->serverPort();
    connect(m_server, &QTcpServer::newConnection, this, &Korvid::slotTcpNewConnection);
}

void Korvid::_startMonitor()
{
    PaxDeviceMonitor* monitor = PaxDeviceMonitor::getInstance();
    connect(monitor, &PaxDeviceMonitor::sigOutdeviceInOut, this, &Korvid::slotCheckDevice,
            Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
}

void Korvid::_stopMonitor()
{
    if (PaxDeviceMonitor* monitor = PaxDeviceMonitor::getInstanceNoCreate())
        disconnect(monitor, &PaxDeviceMonitor::sigOutdeviceInOut, this, &Korvid::slotCheckDevice);
    PaxDeviceMonitor::releaseInstance();
}

void Korvid::_releaseUvc()
{
    PaxUvcControl::getInstance();
    PaxUvcControl::releaseInstance();
}

void Korvid::_detachClient()
{
    if (!m_client)
        return;
    m_client->disconnect(this);
    m_reader.clear();
}

void Korvid::_finish(int code)
{
    m_finishing = true;
    if (m_client) {
        _detachClient();
        m_client->close();
        m_client->deleteLater();
        m_client = nullptr;
    }
    m_server->close();
    QCoreApplication::exit(code);
}

void Korvid::slotTcpNewConnection()
{
    QTcpSocket* next = m_server->nextPendingConnection();
    if (!next)
        return;
    if (m_finishing) {
        next->abort();
        next->deleteLater();
        return;
    }
    if (m_client) {
        _detachClient();
        m_client->close();
        m_client->deleteLater();
        m_client = nullptr;
    }
    m_client = next;
    connect(m_client, &QTcpSocket::readyRead, this, &Korvid::slotFunctionReadyRead);
    connect(m_client, &QTcpSocket::disconnected, this, &Korvid::slotFunctionDisconnected);
    KORVID_LOG("vq3 connect");
    // Bytes that came with the connection, before the slot was connected.
    if (m_client->bytesAvailable() > 0)
        slotFunctionReadyRead();
}

void Korvid::slotFunctionReadyRead()
{
    if (!m_client || m_finishing || m_reading)
        return;
    QTcpSocket* client = m_client;
    m_reading = true;
    // Writing a reply waits for its bytes to go out, and that wait reads whatever else arrived
    // into the socket's buffer without signalling readyRead again: read until it is empty.
    while (m_client == client && !m_finishing && client->bytesAvailable() > 0) {
        const QList<QByteArray> payloads = m_reader.feed(client->readAll());
        for (const QByteArray& payload : payloads) {
            // A command may end the service or a new client may have replaced this one.
            if (m_finishing || m_client != client)
                break;
            if (UvcLinkFrame::isLogged(payload)) {
                const QByteArray shown = UvcLinkFrame::logPart(payload);
                if (payload.size() < UvcLinkFrame::LongPayload)
                    KORVID_LOG("vq3 to korvid command:%s, len:%d", shown.constData(), int(payload.size()));
                else
                    KORVID_LOG("vq3 to korvid command head:%s, len:%d", shown.constData(), int(payload.size()));
            }
            _ioctlCommand(UvcLinkFrame::payloadText(payload));
        }
    }
    m_reading = false;
}

void Korvid::slotFunctionDisconnected()
{
    if (m_client) {
        _detachClient();
        m_client->deleteLater();
        m_client = nullptr;
    }
    PaxUvcControl* uvc = PaxUvcControl::getInstance();
    if (uvc->isSuccessInit()) {
        uvc->stopReceiveVideoFrame(0);
        PaxUvcControl::releaseInstance();
    }
    _stopMonitor();
    KORVID_LOG("vq3 exit");
    _finish(10);
}

void Korvid::slotCheckDevice()
{
    QString text = UvcLinkText::notifyDeviceChange();
    _tcpWrite(text);
}

void Korvid::_tcpWrite(QString& text)
{
    if (!m_client)
        return;
    const QByteArray frame = UvcLinkFrame::encode(text);
    qDebug().noquote() << "Korvid::_tcpWrite command len:" << (frame.size() - UvcLinkFrame::HeaderSize);
    qDebug().noquote() << "Korvid::_tcpWrite command content:" << text.left(200);
    m_client->write(frame);
    m_client->waitForBytesWritten(30000);
}

void Korvid::_ioctlCommand(QString text)
{
    const UvcLinkMessage msg(text);
    if (msg.hasHead(UvcCmdSearchDevice))
        _searchOrOpen(true);
    else if (msg.hasHead(UvcCmdOpenDevice))
        _searchOrOpen(false);
    else if (msg.hasHead(UvcCmdCloseDevice))
        _close();
    else if (msg.hasHead(UvcCmdStartPlay))
        _startPlay(msg);
    else if (msg.hasHead(UvcCmdStopPlay))
        _stopPlay(msg);
    else if (msg.hasHead(UvcCmdGetControl))
        _getControl(msg);
    else if (msg.hasHead(UvcCmdSetControl))
        _setControl(msg);
}

void Korvid::_searchOrOpen(bool search)
{
    _stopMonitor();
    PaxUvcControl* uvc = PaxUvcControl::getInstance();
    uvc->freshDevice(false);
    const QString mainIds = uvc->getMainVid() + uvc->getMainPid();
    const QString secondIds = uvc->getSecondVid() + uvc->getSecondPid();
    if (!search) {
        // The devices stay open; the monitor watches again.
        _startMonitor();
        QString reply = UvcLinkText::openReply(mainIds, secondIds);
        _tcpWrite(reply);
        return;
    }
    _releaseAndEnd(UvcLinkText::searchReply(mainIds, secondIds), 11);
}

void Korvid::_close()
{
    _releaseAndEnd(UvcLinkText::closeReply(), 12);
}

void Korvid::_releaseAndEnd(QString reply, int code)
{
    _releaseUvc();
    QThread::sleep(2);
    _startMonitor();
    _tcpWrite(reply);
    _finish(code);
}

void Korvid::_startPlay(const UvcLinkMessage& msg)
{
    const int idx = msg.intItem(0, -1);
    int result = -1;
    if (msg.hasItems(4)) {
        result = PaxUvcControl::getInstance()->startReceiveVideoFrame(idx, msg.intItem(1), msg.intItem(2),
                                                                      msg.intItem(3), 0);
    }
    QString reply = UvcLinkText::startPlayReply(idx, result);
    _tcpWrite(reply);
}

void Korvid::_stopPlay(const UvcLinkMessage& msg)
{
    // The stream itself ends when the devices are given up.
    QString reply = UvcLinkText::stopPlayReply(UvcLinkMessage::toInt(msg.textAfterHead()));
    _tcpWrite(reply);
}

void Korvid::_getControl(const UvcLinkMessage& msg)
{
    const int idx = msg.intItem(0, -1);
    const int type = msg.intItem(1, -1);
    QString reply;
    if (!uvcControlTypeValid(type) || !msg.hasItems(2)) {
        reply = UvcLinkText::getControlFailReply(idx, type, -1);
        _tcpWrite(reply);
        return;
    }
    PaxUvcControl* uvc = PaxUvcControl::getInstance();
    if (uvcControlIsModeType(type)) {
        bool automatic = false;
        int result = -1;
        switch (type) {
#define KORVID_GET_MODE(Name, Type) \
    case Type: result = uvc->get##Name##Info(idx, &automatic); break;
            UVC_LINK_MODE_CONTROLS(KORVID_GET_MODE)
#undef KORVID_GET_MODE
        default: break;
        }
        reply = result == 0 ? UvcLinkText::getControlModeReply(idx, type, automatic)
                            : UvcLinkText::getControlFailReply(idx, type, result);
    } else {
        PaxUvcControl::_CameraInfo info;   // all fields 0: a getter that leaves cur alone sends 0
        int result = -1;
        switch (type) {
#define KORVID_GET_VALUE(Name, Type) \
    case Type: result = uvc->get##Name##Info(idx, &info); break;
            UVC_LINK_VALUE_CONTROLS(KORVID_GET_VALUE)
#undef KORVID_GET_VALUE
        default: break;
        }
        reply = result == 0 ? UvcLinkText::getControlValueReply(idx, type, info.max, info.min, info.def, info.cur)
                            : UvcLinkText::getControlFailReply(idx, type, result);
    }
    _tcpWrite(reply);
}

void Korvid::_setControl(const UvcLinkMessage& msg)
{
    const int idx = msg.intItem(0, -1);
    const int type = msg.intItem(1, -1);
    const int value = msg.intItem(2);
    const bool complete = uvcControlTypeValid(type) && msg.hasItems(3);
    int result = -1;
    if (complete && !uvcControlValueFits(type, value)) {
        // The camera would get the value cut to its width: another value than the one asked for.
        KORVID_LOG("control %d of camera %d not set: the value %d does not fit the control", type, idx, value);
    } else if (complete) {
        PaxUvcControl* uvc = PaxUvcControl::getInstance();
        switch (type) {
#define KORVID_SET_VALUE(Name, Type) \
    case Type: result = uvc->set##Name(idx, value); break;
#define KORVID_SET_MODE(Name, Type) \
    case Type: result = uvc->set##Name(idx, value != 0); break;
            UVC_LINK_VALUE_CONTROLS(KORVID_SET_VALUE)
            UVC_LINK_MODE_CONTROLS(KORVID_SET_MODE)
#undef KORVID_SET_VALUE
#undef KORVID_SET_MODE
        default: break;
        }
    }
    QString reply = UvcLinkText::setControlReply(idx, type, result);
    _tcpWrite(reply);
}
