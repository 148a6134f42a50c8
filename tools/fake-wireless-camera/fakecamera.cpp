#include "fakecamera.h"

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
    m_udp = new QUdpSocket(this);
    if (!m_udp->bind(m_options.address, m_options.discoveryPort)) {
        std::fprintf(stderr, "can't bind udp %s:%u: %s\n", qPrintable(m_options.address.toString()),
                     m_options.discoveryPort, qPrintable(m_udp->errorString()));
        return false;
    }
    connect(m_udp, &QUdpSocket::readyRead, this, &FakeCamera::_onDatagram);

    m_tcp = new QTcpServer(this);
    if (!m_tcp->listen(m_options.address, m_options.commandPort)) {
        std::fprintf(stderr, "can't listen on tcp %s:%u: %s\n", qPrintable(m_options.address.toString()),
                     m_options.commandPort, qPrintable(m_tcp->errorString()));
        return false;
    }
    connect(m_tcp, &QTcpServer::newConnection, this, &FakeCamera::_onConnection);
    return _startRtsp();
}

void FakeCamera::_onDatagram()
{
    while (m_udp->hasPendingDatagrams()) {
        QByteArray datagram(int(m_udp->pendingDatagramSize()), '\0');
        QHostAddress sender;
        quint16 port = 0;
        m_udp->readDatagram(datagram.data(), datagram.size(), &sender, &port);
        if (datagram != "CMD_DISCOVER")
            continue;
        const QString reply = "WIFINAME:" + m_options.wifiName + "SID:" + m_options.sid + "DEVNAME:"
                              + m_options.deviceName + "PRODUCT:" + m_options.product;
        m_udp->writeDatagram(reply.toUtf8(), sender, port);
    }
}

void FakeCamera::_onConnection()
{
    while (QTcpSocket* socket = m_tcp->nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { _onCommandBytes(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void FakeCamera::_onCommandBytes(QTcpSocket* socket)
{
    const QByteArray bytes = socket->readAll();
    if (m_byteLog.isOpen()) {
        m_byteLog.write(bytes);
        m_byteLog.flush();
    }
    // Commands carry no terminator: each one runs from its "CMD_" to the next.
    int at = bytes.indexOf("CMD_");
    while (at >= 0) {
        const int next = bytes.indexOf("CMD_", at + 4);
        _handleCommand(socket, bytes.mid(at, next < 0 ? -1 : next - at));
        at = next;
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
    if (m_options.forcedStreamSize.isValid() || size.width() <= 0 || size.height() <= 0)
        return;
    m_streamSize = size;
    const QString launch =
        QString("( videotestsrc is-live=true pattern=smpte ! video/x-raw,width=%1,height=%2,framerate=30/1 "
                "! x264enc tune=zerolatency speed-preset=ultrafast key-int-max=30 bframes=0 "
                "! rtph264pay name=pay0 pt=96 config-interval=1 )")
            .arg(m_streamSize.width())
            .arg(m_streamSize.height());
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
