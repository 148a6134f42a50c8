// The floating palette and its picture buttons on the X display: geometry by style and layout,
// hide button, hover clearing, blink overlay, self-painted button states. Screenshots of the
// three palette styles are written to artefacts/ beside the test's working folder.

#include "eventwait.h"
#include "drawtestsupport.h"
#include "ltoolbar.h"
#include "pushbutton.h"

#include <QComboBox>
#include <QDir>
#include <QEnterEvent>
#include <QPointer>
#include <QSlider>
#include <QtTest>

using namespace drawtest;

namespace
{
QString savePicture(const QString& folder, const QString& name, const QColor& colour, QSize size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    const QString file = folder + QLatin1Char('/') + name;
    image.save(file);
    return file;
}

QColor pixelAt(QWidget* widget, QPoint point)
{
    return widget->grab().toImage().pixelColor(point);
}

bool near(const QColor& a, const QColor& b)
{
    return qAbs(a.red() - b.red()) <= 3 && qAbs(a.green() - b.green()) <= 3 && qAbs(a.blue() - b.blue()) <= 3;
}
}

class TstLtoolbar : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;

    QString artefactFolder()
    {
        QDir here = QDir::current();
        here.mkpath(QStringLiteral("artefacts"));
        return here.filePath(QStringLiteral("artefacts"));
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void init() { initSettings(m_dir.path()); }
    void cleanupTestCase() { MyMemory::releaseInstance(); }

    void columnUpward_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("hidden");
        QTest::addColumn<bool>("withHideButton");
        QTest::addColumn<bool>("collapsed");
        QTest::addColumn<QRect>("palette");
        QTest::addColumn<QList<int>>("buttonRows"); // -1: hidden
        QTest::addColumn<QString>("hideText");
        // Anchor (100, 900), buttons 140 x 32.
        QTest::newRow("four buttons") << 4 << QList<int>{} << false << false << QRect(100, 772, 140, 128)
                                      << QList<int>{0, 1, 2, 3} << QString();
        QTest::newRow("four buttons, the second hidden: room kept, the rest close up")
            << 4 << QList<int>{1} << false << false << QRect(100, 772, 140, 128) << QList<int>{0, -1, 1, 2} << QString();
        QTest::newRow("hide button expanded") << 4 << QList<int>{} << true << false << QRect(100, 740, 140, 160)
                                              << QList<int>{1, 2, 3, 4} << QStringLiteral("Hide");
        QTest::newRow("hide button expanded, one hidden: one row less")
            << 4 << QList<int>{2} << true << false << QRect(100, 772, 140, 128) << QList<int>{1, 2, -1, 3}
            << QStringLiteral("Hide");
        QTest::newRow("hide button collapsed: one button high") << 4 << QList<int>{} << true << true
                                                                << QRect(100, 868, 140, 32) << QList<int>{}
                                                                << QStringLiteral("Lumora");
    }
    void columnUpward()
    {
        QFETCH(int, count);
        QFETCH(QList<int>, hidden);
        QFETCH(bool, withHideButton);
        QFETCH(bool, collapsed);
        QFETCH(QRect, palette);
        QFETCH(QList<int>, buttonRows);
        QFETCH(QString, hideText);
        Ltoolbar toolbar(nullptr, Ltoolbar::StyleFunction);
        toolbar.setButtunSize(QSize(140, 32));
        toolbar.setAnchorPoint(QPoint(100, 900));
        QList<PushButton*> buttons;
        for (int i = 0; i < count; ++i)
            buttons << toolbar.addButton(QStringLiteral("b%1").arg(i), QStringLiteral(":/myImage/res/load.png"));
        for (int i : hidden)
            buttons[i]->mySetHide(true);
        if (withHideButton)
            toolbar.addHideButton();
        toolbar.freshUi();
        toolbar.show();
        if (collapsed)
            QTest::mouseClick(toolbar.hideButton(), Qt::LeftButton);
        QCOMPARE(toolbar.hideState(), collapsed ? 1 : 0);
        QCOMPARE(toolbar.geometry(), palette);
        if (withHideButton) {
            QCOMPARE(toolbar.hideButton()->geometry(), QRect(0, 0, 140, 32));
            QCOMPARE(toolbar.hideButton()->text(), hideText);
        }
        for (int i = 0; i < buttonRows.size(); ++i) {
            if (buttonRows[i] < 0) {
                QVERIFY(buttons[i]->isHidden());
                continue;
            }
            QVERIFY(!buttons[i]->isHidden());
            QCOMPARE(buttons[i]->geometry(), QRect(0, buttonRows[i] * 32, 140, 32));
        }
        if (collapsed) {
            QTest::mouseClick(toolbar.hideButton(), Qt::LeftButton);
            QCOMPARE(toolbar.hideState(), 0);
            QCOMPARE(toolbar.height(), (count - hidden.size() + 1) * 32);
            QCOMPARE(toolbar.geometry().bottom(), 899);
        }
    }

    void blinkingHideButtonKeepsItsText()
    {
        Ltoolbar toolbar(nullptr, Ltoolbar::StyleFunction);
        toolbar.addButton(QStringLiteral("a"), QString());
        PushButton* hide = toolbar.addHideButton();
        hide->setMyText(QStringLiteral("REC"));
        hide->openPixFlicker();
        toolbar.slotHide();
        QCOMPARE(hide->text(), QStringLiteral("REC"));
        hide->closePixFlicker();
        toolbar.slotHide();
        QCOMPARE(hide->text(), QStringLiteral("Hide"));
    }

    void centredRow_data()
    {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("firstX");
        QTest::newRow("three buttons centred") << 3 << 215;
        QTest::newRow("twelve buttons overflow evenly") << 12 << -55;
        QTest::newRow("one button") << 1 << 275;
    }
    void centredRow()
    {
        QFETCH(int, buttons);
        QFETCH(int, firstX);
        Ltoolbar toolbar(nullptr, Ltoolbar::StyleBottom);
        toolbar.setLayoutType(Ltoolbar::CentredRow);
        toolbar.setSizeType(Ltoolbar::SizeType0);
        toolbar.setToolbarSize(QSize(600, 60));
        toolbar.setAnchorPoint(QPoint(0, 1000));
        QList<PushButton*> list;
        for (int i = 0; i < buttons; ++i)
            list << toolbar.addButton(QString(), QStringLiteral(":/myImage/res/movie.png"));
        toolbar.freshUi();
        QCOMPARE(toolbar.geometry(), QRect(0, 940, 600, 60));
        const int inset = MyMemory::getInstance()->bottomMargin;
        for (int i = 0; i < buttons; ++i)
            QCOMPARE(list[i]->geometry(), QRect(firstX + i * 60, int((60 - inset - 50) * 0.5), 50, 50));
        // Right edge of the last unit mirrors the left edge of the first.
        QCOMPARE(600 - list.last()->geometry().right() - 1, firstX);
    }

    void rowWithSliderAndCombo()
    {
        MyMemory* memory = MyMemory::getInstance();
        const QSizeF slider = memory->sliderSize, combo = memory->comboSize;
        Ltoolbar toolbar(nullptr, Ltoolbar::StyleBottom);
        toolbar.setLayoutType(Ltoolbar::CentredRow);
        toolbar.setSizeType(Ltoolbar::SizeType0);
        toolbar.setToolbarSize(QSize(800, 60));
        toolbar.setAnchorPoint(QPoint(10, 500));
        PushButton* button = toolbar.addButton(QString(), QString());
        QSlider* s = toolbar.addSlider();
        QComboBox* c = toolbar.addComboBox();
        QCOMPARE(s->value(), 50);
        toolbar.freshUi();
        const double total = 60 + slider.width() + 10 + combo.width() + 10;
        double x = (800 + 10 - total) * 0.5;
        const int inset = memory->bottomMargin;
        QCOMPARE(button->geometry(), QRect(int(x), int((60 - inset - 50) * 0.5), 50, 50));
        x += 60;
        QCOMPARE(s->geometry(), QRect(int(x), int((60 - inset - slider.height()) * 0.5), int(slider.width()),
                                      int(slider.height())));
        x += slider.width() + 10;
        QCOMPARE(c->geometry(), QRect(int(x), int((60 - inset - combo.height()) * 0.5), int(combo.width()),
                                      int(combo.height())));
    }

    void mismatchedSizeTypeMovesNothing_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<int>("sizeType");
        QTest::newRow("row with size type 1") << int(Ltoolbar::CentredRow) << 1;
        QTest::newRow("column with size type 1") << int(Ltoolbar::Column) << 1;
        QTest::newRow("upward column with size type 0") << int(Ltoolbar::ColumnUpward) << 0;
    }
    void mismatchedSizeTypeMovesNothing()
    {
        QFETCH(int, layout);
        QFETCH(int, sizeType);
        Ltoolbar toolbar(nullptr, Ltoolbar::StyleTranslucent);
        toolbar.setGeometry(5, 5, 77, 77);
        PushButton* button = toolbar.addButton(QString(), QString());
        button->setGeometry(3, 3, 9, 9);
        toolbar.setLayoutType(Ltoolbar::LayoutType(layout));
        toolbar.setSizeType(Ltoolbar::SizeType(sizeType));
        toolbar.freshUi();
        QCOMPARE(toolbar.geometry(), QRect(5, 5, 77, 77));
        QCOMPARE(button->geometry(), QRect(3, 3, 9, 9));
    }

    void columnsSkipSlidersAndCombos_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<int>("sizeType");
        QTest::addColumn<QList<int>>("rows");
        QTest::newRow("plain column: rows by unit index") << int(Ltoolbar::Column) << 0 << QList<int>{0, 3};
        QTest::newRow("upward column: buttons only") << int(Ltoolbar::ColumnUpward) << 1 << QList<int>{0, 1};
    }
    void columnsSkipSlidersAndCombos()
    {
        QFETCH(int, layout);
        QFETCH(int, sizeType);
        QFETCH(QList<int>, rows);
        Ltoolbar toolbar(nullptr, Ltoolbar::StyleTranslucent);
        toolbar.setLayoutType(Ltoolbar::LayoutType(layout));
        toolbar.setSizeType(Ltoolbar::SizeType(sizeType));
        PushButton* first = toolbar.addButton(QString(), QString());
        QSlider* slider = toolbar.addSlider();
        slider->setGeometry(1, 2, 3, 4);
        QComboBox* combo = toolbar.addComboBox();
        combo->setGeometry(5, 6, 7, 8);
        PushButton* last = toolbar.addButton(QString(), QString());
        toolbar.freshUi();
        QCOMPARE(first->geometry(), QRect(0, rows[0] * 50, 50, 50));
        QCOMPARE(last->geometry(), QRect(0, rows[1] * 50, 50, 50));
        QCOMPARE(slider->geometry(), QRect(1, 2, 3, 4));
        QCOMPARE(combo->geometry(), QRect(5, 6, 7, 8));
    }

    void settersAloneMoveNothing()
    {
        Ltoolbar toolbar(nullptr, Ltoolbar::StyleFunction);
        toolbar.addButton(QString(), QString());
        toolbar.freshUi();
        const QRect before = toolbar.geometry();
        QCOMPARE(before, QRect(100, 1150, 50, 50));
        toolbar.setAnchorPoint(QPoint(300, 300));
        toolbar.setButtunSize(QSize(80, 40));
        toolbar.setToolbarSize(QSize(400, 60));
        QCOMPARE(toolbar.geometry(), before);
        toolbar.freshUi();
        QCOMPARE(toolbar.geometry(), QRect(300, 260, 80, 40));
    }

    void styles_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<bool>("translucent");
        QTest::addColumn<int>("picMode");
        QTest::newRow("0 translucent palette") << 0 << "background-color:rgba(55,66,76,128);" << true << 0;
        QTest::newRow("1 function palette") << 1 << "" << false << 1;
        QTest::newRow("2 bottom bar") << 2 << "background-color:rgba(55,66,76,255);" << false << 0;
    }
    void styles()
    {
        QFETCH(int, style);
        QFETCH(QString, sheet);
        QFETCH(bool, translucent);
        QFETCH(int, picMode);
        Ltoolbar toolbar(nullptr, Ltoolbar::Style(style));
        PushButton* button = toolbar.addButton(QStringLiteral("Rect"), QStringLiteral(":/myImage/res/load.png"));
        toolbar.freshUi();
        QCOMPARE(toolbar.styleSheet(), sheet);
        QCOMPARE(toolbar.testAttribute(Qt::WA_TranslucentBackground), translucent);
        QVERIFY(toolbar.testAttribute(Qt::WA_X11NetWmWindowTypeUtility));
        QVERIFY(!toolbar.testAttribute(Qt::WA_X11NetWmWindowTypeDock));
        QCOMPARE(toolbar.windowFlags() & Qt::WindowType_Mask, Qt::Dialog);
        QVERIFY(toolbar.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(toolbar.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(int(button->picMode()), picMode);
        QCOMPARE(toolbar.units().first().name, QStringLiteral("Rect"));
        const QString fontSize = QStringLiteral("font-size:%1px;").arg(MyMemory::getInstance()->buttonFontSize);
        if (style == 1) {
            QVERIFY(button->styleSheet().isEmpty());
            QVERIFY(button->pix() && !button->pix()->isNull());
        } else {
            QVERIFY(button->styleSheet().contains(QStringLiteral("url(:/myImage/res/load.png)")));
            QVERIFY(button->styleSheet().contains(fontSize));
        }
        // Only a translucent palette changes its icons in place.
        const QString before = button->styleSheet();
        toolbar.changeButtonRes(button, QStringLiteral(":/myImage/res/movie.png"));
        if (style == 0) {
            QVERIFY(button->styleSheet().contains(QStringLiteral("url(:/myImage/res/movie.png)")));
            QVERIFY(!button->styleSheet().contains(QStringLiteral("font-size")));
        } else {
            QCOMPARE(button->styleSheet(), before);
        }
    }

    void screenshotsOfTheThreeStyles()
    {
        const QString folder = artefactFolder();
        for (int style = 0; style < 3; ++style) {
            Ltoolbar toolbar(nullptr, Ltoolbar::Style(style));
            if (style == 2) {
                toolbar.setLayoutType(Ltoolbar::CentredRow);
                toolbar.setSizeType(Ltoolbar::SizeType0);
                toolbar.setToolbarSize(QSize(700, 60));
                toolbar.setAnchorPoint(QPoint(100, 700));
                toolbar.addButton(QStringLiteral("Picture"), QStringLiteral(":/myImage/res/load.png"));
                toolbar.addSlider();
                toolbar.addComboBox()->addItem(QStringLiteral("1920x1080"));
                toolbar.addButton(QStringLiteral("Preview"), QStringLiteral(":/myImage/res/movie.png"));
            } else {
                toolbar.setButtunSize(style == 1 ? QSize(140, 32) : QSize(50, 50));
                toolbar.setAnchorPoint(QPoint(100, 700));
                for (const char* name : {"Rect", "Ellipse", "Text"})
                    toolbar.addButton(QString::fromLatin1(name), QStringLiteral(":/myImage/res/load.png"))
                        ->setToolTip(QString::fromLatin1(name));
                if (style == 1)
                    toolbar.addHideButton();
            }
            toolbar.freshUi();
            toolbar.show();
            QVERIFY(QTest::qWaitForWindowExposed(&toolbar, eventwait::kHangMs));
            const QImage shot = toolbar.grab().toImage();
            QVERIFY(!shot.isNull());
            const QString file = folder + QStringLiteral("/ltoolbar_style%1.png").arg(style);
            QVERIFY(shot.save(file));
            // The palette's own background shows at its bottom-right corner.
            const QColor corner = shot.pixelColor(shot.width() - 1, shot.height() - 1);
            if (style != 1) // the function palette is covered by its buttons
                QVERIFY2(near(corner, QColor(55, 66, 76)) || style == 0,
                         qPrintable(corner.name(QColor::HexArgb)));
            if (style == 0)
                QVERIFY2(corner.alpha() < 255 || near(corner, QColor(55, 66, 76)), qPrintable(corner.name(QColor::HexArgb)));
        }
    }

    void clearHoverStatusEndsTheHoverLook()
    {
        Ltoolbar toolbar(nullptr, Ltoolbar::StyleFunction);
        PushButton* button = toolbar.addButton(QStringLiteral("Rect"), QString());
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QCoreApplication::sendEvent(button, &enter);
        button->setAttribute(Qt::WA_UnderMouse, true);
        QVERIFY(button->isHovered());
        toolbar.slotClearHoverStatus();
        QVERIFY(!button->isHovered());
        QVERIFY(!button->testAttribute(Qt::WA_UnderMouse));
    }

    void fullScreenMakesAChildPalette()
    {
        QWidget window;
        window.resize(800, 600);
        auto* toolbar = new Ltoolbar(&window, Ltoolbar::StyleTranslucent);
        QVERIFY(toolbar->isWindow());
        toolbar->setFullScreen(true);
        QVERIFY(!toolbar->isWindow());
        QVERIFY(toolbar->isVisibleTo(&window));
        toolbar->setFullScreen(false);
        QVERIFY(toolbar->isWindow());
        QVERIFY(!toolbar->isHidden());
    }

    // A new native window for a palette shown as a window of its own, at the same place and a
    // transient of its parent's window; nothing for a hidden palette or one drawn inside its parent.
    void renewWindow_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("insideParent");
        QTest::addColumn<bool>("renewed");
        QTest::newRow("shown window") << true << false << true;
        QTest::newRow("hidden window") << false << false << false;
        QTest::newRow("drawn inside the full-screen parent") << true << true << false;
    }

    void renewWindow()
    {
        QFETCH(bool, shown);
        QFETCH(bool, insideParent);
        QFETCH(bool, renewed);
        QWidget window;
        window.resize(800, 600);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window, eventwait::kHangMs));
        auto* toolbar = new Ltoolbar(&window, Ltoolbar::StyleFunction);
        toolbar->setButtunSize(QSize(140, 32));
        toolbar->addButton(QStringLiteral("Exit"), QString());
        toolbar->setAnchorPoint(QPoint(600, 500));
        toolbar->freshUi();
        toolbar->show();
        QVERIFY(QTest::qWaitForWindowExposed(toolbar, eventwait::kHangMs));
        // A window of its own opened from the palette (as the picture-in-picture window is).
        auto* owned = new QWidget(toolbar, Qt::Dialog);
        owned->resize(200, 150);
        owned->show();
        QVERIFY(QTest::qWaitForWindowExposed(owned, eventwait::kHangMs));
        QCOMPARE(owned->windowHandle()->transientParent(), toolbar->windowHandle());
        if (!shown)
            toolbar->hide();
        if (insideParent)
            toolbar->setFullScreen(true);
        const WId before = toolbar->internalWinId();
        const QRect geometry = toolbar->geometry();

        toolbar->renewWindow();

        QCOMPARE(toolbar->internalWinId() != before, renewed);
        QCOMPARE(toolbar->isVisible(), shown);
        QCOMPARE(toolbar->isWindow(), !insideParent);
        QCOMPARE(toolbar->geometry(), geometry);
        if (renewed) {
            QVERIFY(toolbar->internalWinId() != 0);
            QCOMPARE(toolbar->windowHandle()->transientParent(), window.windowHandle());
            QVERIFY(QTest::qWaitForWindowExposed(toolbar, eventwait::kHangMs));
            QVERIFY(owned->isVisible());
            QCOMPARE(owned->windowHandle()->transientParent(), toolbar->windowHandle());
        }
    }

    void clearUnitDeletesEveryWidget()
    {
        Ltoolbar toolbar(nullptr, Ltoolbar::StyleBottom);
        QPointer<PushButton> button = toolbar.addButton(QString(), QString());
        QPointer<QSlider> slider = toolbar.addSlider();
        QPointer<QComboBox> combo = toolbar.addComboBox();
        QPointer<PushButton> hide = toolbar.addHideButton();
        toolbar.clearUnit();
        QVERIFY(toolbar.units().isEmpty());
        QVERIFY(!toolbar.hideButton());
        QVERIFY(!button && !slider && !combo && !hide);
    }

    void blinkOverlayStates()
    {
        PushButton button(QString(), nullptr, PushButton::PictureMode);
        button.pausePixFlicker();
        button.resumePixFlicker();
        QVERIFY(!button.isOpenPixFlicker());
        QVERIFY(!button.isFlickerRunning());
        button.openPixFlicker();
        QVERIFY(button.isOpenPixFlicker());
        QVERIFY(button.isFlickerRunning());
        QVERIFY(button.isFlickerPhaseVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!button.isFlickerPhaseVisible(), eventwait::kHangMs);
        button.openPixFlicker(); // no change
        button.pausePixFlicker();
        QVERIFY(!button.isFlickerRunning());
        QVERIFY(button.isFlickerPhaseVisible());
        // Paused: no timer runs, and what was pending changes nothing.
        QVERIFY(eventwait::runPending());
        QVERIFY(!button.isFlickerRunning());
        QVERIFY(button.isFlickerPhaseVisible());
        button.resumePixFlicker();
        QVERIFY(button.isFlickerRunning());
        QVERIFY(button.isFlickerPhaseVisible());
        button.closePixFlicker();
        QVERIFY(!button.isOpenPixFlicker());
        QVERIFY(!button.isFlickerRunning());
    }

    void pictureButtonPaintsItsState_data()
    {
        QTest::addColumn<bool>("checked");
        QTest::addColumn<bool>("hovered");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<bool>("frame");
        const QColor normal(0, 0, 200), pressed(0, 200, 0), active(200, 200, 0);
        QTest::newRow("plain") << false << false << normal << false;
        QTest::newRow("hovered") << false << true << active << false;
        QTest::newRow("checked") << true << false << pressed << true;
        QTest::newRow("checked and hovered") << true << true << active << true;
    }
    void pictureButtonPaintsItsState()
    {
        QFETCH(bool, checked);
        QFETCH(bool, hovered);
        QFETCH(QColor, background);
        QFETCH(bool, frame);
        const QString folder = m_dir.path();
        PushButton button(QString(), nullptr, PushButton::PictureMode);
        button.setBackgroundPix(savePicture(folder, "n.png", QColor(0, 0, 200), QSize(10, 10)),
                                savePicture(folder, "p.png", QColor(0, 200, 0), QSize(10, 10)),
                                savePicture(folder, "a.png", QColor(200, 200, 0), QSize(10, 10)));
        button.setPix(savePicture(folder, "pic.png", QColor(255, 0, 255), QSize(22, 22)));
        button.resize(140, 32);
        button.setCheckable(true);
        button.setChecked(checked);
        if (hovered) {
            QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
            QCoreApplication::sendEvent(&button, &enter);
        }
        QVERIFY(near(pixelAt(&button, QPoint(100, 16)), background));
        // The picture sits in the 22-px square at m = (32 - 22) / 2.
        QVERIFY(near(pixelAt(&button, QPoint(15, 15)), QColor(255, 0, 255)));
        QCOMPARE(near(pixelAt(&button, QPoint(1, 16)), QColor(255, 0, 0)), frame);

        // While the overlay blinks the picture is never drawn.
        button.openPixFlicker();
        QVERIFY(near(pixelAt(&button, QPoint(16, 16)), QColor(255, 0, 0)));
        QTRY_VERIFY_WITH_TIMEOUT(!button.isFlickerPhaseVisible(), eventwait::kHangMs);
        QVERIFY(near(pixelAt(&button, QPoint(16, 16)), background));
        QVERIFY(near(pixelAt(&button, QPoint(7, 7)), background));
    }

    void largePictureIsPlacedByItsHeight()
    {
        const QString folder = m_dir.path();
        PushButton button(QString(), nullptr, PushButton::PictureMode);
        const QString plain = savePicture(folder, "bg.png", QColor(0, 0, 200), QSize(10, 10));
        button.setBackgroundPix(plain, plain, plain);
        button.setPix(savePicture(folder, "big.png", QColor(255, 0, 255), QSize(48, 48)));
        button.resize(140, 26);
        // m = (26 - 48) / 2 = -11: the 22-px square runs from (-11, -11) to (10, 10).
        QVERIFY(near(pixelAt(&button, QPoint(3, 3)), QColor(255, 0, 255)));
        QVERIFY(near(pixelAt(&button, QPoint(9, 9)), QColor(255, 0, 255)));
        QVERIFY(near(pixelAt(&button, QPoint(13, 13)), QColor(0, 0, 200)));
        QVERIFY(near(pixelAt(&button, QPoint(30, 13)), QColor(0, 0, 200)));
    }

    void pixmapHandOver_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("style-sheet button leaves it to the caller") << 0;
        QTest::newRow("picture button keeps it") << 1;
    }
    void pixmapHandOver()
    {
        QFETCH(int, mode);
        PushButton button(QStringLiteral("x"), nullptr, PushButton::PicMode(mode));
        button.resize(100, 30);
        const QImage before = button.grab().toImage();
        auto* given = new QPixmap(22, 22);
        given->fill(Qt::magenta);
        button.setPix(given);
        if (mode == 0) {
            QVERIFY(!button.pix());
            QCOMPARE(button.grab().toImage(), before);
            // Still the caller's: readable, and freed here.
            QCOMPARE(given->toImage().pixelColor(3, 3), QColor(Qt::magenta));
            delete given;
        } else {
            QCOMPARE(button.pix(), given);
            auto* next = new QPixmap(22, 22);
            button.setPix(next);
            QCOMPARE(button.pix(), next);
        }
        // The hidden flag is only a flag.
        button.show();
        button.mySetHide(true);
        QVERIFY(button.myGetHide());
        QVERIFY(button.isVisible());
    }
};

QTEST_MAIN(TstLtoolbar)
#include "tst_ltoolbar.moc"
