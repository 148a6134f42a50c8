// The bottom palettes of compare mode: one acting on every wired compare view at once, one
// acting on the wireless camera manager and choosing the number of tiles.

#include "mainwindow.h"

#include "graphicsview.h"
#include "mymemory.h"
#include "pushbutton.h"
#include "wirelessdevicemanage.h"

#include <QComboBox>
#include <QSlider>

void MainWindow::_removeBottomToolbar()
{
    if (!m_bottomToolbar)
        return;
    m_bottomToolbar->clearUnit();
    _clearBottomMembers();
    delete m_bottomToolbar;
    m_bottomToolbar = nullptr;
}

namespace
{
Ltoolbar* newBottomToolbar(QWidget* window, int dx, int dy)
{
    MyMemory* memory = MyMemory::getInstance();
    auto* toolbar = new Ltoolbar(window, Ltoolbar::StyleBottom);
    toolbar->setObjectName(QStringLiteral("m_bottomToolbar"));
    toolbar->setButtunSize(memory->bottomButtonSize);
    toolbar->setLayoutType(Ltoolbar::CentredRow);
    toolbar->setSizeType(Ltoolbar::SizeType0);
    toolbar->setToolbarSize(QSize(window->width(), memory->toolbarHeight));
    toolbar->setAnchorPoint(QPoint(dx, dy + window->height()));
    return toolbar;
}
}

void MainWindow::_CreateCompareBottomToolbar(int type)
{
    _removeBottomToolbar();
    int dx, dy;
    _offsets(dx, dy);
    m_bottomToolbar = newBottomToolbar(this, dx, dy);
    connect(m_mainView, &GraphicsView::sigClearHoverStatus, m_bottomToolbar, &Ltoolbar::slotClearHoverStatus,
            Qt::DirectConnection);

    auto button = [this](const char* icon, const char* tip, const char* name) {
        PushButton* b = m_bottomToolbar->addButton(QString(), QString::fromLatin1(icon));
        if (tip)
            b->setToolTip(tr(tip));
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    // Every view action goes to all compare views of the moment.
    auto toViews = [this](auto* sender, auto signal, auto viewSlot) {
        for (GraphicsView* view : qAsConst(m_compareViews))
            connect(sender, signal, view, viewSlot);
    };

    if (type == 0) {
        m_buttonLocalPicture = button(":/myImage/res/load.png", QT_TR_NOOP("Local Picture"), "m_buttonLocalPicture");
        connect(m_buttonLocalPicture, &QPushButton::clicked, this, &MainWindow::slotComparePicture);
        m_buttonVisualPresenter = button(":/myImage/res/movie.png", QT_TR_NOOP("Visual Presenter"), "m_buttonVisualPresenter");
        connect(m_buttonVisualPresenter, &QPushButton::clicked, this, &MainWindow::slotComparePreview);
    } else if (type == 1) {
        m_buttonVideoSet = button(":/myImage/res/videoset.png", QT_TR_NOOP("Video Settings"), "m_buttonVideoSet");
        connect(m_buttonVideoSet, &QPushButton::clicked, this, &MainWindow::slotVideoSet);
        m_buttonVideoSet->mySetHide(true);
        m_comboSolution = m_bottomToolbar->addComboBox();
        m_comboSolution->setObjectName(QStringLiteral("m_comboSolution"));
        _freshSolutionList();
        if (_isRecording())
            m_comboSolution->setDisabled(true);
        connect(m_comboSolution, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                &MainWindow::slotGaoOptionChange);
    }

    m_buttonZoomIn = button(":/myImage/res/zoomin.png", QT_TR_NOOP("Zoom Out"), "m_buttonZoomIn");
    toViews(m_buttonZoomIn, &QPushButton::clicked, &GraphicsView::zoomIn);
    m_sliderZoom = m_bottomToolbar->addSlider();
    m_sliderZoom->setObjectName(QStringLiteral("m_sliderZoom"));
    m_sliderZoom->setRange(100000, 5000000);
    toViews(m_sliderZoom, &QSlider::sliderMoved, &GraphicsView::zoomInOut);
    // The sliders start at the state of the view they act on.
    GraphicsView* current = static_cast<GraphicsView*>(MyMemory::getInstance()->getPtr(QStringLiteral("curGraphicsView")));
    if (!m_compareViews.contains(current))
        current = m_compareViews.isEmpty() ? nullptr : m_compareViews.first();
    m_sliderZoom->setValue(current ? int(current->scale() * 1000000) : 1000000);
    m_buttonZoomOut = button(":/myImage/res/zoomout.png", QT_TR_NOOP("Zoom In"), "m_buttonZoomOut");
    toViews(m_buttonZoomOut, &QPushButton::clicked, &GraphicsView::zoomOut);
    m_buttonFitView = button(":/myImage/res/FitView.png", QT_TR_NOOP("Fit View"), "m_buttonFitView");
    toViews(m_buttonFitView, &QPushButton::clicked, &GraphicsView::slotFitToView);
    m_buttonFullSize = button(":/myImage/res/fullsize.png", QT_TR_NOOP("Full Size"), "m_buttonFullSize");
    toViews(m_buttonFullSize, &QPushButton::clicked, &GraphicsView::slot1on1);
    m_buttonTurnLeft = button(":/myImage/res/rl.png", QT_TR_NOOP("Turn Left"), "m_buttonTurnLeft");
    toViews(m_buttonTurnLeft, &QPushButton::clicked, &GraphicsView::rotateLeft);
    m_sliderRotate = m_bottomToolbar->addSlider();
    m_sliderRotate->setObjectName(QStringLiteral("m_sliderRotate"));
    m_sliderRotate->setRange(0, 360);
    m_sliderRotate->setValue(current ? current->getRotate() : 0);
    toViews(m_sliderRotate, &QSlider::sliderMoved, &GraphicsView::slotRotate);
    m_buttonTurnRight = button(":/myImage/res/rr.png", QT_TR_NOOP("Turn Right"), "m_buttonTurnRight");
    toViews(m_buttonTurnRight, &QPushButton::clicked, &GraphicsView::rotateRight);

    void (MainWindow::*compare[])() = {&MainWindow::slotCompare1, &MainWindow::slotCompare2,
                                        &MainWindow::slotCompare3, &MainWindow::slotCompare4};
    for (int i = 0; i < 4; ++i) {
        const QByteArray icon = ":/myImage/res/comp" + QByteArray::number(i + 1) + ".png";
        const QByteArray name = "buttonCompare" + QByteArray::number(i + 1);
        PushButton* b = button(icon.constData(), nullptr, name.constData());
        connect(b, &QPushButton::clicked, this, compare[i]);
    }
    m_bottomToolbar->freshUi();
    m_bottomToolbar->show();
}

void MainWindow::_CreateCompareBottomToolbarForWirelessDevice()
{
    _removeBottomToolbar();
    int dx, dy;
    _offsets(dx, dy);
    m_bottomToolbar = newBottomToolbar(this, dx, dy);
    WirelessDeviceManage* manager = WirelessDeviceManage::getInstance();

    auto button = [this](const char* icon, const char* tip, const char* name) {
        PushButton* b = m_bottomToolbar->addButton(QString(), QString::fromLatin1(icon));
        b->setToolTip(tr(tip));
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    m_buttonZoomIn = button(":/myImage/res/zoomin.png", QT_TR_NOOP("Zoom Out"), "m_buttonZoomIn");
    connect(m_buttonZoomIn, &QPushButton::clicked, manager, &WirelessDeviceManage::zoomIn);
    m_sliderZoom = m_bottomToolbar->addSlider();
    m_sliderZoom->setObjectName(QStringLiteral("m_sliderZoom"));
    m_sliderZoom->setRange(100000, 5000000);
    connect(m_sliderZoom, &QSlider::sliderMoved, manager, &WirelessDeviceManage::zoomInOut);
    m_buttonZoomOut = button(":/myImage/res/zoomout.png", QT_TR_NOOP("Zoom In"), "m_buttonZoomOut");
    connect(m_buttonZoomOut, &QPushButton::clicked, manager, &WirelessDeviceManage::zoomOut);
    m_buttonFitView = button(":/myImage/res/FitView.png", QT_TR_NOOP("Fit View"), "m_buttonFitView");
    connect(m_buttonFitView, &QPushButton::clicked, manager, &WirelessDeviceManage::slotFitToView);
    m_buttonFullSize = button(":/myImage/res/fullsize.png", QT_TR_NOOP("Full Size"), "m_buttonFullSize");
    connect(m_buttonFullSize, &QPushButton::clicked, manager, &WirelessDeviceManage::slot1on1);
    m_buttonTurnLeft = button(":/myImage/res/rl.png", QT_TR_NOOP("Turn Left"), "m_buttonTurnLeft");
    connect(m_buttonTurnLeft, &QPushButton::clicked, manager, &WirelessDeviceManage::rotateLeft);
    m_sliderRotate = m_bottomToolbar->addSlider();
    m_sliderRotate->setObjectName(QStringLiteral("m_sliderRotate"));
    m_sliderRotate->setRange(0, 360);
    connect(m_sliderRotate, &QSlider::sliderMoved, manager, &WirelessDeviceManage::slotRotate);
    m_buttonTurnRight = button(":/myImage/res/rr.png", QT_TR_NOOP("Turn Right"), "m_buttonTurnRight");
    connect(m_buttonTurnRight, &QPushButton::clicked, manager, &WirelessDeviceManage::rotateRight);

    m_comboTiles = m_bottomToolbar->addComboBox();
    m_comboTiles->setObjectName(QStringLiteral("m_comboTiles"));
    m_comboTiles->addItems({QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("8"),
                            QStringLiteral("16"), QStringLiteral("32"), QStringLiteral("48")});
    int index = 0;
    switch (m_wirelessTileCount) {
    case 3: index = 1; break;
    case 4: index = 2; break;
    case 8: index = 3; break;
    case 16: index = 4; break;
    case 32: index = 5; break;
    case 48: index = 6; break;
    default: index = 0; break;
    }
    m_comboTiles->setCurrentIndex(index);
    connect(m_comboTiles, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::_slotCompareViewCountChange);
    m_bottomToolbar->freshUi();
    m_bottomToolbar->show();
}
