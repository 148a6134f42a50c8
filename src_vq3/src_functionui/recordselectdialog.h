#pragma once
// Control panel for the three recording sources side by side (main camera, second camera,
// screen): settings, start, stop, pause and resume, with the running recording's file and time.

#include "paxscreentypes.h"

#include <QDialog>

class QLabel;
class QPushButton;

class RecordSelectDialog : public QDialog
{
    Q_OBJECT
public:
    explicit RecordSelectDialog(QWidget* parent);
    ~RecordSelectDialog() override;

    // "record filename:<name>   record time:<h>hour<m>minutes<s>second"
    static QString infoText(const QString& fileName, int seconds);

    struct Row {
        QPushButton* settings = nullptr;
        QPushButton* start = nullptr;
        QPushButton* stop = nullptr;
        QPushButton* pause = nullptr;
        QPushButton* resume = nullptr;
        QLabel* role = nullptr;
        QLabel* info = nullptr;
    };
    Row mainRow() const { return m_main; }
    Row secondRow() const { return m_second; }
    Row screenRow() const { return m_screen; }
    QPushButton* closeButton() const { return m_buttonClose; }

public slots:
    void slotRecordMainCamera();
    void slotMainCameraStartRecord();
    void slotMainCameraStopRecord();
    void slotMainCameraPauseRecord();
    void slotMainCameraResumeRecord();
    void slotRecordSecondCamera();
    void slotSecondCameraStartRecord();
    void slotSecondCameraStopRecord();
    void slotSecondCameraPauseRecord();
    void slotSecondCameraResumeRecord();
    void slotRecordScreen();
    void slotScreenStartRecord();
    void slotScreenStopRecord();
    void slotScreenPauseRecord();
    void slotScreenResumeRecord();
    void slotClose();
    void slotPaxContentChange(int notify);
    void slotRecordInfo(PaxScreenRecordInfoS info);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    Row _makeRow(const QString& settingsText, const char* prefix, bool withRole);
    void _freshUi();
    void _applyStatus(const Row& row, int status, bool screen);

    Row m_main;
    Row m_second;
    Row m_screen;
    QPushButton* m_buttonClose = nullptr;
};
