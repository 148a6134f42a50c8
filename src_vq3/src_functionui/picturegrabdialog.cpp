#include "picturegrabdialog.h"

#include "mymemory.h"
#include "screengeometry.h"

#include <QCoreApplication>
#include <QPainter>
#include <QProcess>
#include <QTimerEvent>

namespace {
QString s_toolProgram;
}

QString PictureGrabDialog::toolProgram()
{
    return s_toolProgram.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/mytool") : s_toolProgram;
}

void PictureGrabDialog::setToolProgram(const QString& program)
{
    s_toolProgram = program;
}

PictureGrabDialog::PictureGrabDialog(int deviceIndex, QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint)
    , m_deviceIndex(deviceIndex)
{
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    m_lifeTimer = startTimer(60000, Qt::CoarseTimer);
    m_process = new QProcess(this);
    imageCapture();
}

PictureGrabDialog::~PictureGrabDialog()
{
    if (m_stepTimer != -1)
        killTimer(m_stepTimer);
    if (m_lifeTimer != -1)
        killTimer(m_lifeTimer);
    delete m_process;
}

void PictureGrabDialog::imageCapture()
{
    const int W = ScreenGeometry::screenWidth();
    const int H = ScreenGeometry::screenHeight();
    m_fileName = MyMemory::getNextPictureName();
    const QStringList arguments{QStringLiteral("-f"), QStringLiteral("avfoundation"), QStringLiteral("-i"),
                                QString::number(m_deviceIndex), QStringLiteral("-f"), QStringLiteral("image2"),
                                QStringLiteral("-t"), QStringLiteral("1"), QStringLiteral("-frames:v"),
                                QStringLiteral("1"), QStringLiteral("-s"),
                                QStringLiteral("%1x%2").arg(W).arg(H), m_fileName, QStringLiteral("-y")};
    qCritical("[DEBUG][%s][%s][%d] %s", __FILE__, __FUNCTION__, __LINE__,
              qPrintable(QStringLiteral("imageCapture:") + toolProgram() + QLatin1Char(' ') + arguments.join(QLatin1Char(' '))));
    m_process->start(toolProgram(), arguments, QIODevice::ReadWrite);
    m_process->waitForFinished(30000);
    m_pixmap.load(m_fileName);
    setGeometry(0, 0, W, H);
    m_steps = 5;
    if (m_stepTimer != -1)
        killTimer(m_stepTimer);
    m_stepTimer = startTimer(50, Qt::CoarseTimer);
}

void PictureGrabDialog::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_lifeTimer) {
        killTimer(m_lifeTimer);
        m_lifeTimer = -1;
        close();
        return;
    }
    if (event->timerId() != m_stepTimer)
        return;
    if (m_steps == 0) {
        killTimer(m_stepTimer);
        m_stepTimer = -1;
        close();
        return;
    }
    const double W = ScreenGeometry::screenWidth();
    const double H = ScreenGeometry::screenHeight();
    setGeometry(0, 0, int(W * m_steps / 6.0), int(H * m_steps / 6.0));
    --m_steps;
}

void PictureGrabDialog::paintEvent(QPaintEvent*)
{
    if (m_pixmap.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(QRect(0, 0, width(), height()), m_pixmap);
}
