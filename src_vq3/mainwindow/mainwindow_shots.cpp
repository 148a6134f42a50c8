// Camera shot, screen grab, freezing the live picture and full screen.

#include "mainwindow.h"

#include "graphicsview.h"
#include "mainwindowlinks.h"
#include "mymemory.h"
#include "oncecommandfromthread.h"
#include "paxscreenqtlib.h"
#include "picturedialog.h"
#include "pushbutton.h"
#include "recorddialog.h"

#include <QFileInfo>
#include <QImage>
#include <QMessageBox>
#include <QTimer>

void MainWindow::slotScan()
{
    MainMediaLink* media = MainWindowLinks::media();
    auto* picture = new PictureDialog(this);
    picture->setObjectName(QStringLiteral("pictureDialog"));
    if (QObject* bridge = media->object(m_mediaControl))
        connect(bridge, SIGNAL(imageCaptured(QImage)), picture, SLOT(slotImageCaptured(QImage)));
    picture->hide();
    media->setCaptureName(m_mediaControl, MyMemory::getNextPictureName());
    media->setAngle(m_mediaControl, m_mainView ? m_mainView->getRotate() : 0);
    media->capture(m_mediaControl);
}

void MainWindow::slotGrab()
{
    RecordDialog dialog(RecordDialog::FunctionCapture, m_functionToolbar);
    dialog.setObjectName(QStringLiteral("grabFrame"));
    dialog.exec();
    if (const QRect* rect = dialog.chosenRect()) {
        m_grabRect = *rect;
        QTimer::singleShot(500, this, &MainWindow::slotGrabActual);
    }
}

void MainWindow::slotGrabActual()
{
    MyMemory* memory = MyMemory::getInstance();
    if (memory->getConfigGrabTipAudio())
        OnceCommandFromThread::playGrabTipAudio();
    const QString name = MyMemory::getNextPictureName();
    if (!PaxScreenQtLib::getInstance()->grabScreen(name, m_grabRect)) {
        QMessageBox::critical(this, tr("Error"), tr("grab error"), QMessageBox::Ok);
        return;
    }
    auto* picture = new PictureDialog(this);
    picture->setObjectName(QStringLiteral("pictureDialog"));
    picture->hide();
    const QString suffix = QFileInfo(name).fileName().section(QLatin1Char('.'), -1);
    const QByteArray format = MyMemory::convertPictureFormatSuffixToFormatName(suffix).toLatin1();
    const QImage image(name, format.isEmpty() ? nullptr : format.constData());
    picture->slotImageCaptured(image);
}

void MainWindow::slotPictureLock()
{
    const bool frozen = MainWindowLinks::media()->pause(m_mediaControl);
    if (m_buttonPictureLock)
        m_buttonPictureLock->setChecked(frozen);
}

void MainWindow::slotFs()
{
    Ltoolbar* toolbars[] = {m_drawToolbar, m_bottomToolbar, m_functionToolbar, m_extendToolbar};
    if (m_normalWindow == 1) {
        for (Ltoolbar* toolbar : toolbars)
            if (toolbar)
                toolbar->setFullScreen(true);
        m_normalWindow = 0;
        showFullScreen();
    } else if (m_normalWindow == 0) {
        for (Ltoolbar* toolbar : toolbars)
            if (toolbar)
                toolbar->setFullScreen(false);
        m_normalWindow = 1;
        showNormal();
        setGeometry(_windowGeometry());
        if (m_drawToolbar)
            m_drawToolbar->show();
        if (m_functionToolbar)
            m_functionToolbar->show();
    }
    QTimer::singleShot(500, this, [this] {
        if (m_mainView)
            m_mainView->slotFitToView();
    });
}
