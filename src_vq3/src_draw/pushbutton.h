#pragma once
// The button of the floating palettes: a style-sheet button (PicMode 0) or a button painting
// itself from background pictures, a small picture and its text (PicMode 1), with a hidden flag
// for the palette layout and a blinking red disc that can stand in for its picture.

#include <QPushButton>

class PushButton : public QPushButton
{
    Q_OBJECT
public:
    enum PicMode
    {
        StyleSheetMode = 0,
        PictureMode = 1,
    };
    static constexpr double PictureSide = 22.0;

    PushButton(const QString& text, QWidget* parent, PicMode mode);
    ~PushButton() override;

    PicMode picMode() const { return m_picMode; }
    void setBackgroundPix(const QString& normal, const QString& pressed, const QString& active);
    void setPix(const QString& file);
    // A picture button (PicMode 1) takes ownership of the pixmap; in PicMode 0 it is not taken and
    // stays the caller's.
    void setPix(QPixmap* pixmap);
    const QPixmap* pix() const { return m_pix; }
    void setMyText(const QString& text);
    QString myText() const { return m_myText; }
    void mySetHide(bool hidden) { m_hidden = hidden; }
    bool myGetHide() const { return m_hidden; }
    bool isHovered() const { return m_hover; }

    void openPixFlicker();
    void closePixFlicker();
    void pausePixFlicker();
    void resumePixFlicker();
    bool isOpenPixFlicker() const { return m_flickerPix != nullptr; }
    bool isFlickerPhaseVisible() const { return m_flickerVisible != 0; }
    bool isFlickerRunning() const { return m_timerId != -1; }

protected:
    void timerEvent(QTimerEvent* event) override;
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    static void _replace(QPixmap*& slot, QPixmap* pixmap);

    double m_picSide = PictureSide;
    QString m_myText;
    int m_timerId = -1;
    int m_flickerVisible = 1;
    PicMode m_picMode;
    QPixmap* m_normalPix = nullptr;
    QPixmap* m_pressedPix = nullptr;
    QPixmap* m_activePix = nullptr;
    QPixmap* m_pix = nullptr;
    QPixmap* m_flickerPix = nullptr;
    bool m_hover = false;
    bool m_hidden = false;
};
