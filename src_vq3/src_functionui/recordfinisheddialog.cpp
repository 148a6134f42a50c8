#include "recordfinisheddialog.h"

#include "screengeometry.h"

#include <QLabel>
#include <QPushButton>

recordFinishedDialog::recordFinishedDialog(QWidget* parent)
    : QDialog(parent)
{
    // The form; the provisional texts are replaced below.
    setObjectName(QStringLiteral("recordFinishedDialog"));
    resize(380, 180);
    label = new QLabel(this);
    label->setObjectName(QStringLiteral("label"));
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    pushButton = new QPushButton(this);
    pushButton->setObjectName(QStringLiteral("pushButton"));
    pushButton_2 = new QPushButton(this);
    pushButton_2->setObjectName(QStringLiteral("pushButton_2"));
    QMetaObject::connectSlotsByName(this);

    m_answer = 1;
    setWindowTitle(tr("Record Finished"));
    label->setText(tr("The video is finished. Do you want to open this video file?"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    pushButton->setText(tr("Open the file"));
    pushButton_2->setText(tr("Close"));

    const int SW = ScreenGeometry::screenWidth();
    const int SH = ScreenGeometry::screenHeight();
    setGeometry((SW - SW / 6) / 2, (SH - SH / 8) / 2, SW / 6, SH / 8);
    const int u = SW / 114;
    const int v = SH / 56;
    const int w = SH / 112;
    label->setGeometry(u, v, SW / 6 - 2 * u, 2 * v);
    pushButton->setGeometry(u, 4 * v + w, 8 * u, 2 * v - w);
    pushButton_2->setGeometry(11 * u, 4 * v + w, 8 * u, 2 * v - w);

    const QString buttonStyle = QStringLiteral(
        "QPushButton{background-color:#e9fbfa;color:black;border:1px solid #888888;border-style:outset;border-radius:6px;}"
        "QPushButton::pressed{background-color:#323ff7;color:#ffffff;border:1px solid #888888;border-style:outset;border-radius:6px;}");
    pushButton->setStyleSheet(buttonStyle);
    pushButton_2->setStyleSheet(buttonStyle);
    setStyleSheet(QStringLiteral("QDialog{border:1px solid #888888;}"));
}

recordFinishedDialog::~recordFinishedDialog() = default;

void recordFinishedDialog::on_pushButton_clicked()
{
    m_answer = 0;
    close();
}

void recordFinishedDialog::on_pushButton_2_clicked()
{
    m_answer = 1;
    close();
}
