#pragma once
// Asks after a recording whether to open the video file; the answer is read after exec().

#include <QDialog>

class QLabel;
class QPushButton;

class recordFinishedDialog : public QDialog
{
    Q_OBJECT
public:
    explicit recordFinishedDialog(QWidget* parent);
    ~recordFinishedDialog() override;

    // 0: open the file; 1: do not (also when closed any other way).
    int answer() const { return m_answer; }

    QLabel* label = nullptr;
    QPushButton* pushButton = nullptr;     // "Open the file"
    QPushButton* pushButton_2 = nullptr;   // "Close"

private slots:
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();

private:
    int m_answer = 1;
};
