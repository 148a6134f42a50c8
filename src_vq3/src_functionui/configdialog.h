#pragma once
// The "Settings" dialog: save folder, picture and video formats, UI language, grab sound and
// UVC control, plus either the recording target ("record form") or the set-up of the current
// wireless camera ("wireless form"). "Close" writes the settings; a changed UI language ends
// the application's event loop with 773, which restarts the application.

#include <QDialog>

class DialogWirelessDevice;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class ConfigDialog : public QDialog
{
    Q_OBJECT
public:
    // Exit code of the event loop that makes the application start itself again.
    static constexpr int RestartCode = 773;

    ConfigDialog(bool wirelessMode, QWidget* parent);
    ~ConfigDialog() override;

    // The form's widgets (object names as below).
    QLabel* label = nullptr;
    QLineEdit* m_edit1 = nullptr;
    QPushButton* m_buttonSelectPath = nullptr;
    QLabel* label_2 = nullptr;
    QComboBox* m_option1 = nullptr;
    QLabel* label_3 = nullptr;
    QComboBox* m_option2 = nullptr;
    QLabel* label_4 = nullptr;
    QComboBox* m_option3 = nullptr;
    QPushButton* m_buttonClose = nullptr;
    QPushButton* m_buttonAbout = nullptr;
    QCheckBox* m_checkRecordAudio = nullptr;
    QPushButton* m_buttonHelp = nullptr;
    QLabel* label_5 = nullptr;
    QComboBox* m_option5 = nullptr;
    QCheckBox* m_checkUvcControl = nullptr;

private slots:
    void slotConfirm();
    void slotSelectPath();
    void slotAbout();
    void slotHelp();
    void slotWirelessDeviceChange(int index);
    void slotWirelessDeviceWorkmodeChange(int index);
    void slotCommit();
    void slotRecordTypeChange(int type);
    void slotRecordConfig();

private:
    void _buildForm();
    void _layout(bool wirelessMode);
    void _buildWirelessGroup(int D, int u, int v);
    void _buildRecordRow(int D, int u, int v);

    QComboBox* m_comboWorkmode = nullptr;
    QLabel* m_labelWifiName = nullptr;
    QLineEdit* m_editWifiName = nullptr;
    QLabel* m_labelWifiPassword = nullptr;
    QLineEdit* m_editWifiPassword = nullptr;
    QLabel* m_labelDeviceName = nullptr;
    QLineEdit* m_editDeviceName = nullptr;
    QLabel* m_labelChannel = nullptr;
    QComboBox* m_comboChannel = nullptr;
    QLabel* m_labelRecordMode = nullptr;
    QComboBox* m_comboRecordType = nullptr;
    QPushButton* m_buttonRecordConfig = nullptr;
    QComboBox* m_comboDevice = nullptr;
    QGroupBox* m_groupWireless = nullptr;
    DialogWirelessDevice* m_curDevice = nullptr;
};
