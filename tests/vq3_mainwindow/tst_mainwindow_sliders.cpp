// The bottom palette's zoom and rotation sliders start at the state of the view they act on, in
// the compare palette and after the presenter palette is built again.
#include "eventwait.h"
#include "mainwindowfakes.h"

#include "graphicsview.h"
#include "ltoolbar.h"
#include "mainwindow.h"
#include "mymemory.h"
#include "paxscreenqtlib.h"
#include "pushbutton.h"

#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestMainWindowSliders : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    FakeLinks m_fakes;

    std::unique_ptr<MainWindow> makeWindow()
    {
        auto window = std::make_unique<MainWindow>();
        window->init();
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get(), eventwait::kHangMs))
            return nullptr;
        return window;
    }
    static PushButton* button(QObject* parent, const char* name)
    {
        return parent->findChild<PushButton*>(QLatin1String(name));
    }
    static int sliderValueFor(double scale) { return qBound(100000, int(scale * 1000000), 5000000); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qApp->setQuitOnLastWindowClosed(false);
        keepFilesIn(m_dir);
    }
    void init()
    {
        m_fakes.link();
    }
    void cleanup()
    {
        m_fakes.unlink();
    }
    void cleanupTestCase()
    {
        PaxScreenQtLib::releaseInstance();
        MyMemory::releaseInstance();
    }

    void compareSlidersShowTheView()
    {
        auto window = makeWindow();
        QVERIFY(window);
        QTest::mouseClick(button(window->functionToolbar(), "m_buttonCompare"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window->compareViews().size(), 2, 60000);
        QSlider* rotate = window->bottomToolbar()->findChild<QSlider*>(QStringLiteral("m_sliderRotate"));
        QSlider* zoom = window->bottomToolbar()->findChild<QSlider*>(QStringLiteral("m_sliderZoom"));
        QVERIFY(rotate && zoom);
        GraphicsView* view = window->compareViews().first();
        QCOMPARE(rotate->value(), view->getRotate());
        QCOMPARE(zoom->value(), sliderValueFor(view->scale()));
    }

    void presenterSlidersShowTheMainViewAfterARebuild()
    {
        auto window = makeWindow();
        QVERIFY(window);
        QTest::mouseClick(button(window->functionToolbar(), "m_buttonCompare"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window->compareViews().size(), 2, 60000);
        QTest::mouseClick(button(window->functionToolbar(), "m_buttonPresenter"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window->mode(), int(MainWindow::ModePresenter), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(window->bottomToolbar()->findChild<QSlider*>(QStringLiteral("m_sliderZoom")), 60000);
        QSlider* zoom = window->bottomToolbar()->findChild<QSlider*>(QStringLiteral("m_sliderZoom"));
        QSlider* rotate = window->bottomToolbar()->findChild<QSlider*>(QStringLiteral("m_sliderRotate"));
        QVERIFY(zoom && rotate);
        QCOMPARE(zoom->value(), sliderValueFor(window->mainView()->scale()));
        QCOMPARE(rotate->value(), window->mainView()->getRotate());
    }
};

QTEST_MAIN(TestMainWindowSliders)
#include "tst_mainwindow_sliders.moc"
