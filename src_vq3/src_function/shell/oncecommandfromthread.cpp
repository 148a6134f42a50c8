#include "oncecommandfromthread.h"

#include "mymemory.h"
#include "paxintool.h"
#include "tipsdialog.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QSound>
#include <QTimer>
#include <QUrl>

namespace {
constexpr int PlayerWaitMs = 30000;
constexpr int QuitDelayMs = 500;
constexpr const char* GrabSound = ":/pack/grabTipAudio.wav";
}

OnceCommandFromThread::OnceCommandFromThread(QObject* parent) : QThread(parent)
{
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

void OnceCommandFromThread::playGrabTipAudio()
{
    QSound::play(GrabSound);
}

void OnceCommandFromThread::_playGrabTipAudio()
{
    m_type = CommandPlayGrabTipAudio;
    start();
}

void OnceCommandFromThread::_tesseractOcr(QString picture)
{
    m_picture = picture;
    m_type = CommandTesseractOcr;
    start();
}

void OnceCommandFromThread::tesseractOcr(QString picture)
{
    auto* command = new OnceCommandFromThread();
    TipsDialog dialog(1, nullptr, QString());
    // Queued: a job that ends before the dialog runs still closes it from inside its exec().
    connect(command, &QThread::finished, &dialog, &QDialog::close, Qt::QueuedConnection);
    command->m_picture = picture;
    command->m_type = CommandTesseractOcr;
    command->start();
    dialog.exec();
}

QString OnceCommandFromThread::ocrProgram()
{
    return QCoreApplication::applicationDirPath() + "/tesseract";
}

QString OnceCommandFromThread::tessdataFolder()
{
    return QCoreApplication::applicationDirPath() + "/../tessdata";
}

QString OnceCommandFromThread::ocrOutputBase(const QString& picture)
{
    return picture.split(".jpg", Qt::KeepEmptyParts, Qt::CaseSensitive).first();
}

QStringList OnceCommandFromThread::ocrArguments(const QString& picture)
{
    const MyTesseractLanguageOption option = MyMemory::getInstance()->getCurTesseractLanguageOption();
    return {picture, ocrOutputBase(picture), "-l", option.language, "--oem", QString::number(option.oem)};
}

void OnceCommandFromThread::run()
{
    if (m_type == CommandPlayGrabTipAudio)
        _runPlayer();
    else if (m_type == CommandTesseractOcr)
        _runOcr();
}

void OnceCommandFromThread::_runPlayer()
{
    QProcess player;
    const QString program = QCoreApplication::applicationDirPath() + "/mytool2";
    const QStringList arguments{"grabTipAudio.wav", "-nodisp", "-autoexit"};
    PAX_LOG_DEBUG("play wav command:%s", qPrintable(program + " " + arguments.join(' ')));
    player.setWorkingDirectory(QCoreApplication::applicationDirPath());
    player.start(program, arguments);
    if (!player.waitForFinished(PlayerWaitMs) && player.state() != QProcess::NotRunning) {
        player.kill();    // a player that hangs is not left behind
        player.waitForFinished(1000);
    }
}

void OnceCommandFromThread::_runOcr()
{
    qputenv("TESSDATA_PREFIX", tessdataFolder().toUtf8());
    const QStringList arguments = ocrArguments(m_picture);
    PAX_LOG_DEBUG("tesseract command:%s", qPrintable(ocrProgram() + " " + arguments.join(' ')));
    QProcess ocr;
    qRegisterMetaType<QProcess::ExitStatus>("QProcess::ExitStatus");
    connect(&ocr, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this, &OnceCommandFromThread::slotOcrFinished);
    // A program that can't start reports no finish: end the job the same way.
    connect(&ocr, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            QMetaObject::invokeMethod(this, "slotOcrFinished", Q_ARG(int, -1),
                                      Q_ARG(QProcess::ExitStatus, QProcess::CrashExit));
    });
    ocr.start(ocrProgram(), arguments);
    exec();
}

void OnceCommandFromThread::slotOcrFinished(int, QProcess::ExitStatus)
{
    const QString address = "file:" + ocrOutputBase(m_picture) + ".txt";
    if (!QDesktopServices::openUrl(QUrl(address)))
        PAX_LOG_DEBUG("open txt failed:%s", qPrintable(address));
    QTimer::singleShot(QuitDelayMs, this, [this] { quit(); });
}

void OnceCommandFromThread::slotPlayFinished()
{
    QTimer::singleShot(QuitDelayMs, this, [this] { quit(); });
}
