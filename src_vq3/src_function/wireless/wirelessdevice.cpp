#include "wirelessdevice.h"

#include "paxintool.h"

#include <QCoreApplication>
#include <QTcpSocket>
#include <QTimer>

namespace {
constexpr int ConnectTimeoutMs = 4000;
constexpr int ChannelRequestDelayMs = 100;
constexpr int ReplyQuietMs = 50;           // a reply with nothing after it is taken as whole after this
constexpr int MaxBufferedText = 64 * 1024; // the camera's replies are short; more is junk
const int ChannelNumbers[] = {40, 44, 48, 153, 157, 161, 165};

// The text from the end of `marker` to `end` (searched after it); empty unless both exist with text between.
QString cut(const QString& text, const QString& marker, const QString& end)
{
    const int from = text.indexOf(marker);
    if (from < 0)
        return {};
    const int start = from + marker.size();
    const int to = text.indexOf(end);
    if (to < 0 || to <= start)
        return {};
    return text.mid(start, to - start);
}

// The value of a reply: between its first ":" and the next ":" (or the end); empty without ":".
QString replyValue(const QString& reply)
{
    const int colon = reply.indexOf(':');
    if (colon < 0)
        return {};
    const int next = reply.indexOf(':', colon + 1);
    return reply.mid(colon + 1, next < 0 ? -1 : next - colon - 1);
}
} // namespace

namespace WirelessProtocol {
void parseDiscoveryReply(const QString& reply, WirelessDeviceInfo& info)
{
    info.wifiName = cut(reply, "WIFINAME:", "SID");
    info.sid = cut(reply, "SID:", "DEVNAME:");
    info.deviceName = cut(reply, "DEVNAME:", "PRODUCT:");
}

int modeForAddress(const QString& ip)
{
    return ip == OwnApAddress ? 0 : 1;
}

quint16 rtspPort()
{
    bool ok = false;
    const uint port = qEnvironmentVariable("ORVANE_WIRELESS_RTSP_PORT").toUInt(&ok);
    return ok && port > 0 && port < 65536 ? quint16(port) : RtspPort;
}
} // namespace WirelessProtocol

WirelessDevice::WirelessDevice(QString reply, QString ip, quint16 port, QObject* parent) : QThread(parent)
{
    m_info.ip = ip;
    PAX_LOG_DEBUG("ip:%s", qPrintable(ip));
    m_info.udpPort = port;
    m_info.tcpPort = WirelessProtocol::CommandPort;
    PAX_LOG_DEBUG("udpport:%d", port);
    PAX_LOG_DEBUG("tcpport:%d", m_info.tcpPort);
    WirelessProtocol::parseDiscoveryReply(reply, m_info);
    if (!m_info.wifiName.isEmpty())
        PAX_LOG_DEBUG("wifiname:%s", qPrintable(m_info.wifiName));
    if (!m_info.sid.isEmpty())
        PAX_LOG_DEBUG("sid:%s", qPrintable(m_info.sid));
    if (!m_info.deviceName.isEmpty())
        PAX_LOG_DEBUG("devname:%s", qPrintable(m_info.deviceName));
    m_info.mode = WirelessProtocol::modeForAddress(ip);
    PAX_LOG_DEBUG("mode:%d", m_info.mode);

    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::readyRead, this, &WirelessDevice::slotTcpRead);
    connect(m_socket, &QTcpSocket::connected, this, &WirelessDevice::_onConnected);
    m_quietTimer = new QTimer(this);
    m_quietTimer->setSingleShot(true);
    m_quietTimer->setInterval(ReplyQuietMs);
    connect(m_quietTimer, &QTimer::timeout, this, [this] { _parseBuffered(true); });
    m_connectTimer = new QTimer(this);
    m_connectTimer->setSingleShot(true);
    m_connectTimer->setInterval(ConnectTimeoutMs);
    // One error line per failed attempt, whether refused at once or timed out.
    auto failed = [this] {
        if (!m_connectPending)
            return;
        m_connectPending = false;
        m_connectTimer->stop();
        m_socket->abort();
        PAX_LOG_ERROR("tcp connect failed");
    };
    connect(m_connectTimer, &QTimer::timeout, this, failed);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, failed);
    m_connectPending = true;
    m_connectTimer->start();
    m_socket->connectToHost(ip, WirelessProtocol::CommandPort);
}

WirelessDevice::~WirelessDevice()
{
    _stopThread();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->close();
        delete m_socket;
        m_socket = nullptr;
    }
}

void WirelessDevice::_onConnected()
{
    m_connectPending = false;
    m_connectTimer->stop();
    _write(WirelessProtocol::GetFrameList);
    QTimer::singleShot(ChannelRequestDelayMs, this, [this] { _write(WirelessProtocol::GetChannel); });
}

void WirelessDevice::_write(const QByteArray& command)
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState) {
        PAX_LOG_DEBUG("no command link, not sent: %s", command.constData());
        return;
    }
    m_socket->write(command);
    m_socket->flush();
}

QString WirelessDevice::getIp() const { return m_info.ip; }

WirelessDeviceInfo WirelessDevice::getDeviceInfo() const { return m_info; }

QStringList WirelessDevice::getCameraSolutionList() const { return m_solutionList; }

QString WirelessDevice::getCameraCurSolution() const
{
    return QString::number(m_width) + "x" + QString::number(m_height);
}

void WirelessDevice::slotTcpRead()
{
    while (m_socket->bytesAvailable() > 0) {
        QByteArray bytes = m_socket->readAll();
        const int nul = bytes.indexOf('\0');
        if (nul >= 0)
            bytes.truncate(nul);
        m_rxText += QString::fromUtf8(bytes);
    }
    if (m_rxText.size() > MaxBufferedText) {
        PAX_LOG_ERROR("dropping %d bytes of unreadable replies", int(m_rxText.size()));
        m_rxText.clear();
    }
    _parseBuffered(false);
    m_quietTimer->start();
}

// Replies have no terminator: one is whole when the next "CMD_" arrives, or after a short quiet time.
void WirelessDevice::_parseBuffered(bool flushLast)
{
    const QString head = WirelessProtocol::ReplyHead;
    for (;;) {
        const int first = m_rxText.indexOf(head);
        if (first < 0) {
            if (flushLast)
                m_rxText.clear();
            return;
        }
        m_rxText.remove(0, first);
        const int next = m_rxText.indexOf(head, head.size());
        if (next < 0 && !flushLast)
            return;
        const QString reply = next < 0 ? m_rxText : m_rxText.left(next);
        m_rxText.remove(0, next < 0 ? m_rxText.size() : next);
        _handleReply(reply);
    }
}

void WirelessDevice::_handleReply(const QString& reply)
{
    PAX_LOG_DEBUG("get a tcp ack:%s", qPrintable(reply));
    if (reply.startsWith(WirelessProtocol::FrameListReply)) {
        m_solutionList.clear();
        const QStringList items = replyValue(reply).trimmed().split(',');
        int k = 0;
        for (QString item : items) {
            if (item.isEmpty())
                continue;
            const QString entry = QString::number(k++) + ":" + item.replace('*', 'x');
            PAX_LOG_DEBUG("solution option:%s", qPrintable(entry));
            m_solutionList.append(entry);
        }
        if (!m_solutionList.isEmpty())
            switchCameraSolution(0);
    } else if (reply.startsWith(WirelessProtocol::ChannelReply)) {
        const int number = replyValue(reply).trimmed().toInt();
        m_info.channel = CH_NONE;
        for (int i = 0; i < CH_NONE; ++i) {
            if (ChannelNumbers[i] == number)
                m_info.channel = i;
        }
        PAX_LOG_DEBUG("channel:%d", m_info.channel);
    }
}

void WirelessDevice::switchCameraSolution(int index)
{
    for (const QString& entry : QStringList(m_solutionList)) {
        const int colon = entry.indexOf(':');
        bool ok = false;
        if (entry.left(colon).toInt(&ok) != index || !ok)
            continue;
        QString size = entry.mid(colon + 1).section(':', 0, 0);
        size.replace('x', '*');
        const int width = size.section('*', 0, 0).toInt();
        const int height = size.section('*', 1, 1).toInt();
        if (width <= 0 || height <= 0) {
            PAX_LOG_ERROR("not a frame size: %s", qPrintable(entry));
            continue;
        }
        _write(QByteArray(WirelessProtocol::SetFrame) + size.toLocal8Bit());
        m_width = width;
        m_height = height;
        QThread::msleep(100);
        QCoreApplication::processEvents();
    }
}

void WirelessDevice::searchDeviceInfo()
{
    m_solutionList.clear();
    _write(WirelessProtocol::GetFrameList);
}

QString WirelessDevice::_getChannelStr(_ChannelE channel) const
{
    if (channel < CH_40 || channel >= CH_NONE)
        return {};
    return QString::number(ChannelNumbers[channel]);
}

void WirelessDevice::setAp(QString wifiName, _ChannelE channel)
{
    const QByteArray password = WirelessProtocol::ApPassword;
    _write(password);
    PAX_LOG_DEBUG("cmd[%s]", password.constData());
    const QByteArray command = (QString(WirelessProtocol::ApChannel) + "WIFINAME:" + wifiName + "WIFICHANNEL:"
                                + _getChannelStr(channel)).toLocal8Bit();
    _write(command);
    PAX_LOG_DEBUG("cmd[%s]", command.constData());
}

void WirelessDevice::setStation(QString name, QString password)
{
    const QByteArray command =
        (QString(WirelessProtocol::Station) + "SSID:" + name + "PASSWD:" + password).toLocal8Bit();
    _write(command);
    PAX_LOG_DEBUG("cmd[%s]", command.constData());
}

void WirelessDevice::changeShowMode(_ShowModeE mode)
{
    if (mode == m_showMode)
        return;
    _stopThread();
    delete m_view;
    m_view = nullptr;
    m_showMode = m_showMode == SHOW_MAIN_VIEW ? SHOW_TILE : SHOW_MAIN_VIEW;
}

void WirelessDevice::myPlay()
{
    _stopThread();
    m_stop = 0;
    start();
}

void WirelessDevice::myStop()
{
    if (isRunning())
        _stopThread();
}

void WirelessDevice::_stopThread()
{
    m_stop = 1;
    wait();
    QMutexLocker lock(&m_frameMutex);
    m_pendingFrame = QImage();    // a frame of the ended run is not delivered
}

void WirelessDevice::_offerFrame(const QImage& image)
{
    bool schedule = false;
    {
        QMutexLocker lock(&m_frameMutex);
        m_pendingFrame = image;
        schedule = !m_framePending;
        m_framePending = true;
    }
    if (schedule)
        QMetaObject::invokeMethod(this, "_deliverFrame", Qt::QueuedConnection);
}

void WirelessDevice::_deliverFrame()
{
    QImage image;
    {
        QMutexLocker lock(&m_frameMutex);
        image.swap(m_pendingFrame);
        m_framePending = false;
    }
    if (image.isNull())
        return;
    if (m_showMode == SHOW_MAIN_VIEW)
        emit sigGetOneFrame(image);
    else
        emit sigGetOneFrameInside(image);
}
