// Frame writer, incremental reader, payload grammar and message texts of the command link.

#include "uvclink.h"

#include <QtTest>

namespace {

QByteArray frame(const QByteArray& payload)
{
    return UvcLinkFrame::header(quint32(payload.size())) + payload;
}

QByteArray lengthOnly(quint32 n)
{
    return UvcLinkFrame::header(n);
}

QList<QByteArray> bytesList(std::initializer_list<QByteArray> l)
{
    return QList<QByteArray>(l);
}

} // namespace

class tst_UvcLink : public QObject
{
    Q_OBJECT

private slots:
    void encode_data();
    void encode();
    void headerByteOrder();

    void reader_data();
    void reader();
    void readerByteByByte();
    void readerDropsHugeLengthAndRecovers_data();
    void readerDropsHugeLengthAndRecovers();
    void readerBufferStaysBounded();
    void readerTakesPayloadOfExactlyTheCap();

    void payloadText_data();
    void payloadText();
    void logPart_data();
    void logPart();

    void roundTrip_data();
    void roundTrip();

    void messageItems_data();
    void messageItems();
    void messageIntItems_data();
    void messageIntItems();
    void messageHead_data();
    void messageHead();

    void texts_data();
    void texts();

    void controlKinds_data();
    void controlKinds();
    void resultNames_data();
    void resultNames();
    void portsAndHeads();
};

// ---- writer ----------------------------------------------------------------------------------

void tst_UvcLink::encode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty text") << QString() << QByteArray::fromHex("2300000000");
    QTest::newRow("head only") << QStringLiteral("[01]") << (QByteArray::fromHex("2304000000") + "[01]");
    QTest::newRow("negative value") << QStringLiteral("[07]0,5,-3")
                                    << (QByteArray::fromHex("230a000000") + "[07]0,5,-3");
    // Length counts the local 8-bit bytes (UTF-8 here), not the characters.
    QTest::newRow("non-ascii path") << QString::fromUtf8("[01]/home/j\xc3\xbcrg/")
                                    << (QByteArray::fromHex("2310000000") + QByteArray("[01]/home/j\xc3\xbcrg/"));
    QTest::newRow("300 bytes") << QString(300, QLatin1Char('a'))
                               << (QByteArray::fromHex("232c010000") + QByteArray(300, 'a'));
}

void tst_UvcLink::encode()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(UvcLinkFrame::encode(text).toHex(), bytes.toHex());
}

void tst_UvcLink::headerByteOrder()
{
    QCOMPARE(UvcLinkFrame::header(0x01020304u).toHex(), QByteArray("2304030201"));
    QCOMPARE(UvcLinkFrame::header(0xffffffffu).toHex(), QByteArray("23ffffffff"));
    QCOMPARE(UvcLinkFrame::header(0).size(), UvcLinkFrame::HeaderSize);
}

// ---- reader ----------------------------------------------------------------------------------

void tst_UvcLink::reader_data()
{
    QTest::addColumn<QList<QByteArray>>("reads");          // successive reads
    QTest::addColumn<QList<int>>("payloadsAfterRead");     // payloads completed by each read
    QTest::addColumn<QList<QByteArray>>("payloads");       // every payload, in order
    QTest::addColumn<QByteArray>("rest");                  // buffer after the last read

    const QByteArray a = frame("[04]0,0");
    const QByteArray b = frame("[08]");
    const QByteArray big = "[06]" + QByteArray(1496, 'x');

    QTest::newRow("two frames in one read")
        << bytesList({a + b}) << QList<int>{2} << bytesList({"[04]0,0", "[08]"}) << QByteArray();
    QTest::newRow("split after mark and one length byte")
        << bytesList({"zz" + a.left(2), a.mid(2)}) << QList<int>{0, 1} << bytesList({"[04]0,0"}) << QByteArray();
    QTest::newRow("header split from payload, three reads")
        << bytesList({a.left(3), a.mid(3, 2), a.mid(5)}) << QList<int>{0, 0, 1} << bytesList({"[04]0,0"})
        << QByteArray();
    QTest::newRow("payload split in the middle")
        << bytesList({a.left(8), a.mid(8)}) << QList<int>{0, 1} << bytesList({"[04]0,0"}) << QByteArray();
    QTest::newRow("junk before a frame")
        << bytesList({"abc" + a}) << QList<int>{1} << bytesList({"[04]0,0"}) << QByteArray();
    QTest::newRow("junk only")
        << bytesList({"no start mark here"}) << QList<int>{0} << bytesList({}) << QByteArray();
    QTest::newRow("empty payload")
        << bytesList({QByteArray::fromHex("2300000000")}) << QList<int>{1} << bytesList({QByteArray()})
        << QByteArray();
    QTest::newRow("1500-byte payload")
        << bytesList({frame(big)}) << QList<int>{1} << bytesList({big}) << QByteArray();
    QTest::newRow("complete frame then partial header")
        << bytesList({a + "#\x03"}) << QList<int>{1} << bytesList({"[04]0,0"}) << QByteArray("#\x03");
    QTest::newRow("complete frame then partial payload")
        << bytesList({a + b.left(6)}) << QList<int>{1} << bytesList({"[04]0,0"}) << b.left(6);
    QTest::newRow("junk between frames")
        << bytesList({a + "\x01\x02" + b}) << QList<int>{2} << bytesList({"[04]0,0", "[08]"}) << QByteArray();
    QTest::newRow("payload that holds a mark")
        << bytesList({frame("[01]#x#"), b}) << QList<int>{1, 1} << bytesList({"[01]#x#", "[08]"}) << QByteArray();
    QTest::newRow("junk dropped before a partial frame")
        << bytesList({"junk" + a.left(1)}) << QList<int>{0} << bytesList({}) << QByteArray("#");
}

void tst_UvcLink::reader()
{
    QFETCH(QList<QByteArray>, reads);
    QFETCH(QList<int>, payloadsAfterRead);
    QFETCH(QList<QByteArray>, payloads);
    QFETCH(QByteArray, rest);

    UvcLinkReader reader;
    QList<QByteArray> got;
    for (int i = 0; i < reads.size(); ++i) {
        const QList<QByteArray> now = reader.feed(reads.at(i));
        QCOMPARE(now.size(), payloadsAfterRead.at(i));
        got += now;
    }
    QCOMPARE(got, payloads);
    QCOMPARE(reader.buffer(), rest);
}

void tst_UvcLink::readerByteByByte()
{
    const QList<QByteArray> texts{"[01]00000001,00000002", "", "[06]0,0,0,255,0,128,100", "[08]"};
    QByteArray stream;
    for (const QByteArray& t : texts)
        stream += "x" + frame(t);

    UvcLinkReader reader;
    QList<QByteArray> got;
    for (char c : stream)
        got += reader.feed(QByteArray(1, c));
    QCOMPARE(got, texts);
    QVERIFY(reader.buffer().isEmpty());
}

void tst_UvcLink::readerDropsHugeLengthAndRecovers_data()
{
    QTest::addColumn<quint32>("length");
    QTest::newRow("0x80000000") << 0x80000000u;
    QTest::newRow("0xffffffff") << 0xffffffffu;
    QTest::newRow("0x7fffffff") << 0x7fffffffu;
    QTest::newRow("cap plus one") << quint32(UvcLinkFrame::MaxPayload + 1);
}

void tst_UvcLink::readerDropsHugeLengthAndRecovers()
{
    QFETCH(quint32, length);
    UvcLinkReader reader;
    // A few bytes behind the length, then a good frame in the same read: all of it goes.
    QVERIFY(reader.feed(lengthOnly(length) + "[06]0,0" + frame("[08]")).isEmpty());
    QVERIFY(reader.buffer().isEmpty());
    // The next frame is read normally.
    QCOMPARE(reader.feed(frame("[05]1,0")), bytesList({"[05]1,0"}));
    QVERIFY(reader.buffer().isEmpty());
}

void tst_UvcLink::readerBufferStaysBounded()
{
    UvcLinkReader reader;
    QVERIFY(reader.feed(lengthOnly(0x7fffffffu)).isEmpty());
    const QByteArray chunk(64 * 1024, 'x');
    for (int i = 0; i < 64; ++i) {
        QVERIFY(reader.feed(chunk).isEmpty());
        QVERIFY2(reader.buffer().isEmpty(), "bytes of a dropped frame must not pile up");
    }
    // Partial header only after a huge length: waits, holding no more than the header.
    QVERIFY(reader.feed(lengthOnly(0x80000000u).left(3)).isEmpty());
    QCOMPARE(reader.buffer().size(), 3);
    QVERIFY(reader.feed(lengthOnly(0x80000000u).mid(3) + "abc").isEmpty());
    QVERIFY(reader.buffer().isEmpty());
}

void tst_UvcLink::readerTakesPayloadOfExactlyTheCap()
{
    UvcLinkReader reader;
    const int n = int(UvcLinkFrame::MaxPayload);
    QVERIFY(reader.feed(lengthOnly(quint32(n)) + "[01]").isEmpty());
    QCOMPARE(reader.buffer().size(), UvcLinkFrame::HeaderSize + 4);
    const QList<QByteArray> got = reader.feed(QByteArray(n - 4, 'y'));
    QCOMPARE(got.size(), 1);
    QCOMPARE(got.first().size(), n);
    QVERIFY(got.first().startsWith("[01]yyy"));
    QVERIFY(reader.buffer().isEmpty());
}

// ---- payload helpers -------------------------------------------------------------------------

void tst_UvcLink::payloadText_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QByteArray("[03]0") << QStringLiteral("[03]0");
    QTest::newRow("stops at zero byte") << QByteArray("[04]0,0\0junk", 12) << QStringLiteral("[04]0,0");
    QTest::newRow("leading zero byte") << QByteArray("\0[08]", 5) << QString();
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("utf-8") << QByteArray("[01]/tmp/\xc3\xa9/") << QString::fromUtf8("[01]/tmp/\xc3\xa9/");
}

void tst_UvcLink::payloadText()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, text);
    QCOMPARE(UvcLinkFrame::payloadText(payload), text);
}

void tst_UvcLink::logPart_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("logged");
    QTest::addColumn<bool>("isLogged");
    const QByteArray p1024 = "[06]" + QByteArray(1020, '1');
    const QByteArray p1025 = "[06]" + QByteArray(1021, '1');
    const QByteArray p1500 = "[01]" + QByteArray(1496, '2');
    QTest::newRow("short") << QByteArray("[05]1,0") << QByteArray("[05]1,0") << true;
    QTest::newRow("1024 bytes whole") << p1024 << p1024 << true;
    QTest::newRow("1025 bytes head") << p1025 << QByteArray("[06]") << true;
    QTest::newRow("1500 bytes head") << p1500 << QByteArray("[01]") << true;
    QTest::newRow("no bracket") << QByteArray("05]") << QByteArray("05]") << false;
    QTest::newRow("empty") << QByteArray() << QByteArray() << false;
}

void tst_UvcLink::logPart()
{
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, logged);
    QFETCH(bool, isLogged);
    QCOMPARE(UvcLinkFrame::logPart(payload), logged);
    QCOMPARE(UvcLinkFrame::isLogged(payload), isLogged);
}

void tst_UvcLink::roundTrip_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("requests") << QStringList{UvcLinkText::searchDevice(), UvcLinkText::startPlay(0, 1280, 720, 30),
                                             UvcLinkText::setControl(1, 5, -3)};
    QTest::newRow("replies") << QStringList{UvcLinkText::searchReply("00000001", ""), UvcLinkText::closeReply(),
                                            UvcLinkText::getControlValueReply(0, 7, 1023, 0, 0, 512)};
    QTest::newRow("father") << QStringList{UvcLinkText::fatherSetLogDir(QString::fromUtf8("/home/\xe4\xbd\xa0/log/")),
                                           UvcLinkText::fatherReset()};
    QTest::newRow("long") << QStringList{QStringLiteral("[01]") + QString(5000, QLatin1Char('z'))};
}

void tst_UvcLink::roundTrip()
{
    QFETCH(QStringList, texts);
    QByteArray stream;
    for (const QString& t : texts)
        stream += UvcLinkFrame::encode(t);
    UvcLinkReader reader;
    QStringList got;
    for (const QByteArray& p : reader.feed(stream))
        got << UvcLinkFrame::payloadText(p);
    QCOMPARE(got, texts);
}

// ---- grammar ---------------------------------------------------------------------------------

void tst_UvcLink::messageItems_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("search reply both") << "[01]00000001,00000002" << QStringList{"00000001", "00000002"};
    QTest::newRow("search reply none") << "[01]," << QStringList{"", ""};
    QTest::newRow("head only") << "[08]" << QStringList{""};
    QTest::newRow("no head") << "0,1,2" << QStringList{};
    QTest::newRow("empty") << "" << QStringList{};
    QTest::newRow("get value reply") << "[06]0,0,0,255,0,128,100"
                                     << QStringList{"0", "0", "0", "255", "0", "128", "100"};
    QTest::newRow("empty items kept") << "[07],,3," << QStringList{"", "", "3", ""};
    QTest::newRow("second part only") << "[05]1]2,3" << QStringList{"1"};
    QTest::newRow("close reply") << "[03]0" << QStringList{"0"};
}

void tst_UvcLink::messageItems()
{
    QFETCH(QString, text);
    QFETCH(QStringList, items);
    const UvcLinkMessage m(text);
    QCOMPARE(m.itemCount(), items.size());
    for (int i = 0; i < items.size(); ++i)
        QCOMPARE(m.item(i), items.at(i));
    QCOMPARE(m.item(items.size()), QString());   // past the end: empty, not a crash
    QCOMPARE(m.item(-1), QString());
    QVERIFY(m.hasItems(items.size()));
    QVERIFY(!m.hasItems(items.size() + 1));
}

void tst_UvcLink::messageIntItems_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("missing");
    QTest::addColumn<int>("value");
    QTest::newRow("negative") << "[07]0,5,-3" << 2 << -100 << -3;
    QTest::newRow("letter reads 0") << "[06]a,3" << 0 << -1 << 0;
    QTest::newRow("empty item reads 0") << "[01]," << 1 << -1 << 0;
    QTest::newRow("missing result") << "[07]0,5" << 2 << -100 << -100;
    QTest::newRow("missing index") << "[04]" << 1 << -1 << -1;
    QTest::newRow("no items at all") << "garbage" << 0 << -7 << -7;
    QTest::newRow("hex text reads 0") << "[01]0000abcd" << 0 << -1 << 0;
    QTest::newRow("leading zeros decimal") << "[01]00000001" << 0 << -1 << 1;
    QTest::newRow("overflow reads 0") << "[06]99999999999" << 0 << -1 << 0;
    QTest::newRow("negative index") << "[06]1,2" << -1 << 42 << 42;
}

void tst_UvcLink::messageIntItems()
{
    QFETCH(QString, text);
    QFETCH(int, index);
    QFETCH(int, missing);
    QFETCH(int, value);
    QCOMPARE(UvcLinkMessage(text).intItem(index, missing), value);
}

void tst_UvcLink::messageHead_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("head");
    QTest::addColumn<bool>("has");
    QTest::addColumn<QString>("afterHead");
    QTest::newRow("match") << "[05]12" << UvcCmdStopPlay << true << "12";
    QTest::newRow("other head") << "[05]12" << UvcCmdStartPlay << false << "12";
    QTest::newRow("short text") << "[0" << UvcCmdSearchDevice << false << "";
    QTest::newRow("father dir") << "[01]/a,b]c/" << FatherCmdSetLogDir << true << "/a,b]c/";
    QTest::newRow("no bracket") << "05]1" << UvcCmdStopPlay << false << "";
}

void tst_UvcLink::messageHead()
{
    QFETCH(QString, text);
    QFETCH(QString, head);
    QFETCH(bool, has);
    QFETCH(QString, afterHead);
    const UvcLinkMessage m(text);
    QCOMPARE(m.hasHead(head.toLatin1().constData()), has);
    QCOMPARE(m.textAfterHead(), afterHead);
}

// ---- texts -----------------------------------------------------------------------------------

void tst_UvcLink::texts_data()
{
    QTest::addColumn<QString>("built");
    QTest::addColumn<QString>("expected");
    using namespace UvcLinkText;
    QTest::newRow("search") << searchDevice() << "[01]";
    QTest::newRow("open") << openDevice() << "[02]";
    QTest::newRow("close") << closeDevice() << "[03]";
    QTest::newRow("start play") << startPlay(0, 1920, 1080, 30) << "[04]0,1920,1080,30";
    QTest::newRow("stop play") << stopPlay(1) << "[05]1";
    QTest::newRow("get control") << getControl(1, 7) << "[06]1,7";
    QTest::newRow("set exposure") << setControl(0, 5, -3) << "[07]0,5,-3";
    QTest::newRow("set exposure auto") << setControl(0, 6, 1) << "[07]0,6,1";
    QTest::newRow("camera ids") << cameraIds(0x0000, 0x0001) << "00000001";
    QTest::newRow("camera ids hex lower") << cameraIds(0x1BCF, 0x2C9A) << "1bcf2c9a";
    QTest::newRow("search reply both") << searchReply(cameraIds(0, 1), cameraIds(0, 2)) << "[01]00000001,00000002";
    QTest::newRow("search reply none") << searchReply(QString(), QString()) << "[01],";
    QTest::newRow("open reply main") << openReply(cameraIds(0, 1), QString()) << "[02]00000001,";
    QTest::newRow("close reply") << closeReply() << "[03]0";
    QTest::newRow("start reply") << startPlayReply(0, -1) << "[04]0,-1";
    QTest::newRow("stop reply") << stopPlayReply(1) << "[05]1,0";
    QTest::newRow("get value reply") << getControlValueReply(0, 0, 255, 0, 128, 100) << "[06]0,0,0,255,0,128,100";
    QTest::newRow("get mode reply on") << getControlModeReply(0, 6, true) << "[06]0,6,0,1";
    QTest::newRow("get mode reply off") << getControlModeReply(1, 8, false) << "[06]1,8,0,0";
    QTest::newRow("get fail reply") << getControlFailReply(0, 9, -1) << "[06]0,9,-1";
    QTest::newRow("set reply") << setControlReply(0, -3, -1) << "[07]0,-3,-1";
    QTest::newRow("notify") << notifyDeviceChange() << "[08]";
    QTest::newRow("father log dir") << fatherSetLogDir("/home/u/Documents/x/") << "[01]/home/u/Documents/x/";
    QTest::newRow("father reset") << fatherReset() << "[02]";
}

void tst_UvcLink::texts()
{
    QFETCH(QString, built);
    QFETCH(QString, expected);
    QCOMPARE(built, expected);
}

void tst_UvcLink::controlKinds_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("valueType");
    QTest::addColumn<bool>("modeType");
    QTest::newRow("brightness") << int(UvcControlBrightness) << true << true << false;
    QTest::newRow("contrast") << int(UvcControlContrast) << true << true << false;
    QTest::newRow("saturation") << int(UvcControlSaturation) << true << true << false;
    QTest::newRow("sharpness") << int(UvcControlSharpness) << true << true << false;
    QTest::newRow("gain") << int(UvcControlGain) << true << true << false;
    QTest::newRow("exposure") << int(UvcControlExposure) << true << true << false;
    QTest::newRow("exposure mode") << int(UvcControlExposureMode) << true << false << true;
    QTest::newRow("focus") << int(UvcControlFocus) << true << true << false;
    QTest::newRow("focus mode") << int(UvcControlFocusMode) << true << false << true;
    QTest::newRow("9") << 9 << false << false << false;
    QTest::newRow("-1") << -1 << false << false << false;
    QTest::newRow("-3") << -3 << false << false << false;
    QTest::newRow("32") << 32 << false << false << false;
}

void tst_UvcLink::controlKinds()
{
    QFETCH(int, type);
    QFETCH(bool, valid);
    QFETCH(bool, valueType);
    QFETCH(bool, modeType);
    QCOMPARE(uvcControlTypeValid(type), valid);
    QCOMPARE(uvcControlIsValueType(type), valueType);
    QCOMPARE(uvcControlIsModeType(type), modeType);
}

void tst_UvcLink::resultNames_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("-94") << -94 << "MUCR_OCCUPATION";
    QTest::newRow("-95") << -95 << "MUCR_CLOSED";
    QTest::newRow("-96") << -96 << "MUCR_UVC_ERROR";
    QTest::newRow("-97") << -97 << "MUCR_TYPE_FAILD";
    QTest::newRow("-98") << -98 << "MUCR_CAMERA_INDEX_FAILD";
    QTest::newRow("-99") << -99 << "MUCR_TIMEOUT";
    QTest::newRow("-100") << -100 << "MUCR_CONNECT_SERVER_FAILD";
    QTest::newRow("0") << 0 << "MUCR_UNKNOWN";
}

void tst_UvcLink::resultNames()
{
    QFETCH(int, code);
    QFETCH(QString, name);
    QCOMPARE(QString::fromLatin1(mucrName(code)), name);
}

void tst_UvcLink::portsAndHeads()
{
    QCOMPARE(int(UvcServicePort), 11080);
    QCOMPARE(int(FatherPort), 11081);
    QCOMPARE(QString::fromLatin1(UvcLinkHost), QStringLiteral("127.0.0.1"));
    const QStringList heads{UvcCmdSearchDevice, UvcCmdOpenDevice, UvcCmdCloseDevice, UvcCmdStartPlay,
                            UvcCmdStopPlay, UvcCmdGetControl, UvcCmdSetControl, UvcNotifyDeviceChange};
    for (int i = 0; i < heads.size(); ++i)
        QCOMPARE(heads.at(i), QStringLiteral("[%1]").arg(i + 1, 2, 10, QLatin1Char('0')));
    QCOMPARE(QString::fromLatin1(FatherCmdSetLogDir), QStringLiteral("[01]"));
    QCOMPARE(QString::fromLatin1(FatherCmdReset), QStringLiteral("[02]"));
}

QTEST_APPLESS_MAIN(tst_UvcLink)
#include "tst_uvclink.moc"
