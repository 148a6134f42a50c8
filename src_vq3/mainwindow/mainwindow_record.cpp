// Recording control: screen recordings through the screen-record SDK, camera recordings
// through the camera SDK, the running time, pause and resume, and the offer to open the file.

#include "mainwindow.h"

#include "graphicsscene.h"
#include "graphicsview.h"
#include "mainwindowlinks.h"
#include "mymemory.h"
#include "paxmacos.h"
#include "paxscreenqtlib.h"
#include "pushbutton.h"
#include "recordareabox.h"
#include "recorddialog.h"
#include "recordfinisheddialog.h"
#include "screengeometry.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QUrl>

QPixmap* MainWindow::getStopPix()
{
    auto* pixmap = new QPixmap(22, 22);
    pixmap->fill(Qt::transparent);
    QPainter painter(pixmap);
    painter.setPen(QPen(QBrush(Qt::red), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter.setBrush(QBrush(Qt::red));
    painter.drawRect(QRect(QPoint(2, 2), QPoint(19, 19)));
    painter.end();
    return pixmap;
}

void MainWindow::_runningLook()
{
    if (m_buttonHide) {
        m_buttonHide->setMyText(tr("REC"));
        m_buttonHide->openPixFlicker();
    }
    if (m_buttonRecord) {
        m_buttonRecord->setMyText(tr("Stop"));
        m_buttonRecord->setPix(getStopPix());
    }
    if (m_buttonPause) {
        m_buttonPause->setMyText(tr("Pause"));
        m_buttonPause->setPix(QStringLiteral(":/myImage/res/pause.png"));
        m_buttonPause->mySetHide(false);
    }
    if (m_functionToolbar)
        m_functionToolbar->freshUi();
    if (m_comboSolution)
        m_comboSolution->setDisabled(true);
}

void MainWindow::_idleLook()
{
    if (m_buttonHide) {
        m_buttonHide->setMyText(tr("Hide"));
        m_buttonHide->closePixFlicker();
    }
    if (m_buttonRecord) {
        m_buttonRecord->setMyText(tr("Record"));
        m_buttonRecord->setPix(QStringLiteral(":/myImage/res/icoVideo.png"));
    }
    if (m_buttonPause)
        m_buttonPause->mySetHide(true);
    if (m_functionToolbar)
        m_functionToolbar->freshUi();
    if (m_comboSolution)
        m_comboSolution->setDisabled(false);
}

void MainWindow::_offerRecordedFile(const QString& file)
{
    recordFinishedDialog dialog(m_functionToolbar);
    dialog.setObjectName(QStringLiteral("recordFinishedDialog"));
    const QRect screen = ScreenGeometry::screenRect();
    dialog.move((screen.width() - dialog.width()) / 2, (screen.height() - dialog.height()) / 2);
    dialog.exec();
    if (dialog.answer() != 0)
        return;
    const QByteArray name = file.toLocal8Bit();
    qCritical("[DEBUG][%s][%s][%d] after record, open video file[%s]", __FILE__, "slotRecord", __LINE__,
              name.constData());
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
        qCritical("[ERROR][%s][%s][%d] open video file[%s] failed", __FILE__, "slotRecord", __LINE__,
                  name.constData());
}

void MainWindow::_recordErrorTip(const QString& file, int writeError)
{
    QMessageBox box(QMessageBox::Critical, tr("Error"), tr("record error"), QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("recordErrorTip"));
    if (writeError != 0) {
        // A negative AVERROR of a system error is the negated errno.
        box.setInformativeText(tr("The recording stopped: its file could not be written (%1). "
                                  "What was recorded is kept in %2")
                                   .arg(qt_error_string(-writeError), QDir::toNativeSeparators(file)));
    }
    box.exec();
}

void MainWindow::_stopScreenRecording()
{
    m_recordAreaBox->hide();
    m_recordAreaBox->Flick(false);
    m_recordDialog->stopRecord();
    if (m_buttonRecord) {
        m_buttonRecord->setMyText(tr("Record"));
        m_buttonRecord->setPix(QStringLiteral(":/myImage/res/icoVideo.png"));
        m_buttonRecord->setToolTip(QString());
    }
    if (m_buttonPause)
        m_buttonPause->mySetHide(true);
    if (m_buttonHide) {
        m_buttonHide->setMyText(tr("Hide"));
        m_buttonHide->closePixFlicker();
    }
    if (m_functionToolbar)
        m_functionToolbar->freshUi();
    delete m_recordDialog;
    m_recordDialog = nullptr;
    if (m_comboSolution)
        m_comboSolution->setDisabled(false);
}

bool MainWindow::_screenRecordingRuns() const
{
    return m_recordDialog && m_recordAreaBox && !m_recordAreaBox->isHidden();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (_screenRecordingRuns())
        _stopScreenRecording();
    QWidget::closeEvent(event);
}

void MainWindow::slotRecord()
{
    MyMemory* memory = MyMemory::getInstance();
    const int type = memory->getRecordType();
    if (type == MyMemory::RecordMainCamera || type == MyMemory::RecordSecondCamera) {
        const bool second = type == MyMemory::RecordSecondCamera;
        MainCameraLink* sdk = MainWindowLinks::camera();
        const _PaxRecordInfoS info = second ? sdk->getRecordInfoSecond() : sdk->getRecordInfoMain();
        if (info.status != 0) {
            second ? sdk->stopRecordSecond() : sdk->stopRecordMain();
            _idleLook();
            _offerRecordedFile(info.fileName);
        } else {
            // The running look follows the camera's own report (notifications 5 and 6), so a
            // start the SDK refuses never shows as running.
            second ? sdk->startRecordSecond() : sdk->startRecordMain();
        }
        return;
    }
    if (type != MyMemory::RecordScreen)
        return;

    int dx, dy;
    _offsets(dx, dy);
    if (getRecordDesktopPrivacyStatus() == 1) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Title"),
                        QStringLiteral("This function must have capture screen access"), QMessageBox::NoButton,
                        nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
        QPushButton* apply = box.addButton(QStringLiteral("Apply for capture screen access"), QMessageBox::AcceptRole);
        QPushButton* quit = box.addButton(QStringLiteral("Quit the function"), QMessageBox::AcceptRole);
        box.exec();
        if (box.clickedButton() == apply) {
            resetRecordDesktopPrivacy();
            requestRecordDesktopPrivacy();
            QCoreApplication::exit(0);
            return;
        }
        if (box.clickedButton() == quit)
            return;
    }

    if (_screenRecordingRuns()) {
        _stopScreenRecording();
        _offerRecordedFile(PaxScreenQtLib::getInstance()->getRecordInfo().fileName);
        return;
    }
    if (!m_recordDialog) {
        m_recordDialog = new RecordDialog(RecordDialog::FunctionRecord, m_functionToolbar);
        m_recordDialog->setObjectName(QStringLiteral("recordFrame"));
    }
    m_recordDialog->exec();
    if (!m_recordDialog || m_recordDialog->acceptedFlag() != 1) {
        delete m_recordDialog;
        m_recordDialog = nullptr;
        return;
    }

    double x = m_recordDialog->x() - dx;
    double y = m_recordDialog->y() - dy;
    double w = m_recordDialog->width();
    double h = m_recordDialog->height();
    if (x > 0) {
        x -= 1;
        w += 1;
    }
    if (y > 0) {
        y -= 1;
        h += 1;
    }
    const QRectF scene = m_mainView ? m_mainView->getScene()->sceneRect() : QRectF(rect());
    if (x + w + 1 >= scene.width())
        w = scene.width() - x - 3;
    else
        w += 1;
    if (y + h + 1 >= scene.height())
        h = scene.height() - y - 3;
    else
        h += 1;
    if (!m_recordAreaBox) {
        m_recordAreaBox = new RecordAreaBox(this);
        m_recordAreaBox->setObjectName(QStringLiteral("recordAreaBox"));
    }
    m_recordAreaBox->setGeometry(int(x - 1), int(y - 1), int(w + 1), int(h + 1));
    m_recordAreaBox->show();
    m_recordAreaBox->Flick(true);
    _runningLook();
}

void MainWindow::slotPause()
{
    bool paused = false;
    switch (MyMemory::getInstance()->getRecordType()) {
    case MyMemory::RecordScreen: paused = PaxScreenQtLib::getInstance()->pauseOrResume(); break;
    case MyMemory::RecordMainCamera: paused = MainWindowLinks::camera()->pauseOrResumeMain(); break;
    case MyMemory::RecordSecondCamera: paused = MainWindowLinks::camera()->pauseOrResumeSecond(); break;
    default: break;
    }
    if (paused) {
        if (m_buttonPause) {
            m_buttonPause->setMyText(tr("Resume"));
            m_buttonPause->setPix(QStringLiteral(":/myImage/res/resume.png"));
        }
        if (m_buttonHide)
            m_buttonHide->pausePixFlicker();
    } else {
        if (m_buttonPause) {
            m_buttonPause->setMyText(tr("Pause"));
            m_buttonPause->setPix(QStringLiteral(":/myImage/res/pause.png"));
        }
        if (m_buttonHide)
            m_buttonHide->resumePixFlicker();
    }
}

void MainWindow::slotRecordInfo(PaxScreenRecordInfoS info)
{
    if (info.state == PaxRecordRun) {
        // A report queued before the recording stopped may arrive after the stop: the recording
        // has ended, and its time no longer shows.
        if (PaxScreenQtLib::getInstance()->getRecordInfo().state != PaxRecordRun)
            return;
        if (m_buttonHide)
            m_buttonHide->setMyText(recordTimeText(info.recordSeconds));
        if (m_buttonRecord)
            m_buttonRecord->setToolTip(tr("screen record is running, record file is:") + info.fileName);
    } else if (info.state == PaxRecordStop) {
        if (m_buttonRecord)
            m_buttonRecord->setToolTip(QString());
        // The recording ended by itself (a write error, say) while the window still shows it
        // running: return to idle and say so when nothing usable was written.
        if (_screenRecordingRuns()) {
            _stopScreenRecording();
            const QFileInfo file(info.fileName);
            if (!file.exists() || file.size() == 0 || info.writeError != 0)
                _recordErrorTip(info.fileName, info.writeError);
        }
    }
}

bool MainWindow::_isRecording()
{
    switch (MyMemory::getInstance()->getRecordType()) {
    case MyMemory::RecordScreen: return m_recordAreaBox && !m_recordAreaBox->isHidden();
    case MyMemory::RecordMainCamera: return MainWindowLinks::camera()->getRecordInfoMain().status != 0;
    case MyMemory::RecordSecondCamera: return MainWindowLinks::camera()->getRecordInfoSecond().status != 0;
    default: return false;
    }
}
