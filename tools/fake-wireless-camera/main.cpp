// fake-wireless-camera --address 127.0.0.2 [options]: see --help.
#include "fakecamera.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

#include <gst/gst.h>

int main(int argc, char** argv)
{
    gst_init(&argc, &argv);
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("A scripted wireless camera on a loopback address.");
    parser.addHelpOption();
    const QCommandLineOption address("address", "Address to bind (127.0.0.2, 127.0.0.3, ...).", "ip");
    const QCommandLineOption rtspPort("rtsp-port", "RTSP port (default $ORVANE_WIRELESS_RTSP_PORT, else 554).", "port");
    const QCommandLineOption discoveryPort("discovery-port", "UDP discovery port (18889).", "port", "18889");
    const QCommandLineOption commandPort("command-port", "TCP command port (8888).", "port", "8888");
    const QCommandLineOption sizes("sizes", "Frame size list reply value.", "text", "1920*1080,1280*720,");
    const QCommandLineOption channel("channel", "Wi-Fi channel number reply.", "n", "44");
    const QCommandLineOption wifiName("wifiname", "Wi-Fi name in the discovery reply.", "text", "FakeCam");
    const QCommandLineOption streamSize("stream-size", "Stream WxH whatever size is set.", "WxH");
    const QCommandLineOption split("split", "Send every reply in two pieces.");
    const QCommandLineOption combined("combined", "Send the channel reply with the list reply in one write.");
    const QCommandLineOption noList("no-list", "Never answer the frame size list request.");
    const QCommandLineOption streamFile("stream-file", "Stream this H.264 file (Annex B) instead of a pattern.", "file");
    const QCommandLineOption moving("moving", "Scroll the picture, so that every frame differs.");
    const QCommandLineOption byteLog("byte-log", "Append every byte received on the command port here.", "file");
    parser.addOptions({address, rtspPort, discoveryPort, commandPort, sizes, channel, wifiName, streamSize,
                       split, combined, noList, streamFile, moving, byteLog});
    parser.process(app);

    FakeCameraOptions options;
    options.address = QHostAddress(parser.value(address));
    if (options.address.isNull()) {
        std::fprintf(stderr, "--address is required\n");
        return 2;
    }
    QString rtsp = parser.value(rtspPort);
    if (rtsp.isEmpty())
        rtsp = qEnvironmentVariable("ORVANE_WIRELESS_RTSP_PORT", "554");
    options.rtspPort = quint16(rtsp.toUInt());
    options.discoveryPort = quint16(parser.value(discoveryPort).toUInt());
    options.commandPort = quint16(parser.value(commandPort).toUInt());
    options.sizes = parser.value(sizes);
    options.channel = parser.value(channel).toInt();
    options.wifiName = parser.value(wifiName);
    if (parser.isSet(streamSize)) {
        const QStringList wh = parser.value(streamSize).split('x');
        if (wh.size() == 2)
            options.forcedStreamSize = QSize(wh[0].toInt(), wh[1].toInt());
    }
    options.splitReplies = parser.isSet(split);
    options.combineListAndChannel = parser.isSet(combined);
    options.answerList = !parser.isSet(noList);
    options.moving = parser.isSet(moving);
    options.streamFile = parser.value(streamFile);
    options.byteLogPath = parser.value(byteLog);

    FakeCamera camera(options);
    if (!camera.start())
        return 2;
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
