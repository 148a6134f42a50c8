#pragma once
// The four drawing option pickers (line and fill colour, line width, eraser size, transparency):
// one popup of six rows, the same geometry, highlighting and mouse handling; each reports the
// chosen row through its own signal. A row index is the value of the matching MyMemory setting.

#include "mymemory.h"

#include <QDialog>
#include <QPoint>

class QPainter;

class DrawOptionSelect : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kRows = 6;

    int currentRow() const { return m_curRow; }
    int hoveredRow() const { return m_hoverRow; }
    int rowHeight() const { return m_rowHeight; }
    int margin() const { return m_margin; }
    // Point size of the row labels: row height / 96, or 12 when that is 0.
    int labelPointSize() const;

protected:
    DrawOptionSelect(QPoint pos, QWidget* parent);

    void setCurrentRow(int row) { m_curRow = row; }
    // Draws the mark of row i (h = row height, m = margin) and gives the row's label.
    virtual void paintMark(QPainter& painter, int row) = 0;
    virtual QString rowLabel(int row) const = 0;
    virtual int labelX(int row) const;
    virtual void emitChosen(int row) = 0;

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

    // Circle of radius r centred in row i's square.
    void paintDisc(QPainter& painter, int row, int r, const QColor& colour);

private:
    int m_curRow = -1;
    int m_hoverRow = -1;
    QPoint m_pos;
    bool m_inside = false;
    int m_width = 0;
    int m_rowHeight = 0;
    int m_margin = 0;
};

class ColorSelect : public DrawOptionSelect
{
    Q_OBJECT
public:
    ColorSelect(QPoint pos, QWidget* parent);
    void setCurColor(MyMemory::Color color) { setCurrentRow(int(color)); }
    // Creates the single instance on the first call (later arguments are ignored) and runs it.
    static int showWindow(QPoint pos, QWidget* parent);
    static ColorSelect* m_spColorSelect;
signals:
    void sigColorSelectChanged(int row);
protected:
    void paintMark(QPainter& painter, int row) override;
    QString rowLabel(int row) const override;
    void emitChosen(int row) override { emit sigColorSelectChanged(row); }
};

class PenSelect : public DrawOptionSelect
{
    Q_OBJECT
public:
    PenSelect(QPoint pos, QWidget* parent);
    void setCurPenWidth(MyMemory::PenWidth width) { setCurrentRow(int(width)); }
signals:
    void sigPenWidthSelectChanged(int row);
protected:
    void paintMark(QPainter& painter, int row) override;
    QString rowLabel(int row) const override;
    int labelX(int row) const override;
    void emitChosen(int row) override { emit sigPenWidthSelectChanged(row); }
};

class EraseSelect : public DrawOptionSelect
{
    Q_OBJECT
public:
    EraseSelect(QPoint pos, QWidget* parent);
    void setCurEraseWidth(MyMemory::EraseWidth width) { setCurrentRow(int(width)); }
signals:
    void sigEraseWidthSelectChanged(int row);
protected:
    void paintMark(QPainter& painter, int row) override;
    QString rowLabel(int row) const override;
    void emitChosen(int row) override { emit sigEraseWidthSelectChanged(row); }
};

class TransparentSelect : public DrawOptionSelect
{
    Q_OBJECT
public:
    TransparentSelect(QPoint pos, QWidget* parent);
    void setCurTransparent(MyMemory::MyTransparent transparent) { setCurrentRow(int(transparent)); }
    static int showWindow(QPoint pos, QWidget* parent);
    static TransparentSelect* m_spTransparentSelect;
signals:
    void sigTransparentSelectChanged(int row);
protected:
    void paintMark(QPainter& painter, int row) override;
    QString rowLabel(int row) const override;
    void emitChosen(int row) override { emit sigTransparentSelectChanged(row); }
};
