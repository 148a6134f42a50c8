// Presenter, PPT, desktop and compare modes: the rebuild of views and palettes, the wired
// compare views and the wireless tiles, the relay between compare views, picture-in-picture,
// the resolution choice and the wired/wireless device switch.

#include "mainwindow.h"

#include "graphicsscene.h"
#include "graphicsview.h"
#include "graphicsviewforwirelessdevice.h"
#include "mainwindowlinks.h"
#include "mymemory.h"
#include "pushbutton.h"
#include "recordareabox.h"
#include "screengeometry.h"
#include "wirelessdevicemanage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QTimer>
#include <QVBoxLayout>

namespace
{
void setChecked(PushButton* button, bool on)
{
    if (button)
        button->setChecked(on);
}

GraphicsView* currentView()
{
    return static_cast<GraphicsView*>(MyMemory::getInstance()->getPtr(QStringLiteral("curGraphicsView")));
}
}

int MainWindow::tileColumns(int count)
{
    switch (count) {
    case 3:
    case 4: return count;
    case 8:
    case 16: return 4;
    case 32:
    case 48: return 8;
    default: return 2;
    }
}

void MainWindow::slotPlatform()
{
    if (m_mode == ModePresenter) {
        setChecked(m_buttonPresenter, true);
        return;
    }
    m_mode = ModePresenter;
    WirelessDeviceManage::getInstance()->enterMode(0);
    _UpdateByMode();
    MainWindowLinks::media()->forceRefresh(m_mediaControl);
}

void MainWindow::slotPpt()
{
    if (m_mode == ModePpt)
        return;
    m_mode = ModePpt;
    _UpdateByMode();
}

void MainWindow::slotDesktop()
{
    if (m_mode == ModeDesktop) {
        setChecked(m_buttonDesktop, true);
        return;
    }
    m_mode = ModeDesktop;
    if (m_normalWindow == 0) {
        slotFs();
        QTimer::singleShot(1000, this, &MainWindow::_UpdateByMode);
    } else {
        _UpdateByMode();
    }
}

static void compareWith(MainWindow* window, int& mode, int& count, int wanted)
{
    if (mode == MainWindow::ModeCompare && count == wanted)
        return;
    mode = MainWindow::ModeCompare;
    count = wanted;
    // The compare-count buttons stand on the bottom palette the rebuild deletes: rebuild only
    // after their click has been delivered.
    QTimer::singleShot(0, window, &MainWindow::_UpdateByMode);
}

void MainWindow::slotCompare1() { compareWith(this, m_mode, m_compareViewCount, 1); }
void MainWindow::slotCompare3() { compareWith(this, m_mode, m_compareViewCount, 3); }
void MainWindow::slotCompare4() { compareWith(this, m_mode, m_compareViewCount, 4); }

void MainWindow::slotCompare2()
{
    if (MainWindowLinks::media()->isWirelessMode(m_mediaControl)) {
        m_wirelessTileCount = 2;
        m_mode = ModeCompare;
        QTimer::singleShot(0, this, &MainWindow::_slotUpdateByMode);
        return;
    }
    if (m_mode == ModeCompare && m_compareViewCount == 2)
        setChecked(m_buttonCompare, true);
    compareWith(this, m_mode, m_compareViewCount, 2);
}

void MainWindow::_slotCompareViewCountChange(int index)
{
    (void)index;
    if (!m_comboTiles)
        return;
    const int count = m_comboTiles->currentText().toInt();
    if (m_mode == ModeCompare && m_wirelessTileCount == count)
        return;
    m_wirelessTileCount = count;
    m_mode = ModeCompare;
    QTimer::singleShot(0, this, &MainWindow::_slotUpdateByMode);
}

void MainWindow::_slotUpdateByMode()
{
    _UpdateByMode();
    WirelessDeviceManage* manager = WirelessDeviceManage::getInstance();
    manager->enterMode(1);
    manager->connectAll(m_wirelessTiles);
}

void MainWindow::slotComparePicture()
{
    if (GraphicsView* view = currentView())
        view->slotPicture();
}

void MainWindow::slotComparePreview()
{
    if (GraphicsView* view = currentView())
        view->slotPreview(true);
}

void MainWindow::slotCompareGrab()
{
    if (GraphicsView* view = currentView())
        view->slotGrab();
}

void MainWindow::slotRePreview()
{
    if (m_mainView)
        m_mainView->slotPreview(true);
}

void MainWindow::slotViewBroadcastNotice(int type)
{
    emit sigViewBroadcastNotice(type);
}

void MainWindow::slotPreview()
{
    if (m_pip)
        return;
    QObject* pip = MainWindowLinks::dialogs()->openPip(m_mediaControl, m_functionToolbar);
    if (!pip)
        return;
    connect(pip, SIGNAL(sigClose()), this, SLOT(slotPipClose()), Qt::QueuedConnection);
    m_pipWindow = pip;
    m_pip = true;
}

void MainWindow::slotGaoOptionChange(int value)
{
    (void)value;
    if (!m_comboSolution)
        return;
    const int n = m_comboSolution->currentData(Qt::UserRole).toInt();
    MainWindowLinks::media()->switchSolution(m_mediaControl, n);
}

void MainWindow::slotHS()
{
    if (m_comboSolution && m_comboSolution->count() > 0)
        m_comboSolution->setCurrentIndex(0);
}

void MainWindow::slotHD()
{
    if (m_comboSolution && m_comboSolution->count() > 0)
        m_comboSolution->setCurrentIndex(m_comboSolution->count() - 1);
}

void MainWindow::slotSel() {}

void MainWindow::slotDeviceMode()
{
    _SwitchDeviceMode(true);
}

void MainWindow::_SwitchDeviceMode(bool toggle)
{
    if (m_comboSolution)
        m_comboSolution->clear();
    MainWindowLinks::media()->switchWirelessMode(m_mediaControl, toggle);
    _freshSolutionList();
    QTimer::singleShot(0, this, &MainWindow::_SlotCheckValidDevice);
}

void MainWindow::_getDxDy(int& dx, int& dy)
{
    if (m_normalWindow == 1) {
        const QRect available = ScreenGeometry::availableRect();
        const QRect screen = ScreenGeometry::screenRect();
        dx = available.left() - screen.left();
        dy = available.top() - screen.top();
    } else if (m_normalWindow == 0) {
        dx = 0;
        dy = 0;
    }
}

void MainWindow::_DeleteCompareObjects()
{
    MyMemory* memory = MyMemory::getInstance();
    for (GraphicsView* view : qAsConst(m_compareViews)) {
        if (memory->getPtr(QStringLiteral("curGraphicsView")) == view)
            memory->savePtr(QStringLiteral("curGraphicsView"), nullptr);
        delete view;
    }
    m_compareViews.clear();
    qDeleteAll(m_wirelessTiles);
    m_wirelessTiles.clear();
    delete m_rowLayout1;
    m_rowLayout1 = nullptr;
    delete m_rowLayout2;
    m_rowLayout2 = nullptr;
    delete m_columnLayout;
    m_columnLayout = nullptr;
    delete m_tileGrid;
    m_tileGrid = nullptr;
}

void MainWindow::_CreateCompareView(QHBoxLayout* row, int count)
{
    for (int i = 0; i < count; ++i) {
        auto* view = new GraphicsView(m_mediaControl, this, GraphicsView::CompareView, GraphicsView::FitOnCreate);
        view->setObjectName(QStringLiteral("compareView"));
        for (Ltoolbar* toolbar : {m_drawToolbar, m_bottomToolbar, m_functionToolbar, m_extendToolbar})
            if (toolbar)
                connect(view, &GraphicsView::sigClearHoverStatus, toolbar, &Ltoolbar::slotClearHoverStatus,
                        Qt::DirectConnection);
        m_compareViews.append(view);
        row->addWidget(view, 0);
        connect(view, &GraphicsView::sigBroadcastNotice, this, &MainWindow::slotViewBroadcastNotice,
                Qt::DirectConnection);
        connect(this, &MainWindow::sigViewBroadcastNotice, view, &GraphicsView::slotBroadcastNotice,
                Qt::DirectConnection);
    }
}

void MainWindow::_CreateCompareViewForWirelessDevice(QGridLayout* grid, int count)
{
    const unsigned columns = unsigned(tileColumns(count));
    for (int i = 0; i < count; ++i) {
        auto* tile = new GraphicsViewForWirelessDevice(this);
        tile->setObjectName(QStringLiteral("wirelessTile"));
        m_wirelessTiles.append(tile);
        grid->addWidget(tile, int(unsigned(i) / columns), int(unsigned(i) % columns));
    }
}

void MainWindow::_UpdateByMode()
{
    if (!m_mainView)
        return;
    MyMemory* memory = MyMemory::getInstance();
    m_mainView->setAttribute(Qt::WA_TransparentForMouseEvents, false);
    m_mainView->getScene()->slotRemoveAll();
    m_mainView->stopPreview();
    _DeleteCompareObjects();

    const QString transparent = QStringLiteral("background-color:rgba(0,0,0,0);");
    switch (m_mode) {
    case ModePresenter: {
        m_mainView->removeAll();
        m_mainView->getScene()->slotVideoMode();
        m_mainView->setStyleSheet(QStringLiteral("background-color:rgba(166,166,166,255);"));
        if (m_drawToolbar)
            m_drawToolbar->show();
        _CreateMainBottomToolbar();
        const QRect geometry = m_bottomToolbar->geometry();
        m_bottomToolbar->show();
        m_bottomToolbar->setGeometry(geometry);
        m_mainView->slotPreview(false);
        memory->savePtr(QStringLiteral("curGraphicsView"), m_mainView);
        m_mainView->slotFitToView();
        setChecked(m_buttonPresenter, true);
        setChecked(m_buttonDesktop, false);
        setChecked(m_buttonCompare, false);
        show();
        if (m_drawToolbar)
            m_drawToolbar->show();
        return;
    }
    case ModePpt:
    case ModeDesktop: {
        m_mainView->removeAll();
        m_mainView->getScene()->slotVideoMode();
        m_mainView->setStyleSheet(transparent);
        if (m_mode == ModePpt) {
            if (m_drawToolbar)
                m_drawToolbar->show();
        } else if (m_drawToolbar) {
            m_drawToolbar->hide();
        }
        if (m_bottomToolbar)
            m_bottomToolbar->hide();
        _CreateMainBottomToolbar();
        setChecked(m_buttonPresenter, false);
        setChecked(m_buttonDesktop, m_mode == ModeDesktop);
        setChecked(m_buttonCompare, false);
        if (m_mode == ModeDesktop) {
            hide();
            // Hiding the window drops the repaints its palettes have pending: the mode buttons
            // just unchecked would keep their checked frame on the screen.
            if (m_functionToolbar)
                m_functionToolbar->update();
        }
        return;
    }
    case ModeCompare: break;
    default: return;
    }

    m_mainView->setStyleSheet(transparent);
    m_mainView->getScene()->slotVideoMode();
    if (MainWindowLinks::media()->isWirelessMode(m_mediaControl)) {
        m_tileGrid = new QGridLayout();
        m_tileGrid->setContentsMargins(0, 0, 0, 0);
        m_tileGrid->setSpacing(0);
        _CreateCompareViewForWirelessDevice(m_tileGrid, m_wirelessTileCount);
        setLayout(m_tileGrid);
        show();
        for (Ltoolbar* toolbar : {m_drawToolbar, m_functionToolbar})
            if (toolbar) {
                toolbar->raise();
                toolbar->show();
            }
        _CreateCompareBottomToolbarForWirelessDevice();
    } else {
        if (m_compareViewCount >= 1 && m_compareViewCount <= 3) {
            m_rowLayout1 = new QHBoxLayout();
            m_rowLayout1->setContentsMargins(0, 0, 0, 0);
            m_rowLayout1->setSpacing(0);
            _CreateCompareView(m_rowLayout1, m_compareViewCount);
            setLayout(m_rowLayout1);
        } else if (m_compareViewCount == 4) {
            m_columnLayout = new QVBoxLayout();
            m_columnLayout->setContentsMargins(0, 0, 0, 0);
            m_columnLayout->setSpacing(0);
            m_rowLayout1 = new QHBoxLayout();
            m_rowLayout1->setContentsMargins(0, 0, 0, 0);
            m_rowLayout1->setSpacing(0);
            m_rowLayout2 = new QHBoxLayout();
            m_rowLayout2->setContentsMargins(0, 0, 0, 0);
            m_rowLayout2->setSpacing(0);
            _CreateCompareView(m_rowLayout1, 2);
            _CreateCompareView(m_rowLayout2, 2);
            m_columnLayout->addLayout(m_rowLayout1, 0);
            m_columnLayout->addLayout(m_rowLayout2, 0);
            setLayout(m_columnLayout);
        }
        show();
        for (Ltoolbar* toolbar : {m_drawToolbar, m_functionToolbar})
            if (toolbar) {
                toolbar->raise();
                toolbar->show();
            }
        memory->savePtr(QStringLiteral("curGraphicsView"), m_compareViews.isEmpty() ? nullptr : m_compareViews.first());
        _CreateCompareBottomToolbar(0);
        if (m_drawToolbar)
            m_drawToolbar->show();
        if (m_bottomToolbar)
            m_bottomToolbar->show();
    }
    setChecked(m_buttonPresenter, false);
    setChecked(m_buttonDesktop, false);
    setChecked(m_buttonCompare, true);
    if (m_recordAreaBox && m_recordAreaBox->isVisible()) {
        m_recordAreaBox->setParent(nullptr);
        m_recordAreaBox->setWindowFlags(Qt::FramelessWindowHint);
        m_recordAreaBox->setParent(this);
        m_recordAreaBox->show();
        m_recordAreaBox->Flick(true);
    }
}
