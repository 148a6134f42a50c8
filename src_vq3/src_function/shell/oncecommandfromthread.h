#pragma once
// One short outside job in a thread of its own that deletes itself afterwards: the grab sound
// through the sound player, or the OCR program on a picture followed by opening its text file.
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>

class OnceCommandFromThread : public QThread {
    Q_OBJECT
public:
    enum CommandType { CommandNone = 0, CommandPlayGrabTipAudio = 1, CommandTesseractOcr = 2 };

    explicit OnceCommandFromThread(QObject* parent = nullptr);

    // Plays the grab sound at once (asynchronously); no thread, no outside program. Any thread.
    static void playGrabTipAudio();
    // Recognises the picture's text behind the OCR-running tip; returns when the job has ended.
    // GUI thread; runs a modal dialog (nested event loop) for as long as the OCR program runs.
    static void tesseractOcr(QString picture);

    void _playGrabTipAudio();
    void _tesseractOcr(QString picture);

    // What the OCR job runs: the OCR program beside the application, its arguments, and the base
    // name of the text file it writes (the picture path before its first ".jpg").
    static QString ocrProgram();
    static QString ocrOutputBase(const QString& picture);
    static QStringList ocrArguments(const QString& picture);
    static QString tessdataFolder();

public slots:
    void slotPlayFinished();
    void slotOcrFinished(int exitCode, QProcess::ExitStatus status);

protected:
    void run() override;

private:
    void _runPlayer();
    void _runOcr();

    int m_type = CommandNone;
    QString m_picture;
};
