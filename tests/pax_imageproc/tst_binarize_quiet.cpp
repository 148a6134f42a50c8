// The Wolf rule's statistics lines are debug output of their own category, off unless switched on:
// a black-and-white live view binarizes every frame.
#include "Binarize.h"

#include <QLoggingCategory>
#include <QtTest>

namespace {
QStringList g_messages;
void collect(QtMsgType type, const QMessageLogContext&, const QString& msg)
{
    if (type == QtDebugMsg)
        g_messages << msg;
}
}

class TestBinarizeQuiet : public QObject
{
    Q_OBJECT
private slots:
    void statisticsLines_data()
    {
        QTest::addColumn<QString>("rules");
        QTest::addColumn<int>("lines");
        QTest::newRow("default") << QString() << 0;
        QTest::newRow("category switched on") << QStringLiteral("pax.imageproc.binarize.debug=true") << 2;
    }
    void statisticsLines()
    {
        QFETCH(QString, rules);
        QFETCH(int, lines);
        QLoggingCategory::setFilterRules(rules);
        QImage picture(64, 48, QImage::Format_Grayscale8);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.scanLine(y)[x] = uchar((x * 7 + y * 13) % 256);
        g_messages.clear();
        const QtMessageHandler previous = qInstallMessageHandler(collect);
        imageproc::binarizeWolf(picture, QSize(51, 51), 50, 254);
        qInstallMessageHandler(previous);
        QVERIFY2(g_messages.size() == lines, qPrintable(g_messages.join(QLatin1Char('|'))));
    }
};

QTEST_APPLESS_MAIN(TestBinarizeQuiet)
#include "tst_binarize_quiet.moc"
