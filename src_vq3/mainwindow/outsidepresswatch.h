#pragma once
// Watches a popup run modally for the mouse press outside it that closes it. After the popup
// has gone, only such a press is passed on to the push button under the pointer; a popup
// closed by the keyboard or by a choice inside it passes nothing on.
//
// GUI thread only.

#include <QObject>

class QWidget;

class OutsidePressWatch : public QObject
{
public:
    // Watches every popup window of the application while this object lives.
    OutsidePressWatch();
    ~OutsidePressWatch() override;

    bool pressedOutside() const { return m_pressedOutside; }
    // Clicks the push button under the pointer when a press outside a popup was seen.
    void forwardClick() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_pressedOutside = false;
};
