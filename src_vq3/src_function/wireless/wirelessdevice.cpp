#include "wirelessdevice.h"

#include "paxintool.h"

#include <QCoreApplication>
#include <QTcpSocket>
#include <QTimer>

#include <utility>

namespace {
constexpr int ConnectTimeoutMs = 4000;
constexpr int ChannelRequestDelayMs = 100;
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

// One line for a frame size that is not taken; `what` is the item or the list entry.
void logRefusedSize(const QString& what, WirelessProtocol::FrameSizeRead read)
{
    if (read == WirelessProtocol::FrameSizeRead::TooLarge)
        PAX_LOG_ERROR("frame size %s refused: more than %d a side or %lld pixels", qPrintable(what),
                      WirelessProtocol::MaxFrameSide, WirelessProtocol::MaxFramePixels);
    else
        PAX_LOG_ERROR("frame size %s refused: not a width and a height of 1 or more", qPrintable(what));
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

bool frameSizeAcceptable(qint64 width, qint64 height)
{
    return width > 0 && height > 0 && width <= MaxFrameSide && height <= MaxFrameSide
           && width * height <= MaxFramePixels;
}

FrameSizeRead readFrameSize(const QString& item, int& width, int& height)
{
    const QStringList sides = QString(item).replace('x', '*').split('*');
    if (sides.size() != 2)
        return FrameSizeRead::NotASize;
    qint64 values[2] = {0, 0};
    bool pastRange = false;
    for (int i = 0; i < 2; ++i) {
        const QString side = sides.at(i).trimmed();
        if (side.isEmpty())
            return FrameSizeRead::NotASize;
        for (const QChar c : side) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return FrameSizeRead::NotASize;
        }
        bool ok = false;
        values[i] = side.toLongLong(&ok);
        if (!ok)
            pastRange = true;    // more digits than 64 bits hold
        else if (values[i] == 0)
            return FrameSizeRead::NotASize;
    }
    if (pastRange || !frameSizeAcceptable(values[0], values[1]))
        return FrameSizeRead::TooLarge;
    width = int(values[0]);
    height = int(values[1]);
    return FrameSizeRead::Size;
}

int replyEnd(const QString& text)
{
    const QString head = ReplyHead;
    const int next = text.indexOf(head, head.size());
    if (next >= 0)
        return next;
    // Whole up to the end, but a trailing piece of the next reply's "CMD_" stays behind.
    auto wholeToEnd = [&] {
        for (int n = head.size() - 1; n > 0; --n) {
            if (text.size() - n >= head.size() && text.endsWith(head.left(n)))
                return text.size() - n;
        }
        return int(text.size());
    };
    const QString list = FrameListReply;
    const QString channel = ChannelReply;
    if (list.startsWith(text) || channel.startsWith(text))
        return -1;    // the reply's name is not all here yet
    const int colon = text.indexOf(':');
    if (text.startsWith(list)) {
        if (colon < 0)
            return -1;
        return text.endsWith(',') ? int(text.size()) : -1;
    }
    if (text.startsWith(channel)) {
        if (colon < 0)
            return -1;
        const QString value = text.mid(colon + 1);
        int digits = 0;
        while (digits < value.size() && value.at(digits).isDigit())
            ++digits;
        if (digits < value.size())
            return wholeToEnd();    // something else follows the number
        if (digits == 0)
            return -1;
        for (int number : ChannelNumbers) {
            const QString known = QString::number(number);
            if (known == value)
                return int(text.size());
            if (known.startsWith(value))
                return -1;    // may still grow into a channel of the table
        }
        return int(text.size());
    }
    return wholeToEnd();    // a reply we don't read: only logged
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
    // A camera that ends the link has said all it will: what is left is taken as it stands.
    connect(m_socket, &QTcpSocket::disconnected, this, [this] { _parseBuffered(true); });
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
        m_linkState = LinkFailed;
        emit sigLinkSettled();
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
    // The list request, the channel request 100 ms later, and only then the first size.
    QTimer::singleShot(ChannelRequestDelayMs, this, [this] {
        _write(WirelessProtocol::GetChannel);
        m_channelSent = true;
        if (!m_heldSetCommand.isEmpty())
            _write(std::exchange(m_heldSetCommand, QByteArray()));
    });
    m_linkState = LinkAnswered;
    emit sigLinkSettled();
}

bool WirelessDevice::_write(const QByteArray& command)
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState) {
        PAX_LOG_DEBUG("no command link, not sent: %s", command.constData());
        return false;
    }
    m_socket->write(command);
    m_socket->flush();
    return true;
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
}

// Takes every whole reply off the received text; with takeRest also the last one, whole or not.
void WirelessDevice::_parseBuffered(bool takeRest)
{
    const QString head = WirelessProtocol::ReplyHead;
    for (;;) {
        const int first = m_rxText.indexOf(head);
        if (first < 0) {
            // Text before a reply is dropped, but not the start of a "CMD_" still arriving.
            int keep = 0;
            for (int n = head.size() - 1; n > 0 && !takeRest; --n) {
                if (m_rxText.endsWith(head.left(n))) {
                    keep = n;
                    break;
                }
            }
            m_rxText = m_rxText.right(keep);
            return;
        }
        m_rxText.remove(0, first);
        int end = WirelessProtocol::replyEnd(m_rxText);
        if (end < 0) {
            if (!takeRest)
                return;
            end = m_rxText.size();
        }
        const QString reply = m_rxText.left(end);
        m_rxText.remove(0, end);
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
            int width = 0, height = 0;
            const WirelessProtocol::FrameSizeRead read = WirelessProtocol::readFrameSize(item, width, height);
            if (read != WirelessProtocol::FrameSizeRead::Size) {
                logRefusedSize(item, read);
                continue;
            }
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
        int width = 0, height = 0;
        const WirelessProtocol::FrameSizeRead read = WirelessProtocol::readFrameSize(size, width, height);
        if (read != WirelessProtocol::FrameSizeRead::Size) {
            logRefusedSize(entry, read);
            continue;
        }
        const QByteArray command = QByteArray(WirelessProtocol::SetFrame) + size.toLocal8Bit();
        if (m_channelSent)
            _write(command);
        else
            m_heldSetCommand = command;    // goes out right after the channel request
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
