#pragma once
// The dashed outline round a screen area being recorded; it alternates red and blue every
// 500 ms while flashing and lets every mouse event through.

#include <QColor>
#include <QTimer>
#include <QWidget>

class RecordAreaBox : public QWidget
{
    Q_OBJECT
public:
    explicit RecordAreaBox(QWidget* parent);
    // Starts (500 ms, restarting a running timer) or stops the flashing; the colour stays.
    void Flick(bool on);
    QColor color() const { return m_color; }
    bool isFlashing() const { return m_flickTimer.isActive(); }

public slots:
    void FlickSlots();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer m_flickTimer;
    QColor m_color;
};
