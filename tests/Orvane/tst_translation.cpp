// The program's Simplified Chinese texts: tr_zh.ts holds a finished translation of every text the
// sources hand to tr() and translate() (as lupdate finds them now), and the built tr_zh.qm gives
// each of them.

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

struct Message {
    QString context;
    QString source;
    QString translation;
    bool finished = false;
};

QList<Message> readTs(const QString& path)
{
    QList<Message> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    QString context;
    Message current;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            current = Message();
            current.context = context;
        } else if (xml.name() == QLatin1String("source")) {
            current.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            current.finished = xml.attributes().value(QLatin1String("type")).isEmpty();
            current.translation = xml.readElementText();
            messages << current;
        }
    }
    return messages;
}

QString sourceDir() { return qEnvironmentVariable("ORVANE_TEST_SOURCE_DIR"); }
QString tsPath() { return sourceDir() + QStringLiteral("/src_vq3/app/tr_zh.ts"); }

bool hasChinese(const QString& text)
{
    return text.contains(QRegularExpression(QStringLiteral("[\\x{4e00}-\\x{9fff}]")));
}

} // namespace

class TstTranslation : public QObject {
    Q_OBJECT

private slots:
    void everyTextOfTheSourcesIsTranslated()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString fresh = dir.filePath(QStringLiteral("fresh.ts"));
        QProcess lupdate;
        lupdate.setProcessChannelMode(QProcess::MergedChannels);
        lupdate.start(QStringLiteral("lupdate"), {QStringLiteral("-locations"), QStringLiteral("none"),
                                                  sourceDir() + QStringLiteral("/src_vq3"), QStringLiteral("-ts"), fresh});
        QVERIFY(lupdate.waitForFinished(60000));
        QVERIFY2(lupdate.exitCode() == 0, lupdate.readAll().constData());
        const QList<Message> found = readTs(fresh);
        QVERIFY(found.size() > 100);

        QHash<QString, Message> held;
        for (const Message& m : readTs(tsPath()))
            held.insert(m.context + QLatin1Char('\n') + m.source, m);
        QStringList missing;
        for (const Message& m : found) {
            const Message h = held.value(m.context + QLatin1Char('\n') + m.source);
            if (!h.finished || h.translation.isEmpty())
                missing << m.context + QStringLiteral(": ") + m.source;
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char('\n'))));
    }

    void builtFileGivesEveryTranslation()
    {
        QTranslator translator;
        QVERIFY2(translator.load(QStringLiteral(ORVANE_TR_QM)), ORVANE_TR_QM);
        const QList<Message> messages = readTs(tsPath());
        QVERIFY(!messages.isEmpty());
        int chinese = 0;
        for (const Message& m : messages) {
            const QString got = translator.translate(m.context.toUtf8().constData(), m.source.toUtf8().constData());
            QVERIFY2(got == m.translation || (got.isEmpty() && m.translation == m.source),
                     qPrintable(m.context + QStringLiteral(": ") + m.source + QStringLiteral(" -> ") + got));
            chinese += hasChinese(m.translation) ? 1 : 0;
        }
        // All but the technical names (encoder presets, rate modes, sizes, the product name).
        QVERIFY2(chinese > messages.size() * 3 / 4, qPrintable(QString::number(chinese)));
        QCOMPARE(translator.translate("MainWindow", "Settings"), QString::fromUtf8("\xe8\xae\xbe\xe7\xbd\xae"));
    }

    // Texts the sources pick from tables at run time: the built file gives each in Chinese.
    void textsPickedAtRunTimeAreTranslated_data()
    {
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("source");
        for (const char* tip : {"Brightness", "Contrast", "Saturation", "Sharpness", "Gain", "Exposure", "Focus"})
            QTest::newRow(tip) << "VideoSet" << tip;
        for (const char* text : {"Main camera record", "Second camera record", "Screen record", "High", "Middle",
                                 "Low", "Custom"})
            QTest::newRow(text) << "CameraRecordDialog" << text;
        // The tips' titles and texts, the ones no window walk reaches among them.
        for (const char* text : {"Tip", "Warning", "Device has been removed!", "Entering to UVC preview mode ...",
                                 "Exiting from UVC preview mode ...", "Doing ocr, please wait",
                                 "Don't support recording in 4K display mode, please changed the display resolution below 1920x1200"})
            QTest::newRow(text) << "TipsDialog" << text;
    }

    void textsPickedAtRunTimeAreTranslated()
    {
        QFETCH(QString, context);
        QFETCH(QString, source);
        QTranslator translator;
        QVERIFY2(translator.load(QStringLiteral(ORVANE_TR_QM)), ORVANE_TR_QM);
        const QString got = translator.translate(context.toUtf8().constData(), source.toUtf8().constData());
        QVERIFY2(hasChinese(got), qPrintable(got));
    }
};

QTEST_GUILESS_MAIN(TstTranslation)
#include "tst_translation.moc"
