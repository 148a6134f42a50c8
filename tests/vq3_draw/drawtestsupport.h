#pragma once
// Shared fixtures of the canvas tests: application settings in a temporary folder, doubles of
// the media bridge and the camera SDK that record what the canvas asks of them, and pixel
// helpers.

#include "drawlinks.h"
#include "mymemory.h"

#include <QDir>
#include <QGraphicsPixmapItem>
#include <QImage>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QTemporaryDir>
#include <QVector>

namespace drawtest
{
// Settings in a folder of their own; drawing settings set to known values.
inline void initSettings(const QString& folder)
{
    MyMemory::setSavePath(folder);
    MyMemory* memory = MyMemory::getInstance();
    memory->setConfigDrawColor(MyMemory::ColorRed);
    memory->setConfigFillColor(MyMemory::ColorNone);
    memory->setConfitTransparent(MyMemory::Transparent5);
    memory->setConfigPenWidth(MyMemory::PenWidth3);
    memory->setConfigEraseWidth(MyMemory::EraseWidth2);
}

struct MediaCall
{
    QString op;
    MediaControl* media = nullptr;
    QGraphicsPixmapItem* item = nullptr;
    QString text;
};

class RecordingMediaLink : public DrawMediaLink
{
public:
    // A stand-in bridge: never dereferenced, only compared.
    MediaControl* bridge() { return reinterpret_cast<MediaControl*>(&m_token); }

    void setRender(MediaControl* m, QGraphicsPixmapItem* i) override { calls.append({"setRender", m, i, {}}); }
    void setRender1(MediaControl* m, QGraphicsPixmapItem* i) override { calls.append({"setRender1", m, i, {}}); }
    void removeThisRender(MediaControl* m, QGraphicsPixmapItem* i) override
    {
        calls.append({"removeThisRender", m, i, {}});
    }
    void closeCamera(MediaControl* m) override { calls.append({"closeCamera", m, nullptr, {}}); }
    void capture(MediaControl* m) override { calls.append({"capture", m, nullptr, {}}); }
    void connectImageCaptured(MediaControl* m, QObject*, const char* slot) override
    {
        calls.append({"connectImageCaptured", m, nullptr, QString::fromLatin1(slot)});
    }
    void playWirelessDevice(MediaControl* m, const QString& address) override
    {
        calls.append({"playWirelessDevice", m, nullptr, address});
    }
    void runGrabWindow(MediaControl* m, QWidget*) override { calls.append({"runGrabWindow", m, nullptr, {}}); }

    QStringList ops() const
    {
        QStringList out;
        for (const MediaCall& call : calls)
            out << call.op;
        return out;
    }

    QVector<MediaCall> calls;

private:
    int m_token = 0;
};

class RecordingCameraLink : public DrawCameraLink
{
public:
    double getInitAngle() override { return angle; }
    void setInitAngle(double a) override
    {
        angle = a;
        sent.append(a);
    }
    QString getFontFamily() override { return QStringLiteral("DejaVu Sans"); }

    double angle = 0;
    QVector<double> sent;
};

inline QImage transparentImage(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// Paints one item as a view would, at the item's own coordinates.
inline QImage paintItem(QGraphicsItem* item, int w, int h)
{
    QImage image = transparentImage(w, h);
    QPainter painter(&image);
    QStyleOptionGraphicsItem option;
    item->paint(&painter, &option, nullptr);
    return image;
}

inline int countAlpha(const QImage& image, bool transparent)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            count += ((qAlpha(argb.pixel(x, y)) == 0) == transparent) ? 1 : 0;
    return count;
}
}
