#pragma once
// Wait window shown while the OCR program reads the text of a picture; afterwards it opens the
// text file, deletes the picture and closes.

#include <QDialog>

class QLabel;

class OcrTipDialog : public QDialog
{
    Q_OBJECT
public:
    // The OCR run starts 100 ms after construction, on the GUI thread, which it blocks for up to
    // 30000 ms while the program runs (and for each error box).
    OcrTipDialog(QString picture, QWidget* parent);
    ~OcrTipDialog() override;

    // Program and data folder used: the application folder's "tesseract" and "../tessdata".
    static QString ocrProgram();
    static QString tessdataFolder();

private:
    void _runOcr(const QString& picture);

    QLabel* m_label = nullptr;
};
