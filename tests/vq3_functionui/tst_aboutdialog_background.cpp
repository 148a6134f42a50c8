// The About dialog paints its own background over whatever window lies beneath it, the settings
// dialog that opens it included.
#include "aboutdialog.h"
#include "configdialog.h"
#include "eventwait.h"
#include "mymemory.h"

#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

class TestAboutDialogBackground : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    // The share of the dialog's free band (left of the title and link, under the logo) that shows
    // the dialog's colour on the screen.
    static double backgroundShare(const AboutDialog& d)
    {
        const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        const QRect free(d.geometry().left() + 2, d.geometry().top() + d.label_2->geometry().bottom() + 4,
                         d.label_3->geometry().left() - 4, d.geometry().height() - d.label_2->geometry().bottom() - 8);
        int hits = 0, all = 0;
        for (int y = free.top(); y <= free.bottom(); y += 2)
            for (int x = free.left(); x <= free.right(); x += 2) {
                ++all;
                const QColor c = screen.pixelColor(x, y);
                hits += (qAbs(c.red() - 55) < 4 && qAbs(c.green() - 66) < 4 && qAbs(c.blue() - 76) < 4) ? 1 : 0;
            }
        return all ? double(hits) / all : 0;
    }

    // What the dialog opens over, the size of the screen: the settings dialog (a child of
    // `parent`) or a bright label.
    static QWidget* beneath(bool overSettings, QWidget* parent)
    {
        QWidget* below = nullptr;
        if (overSettings) {
            below = new ConfigDialog(false, parent);
        } else {
            below = new QLabel(QStringLiteral("beneath"));
            below->setStyleSheet(QStringLiteral("background-color: rgb(250, 240, 10);"));
        }
        below->setGeometry(QGuiApplication::primaryScreen()->geometry());
        return below;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        MyMemory::setSavePath(m_dir.path());
        MyMemory::getInstance();
    }

    void paintsItsBackground_data()
    {
        QTest::addColumn<bool>("overSettings");
        QTest::newRow("over a bright window") << false;
        QTest::newRow("over the settings dialog of a translucent window") << true;
    }
    void paintsItsBackground()
    {
        QFETCH(bool, overSettings);
        // The main window is translucent; the settings dialog is its child.
        QWidget window;
        window.setAttribute(Qt::WA_TranslucentBackground, true);
        window.setWindowFlags(Qt::FramelessWindowHint);
        window.setGeometry(QGuiApplication::primaryScreen()->geometry());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window, eventwait::kHangMs));
        QScopedPointer<QWidget> below(beneath(overSettings, &window));
        below->show();
        QVERIFY(QTest::qWaitForWindowExposed(below.data(), eventwait::kHangMs));
        // Opened as the settings dialog opens it: modal, in its own event loop. The screen is read
        // once the dialog's event loop has run its first rounds after the window was exposed.
        AboutDialog d(below.data());
        double share = -1;
        QTimer::singleShot(0, &d, [&] {
            QTimer::singleShot(0, &d, [&] {
                if (!QTest::qWaitForWindowExposed(&d, eventwait::kHangMs))
                    return;
                for (int i = 0; i < 5; ++i)
                    QCoreApplication::processEvents();
                share = backgroundShare(d);
                d.close();
            });
        });
        d.exec();
        QVERIFY2(share > 0.95, qPrintable(QString::number(share)));
    }

    // The dialog's own rendering: every pixel outside its child widgets is its background colour,
    // whatever lies beneath it.
    void rendersItsWholeBackground_data() { paintsItsBackground_data(); }
    void rendersItsWholeBackground()
    {
        QFETCH(bool, overSettings);
        QScopedPointer<QWidget> below(beneath(overSettings, nullptr));
        below->show();
        QVERIFY(QTest::qWaitForWindowExposed(below.data(), eventwait::kHangMs));
        AboutDialog d(below.data());
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d, eventwait::kHangMs));
        const QImage image = d.grab().toImage();
        QVERIFY(!image.isNull());
        const qreal ratio = image.devicePixelRatio();
        QRegion children;
        for (QWidget* child : d.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (child->isVisible())
                children += child->geometry().adjusted(-1, -1, 1, 1);
        int other = 0, all = 0;
        QPoint firstOther(-1, -1);
        for (int y = 0; y < d.height(); ++y)
            for (int x = 0; x < d.width(); ++x) {
                if (children.contains(QPoint(x, y)))
                    continue;
                ++all;
                const QColor c = image.pixelColor(int(x * ratio), int(y * ratio));
                if (c != QColor(55, 66, 76)) {
                    if (other++ == 0)
                        firstOther = QPoint(x, y);
                }
            }
        QVERIFY(all > 0);
        const QString found = other == 0 ? QString()
            : QStringLiteral("%1 of %2 pixels differ, first at %3,%4: %5")
                  .arg(other).arg(all).arg(firstOther.x()).arg(firstOther.y())
                  .arg(image.pixelColor(firstOther * ratio).name());
        QVERIFY2(other == 0, qPrintable(found));
        d.close();
    }
};

QTEST_MAIN(TestAboutDialogBackground)
#include "tst_aboutdialog_background.moc"
