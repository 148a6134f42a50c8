#pragma once
// The floating tool palette: a frameless window holding picture buttons, sliders and combo
// boxes, laid out by hand from an anchor point as a column growing upward, a plain column or a
// centred row.

#include <QList>
#include <QPoint>
#include <QSize>
#include <QWidget>

class PushButton;
class QComboBox;
class QSlider;

class Ltoolbar : public QWidget
{
    Q_OBJECT
public:
    enum Style
    {
        StyleTranslucent = 0,
        StyleFunction = 1,
        StyleBottom = 2,
    };
    enum LayoutType
    {
        ColumnUpward = 0,
        Column = 1,
        CentredRow = 2,
    };
    enum SizeType
    {
        SizeType0 = 0,
        SizeType1 = 1,
    };
    enum UnitType
    {
        UnitButton = 0,
        UnitSlider = 1,
        UnitComboBox = 2,
    };
    struct Unit
    {
        int type = UnitButton;
        QString name;
        QSlider* slider = nullptr;
        PushButton* button = nullptr;
        QComboBox* comboBox = nullptr;
    };

    Ltoolbar(QWidget* parent, Style style);
    ~Ltoolbar() override;

    Style style() const { return m_style; }
    const QList<Unit>& units() const { return m_units; }
    PushButton* hideButton() const { return m_hideButton; }
    int hideState() const { return m_hideState; }

    PushButton* addButton(const QString& text, const QString& iconPath);
    QSlider* addSlider();
    QComboBox* addComboBox();
    PushButton* addHideButton();
    void changeButtonRes(PushButton* button, const QString& iconPath);
    void setButtunSize(const QSize& size) { m_buttonSize = size; }
    void setToolbarSize(const QSize& size) { m_toolbarSize = size; }
    void setLayoutType(LayoutType type) { m_layoutType = type; }
    void setSizeType(SizeType type) { m_sizeType = type; }
    void setAnchorPoint(const QPoint& point) { m_anchor = point; }
    void freshUi();
    void setFullScreen(bool on);
    // A palette shown as a window of its own gets a new native window, shown at once: a window
    // manager takes it as any new window, as a transient of its main window when that is mapped.
    // (Unmapping and mapping the same window again races the manager's withdrawal of it, after
    // which some managers leave it unmanaged.) Nothing for a hidden palette or one drawn inside
    // its parent.
    void renewWindow();
    void clearUnit();

    // The style sheet a button of this palette's style gets for the icon.
    QString buttonStyleSheet(const QString& iconPath, bool toolTipFontSize = true) const;

public slots:
    void slotHide();
    void slotClearHoverStatus();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void _layoutRow();
    void _layoutColumn();
    void _layoutColumnUpward();

    double m_spacing = 10.0;
    QList<Unit> m_units;
    Style m_style;
    QSize m_buttonSize{50, 50};
    QSize m_toolbarSize{50, 50};
    LayoutType m_layoutType = ColumnUpward;
    SizeType m_sizeType = SizeType1;
    QPoint m_anchor{100, 1200};
    int m_hideState = 0;
    PushButton* m_hideButton = nullptr;
    bool m_inFreshUi = false;
};
