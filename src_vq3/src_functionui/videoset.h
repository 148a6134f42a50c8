#pragma once
// The UVC controls popup of the main camera: brightness, contrast, saturation, sharpness, gain,
// exposure with its automatic mode, focus with its automatic mode, and "Reset". It holds no
// values: it reads the camera SDK and every change goes straight back to it.

#include "dialogservices.h"

#include <QDialog>
#include <QPoint>

#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

class VideoSet : public QDialog
{
    Q_OBJECT
public:
    // Creates the popup (or re-places the one that exists) above `pos` and runs it. Returns after
    // the popup has closed; from macOS 12 on also after the leaving sequence, which holds the GUI
    // thread in a tip dialog for at least 5.5 s.
    static void showWindow(QPoint pos, QWidget* parent);
    static void destroyWindow();
    static VideoSet* m_spVideoSet;

    // The UVC service's work-mode switch used when leaving (MacUvcClient's by default).
    static void setWorkModeSwitch(std::function<int(int)> switcher);
    // The leaving sequence's pauses, given in milliseconds (QThread::msleep by default).
    static void setLeaveWait(std::function<void(int)> wait);

    VideoSet(QPoint pos, QWidget* parent);
    ~VideoSet() override;

    void setLeftBottomGlobalPos(QPoint pos);

    QSlider* m_sliderBrightness = nullptr;
    QSlider* m_sliderContrast = nullptr;
    QSlider* m_sliderSaturation = nullptr;
    QLabel* m_labelBrightness = nullptr;
    QLabel* m_labelContrast = nullptr;
    QLabel* m_labelSaturation = nullptr;
    QPushButton* m_buttonDefault = nullptr;
    QSlider* m_sliderSharpness = nullptr;
    QSlider* m_sliderGain = nullptr;
    QLabel* m_labelSharpness = nullptr;
    QLabel* m_labelGain = nullptr;
    QLabel* m_labelExposure = nullptr;
    QSlider* m_sliderExposure = nullptr;
    QCheckBox* m_checkAuto = nullptr;
    QPushButton* m_buttonFocus = nullptr;
    QLabel* m_labelFocus = nullptr;
    QSlider* m_sliderFocus = nullptr;
    QCheckBox* m_checkAutoFocus = nullptr;

public slots:
    void slotDefault();
    void slotFocus();
    void slotExposureAutoClicked(bool checked);
    void slotFocusAutoClicked(bool checked);

private:
    void _buildForm();
    void _place();
    void _freshUi();
    void _leaveUvcPreviewMode();

    QPoint m_anchor;
};
