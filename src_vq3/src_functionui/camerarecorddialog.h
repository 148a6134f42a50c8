#pragma once
// How recordings of one target are made (main camera, second camera or the screen): microphone,
// hardware encoder, quality presets or custom encoder settings, file-name prefix and, for the
// cameras, the recording resolution. Every control reads the owning SDK and writes back at once;
// after each change everything is read again (queued), so couplings and refusals show.

#include "paxsdktypes.h"

#include <QDialog>

#include <functional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;

class CameraRecordDialog : public QDialog
{
    Q_OBJECT
public:
    CameraRecordDialog(_PaxCameraIndexE target, QWidget* parent);
    // Stores the prefix, then tears the dialog down.
    ~CameraRecordDialog() override;

    // The microphone permission service (the platform's by default; tests replace it). The poll
    // while the user has not answered is bounded: after maxPolls checks the change is dropped.
    struct MicPrivacy {
        std::function<int()> status;
        std::function<void()> request;
        std::function<void()> open;
        int maxPolls = 30;
        int pollIntervalMs = 1000;
    };
    static void setMicPrivacy(const MicPrivacy& privacy);
    static void resetMicPrivacy();

    _PaxCameraIndexE target() const { return m_target; }

signals:
    void sigFreshUiContent();

public slots:
    void slotPaxContentChange(int notify);
    void slotAudioInfoChange();
    void slotRecordAudioChange(int state);
    void slotMicVolumnChanged(int volume);
    void slotFreshUiContent();
    void slotMicrophoneChange(int row);
    void slotHardwareEncoderChange(int state);
    void slotRecordQualityChange(bool checked);
    void slotBitrateValueChange(int row);
    void slotBitrateTypeChange(int row);
    void slotProfileChange(int row);
    void slotQuantizationParameterChange(int row);
    void slotPresetChange(int row);
    void slotPrefix();
    void slotClose();
    void slotRecordSolutionChange(int row);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void _freshUi();
    void _reloadRecordAudioInfo();
    void _reloadVideoEncoderInfo();
    QLabel* _label(const QString& text, QWidget* parent, const char* name);
    QComboBox* _combo(QWidget* parent, const char* name, const QStringList& rows, int invalidRow);
    void _storeRecordAudio(bool on);
    // Record quality value of radio button k (0 High .. 3 Custom) for this target.
    int _qualityOfButton(int k) const;

    // Target-dependent reads and writes.
    bool _isCamera() const { return m_target != PaxCameraIndexScreen; }
    int _getQuality();
    int _getBitrateValue();
    int _getBitrateType();
    int _getQuantizationParameter();
    int _getProfile();
    int _getPreset();

    _PaxCameraIndexE m_target;
    QLabel* m_labelRecordAudio = nullptr;
    QCheckBox* m_checkRecordAudio = nullptr;
    QLabel* m_labelVolumn = nullptr;
    QSlider* m_sliderVolumn = nullptr;
    QLabel* m_labelMicrophone = nullptr;
    QComboBox* m_comboMicrophone = nullptr;
    QLabel* m_labelHardwareEncoder = nullptr;
    QCheckBox* m_checkHardwareEncoder = nullptr;
    QGroupBox* m_groupQuality = nullptr;
    QRadioButton* m_radioHigh = nullptr;
    QRadioButton* m_radioMiddle = nullptr;
    QRadioButton* m_radioLow = nullptr;
    QRadioButton* m_radioCustom = nullptr;
    QLabel* m_labelBitrateValue = nullptr;
    QComboBox* m_comboBitrateValue = nullptr;
    QLabel* m_labelBitrateType = nullptr;
    QComboBox* m_comboBitrateType = nullptr;
    QLabel* m_labelQuantizationParameter = nullptr;
    QComboBox* m_comboQuantizationParameter = nullptr;
    QLabel* m_labelProfile = nullptr;
    QComboBox* m_comboProfile = nullptr;
    QLabel* m_labelPreset = nullptr;
    QComboBox* m_comboPreset = nullptr;
    QLabel* m_labelPrefix = nullptr;
    QLineEdit* m_editPrefix = nullptr;
    QLabel* m_labelSolution = nullptr;
    QComboBox* m_comboSolution = nullptr;
    bool m_refreshing = false;
};
