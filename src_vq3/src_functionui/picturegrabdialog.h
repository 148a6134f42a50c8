#pragma once
// Takes one frame of a camera through the capture tool beside the application, saves it as the
// next picture and shows it full screen, shrinking toward the top-left corner in five steps.

#include <QDialog>
#include <QPixmap>

class QProcess;

class PictureGrabDialog : public QDialog
{
    Q_OBJECT
public:
    // Grabs at once: blocks the GUI thread until the tool ends, at most 30000 ms.
    PictureGrabDialog(int deviceIndex, QWidget* parent);
    ~PictureGrabDialog() override;

    void imageCapture();
    QString pictureFileName() const { return m_fileName; }
    bool hasPicture() const { return !m_pixmap.isNull(); }
    int stepsLeft() const { return m_steps; }

    // The capture tool: the application folder's "mytool" unless a test sets another program.
    static QString toolProgram();
    static void setToolProgram(const QString& program);

protected:
    void timerEvent(QTimerEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_pixmap;
    int m_stepTimer = -1;
    int m_lifeTimer = -1;
    int m_steps = 0;
    QProcess* m_process = nullptr;
    int m_deviceIndex = 0;
    QString m_fileName;
};
