// The bottom palette of presenter mode: UVC controls, resolution, zoom, fit, 1:1, rotation,
// freezing, camera shot and full screen.

#include "mainwindow.h"

#include "graphicsview.h"
#include "mainwindowlinks.h"
#include "mymemory.h"
#include "paxlib.h"
#include "paxmacos.h"
#include "pushbutton.h"

#include <QComboBox>
#include <QSlider>

void MainWindow::_clearBottomMembers()
{
    m_comboSolution = nullptr;
    m_buttonVideoSet = nullptr;
    m_sliderRotate = nullptr;
    m_sliderZoom = nullptr;
    m_buttonVisualPresenter = nullptr;
    m_buttonLocalPicture = nullptr;
    m_buttonTurnRight = nullptr;
    m_buttonTurnLeft = nullptr;
    m_buttonFullSize = nullptr;
    m_buttonFitView = nullptr;
    m_buttonZoomOut = nullptr;
    m_buttonZoomIn = nullptr;
    m_buttonPictureLock = nullptr;
    m_comboTiles = nullptr;
}

void MainWindow::_CreateMainBottomToolbar()
{
    int dx, dy;
    _offsets(dx, dy);
    const int w = width();
    const int h = height();
    MyMemory* memory = MyMemory::getInstance();

    if (m_bottomToolbar) {
        m_bottomToolbar->clearUnit();
        _clearBottomMembers();
        m_bottomToolbar->setToolbarSize(QSize(w, memory->toolbarHeight));
        m_bottomToolbar->setAnchorPoint(QPoint(dx, dy + h));
    } else {
        m_bottomToolbar = new Ltoolbar(this, Ltoolbar::StyleBottom);
        m_bottomToolbar->setObjectName(QStringLiteral("m_bottomToolbar"));
        connect(m_mainView, &GraphicsView::sigClearHoverStatus, m_bottomToolbar, &Ltoolbar::slotClearHoverStatus,
                Qt::DirectConnection);
        m_bottomToolbar->setButtunSize(memory->bottomButtonSize);
        m_bottomToolbar->setLayoutType(Ltoolbar::CentredRow);
        m_bottomToolbar->setSizeType(Ltoolbar::SizeType0);
        m_bottomToolbar->setToolbarSize(QSize(w, memory->toolbarHeight));
        m_bottomToolbar->setAnchorPoint(QPoint(dx, dy + h));
        m_bottomToolbar->show();
    }

    auto button = [this](const char* icon, const char* tip, const char* name) {
        PushButton* b = m_bottomToolbar->addButton(QString(), QString::fromLatin1(icon));
        b->setToolTip(tr(tip));
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };

    if (!paxlib::YL_isCpuArm() && (!isAvailableMacos13() || memory->getConfigUvcControl())) {
        m_buttonVideoSet = button(":/myImage/res/videoset.png", QT_TR_NOOP("Video Settings"), "m_buttonVideoSet");
        connect(m_buttonVideoSet, &QPushButton::clicked, this, &MainWindow::slotVideoSet);
    }
    m_comboSolution = m_bottomToolbar->addComboBox();
    m_comboSolution->setObjectName(QStringLiteral("m_comboSolution"));
    _freshSolutionList();
    connect(m_comboSolution, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::slotGaoOptionChange);
    if (_isRecording())
        m_comboSolution->setDisabled(true);

    m_buttonZoomIn = button(":/myImage/res/zoomin.png", QT_TR_NOOP("Zoom Out"), "m_buttonZoomIn");
    connect(m_buttonZoomIn, &QPushButton::clicked, m_mainView, &GraphicsView::zoomIn);
    m_sliderZoom = m_bottomToolbar->addSlider();
    m_sliderZoom->setObjectName(QStringLiteral("m_sliderZoom"));
    m_sliderZoom->setToolTip(tr("Amplification Factor"));
    m_sliderZoom->setRange(100000, 5000000);
    if (m_mainView)
        m_sliderZoom->setValue(int(m_mainView->scale() * 1000000));
    connect(m_sliderZoom, &QSlider::sliderMoved, m_mainView, &GraphicsView::zoomInOut);
    m_buttonZoomOut = button(":/myImage/res/zoomout.png", QT_TR_NOOP("Zoom In"), "m_buttonZoomOut");
    connect(m_buttonZoomOut, &QPushButton::clicked, m_mainView, &GraphicsView::zoomOut);
    m_buttonFitView = button(":/myImage/res/FitView.png", QT_TR_NOOP("Fit View"), "m_buttonFitView");
    connect(m_buttonFitView, &QPushButton::clicked, m_mainView, &GraphicsView::slotFitToView);
    m_buttonFullSize = button(":/myImage/res/fullsize.png", QT_TR_NOOP("Full Size"), "m_buttonFullSize");
    connect(m_buttonFullSize, &QPushButton::clicked, m_mainView, &GraphicsView::slot1on1);
    m_buttonTurnLeft = button(":/myImage/res/rl.png", QT_TR_NOOP("Turn Left"), "m_buttonTurnLeft");
    connect(m_buttonTurnLeft, &QPushButton::clicked, m_mainView, &GraphicsView::rotateLeft);
    m_sliderRotate = m_bottomToolbar->addSlider();
    m_sliderRotate->setObjectName(QStringLiteral("m_sliderRotate"));
    m_sliderRotate->setToolTip(tr("Rotating Coefficient"));
    m_sliderRotate->setRange(0, 360);
    m_sliderRotate->setValue(m_mainView ? m_mainView->getRotate() : 0);
    connect(m_sliderRotate, &QSlider::valueChanged, m_mainView, &GraphicsView::slotRotate);
    m_buttonTurnRight = button(":/myImage/res/rr.png", QT_TR_NOOP("Turn Right"), "m_buttonTurnRight");
    connect(m_buttonTurnRight, &QPushButton::clicked, m_mainView, &GraphicsView::rotateRight);
    m_buttonPictureLock = button(":/myImage/res/Lock.png", QT_TR_NOOP("Freeze live image"), "m_buttonPictureLock");
    m_buttonPictureLock->setCheckable(true);
    connect(m_buttonPictureLock, &QPushButton::clicked, this, &MainWindow::slotPictureLock);
    PushButton* scan = button(":/myImage/res/scan.png", QT_TR_NOOP("Camera shot"), "buttonCameraShot");
    connect(scan, &QPushButton::clicked, this, &MainWindow::slotScan);
    PushButton* fullScreen = button(":/myImage/res/fs.png", QT_TR_NOOP("Full Screen"), "buttonFullScreen");
    connect(fullScreen, &QPushButton::clicked, this, &MainWindow::slotFs);

    m_bottomToolbar->freshUi();
}
