// The drawing, extension and function palettes, the drawing-setting pickers, the tool state
// that follows the annotation scene, "Open folder" and the unconnected quit slot.

#include "mainwindow.h"

#include "drawoptionselect.h"
#include "graphicsscene.h"
#include "graphicsview.h"
#include "mainwindowlinks.h"
#include "mymemory.h"
#include "outsidepresswatch.h"
#include "paxlib.h"
#include "pushbutton.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDesktopServices>
#include <QMessageBox>
#include <QMouseEvent>
#include <QSlider>
#include <QUrl>

namespace
{
PushButton* named(PushButton* button, const char* name)
{
    button->setObjectName(QString::fromLatin1(name));
    return button;
}
}

void MainWindow::_CreateToolBar(Ltoolbar::Style style)
{
    if (style != Ltoolbar::StyleTranslucent && style != Ltoolbar::StyleFunction)
        return;
    int dx, dy;
    _offsets(dx, dy);
    const int w = width();
    const int h = height();
    MyMemory* memory = MyMemory::getInstance();
    GraphicsScene* scene = m_mainView->getScene();

    if (style == Ltoolbar::StyleTranslucent) {
        delete m_drawToolbar;
        m_drawToolbar = new Ltoolbar(this, Ltoolbar::StyleTranslucent);
        m_drawToolbar->setObjectName(QStringLiteral("m_drawToolbar"));
        connect(m_mainView, &GraphicsView::sigClearHoverStatus, m_drawToolbar, &Ltoolbar::slotClearHoverStatus,
                Qt::DirectConnection);
        m_drawToolbar->setButtunSize(memory->toolButtonSize);
        m_drawToolbar->setLayoutType(Ltoolbar::ColumnUpward);
        m_drawToolbar->setSizeType(Ltoolbar::SizeType1);

        struct Row {
            const char* icon;
            const char* tip;
            bool checkable;
            PushButton** member;
            const char* name;
            void (GraphicsScene::*first)();
            void (GraphicsScene::*second)();
            void (MainWindow::*own)();
        };
        const Row rows[] = {
            {":/myImage/res/Ellipse.png", QT_TR_NOOP("Ellipse"), true, &m_buttonEllipse, "m_buttonEllipse", &GraphicsScene::slotEllipse, nullptr, nullptr},
            {":/myImage/res/Rect.png", QT_TR_NOOP("Rect"), true, &m_buttonRect, "m_buttonRect", &GraphicsScene::slotRect, nullptr, nullptr},
            {":/myImage/res/Triangle.png", QT_TR_NOOP("Triangle"), true, &m_buttonTriangle, "m_buttonTriangle", &GraphicsScene::slotTriangle, nullptr, nullptr},
            {":/myImage/res/pen.png", QT_TR_NOOP("Line"), true, &m_buttonLine, "m_buttonLine", &GraphicsScene::slotPen, nullptr, nullptr},
            {":/myImage/res/textpointer.png", QT_TR_NOOP("Text"), true, &m_buttonText, "m_buttonText", &GraphicsScene::slotText, nullptr, nullptr},
            {":/myImage/res/eraser.png", QT_TR_NOOP("Eraser"), true, &m_buttonEraser, "m_buttonEraser", &GraphicsScene::slotErase, nullptr, nullptr},
            {":/myImage/res/copy.png", QT_TR_NOOP("Delete"), false, nullptr, "buttonDelete", &GraphicsScene::slotRemoveSelected, nullptr, nullptr},
            {":/myImage/res/undo.png", QT_TR_NOOP("Undo"), false, nullptr, "buttonUndo", &GraphicsScene::slotUndo, nullptr, nullptr},
            {":/myImage/res/redo.png", QT_TR_NOOP("Redo"), false, nullptr, "buttonRedo", &GraphicsScene::slotRedo, nullptr, nullptr},
            {":/myImage/res/clear.png", QT_TR_NOOP("Clear"), false, nullptr, "buttonClear", &GraphicsScene::slotRemoveAll, &GraphicsScene::slotVideoMode, nullptr},
            {":/myImage/res/drag.png", QT_TR_NOOP("Move"), true, &m_buttonMove, "m_buttonMove", &GraphicsScene::slotItemMove, nullptr, nullptr},
            {":/myImage/res/mouse.png", QT_TR_NOOP("Back"), true, &m_buttonBack, "m_buttonBack", &GraphicsScene::slotVideoMode, nullptr, nullptr},
            {":/myImage/res/save.png", QT_TR_NOOP("Screen shot"), false, nullptr, "buttonScreenShot", nullptr, nullptr, &MainWindow::slotGrab},
            {":/myImage/res/folder.png", QT_TR_NOOP("Open folder"), false, nullptr, "buttonOpenFolder", nullptr, nullptr, &MainWindow::slotOpenFolder},
        };
        for (const Row& row : rows) {
            PushButton* button = named(m_drawToolbar->addButton(QString(), QString::fromLatin1(row.icon)), row.name);
            button->setToolTip(tr(row.tip));
            button->setCheckable(row.checkable);
            if (row.member)
                *row.member = button;
            if (row.first)
                connect(button, &QPushButton::clicked, scene, row.first);
            if (row.second)
                connect(button, &QPushButton::clicked, scene, row.second);
            if (row.own)
                connect(button, &QPushButton::clicked, this, row.own);
            connect(button, &QPushButton::clicked, this, &MainWindow::slotHideExtendLToolbar);
        }
        m_buttonExtension = named(m_drawToolbar->addButton(QString(), QStringLiteral(":/myImage/res/kuozhan.png")),
                                  "m_buttonExtension");
        m_buttonExtension->setToolTip(tr("Extension"));
        connect(m_buttonExtension, &QPushButton::clicked, this, &MainWindow::slotExtendLToolbar);

        m_mainView->setGeometry(0, 0, w, h - memory->toolbarHeight);
        m_drawToolbar->setAnchorPoint(QPoint(dx, dy + h - memory->toolbarHeight));
        m_drawToolbar->freshUi();
        m_drawToolbar->show();
        return;
    }

    delete m_functionToolbar;
    m_functionToolbar = new Ltoolbar(this, Ltoolbar::StyleFunction);
    m_functionToolbar->setObjectName(QStringLiteral("m_functionToolbar"));
    connect(m_mainView, &GraphicsView::sigClearHoverStatus, m_functionToolbar, &Ltoolbar::slotClearHoverStatus,
            Qt::DirectConnection);
    m_functionToolbar->setButtunSize(memory->wideButtonSize);
    m_functionToolbar->setLayoutType(Ltoolbar::ColumnUpward);
    m_functionToolbar->setSizeType(Ltoolbar::SizeType1);
    m_buttonHide = named(m_functionToolbar->addHideButton(), "m_buttonHide");

    PushButton* settings = named(m_functionToolbar->addButton(tr("Settings"), QStringLiteral(":/myImage/res/icoSetting.png")),
                                 "buttonSettings");
    connect(settings, &QPushButton::clicked, this, &MainWindow::slotConfig);
    if (MainWindowLinks::media()->hasSecondCamera(m_mediaControl) && !paxlib::YL_isCpuArm()) {
        PushButton* pip = named(m_functionToolbar->addButton(tr("PIP"), QStringLiteral(":/myImage/res/icoPicInPic.png")),
                                "buttonPip");
        connect(pip, &QPushButton::clicked, this, &MainWindow::slotPreview);
    }
    m_buttonRecord = named(m_functionToolbar->addButton(tr("Record"), QStringLiteral(":/myImage/res/icoVideo.png")),
                           "m_buttonRecord");
    connect(m_buttonRecord, &QPushButton::clicked, this, &MainWindow::slotRecord);
    m_buttonPause = named(m_functionToolbar->addButton(tr("Pause"), QStringLiteral(":/myImage/res/pause.png")),
                          "m_buttonPause");
    connect(m_buttonPause, &QPushButton::clicked, this, &MainWindow::slotPause);
    m_buttonPause->mySetHide(true);
    m_buttonCompare = named(m_functionToolbar->addButton(tr("Compare"), QStringLiteral(":/myImage/res/icoComp.png")),
                            "m_buttonCompare");
    m_buttonCompare->setCheckable(true);
    connect(m_buttonCompare, &QPushButton::clicked, this, &MainWindow::slotCompare2);
    m_buttonPresenter = named(m_functionToolbar->addButton(tr("Presenter"), QStringLiteral(":/myImage/res/icoLumora.png")),
                              "m_buttonPresenter");
    m_buttonPresenter->setCheckable(true);
    connect(m_buttonPresenter, &QPushButton::clicked, this, &MainWindow::slotPlatform);
    m_buttonDesktop = named(m_functionToolbar->addButton(tr("Desktop"), QStringLiteral(":/myImage/res/icoDesk.png")),
                            "m_buttonDesktop");
    m_buttonDesktop->setCheckable(true);
    connect(m_buttonDesktop, &QPushButton::clicked, this, &MainWindow::slotDesktop);
    PushButton* power = named(m_functionToolbar->addButton(tr("Exit"), QStringLiteral(":/myImage/res/icoPower.png")),
                              "buttonExit");
    connect(power, &QPushButton::clicked, this, &MainWindow::slotPower);

    m_functionToolbar->setAnchorPoint(QPoint(dx + w - memory->wideButtonSize.width(), dy + h - memory->toolbarHeight));
    m_functionToolbar->freshUi();
    m_functionToolbar->show();
}

void MainWindow::slotExtendLToolbar()
{
    if (m_extendToolbar) {
        slotHideExtendLToolbar();
        return;
    }
    MyMemory* memory = MyMemory::getInstance();
    m_buttonExtension->setToolTip(tr("Contraction"));
    m_extendToolbar = new Ltoolbar(this, Ltoolbar::StyleTranslucent);
    m_extendToolbar->setObjectName(QStringLiteral("m_extendToolbar"));
    connect(m_mainView, &GraphicsView::sigClearHoverStatus, m_extendToolbar, &Ltoolbar::slotClearHoverStatus,
            Qt::DirectConnection);
    m_extendToolbar->setAttribute(Qt::WA_StyledBackground, true);
    m_extendToolbar->setWindowFlags(m_drawToolbar->windowFlags() | Qt::WindowStaysOnTopHint);
    m_extendToolbar->setGeometry(m_drawToolbar->x() + memory->toolbarWidth + 2, m_drawToolbar->y(),
                                 m_drawToolbar->width(), m_drawToolbar->height());
    m_extendToolbar->setButtunSize(memory->toolButtonSize);
    m_extendToolbar->setLayoutType(Ltoolbar::Column);
    m_extendToolbar->setSizeType(Ltoolbar::SizeType0);
    m_extendToolbar->setAnchorPoint(QPoint(memory->toolbarWidth + 4, height() - 4 - memory->toolbarHeight));

    struct Row {
        const char* icon;
        const char* tip;
        const char* name;
        void (MainWindow::*slot)();
    };
    const Row rows[] = {
        {":/myImage/res/linecolor.png", QT_TR_NOOP("Line Color"), "m_buttonLineColor", &MainWindow::slotDrawColor},
        {":/myImage/res/fillcolor.png", QT_TR_NOOP("Fill Color"), "m_buttonFillColor", &MainWindow::slotFillColor},
        {":/myImage/res/lineSize.png", QT_TR_NOOP("Line Size"), "buttonLineSize", &MainWindow::slotPenWidth},
        {":/myImage/res/trans.png", QT_TR_NOOP("Transparent"), "buttonTransparent", &MainWindow::slotTransparent},
        {":/myImage/res/eraser_config.png", QT_TR_NOOP("Erase Size"), "buttonEraseSize", &MainWindow::slotEraseWidth},
    };
    for (const Row& row : rows) {
        PushButton* button = named(m_extendToolbar->addButton(QString(), QString::fromLatin1(row.icon)), row.name);
        button->setToolTip(tr(row.tip));
        connect(button, &QPushButton::clicked, this, row.slot);
        if (row.slot == &MainWindow::slotDrawColor)
            m_buttonLineColor = button;
        else if (row.slot == &MainWindow::slotFillColor)
            m_buttonFillColor = button;
    }
    m_extendToolbar->show();
    m_drawToolbar->changeButtonRes(m_buttonExtension, QStringLiteral(":/myImage/res/shousuo.png"));
}

void MainWindow::slotHideExtendLToolbar()
{
    if (!m_extendToolbar)
        return;
    m_buttonExtension->setToolTip(tr("Extension"));
    Ltoolbar* toolbar = m_extendToolbar;
    m_extendToolbar = nullptr;
    m_buttonLineColor = nullptr;
    m_buttonFillColor = nullptr;
    toolbar->hide();
    if (m_inPicker) {
        // A button of this toolbar is still delivering the click that opened the picker.
        delete m_retiredToolbar;
        m_retiredToolbar = toolbar;
    } else {
        delete toolbar;
    }
    m_drawToolbar->changeButtonRes(m_buttonExtension, QStringLiteral(":/myImage/res/kuozhan.png"));
}

void MainWindow::_runPicker(int row)
{
    if (!m_buttonLineColor)
        return;
    MyMemory* memory = MyMemory::getInstance();
    const QPoint p = mapFromGlobal(m_buttonLineColor->mapToGlobal(m_buttonLineColor->pos()));
    const QPoint at(2 * memory->toolbarWidth + 6, p.y() + row * memory->toolButtonSize.height());
    DrawOptionSelect* popup = nullptr;
    switch (row) {
    case 0:
    case 1: {
        auto* colour = new ColorSelect(at, this);
        colour->setCurColor(row == 0 ? memory->getDrawColor() : memory->getFillColor());
        connect(colour, &ColorSelect::sigColorSelectChanged, this,
                row == 0 ? &MainWindow::slotDrawColorChanged : &MainWindow::slotFillColorChanged);
        popup = colour;
        break;
    }
    case 2: {
        auto* pen = new PenSelect(at, this);
        pen->setCurPenWidth(memory->getPenWidth());
        connect(pen, &PenSelect::sigPenWidthSelectChanged, this, &MainWindow::slotPenWidthChanged);
        popup = pen;
        break;
    }
    case 3: {
        auto* transparent = new TransparentSelect(at, this);
        transparent->setCurTransparent(memory->getTransparent());
        connect(transparent, &TransparentSelect::sigTransparentSelectChanged, this, &MainWindow::slotTransparentChanged);
        popup = transparent;
        break;
    }
    default: {
        auto* erase = new EraseSelect(at, this);
        erase->setCurEraseWidth(memory->getEraseWidth());
        connect(erase, &EraseSelect::sigEraseWidthSelectChanged, this, &MainWindow::slotEraseWidthChanged);
        popup = erase;
        break;
    }
    }
    popup->setObjectName(QStringLiteral("pickerPopup"));
    OutsidePressWatch watch;
    m_inPicker = true;
    popup->exec();
    m_inPicker = false;
    delete popup;
    if (m_retiredToolbar) {
        m_retiredToolbar->deleteLater();   // runs after the click that opened the picker
        m_retiredToolbar = nullptr;
    }
    watch.forwardClick();
}

void MainWindow::slotDrawColor() { _runPicker(0); }
void MainWindow::slotFillColor() { _runPicker(1); }
void MainWindow::slotPenWidth() { _runPicker(2); }
void MainWindow::slotTransparent() { _runPicker(3); }
void MainWindow::slotEraseWidth() { _runPicker(4); }

void MainWindow::slotDrawColorChanged(int color)
{
    MyMemory::getInstance()->setConfigDrawColor(MyMemory::Color(color));
    m_mainView->getScene()->repaintItem();
    slotHideExtendLToolbar();
}

void MainWindow::slotFillColorChanged(int color)
{
    MyMemory::getInstance()->setConfigFillColor(MyMemory::Color(color));
    m_mainView->getScene()->repaintItem();
    slotHideExtendLToolbar();
}

void MainWindow::slotPenWidthChanged(int width)
{
    MyMemory::getInstance()->setConfigPenWidth(MyMemory::PenWidth(width));
    m_mainView->getScene()->repaintItem();
    slotHideExtendLToolbar();
}

void MainWindow::slotTransparentChanged(int transparent)
{
    MyMemory::getInstance()->setConfitTransparent(MyMemory::MyTransparent(transparent));
    m_mainView->getScene()->repaintItem();
    slotHideExtendLToolbar();
}

void MainWindow::slotEraseWidthChanged(int width)
{
    MyMemory::getInstance()->setConfigEraseWidth(MyMemory::EraseWidth(width));
    m_mainView->getScene()->repaintItem();
    m_mainView->getScene()->slotErase();
    slotHideExtendLToolbar();
}

void MainWindow::slotUpdateSceneMode(int mode, int ioctlMode)
{
    PushButton* tools[] = {m_buttonRect, m_buttonEllipse, m_buttonTriangle, m_buttonLine,
                           m_buttonText, m_buttonEraser, m_buttonMove, m_buttonBack};
    for (PushButton* button : tools)
        if (button)
            button->setChecked(false);
    auto check = [](PushButton* button) {
        if (button)
            button->setChecked(true);
    };
    switch (mode) {
    case 0: check(m_buttonRect); m_mainView->setCursor(Qt::CrossCursor); break;
    case 1: check(m_buttonEllipse); m_mainView->setCursor(Qt::CrossCursor); break;
    case 2: check(m_buttonTriangle); m_mainView->setCursor(Qt::CrossCursor); break;
    case 3: {
        check(m_buttonLine);
        const QPixmap pen(QStringLiteral(":/myImage/res/pen.png"));
        m_mainView->setCursor(QCursor(pen, 0, pen.height() - 1));
        break;
    }
    case 4: check(m_buttonText); m_mainView->setCursor(Qt::IBeamCursor); break;
    case 5:
    case 6:
        if (ioctlMode == 1)
            check(m_buttonBack);
        else if (ioctlMode == 0)
            check(m_buttonMove);
        m_mainView->viewport()->unsetCursor();
        break;
    case 7: check(m_buttonEraser); break;
    default: break;
    }

    if (m_mode == ModeCompare) {
        if (ioctlMode == 0) {
            m_mainView->setAttribute(Qt::WA_TransparentForMouseEvents, false);
            m_mainView->raise();
            if (m_drawToolbar)
                m_drawToolbar->raise();
            if (m_functionToolbar)
                m_functionToolbar->raise();
        } else if (ioctlMode == 1) {
            m_mainView->setAttribute(Qt::WA_TransparentForMouseEvents, true);
        }
    } else if (m_mode == ModeDesktop) {
        if (ioctlMode == 1) {
            m_mainView->setStyleSheet(QStringLiteral("background-color:rgba(0,0,0,0);"));
        } else if (ioctlMode == 0) {
            m_mainView->setStyleSheet(QStringLiteral("background-color:rgba(0,0,0,15);"));
            raise();
        }
    }

    if (ioctlMode != 0 && ioctlMode != 1)
        return;
    const bool annotate = ioctlMode == 0;
    m_mainView->bWheelZoom = !annotate;
    for (GraphicsView* view : qAsConst(m_compareViews)) {
        view->disableButton(annotate);
        view->bWheelZoom = !annotate;
    }
    QWidget* controls[] = {m_buttonVideoSet, m_buttonZoomIn, m_sliderZoom, m_buttonZoomOut,
                           m_buttonFitView, m_buttonFullSize, m_buttonTurnLeft, m_sliderRotate,
                           m_buttonTurnRight, m_buttonLocalPicture, m_buttonVisualPresenter};
    for (QWidget* control : controls)
        if (control)
            control->setDisabled(annotate);
}

void MainWindow::slotOpenFolder()
{
    if (m_normalWindow == 0)
        slotFs();
    const QUrl url(QStringLiteral("file:") + MyMemory::getSavePath(), QUrl::TolerantMode);
    if (!QDesktopServices::openUrl(url))
        qDebug("slotOpenFolder failed");
}

void MainWindow::slotQuit()
{
    QMessageBox::warning(nullptr, tr("Warning"), tr("Warning Content"), QMessageBox::Ok, QMessageBox::NoButton);
    QCoreApplication::exit(0);
}
