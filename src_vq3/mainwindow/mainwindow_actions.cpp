// The UVC controls popup with the switch into UVC preview mode, the camera's hardware keys,
// the settings dialog, the OCR actions and the orderly exit.

#include "mainwindow.h"

#include "graphicsview.h"
#include "mainwindowlinks.h"
#include "mymemory.h"
#include "ocrtipdialog.h"
#include "outsidepresswatch.h"
#include "pushbutton.h"
#include "tipsdialog.h"
#include "wirelessdevicemanage.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QtConcurrent>

#include <cstdlib>

void MainWindow::slotVideoSet()
{
    MainCameraLink* sdk = MainWindowLinks::camera();
    if (sdk->isCameraInvalid(PaxCameraIndexMain) || m_recordDialog)
        return;
    if (sdk->isServicePath()) {
        TipsDialog tips(TipsDialog::TipEnterUvcPreview, nullptr, QString());
        tips.setObjectName(QStringLiteral("uvcPreviewTip"));
        QFutureWatcher<void> watcher;
        connect(&watcher, &QFutureWatcher<void>::finished, &tips, &QDialog::close, Qt::DirectConnection);
        watcher.setFuture(QtConcurrent::run([sdk] {
            QElapsedTimer elapsed;
            elapsed.start();
            sdk->closeCurCamera();
            QThread::msleep(500);
            sdk->checkUvcInit();
            if (sdk->switchWorkMode(1) == 0) {
                sdk->openCurCamera();
                const qint64 left = 3000 - elapsed.elapsed();
                if (left > 0)
                    QThread::msleep(static_cast<unsigned long>(left));
            }
        }));
        // The task may end before the dialog runs; then there is nothing to wait for. A tip
        // closed early (Escape) comes back: the window keeps its events running until the
        // switch has ended instead of blocking in the wait below.
        while (!watcher.isFinished())
            tips.exec();
        watcher.waitForFinished();
    }
    QPoint point;
    if (m_buttonVideoSet && m_bottomToolbar)
        point = m_bottomToolbar->mapToGlobal(m_buttonVideoSet->pos());
    OutsidePressWatch watch;
    MainWindowLinks::dialogs()->showVideoSet(point, this);
    watch.forwardClick();
}

void MainWindow::slotBacklight(int key)
{
    if (!m_mainView)
        return;
    switch (key) {
    case 1: m_mainView->zoomOut(); break;
    case 2: m_mainView->zoomIn(); break;
    case 5:
    case 7: slotPictureLock(); break;
    case 6: m_mainView->rotateRight(); break;
    case 10000: slotPower(); break;
    default: break;
    }
}

void MainWindow::slotConfig()
{
    MyMemory* memory = MyMemory::getInstance();
    const bool uvcControl = memory->getConfigUvcControl();
    MainWindowLinks::dialogs()->runConfigDialog(MainWindowLinks::media()->isWirelessMode(m_mediaControl),
                                                m_functionToolbar);
    const bool now = memory->getConfigUvcControl();
    if (now != uvcControl) {
        MainWindowLinks::camera()->setUvcControl(now);
        _CreateMainBottomToolbar();
    }
}

void MainWindow::slotOcr()
{
    const QString command = QCoreApplication::applicationDirPath() + QStringLiteral("/ocr/Orvane_ai");
    qDebug() << "ocr command2:" << command;
    const QByteArray latin1 = command.toLatin1();
    qDebug() << "ocr command4:" << latin1;
    MainMediaLink* media = MainWindowLinks::media();
    media->setCaptureName(m_mediaControl, MyMemory::getNextPictureName());
    media->setAngle(m_mediaControl, m_mainView ? m_mainView->getRotate() : 0);
    media->capture(m_mediaControl);
    if (m_functionToolbar)
        m_functionToolbar->hide();
    if (m_mode != ModeDesktop) {
        m_mode = ModeDesktop;
        if (m_normalWindow == 0) {
            slotFs();
            QTimer::singleShot(1000, this, &MainWindow::_UpdateByMode);
        } else {
            _UpdateByMode();
        }
    }
    const int result = std::system(latin1.constData());
    (void)result;
    if (m_functionToolbar)
        m_functionToolbar->show();
    if (m_mode != ModePresenter) {
        m_mode = ModePresenter;
        WirelessDeviceManage::getInstance()->enterMode(0);
        _UpdateByMode();
        media->forceRefresh(m_mediaControl);
    }
}

void MainWindow::slotTesseractOcr()
{
    OcrTipDialog dialog(MainWindowLinks::media()->getOcrPicFilename(m_mediaControl), this);
    dialog.exec();
}

void MainWindow::slotPower()
{
    if (_isRecording()) {
        QMessageBox::warning(this, tr("Warning"), tr("Please stop recording first!"), QMessageBox::Ok);
        return;
    }
    MainCameraLink* sdk = MainWindowLinks::camera();
    if (sdk->isServicePath() && sdk->isRelease()) {
        QPointer<MainWindow> self(this);
        QTimer::singleShot(1000, Qt::PreciseTimer, [self] {
            if (self)
                self->slotPower();
        });
        return;
    }
    sdk->closeCurCamera();
    sdk->closeOtherCamera();
    sdk->releaseInstance();
    // The Exit button's own palette is among these: they go once its click has returned.
    for (Ltoolbar** toolbar : {&m_extendToolbar, &m_drawToolbar, &m_functionToolbar, &m_bottomToolbar}) {
        if (*toolbar) {
            (*toolbar)->hide();
            (*toolbar)->deleteLater();
            *toolbar = nullptr;
        }
    }
    m_buttonHide = m_buttonRecord = m_buttonPause = nullptr;
    m_buttonPresenter = m_buttonDesktop = m_buttonCompare = nullptr;
    _clearBottomMembers();
    // The views hand their picture items back to the bridge when they go, so they go first; so
    // does the picture-in-picture window, which closes the second camera through the bridge
    // (its palette goes only later).
    delete m_pipWindow;
    m_pip = false;
    _DeleteCompareObjects();
    if (MyMemory::getInstance()->getPtr(QStringLiteral("curGraphicsView")) == m_mainView)
        MyMemory::getInstance()->savePtr(QStringLiteral("curGraphicsView"), nullptr);
    if (MyMemory::getInstance()->getPtr(QStringLiteral("view")) == m_mainView)
        MyMemory::getInstance()->savePtr(QStringLiteral("view"), nullptr);
    delete m_mainView;
    m_mainView = nullptr;
    MainWindowLinks::media()->destroy(m_mediaControl);
    m_mediaControl = nullptr;
    close();
    if (sdk->isServicePath())
        sdk->releaseServiceClient();
    QCoreApplication::exit(0);
}
