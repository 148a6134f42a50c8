#pragma once
// The About box: application icon, product title, a link to the maker's page and "Close".

#include <QDialog>

class QLabel;
class QPushButton;
class QTextBrowser;

class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent);
    ~AboutDialog() override;

    // The product title shown.
    static QString productTitle();

    QLabel* label = nullptr;          // version line, never shown
    QPushButton* m_buttonClose = nullptr;
    QLabel* label_2 = nullptr;        // logo
    QTextBrowser* textBrowser = nullptr;
    QLabel* label_3 = nullptr;        // product title

protected:
    // A press on the background or a label starts an empty drag, run until it ends.
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
};
