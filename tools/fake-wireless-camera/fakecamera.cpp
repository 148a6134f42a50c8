#include "fakecamera.h"

#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>
#include <cstdio>

#include <gst/gst.h>
#include <gst/rtsp-server/rtsp-server.h>

FakeCamera::FakeCamera(const FakeCameraOptions& options, QObject* parent)
    : QObject(parent), m_options(options)
{
    if (m_options.forcedStreamSize.isValid())
        m_streamSize = m_options.forcedStreamSize;
}

FakeCamera::~FakeCamera()
{
    if (m_rtspSource)
        g_source_remove(m_rtspSource);
    if (m_factory)
        g_object_unref(m_factory);
    if (m_rtspServer)
        g_object_unref(m_rtspServer);
}

bool FakeCamera::start()
{
    if (!m_options.byteLogPath.isEmpty()) {
        m_byteLog.setFileName(m_options.byteLogPath);
        if (!m_byteLog.open(QIODevice::Append)) {
            std::fprintf(stderr, "can't open byte log %s\n", qPrintable(m_options.byteLogPath));
            return false;
        }
    }
    // Its own address (replies go out from it) and every address, so that broadcasts reach it too;
    // several cameras share the port.
    const auto shared = QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint;
    m_udp = new QUdpSocket(this);
    m_udpAny = new QUdpSocket(this);
    if (!m_udp->bind(m_options.address, m_options.discoveryPort, shared)
        || !m_udpAny->bind(QHostAddress::AnyIPv4, m_options.discoveryPort, shared)) {
        std::fprintf(stderr, "can't bind udp %s:%u: %s %s\n", qPrintable(m_options.address.toString()),
                     m_options.discoveryPort, qPrintable(m_udp->errorString()), qPrintable(m_udpAny->errorString()));
        return false;
    }
    connect(m_udp, &QUdpSocket::readyRead, this, [this] { _onDatagram(m_udp); });
    connect(m_udpAny, &QUdpSocket::readyRead, this, [this] { _onDatagram(m_udpAny); });

    m_tcp = new QTcpServer(this);
    if (!m_tcp->listen(m_options.address, m_options.commandPort)) {
        std::fprintf(stderr, "can't listen on tcp %s:%u: %s\n", qPrintable(m_options.address.toString()),
                     m_options.commandPort, qPrintable(m_tcp->errorString()));
        return false;
    }
    connect(m_tcp, &QTcpServer::newConnection, this, &FakeCamera::_onConnection);
    return _startRtsp();
}

// A discovery sent to this camera's address or to a broadcast address is answered from its own address.
void FakeCamera::_onDatagram(QUdpSocket* socket)
{
    while (socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram();
        if (datagram.data() != "CMD_DISCOVER")
            continue;
        const QHostAddress to = datagram.destinationAddress();
        const bool broadcast = to.isBroadcast() || (to.toIPv4Address() & 0xffu) == 0xffu;
        if (socket == m_udpAny && !broadcast && !to.isEqual(m_options.address, QHostAddress::TolerantConversion))
            continue;    // meant for another camera on this machine
        const QString reply = "WIFINAME:" + m_options.wifiName + "SID:" + m_options.sid + "DEVNAME:"
                              + m_options.deviceName + "PRODUCT:" + m_options.product;
        m_udp->writeDatagram(reply.toUtf8(), datagram.senderAddress(), quint16(datagram.senderPort()));
    }
}

void FakeCamera::_onConnection()
{
    while (QTcpSocket* socket = m_tcp->nextPendingConnection()) {
        auto* quiet = new QTimer(socket);
        quiet->setSingleShot(true);
        quiet->setInterval(CommandQuietMs);
        connect(quiet, &QTimer::timeout, this, [this, socket] { _takeCommands(socket, true); });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, quiet] {
            _onCommandBytes(socket);
            quiet->start();
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            _takeCommands(socket, true);
            m_pending.remove(socket);
            socket->deleteLater();
        });
    }
}

void FakeCamera::_onCommandBytes(QTcpSocket* socket)
{
    const QByteArray bytes = socket->readAll();
    if (m_byteLog.isOpen()) {
        m_byteLog.write(bytes);
        m_byteLog.flush();
    }
    m_pending[socket] += bytes;
    _takeCommands(socket, false);
}

// Commands carry no terminator and may arrive in any pieces: one runs from its "CMD_" to the next.
// The two requests are whole as soon as their fixed text is in; any other command is taken when
// the next one begins or the link has been quiet a moment (quiet) after its name.
void FakeCamera::_takeCommands(QTcpSocket* socket, bool quiet)
{
    static const QByteArray fixed[] = {"CMD_GET_BACK_FRAME_LIST", "CMD_GETWIFICHANNEL"};
    QByteArray& buffer = m_pending[socket];
    for (;;) {
        const int at = buffer.indexOf("CMD_");
        if (at < 0) {
            buffer = quiet ? QByteArray() : buffer.right(3);    // keep a "CMD_" that is still arriving
            return;
        }
        buffer.remove(0, at);
        int end = buffer.indexOf("CMD_", 4);
        if (end < 0) {
            for (const QByteArray& command : fixed) {
                if (buffer == command)
                    end = buffer.size();
            }
        }
        static const QByteArray names[] = {"CMD_GET_BACK_FRAME_LIST", "CMD_GETWIFICHANNEL", "CMD_SET_BACK_FRAME ",
                                           "CMD_SETWIFI ", "CMD_SETWIFICHANNEL ", "CMD_APPEARSSID"};
        bool nameArriving = false;    // the text so far is the start of a command's name
        for (const QByteArray& name : names)
            nameArriving = nameArriving || (name.startsWith(buffer) && name != buffer);
        if (end < 0 && quiet && !nameArriving)
            end = buffer.size();
        if (end < 0)
            return;
        const QByteArray command = buffer.left(end);
        buffer.remove(0, end);
        _handleCommand(socket, command);
    }
}

void FakeCamera::_handleCommand(QTcpSocket* socket, const QByteArray& command)
{
    const QByteArray channelReply = "CMD_GETWIFICHANNEL:" + QByteArray::number(m_options.channel);
    if (command == "CMD_GET_BACK_FRAME_LIST") {
        if (!m_options.answerList)
            return;
        QByteArray reply = "CMD_ACK_BACK_FRAMELIST:" + m_options.sizes.toUtf8();
        if (m_options.combineListAndChannel)
            reply += channelReply;
        _reply(socket, reply);
    } else if (command == "CMD_GETWIFICHANNEL") {
        _reply(socket, channelReply);
    } else if (command.startsWith("CMD_SET_BACK_FRAME ")) {
        const QList<QByteArray> parts = command.mid(19).split('*');
        if (parts.size() == 2)
            _setStreamSize(QSize(parts[0].toInt(), parts[1].toInt()));
    }
}

void FakeCamera::_reply(QTcpSocket* socket, const QByteArray& text)
{
    if (!m_options.splitReplies || text.size() < 2) {
        socket->write(text);
        socket->flush();
        return;
    }
    const int half = text.size() / 2;
    socket->write(text.left(half));
    socket->flush();
    QTimer::singleShot(15, socket, [socket, rest = text.mid(half)] {
        socket->write(rest);
        socket->flush();
    });
}

void FakeCamera::_setStreamSize(const QSize& size)
{
    if (!m_options.streamFile.isEmpty()) {
        const QString launch = QString("( filesrc location=\"%1\" ! h264parse ! rtph264pay name=pay0 pt=96 "
                                       "config-interval=1 )").arg(m_options.streamFile);
        gst_rtsp_media_factory_set_launch(GST_RTSP_MEDIA_FACTORY(m_factory), launch.toUtf8().constData());
        return;
    }
    if (m_options.forcedStreamSize.isValid() || size.width() <= 0 || size.height() <= 0)
        return;
    m_streamSize = size;
    const QString launch =
        QString("( videotestsrc is-live=true pattern=smpte horizontal-speed=%3 "
                "! video/x-raw,width=%1,height=%2,framerate=30/1 "
                "! x264enc tune=zerolatency speed-preset=ultrafast key-int-max=30 bframes=0 "
                "! rtph264pay name=pay0 pt=96 config-interval=1 )")
            .arg(m_streamSize.width())
            .arg(m_streamSize.height())
            .arg(m_options.moving ? 8 : 0);
    gst_rtsp_media_factory_set_launch(GST_RTSP_MEDIA_FACTORY(m_factory), launch.toUtf8().constData());
}

bool FakeCamera::_startRtsp()
{
    GstRTSPServer* server = gst_rtsp_server_new();
    m_rtspServer = server;
    gst_rtsp_server_set_address(server, m_options.address.toString().toUtf8().constData());
    gst_rtsp_server_set_service(server, QByteArray::number(m_options.rtspPort).constData());
    GstRTSPMediaFactory* factory = gst_rtsp_media_factory_new();
    m_factory = factory;
    g_object_ref(factory);
    QSize initial = m_streamSize;
    m_streamSize = QSize();
    FakeCameraOptions saved = m_options;
    m_options.forcedStreamSize = QSize();
    _setStreamSize(initial);
    m_options = saved;
    gst_rtsp_media_factory_set_shared(factory, FALSE);
    GstRTSPMountPoints* mounts = gst_rtsp_server_get_mount_points(server);
    gst_rtsp_mount_points_add_factory(mounts, "/stream0", factory);    // takes a reference
    g_object_unref(mounts);
    // Qt's event loop on Linux runs the default GLib context, which serves the RTSP sockets.
    m_rtspSource = gst_rtsp_server_attach(server, nullptr);
    if (m_rtspSource == 0) {
        std::fprintf(stderr, "can't serve rtsp on %s:%u\n", qPrintable(m_options.address.toString()),
                     m_options.rtspPort);
        return false;
    }
    return true;
}
