#include "ocrtipdialog.h"

#include "mytips.h"
#include "myuiselect.h"
#include "screengeometry.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QTimer>
#include <QUrl>

#define OCR_DEBUG(...) qCritical("[DEBUG][%s][%s][%d] %s", __FILE__, __FUNCTION__, __LINE__, qPrintable(QString::asprintf(__VA_ARGS__)))
#define OCR_ERROR(...) qCritical("[ERROR][%s][%s][%d] %s", __FILE__, __FUNCTION__, __LINE__, qPrintable(QString::asprintf(__VA_ARGS__)))

OcrTipDialog::OcrTipDialog(QString picture, QWidget* parent)
    : QDialog(parent)
{
    setWindowFlags(Qt::FramelessWindowHint);
    setStyleSheet(QStringLiteral("background-color:rgba(55,66,76,255);"));
    const int Ws = ScreenGeometry::screenWidth();
    const int Hs = ScreenGeometry::screenHeight();
    const int w = Ws / 5;
    const int h = Hs / 30;
    setGeometry((Ws - w) / 2, (Hs - h) / 2, w, h);
    m_label = new QLabel(tr("Ocring, pls waiting..."), this);
    m_label->setObjectName(QStringLiteral("m_label"));
    MyUiSelect::setLabelStyle(m_label);
    m_label->setGeometry(0, 0, w, h);
    // Tied to the dialog: a dialog destroyed before the 100 ms have passed runs nothing.
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, [this, picture] { _runOcr(picture); });
    timer->start(100);
}

OcrTipDialog::~OcrTipDialog() = default;

QString OcrTipDialog::ocrProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tesseract");
}

QString OcrTipDialog::tessdataFolder()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../tessdata");
}

void OcrTipDialog::_runOcr(const QString& picture)
{
    const QString base = getTempFilename();
    if (base.isEmpty()) {
        OCR_ERROR("no temporary file name for the ocr text");
        myErrorTip(tr("open temp text file error, temp text file:"));
        close();
        return;
    }
    QImage image;
    if (!image.load(picture)) {
        myErrorTip(tr("open temp pic file error, temp pic file:") + picture);
        OCR_ERROR("open temp pic file[%s] error", qPrintable(picture));
        close();
        return;
    }

    const QString program = ocrProgram();
    const QStringList arguments{picture, base, QStringLiteral("-l"), QStringLiteral("chi_sim+eng"),
                                QStringLiteral("--oem"), QStringLiteral("1")};
    OCR_DEBUG("ocr command:%s", qPrintable(program + QLatin1Char(' ') + arguments.join(QLatin1Char(' '))));
    qputenv("TESSDATA_PREFIX", QFile::encodeName(tessdataFolder()));

    QProcess process;
    process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    process.start(program, arguments, QIODevice::ReadWrite);
    const bool finished = process.waitForFinished(30000);
    const QByteArray output = process.readAllStandardOutput();
    const QByteArray error = process.readAllStandardError();
    OCR_DEBUG("ocr command result_output:%s", output.constData());
    OCR_DEBUG("ocr command result_error:%s", error.constData());

    const QString textFile = base + QStringLiteral(".txt");
    const bool recognised = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 &&
                            QFileInfo::exists(textFile);
    if (!recognised || !QDesktopServices::openUrl(QUrl::fromLocalFile(textFile))) {
        myErrorTip(tr("open temp text file error, temp text file:") + base);
        OCR_ERROR("open temp text file[%s] error", qPrintable(base));
    }
    QFile::remove(picture);
    close();
}
