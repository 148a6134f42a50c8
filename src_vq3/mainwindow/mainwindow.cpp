// The window as a whole: construction, init(), layout on resize, the camera SDK's
// notifications, the resolution list and the check for a usable camera.

#include "mainwindow.h"

#include "drawlinks.h"
#include "graphicsscene.h"
#include "graphicsview.h"
#include "graphicsviewforwirelessdevice.h"
#include "mainwindowlinks.h"
#include "mymemory.h"
#include "palettestacking.h"
#include "paxscreenqtlib.h"
#include "pushbutton.h"
#include "recordareabox.h"
#include "recorddialog.h"
#include "screengeometry.h"
#include "tipsdialog.h"
#include "widgetmap.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QMessageBox>
#include <QResizeEvent>
#include <QTimer>

MainWindow::MainWindow()
    : QWidget(nullptr, Qt::WindowFlags())
{
    setObjectName(QStringLiteral("MainWindow"));
    WidgetMap::startFromEnvironment();
    DrawLinks::initResources();
    Q_INIT_RESOURCE(mainwindow);
    PaxScreenQtLib::getInstance();
    QObject* sdk = MainWindowLinks::camera()->object();

    qRegisterMetaType<_PaxChangeNotifyE>("PaxChangeNotifyE");
    qRegisterMetaType<_PaxChangeNotifyE>("_PaxChangeNotifyE");
    qRegisterMetaType<PaxScreenRecordInfoS>("PaxScreenRecordInfoS");
    if (sdk) {
        connect(sdk, SIGNAL(sigContentChange(_PaxChangeNotifyE)), this,
                SLOT(slotPaxContentChange(_PaxChangeNotifyE)), Qt::QueuedConnection);
        connect(sdk, SIGNAL(sigBacklight(int)), this, SLOT(slotBacklight(int)), Qt::QueuedConnection);
    }
    connect(PaxScreenQtLib::getInstance(), &PaxScreenQtLib::sigRecordInfo, this, &MainWindow::slotRecordInfo,
            Qt::QueuedConnection);

    setWindowFlags(Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground, true);
    new PaletteStacking(this, [this] {
        return QList<Ltoolbar*>{m_drawToolbar, m_bottomToolbar, m_functionToolbar, m_extendToolbar};
    });
    MyMemory::getInstance()->savePtr(QStringLiteral("curMainWindow"), this);

    m_mediaControl = MainWindowLinks::media()->create(this);
    if (QObject* media = MainWindowLinks::media()->object(m_mediaControl)) {
        connect(media, SIGNAL(sig_solutionChange()), this, SLOT(slotSolutionChange()), Qt::QueuedConnection);
        connect(media, SIGNAL(sig_devicePullout()), this, SLOT(_slotDevicePullout()), Qt::QueuedConnection);
    }
}

MainWindow::~MainWindow()
{
    // A screen recording still running when the window goes is stopped, so its file is
    // finished and no recorder thread outlives the window.
    if (_screenRecordingRuns())
        _stopScreenRecording();
    delete m_recordDialog;
    m_recordDialog = nullptr;
    delete m_extendToolbar;
    m_extendToolbar = nullptr;
    delete m_drawToolbar;
    m_drawToolbar = nullptr;
    delete m_functionToolbar;
    m_functionToolbar = nullptr;
    delete m_bottomToolbar;
    m_bottomToolbar = nullptr;
    _clearBottomMembers();
    // The views hand their picture items back to the bridge when they go, so they go first.
    MyMemory* memory = MyMemory::getInstance();
    _DeleteCompareObjects();
    for (const char* key : {"curGraphicsView", "view"})
        if (memory->getPtr(QString::fromLatin1(key)) == m_mainView)
            memory->savePtr(QString::fromLatin1(key), nullptr);
    delete m_mainView;
    m_mainView = nullptr;
    delete m_pipWindow;   // gone with its palette already, unless it was moved elsewhere
    MainWindowLinks::media()->destroy(m_mediaControl);
    m_mediaControl = nullptr;
    delete m_recordAreaBox;
    m_recordAreaBox = nullptr;
    MainWindowLinks::dialogs()->destroyVideoSet();
    MainWindowLinks::camera()->releaseInstance();
    if (memory->getPtr(QStringLiteral("curMainWindow")) == this)
        memory->savePtr(QStringLiteral("curMainWindow"), nullptr);
}

void MainWindow::_offsets(int& dx, int& dy) const
{
    dx = 0;
    dy = 0;
    if (m_normalWindow == 1) {
        const QRect available = ScreenGeometry::availableRect();
        const QRect screen = ScreenGeometry::screenRect();
        dx = available.left() - screen.left();
        dy = available.top() - screen.top();
    }
}

QRect MainWindow::_windowGeometry() const
{
    QRect rect = ScreenGeometry::availableRect();
    rect.setBottom(rect.bottom() + MyMemory::getInstance()->bottomMargin);
    return rect;
}

void MainWindow::init()
{
    setGeometry(_windowGeometry());
    _CreateMainWindowUnit();
    _CreateMainBottomToolbar();
    if (qEnvironmentVariable(TestWirelessVariable) == QLatin1String("1")) {
        QTimer::singleShot(0, this, [this] {
            qDebug().noquote() << "test hook: wireless device mode";
            _SwitchDeviceMode(true);
        });
    } else {
        QTimer::singleShot(0, this, &MainWindow::_SlotCheckValidDevice);
    }
    QTimer::singleShot(1000, this, &MainWindow::slotDelayInit);
}

void MainWindow::_CreateMainWindowUnit()
{
    m_mainView = new GraphicsView(m_mediaControl, this, GraphicsView::MainView, GraphicsView::FitOnCreate);
    m_mainView->setObjectName(QStringLiteral("m_mainView"));
    m_mainView->show();
    connect(m_mainView->getScene(), &GraphicsScene::sigUpdateSceneMode, this, &MainWindow::slotUpdateSceneMode);
    MyMemory::getInstance()->savePtr(QStringLiteral("view"), m_mainView);
    _CreateToolBar(Ltoolbar::StyleTranslucent);
    _CreateToolBar(Ltoolbar::StyleFunction);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    int dx, dy;
    _offsets(dx, dy);
    const int w = width();
    const int h = height();
    MyMemory* memory = MyMemory::getInstance();
    if (m_mainView)
        m_mainView->setGeometry(0, 0, w, h - memory->toolbarHeight);
    if (m_drawToolbar)
        m_drawToolbar->setAnchorPoint(QPoint(dx, dy + h - memory->toolbarHeight));
    if (m_functionToolbar) {
        m_functionToolbar->setAnchorPoint(QPoint(dx + w - memory->wideToolbarWidth, dy + h - memory->toolbarHeight));
        m_functionToolbar->freshUi();
    }
    if (m_drawToolbar)
        m_drawToolbar->freshUi();
    if (m_extendToolbar && m_drawToolbar)
        m_extendToolbar->setGeometry(m_drawToolbar->x() + memory->toolbarWidth + 2, m_drawToolbar->y(),
                                     m_drawToolbar->width(), m_drawToolbar->height());
    if (!m_firstResizeDone) {
        m_firstResizeDone = true;
        _UpdateByMode();
    } else if (m_bottomToolbar) {
        m_bottomToolbar->setToolbarSize(QSize(w, memory->toolbarHeight));
        m_bottomToolbar->setAnchorPoint(QPoint(dx, dy + h));
        m_bottomToolbar->freshUi();
    }
}

QString MainWindow::recordTimeText(int seconds)
{
    return QStringLiteral("REC %1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg((seconds % 3600) / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void MainWindow::_cameraRecordInfo(bool second)
{
    MainCameraLink* sdk = MainWindowLinks::camera();
    const _PaxRecordInfoS info = second ? sdk->getRecordInfoSecond() : sdk->getRecordInfoMain();
    const int recordType = MyMemory::getInstance()->getRecordType();
    const bool ownType = recordType == (second ? MyMemory::RecordSecondCamera : MyMemory::RecordMainCamera);
    if (info.status == 1) {
        // The camera's own report decides the look, so a start the SDK refused never shows
        // as running and a recording that ended by itself returns to idle.
        if (ownType && m_buttonRecord && m_buttonRecord->myText() != tr("Stop"))
            _runningLook();
        if (m_buttonHide)
            m_buttonHide->setMyText(recordTimeText(info.seconds));
        if (m_buttonRecord)
            m_buttonRecord->setToolTip((second ? tr("second camera record is running, record file is:")
                                               : tr("main camera record is running, record file is:"))
                                       + info.fileName);
    } else if (info.status == 0) {
        if (second && m_buttonHide)
            m_buttonHide->setMyText(QStringLiteral("Hide"));
        if (m_buttonRecord) {
            m_buttonRecord->setToolTip(QString());
            if (ownType && m_buttonRecord->myText() == tr("Stop")) {
                _idleLook();
                const QFileInfo file(info.fileName);
                if (!file.exists() || file.size() == 0 || info.writeError != 0)
                    _recordErrorTip(info.fileName, info.writeError);
            }
        }
    }
}

void MainWindow::slotPaxContentChange(_PaxChangeNotifyE cn)
{
    switch (int(cn)) {
    case PaxChangeRecordInfoMain: _cameraRecordInfo(false); break;
    case PaxChangeRecordInfoSecond: _cameraRecordInfo(true); break;
    case PaxChangeCameraInfo: _freshSolutionList(); break;
    case PaxChangeCameraStatus:
        if (MainWindowLinks::camera()->isOpenCurCamera() && m_buttonPictureLock) {
            const bool blocked = m_buttonPictureLock->blockSignals(true);
            m_buttonPictureLock->setChecked(false);
            m_buttonPictureLock->blockSignals(blocked);
        }
        break;
    default: break;
    }
}

void MainWindow::_freshSolutionList()
{
    if (!m_comboSolution)
        return;
    MainMediaLink* media = MainWindowLinks::media();
    const bool blocked = m_comboSolution->blockSignals(true);
    m_comboSolution->clear();
    for (const QString& entry : media->getSolutionList(m_mediaControl)) {
        const QStringList parts = entry.split(QLatin1Char(':'), Qt::KeepEmptyParts, Qt::CaseSensitive);
        if (parts.size() < 2)
            continue;
        m_comboSolution->insertItem(m_comboSolution->count(), QIcon(), parts.at(1), parts.at(0).toInt());
    }
    const int current = media->getSolutionIndex(m_mediaControl);
    for (int i = 0; i < m_comboSolution->count(); ++i)
        if (m_comboSolution->itemData(i, Qt::UserRole).toInt() == current)
            m_comboSolution->setCurrentIndex(i);
    m_comboSolution->blockSignals(blocked);
}

void MainWindow::_noDeviceReason(int reason)
{
    const bool toggle = reason == TipsDialog::ReasonSwitch;
    if (m_comboSolution)
        m_comboSolution->clear();
    MainWindowLinks::media()->switchWirelessMode(m_mediaControl, toggle);
    _freshSolutionList();
    QTimer::singleShot(0, this, &MainWindow::_SlotCheckValidDevice);
}

void MainWindow::_SlotCheckValidDevice()
{
    MainMediaLink* media = MainWindowLinks::media();
    const int status = media->getCameraStatus(m_mediaControl);
    if (status == 0) {
        _CreateMainBottomToolbar();
        return;
    }
    if (status == -1) {
        QTimer::singleShot(1000, this, &MainWindow::_SlotCheckValidDevice);
        return;
    }
    if (status != 1)
        return;
    const bool wireless = media->isWirelessMode(m_mediaControl);
    TipsDialog tips(wireless ? TipsDialog::TipNoWirelessDevice : TipsDialog::TipNoDevice, m_functionToolbar, QString());
    tips.exec();
    const int reason = tips.getReturnReason();
    if (reason == TipsDialog::ReasonClose) {
        QCoreApplication::exit(0);
    } else if (reason == TipsDialog::ReasonRetry || reason == TipsDialog::ReasonSwitch) {
        _noDeviceReason(reason);
    } else if (wireless) {
        QCoreApplication::exit(0);
    }
}

void MainWindow::slotSolutionChange()
{
    auto* view = static_cast<GraphicsView*>(MyMemory::getInstance()->getPtr(QStringLiteral("curGraphicsView")));
    if (!view)
        view = m_mainView;
    if (view)
        view->slotFitToView();
}

void MainWindow::_slotDevicePullout()
{
    TipsDialog tips(TipsDialog::TipDeviceRemoved, this, QString());
    tips.exec();
}

void MainWindow::slotActive()
{
    showMaximized();
    QCoreApplication::processEvents();
    activateWindow();
}

void MainWindow::slotPipClose()
{
    m_pip = false;
}

void MainWindow::slotDelayInit()
{
    MyMemory::getInstance()->init();
}
