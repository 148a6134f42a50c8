#include "recorddialog.h"

#include "mymemory.h"
#include "mytips.h"
#include "paxscreenqtlib.h"
#include "screengeometry.h"

#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

RecordDialog::RecordDialog(RecordDialog::Function function, QWidget* parent)
    : QDialog(parent)
    , m_function(function)
{
    functionUiInitResources();
    setObjectName(QStringLiteral("RecordDialog"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground);

    auto grip = [this](const char* picture, const char* name) {
        auto* label = new QLabel(this);
        label->setObjectName(QLatin1String(name));
        label->setPixmap(QPixmap(QLatin1String(picture)));
        label->setFixedSize(QPixmap(QStringLiteral(":/myImage/res/size1.png")).size());
        label->setStyleSheet(QStringLiteral("QLabel{background-color: rgba(55, 56, 66, 0);}"));
        return label;
    };
    m_gripTopLeft = grip(":/myImage/res/size1.png", "m_gripTopLeft");
    m_gripBottomLeft = grip(":/myImage/res/size4.png", "m_gripBottomLeft");
    m_gripTopRight = grip(":/myImage/res/size2.png", "m_gripTopRight");
    m_gripBottomRight = grip(":/myImage/res/size3.png", "m_gripBottomRight");

    const int screenWidth = ScreenGeometry::screenWidth();
    const int screenHeight = ScreenGeometry::screenHeight();
    m_buttonWidth = screenWidth / 15;
    m_buttonHeight = screenHeight / 30;

    m_buttonGrab = _button(tr("grab"), "m_buttonGrab", SLOT(slotGrab()));
    m_buttonClose = _button(tr("close"), "m_buttonClose", SLOT(slotClose()));
    m_buttonFullScreen = _button(tr("Full screen"), "m_buttonFullScreen", SLOT(slotFullScreen()));
    m_button1024x768 = _button(tr("1024x768"), "m_button1024x768", SLOT(slot1024x768()));
    m_button800x600 = _button(tr("800x600"), "m_button800x600", SLOT(slot800x600()));
    m_button640x480 = _button(tr("640x480"), "m_button640x480", SLOT(slot640x480()));
    m_button1280x720 = _button(tr("1280x720"), "m_button1280x720", SLOT(slot1280x720()));
    m_button1920x1080 = _button(tr("1920x1080"), "m_button1920x1080", SLOT(slot1920x1080()));
    if (screenWidth < 1920 || screenHeight < 1080)
        m_button1920x1080->setEnabled(false);

    m_labelSolution = new QLabel(tr("Actual solution:"), this);
    m_labelSolution->setObjectName(QStringLiteral("m_labelSolution"));
    m_labelSolution->setStyleSheet(QStringLiteral("QLabel {color:white;}"));
    m_labelSolution->setAlignment(Qt::AlignCenter);

    m_minWidth = std::min(640.0, 6 * m_buttonWidth + 100);
    m_minHeight = std::min(480.0, 3 * m_buttonHeight + 100);

    auto* view = static_cast<QWidget*>(MyMemory::getInstance()->getPtr(QStringLiteral("view")));
    const QSize viewSize = view ? view->size() : QSize(screenWidth, screenHeight);
    setGeometry(viewSize.width() / 4, 0, viewSize.width() / 2, viewSize.height());

    if (m_function == FunctionRecord) {
        m_buttonGrab->setText(tr("Start Record"));
    } else {
        m_labelSolution->hide();
        m_buttonGrab->setText(tr("Start Capture"));
    }
    _freshActualSolution();
}

RecordDialog::~RecordDialog()
{
    delete m_gripTopLeft;
    delete m_gripBottomLeft;
    delete m_gripTopRight;
    delete m_gripBottomRight;
    delete m_rect;
}

QPushButton* RecordDialog::_button(const QString& text, const char* objectName, const char* slot)
{
    auto* button = new QPushButton(text, this);
    button->setObjectName(QLatin1String(objectName));
    button->setAutoDefault(false);
    button->setStyleSheet(QStringLiteral("QPushButton {color:white; background-color:#606a74;}"
                                         "QPushButton:disabled {color:#d1d1d1;}"));
    connect(button, SIGNAL(clicked()), this, slot);
    return button;
}

void RecordDialog::updateControlsPos(const QRectF& rect)
{
    const double W = rect.width();
    const double H = rect.height();
    double bw = ScreenGeometry::screenWidth() / 15;
    double bh = ScreenGeometry::screenHeight() / 30;
    if (6 * bw > W)
        bw = W / 6;
    if (2 * bh > H)
        bh = H / 6;
    m_buttonWidth = bw;
    m_buttonHeight = bh;

    const QSize buttonSize{int(bw), int(bh)};
    for (QWidget* w : {static_cast<QWidget*>(m_buttonGrab), static_cast<QWidget*>(m_buttonClose),
                       static_cast<QWidget*>(m_buttonFullScreen), static_cast<QWidget*>(m_button1024x768),
                       static_cast<QWidget*>(m_button800x600), static_cast<QWidget*>(m_button640x480),
                       static_cast<QWidget*>(m_button1280x720), static_cast<QWidget*>(m_button1920x1080),
                       static_cast<QWidget*>(m_labelSolution)})
        w->resize(buttonSize);

    m_gripTopLeft->move(0, 0);
    m_gripBottomLeft->move(0, int(H) - m_gripBottomLeft->height());
    m_gripTopRight->move(int(W) - m_gripTopRight->width(), 0);
    m_gripBottomRight->move(int(W) - m_gripTopRight->width(), int(H) - m_gripBottomLeft->height());

    const int x0 = int((W - 6 * bw - 3) / 2);
    const int y0 = int((H - 3 * bh - 2) / 2);
    const int q = int((H - 3 * bh - 2) * 3 / 4);
    m_button640x480->move(x0, y0);
    m_button800x600->move(int(x0 + bw + 1), y0);
    m_button1024x768->move(int(x0 + 2 * bw + 2), y0);
    m_button1280x720->move(int(x0 + 3 * bw + 3), y0);
    m_button1920x1080->move(int(x0 + 4 * bw + 4), y0);
    m_buttonFullScreen->move(int(x0 + 5 * bw + 5), y0);
    if (m_function == FunctionCapture) {
        const int g = int((W - 2 * bw - 1) / 2);
        m_buttonGrab->move(int(g - bw / 2), int(bh + q + 10));
        m_buttonClose->move(int(g + bw + bw / 2 + 1), int(bh + q + 10));
    } else {
        m_labelSolution->setGeometry(0, int(3 * bh + y0 + 8), int(W), int(bh));
        const int k = int((W - 4 * bw - 3) / 2);
        m_buttonGrab->move(int(k + 2 + bw - bw / 3 + 12), int(3 * bh + q + 12));
        m_buttonClose->move(int(k + 3 + 3 * bw - bw / 2 - bw / 3), int(3 * bh + q + 12));
    }
}

void RecordDialog::resizeEvent(QResizeEvent*)
{
    updateControlsPos(QRectF(0, 0, width(), height()));
}

void RecordDialog::mousePressEvent(QMouseEvent* event)
{
    const QPoint global = event->globalPos();
    m_pressOffset = global - pos();
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint local = mapFromGlobal(global);
    const QLabel* grips[] = {m_gripTopLeft, m_gripBottomLeft, m_gripTopRight, m_gripBottomRight};
    for (int i = 0; i < 4; ++i) {
        if (grips[i]->geometry().contains(local)) {
            m_dragMode = 2 + i;
            m_startWidth = width();
            m_startHeight = height();
            m_startPos = pos();
            return;
        }
    }
    m_dragMode = 1;
}

void RecordDialog::mouseReleaseEvent(QMouseEvent*)
{
    m_dragMode = 0;
}

void RecordDialog::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragMode == 0)
        return;
    const QPoint global = event->globalPos();
    const int screenWidth = ScreenGeometry::screenWidth();
    const int screenHeight = ScreenGeometry::screenHeight();
    if (m_dragMode == 1) {
        int x = std::max(0, global.x() - m_pressOffset.x());
        int y = std::max(0, global.y() - m_pressOffset.y());
        if (x + width() > screenWidth)
            x = screenWidth - width();
        if (y + height() > screenHeight)
            y = screenHeight - height();
        move(x, y);
        return;
    }
    const QPoint travel = global - m_pressOffset - m_startPos;
    const double dx = travel.x();
    const double dy = travel.y();
    const bool leftEdge = m_dragMode == 2 || m_dragMode == 3;
    const bool topEdge = m_dragMode == 2 || m_dragMode == 4;
    double w = leftEdge ? m_startWidth - dx : std::max(m_minWidth, m_startWidth + dx);
    double h = topEdge ? m_startHeight - dy : std::max(m_minHeight, m_startHeight + dy);
    int x = leftEdge ? int(m_startPos.x() + dx) : m_startPos.x();
    int y = topEdge ? int(m_startPos.y() + dy) : m_startPos.y();
    if (leftEdge && w < m_minWidth) {
        w = m_minWidth;
        x = this->x();
    }
    if (topEdge && h < m_minHeight) {
        h = m_minHeight;
        y = this->y();
    }
    setGeometry(x, y, int(w), int(h));
    updateControlsPos(QRectF(0, 0, width(), height()));
    _freshActualSolution();
}

void RecordDialog::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(55, 66, 76, 128));
    painter.setPen(QPen(QBrush(QColor(0, 0, 255)), 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter.drawRect(0, 0, width() - 1, height() - 1);
}

void RecordDialog::resizeDialog(double w, double h, bool full)
{
    const int screenWidth = ScreenGeometry::screenWidth();
    const int screenHeight = ScreenGeometry::screenHeight();
    if (full)
        setGeometry(0, 0, screenWidth, screenHeight);
    else
        setGeometry(int((screenWidth - w) / 2), int((screenHeight - h) / 2), int(w), int(h));
    updateControlsPos(QRectF(0, 0, width(), height()));
    _freshActualSolution();
}

void RecordDialog::slotFullScreen() { resizeDialog(0, 0, true); }
void RecordDialog::slot1920x1080() { resizeDialog(1920, 1080, false); }
void RecordDialog::slot1280x720() { resizeDialog(1280, 720, false); }
void RecordDialog::slot1024x768() { resizeDialog(1024, 768, false); }
void RecordDialog::slot800x600() { resizeDialog(800, 600, false); }
void RecordDialog::slot640x480() { resizeDialog(640, 480, false); }

void RecordDialog::slotActualSolutionScaleChanged(int percent)
{
    m_scale = percent;
    _freshActualSolution();
}

void RecordDialog::_freshActualSolution()
{
    MyMemory* memory = MyMemory::getInstance();
    int w = memory->getCaptureX(width()) * m_scale / 100;
    int h = memory->getCaptureY(height()) * m_scale / 100;
    if (w % 2)
        ++w;
    if (h % 2)
        ++h;
    m_labelSolution->setText(tr("Actual solution: ") + QString::number(w) + QStringLiteral("x") + QString::number(h));
}

void RecordDialog::slotGrab()
{
    if (m_function == FunctionCapture) {
        delete m_rect;
        m_rect = new QRect(x(), y(), width(), height());
        close();
        return;
    }
    m_videoFileName = MyMemory::getNextVideoName();
    const int screenWidth = ScreenGeometry::screenWidth();
    const int screenHeight = ScreenGeometry::screenHeight();
    int rx = std::max(x(), 0);
    int rw = width() + std::min(x(), 0);
    int ry = std::max(y(), 0);
    int rh = height() + std::min(y(), 0);
    if (rx + rw > screenWidth)
        rw = screenWidth - rx;
    if (ry + rh > screenHeight)
        rh = screenHeight - ry;
    PaxScreenQtLib* screen = PaxScreenQtLib::getInstance();
    screen->setRect(QRect(rx, ry, rw, rh));
    screen->setFramerate(30);
    qCritical("[DEBUG][%s][%s][%d] record rect[%d][%d][%d][%d]", __FILE__, __FUNCTION__, __LINE__, rx, ry, rw, rh);
    if (screen->startRecordScreen(m_videoFileName)) {
        m_accepted = 1;
    } else {
        // A recording that never started is not reported as running.
        m_accepted = 0;
        QMessageBox::critical(this, QStringLiteral("Error"), QStringLiteral("record error"), QMessageBox::Ok);
    }
    hide();
}

void RecordDialog::slotClose()
{
    m_accepted = 0;
    close();
}

void RecordDialog::stopRecord()
{
    if (m_function != FunctionRecord)
        return;
    PaxScreenQtLib::getInstance()->stopRecordScreen();
    close();
}
