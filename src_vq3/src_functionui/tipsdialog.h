#pragma once
// The application's one message dialog: a type number chooses title, text, buttons and size;
// the button pressed is kept as the return reason.

#include <QDialog>

class QLabel;
class QPushButton;

class TipsDialog : public QDialog
{
    Q_OBJECT
public:
    enum TipType : int {
        Tip4kDisplay = 0,
        TipOcrRunning = 1,
        TipNoDevice = 2,
        TipNoWirelessDevice = 3,
        TipConfirmWireless = 4,
        TipLinkWifi = 5,
        TipDeviceRemoved = 6,
        TipEnterUvcPreview = 7,
        TipExitUvcPreview = 8,
    };
    enum ReturnReason : int { ReasonNone = -1, ReasonClose = 0, ReasonRetry = 1, ReasonSwitch = 2, ReasonConfirm = 3, ReasonCancel = 4 };

    // `text` is used by type 5 only.
    TipsDialog(int type, QWidget* parent = nullptr, QString text = QString());
    ~TipsDialog() override;

    int getReturnReason() const { return m_returnReason; }
    QLabel* label() const { return m_label; }

public slots:
    void slotClose();
    void slotRetry();
    void slotSwitch();
    void slotConfirm();
    void slotCancel();

private:
    QPushButton* _addButton(const QString& text, const char* objectName, const char* slot);

    QLabel* m_label = nullptr;
    int m_returnReason = ReasonNone;
};
