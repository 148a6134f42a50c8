#include "aboutdialog.h"

#include "paxlib.h"
#include "screengeometry.h"

#include <QCoreApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTextBrowser>

#ifndef DESKTOP_NAME
#define DESKTOP_NAME "Orvane"
#endif

QString AboutDialog::productTitle()
{
    return QStringLiteral(DESKTOP_NAME);
}

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent)
{
    // The form.
    setObjectName(QStringLiteral("AboutDialog"));
    resize(419, 186);
    label = new QLabel(QStringLiteral("Lumora V3.1"), this);
    label->setObjectName(QStringLiteral("label"));
    QFont versionFont = label->font();
    versionFont.setPointSize(11);
    label->setFont(versionFont);
    label->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);"));
    m_buttonClose = new QPushButton(tr("Close"), this);
    m_buttonClose->setObjectName(QStringLiteral("m_buttonClose"));
    m_buttonClose->setStyleSheet(QStringLiteral("background-color: rgb(96, 106, 116);\ncolor: rgb(255, 255, 255);"));
    label_2 = new QLabel(this);
    label_2->setObjectName(QStringLiteral("label_2"));
    label_2->setScaledContents(true);
    textBrowser = new QTextBrowser(this);
    textBrowser->setObjectName(QStringLiteral("textBrowser"));
    textBrowser->setAcceptDrops(false);
    textBrowser->setAcceptRichText(false);
    textBrowser->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    textBrowser->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    label_3 = new QLabel(this);
    label_3->setObjectName(QStringLiteral("label_3"));
    QPalette titlePalette = label_3->palette();
    titlePalette.setColor(QPalette::WindowText, Qt::white);
    label_3->setPalette(titlePalette);
    label_3->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);"));
    setStyleSheet(QStringLiteral("background-color: rgb(55, 66, 76);"));
    setAutoFillBackground(false);

    textBrowser->setOpenExternalLinks(true);
    label_3->setText(productTitle());
    setWindowTitle(QCoreApplication::translate("QDialog", "about") + QLatin1Char(' ') + productTitle());
    textBrowser->setHtml(QStringLiteral(
        "<a href=\"https://orvane.example.org/\" style=\"color:#8fc3ff\">orvane.example.org</a>"));
    textBrowser->setStyleSheet(QStringLiteral("QTextBrowser{border-width:0;border-style:outset}"));
    connect(m_buttonClose, &QPushButton::clicked, this, &QDialog::close);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    const int W = ScreenGeometry::screenWidth();
    const int H = ScreenGeometry::screenHeight();
    const int D = W / 5;
    setGeometry((W - D) / 2, (H - H / 6) / 2, D, H / 6);

    const QString icon = paxlib::YL_getAppIcoImageFilename();
    setWindowIcon(QIcon(icon));
    label_2->setPixmap(QPixmap(icon));

    const int a = W / 150;
    const int b = H / 78;
    const QSize logo = QPixmap(QStringLiteral(":/myImage/res/myico.png")).size();
    const int logoHeight = logo.width() > 0 ? 8 * a * logo.height() / logo.width() : 8 * a;
    label_2->setGeometry(a, b, 8 * a, logoHeight);
    label_3->setGeometry(10 * a, 4 * b, D - 11 * a, 2 * b);
    label->hide();
    textBrowser->setGeometry(10 * a, 7 * b, D - 11 * a, 2 * b);
    m_buttonClose->setGeometry(D - 10 * a, 10 * b, 8 * a, 2 * b);
}

AboutDialog::~AboutDialog() = default;

void AboutDialog::mousePressEvent(QMouseEvent*)
{
    auto* drag = new QDrag(this);
    drag->setMimeData(new QMimeData);
    drag->exec(Qt::CopyAction);
}

void AboutDialog::dragEnterEvent(QDragEnterEvent* event)
{
    event->accept();
}
