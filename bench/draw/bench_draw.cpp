// Paint time of one 1080p live frame under 0, 10 and 50 annotation items, against a peer that
// draws every shape afresh for each frame; and the latency of the release that ends an eraser
// stroke over 20 large items (each item is checked for remaining pixels, cleared ones are
// deleted). Runs on the offscreen platform.

#include "drawitem.h"
#include "graphicsscene.h"
#include "mymemory.h"

#include <QApplication>
#include <QGraphicsPixmapItem>
#include <QGraphicsSceneMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>

namespace
{
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

QPixmap liveFrame(int seed)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x)
            line[x] = qRgb((x + seed) & 255, (y * 2) & 255, (x ^ y) & 255);
    }
    return QPixmap::fromImage(image);
}

// A mix of rectangles, ellipses, triangles and pen strokes spread over the frame.
void addAnnotations(QGraphicsScene* scene, int count)
{
    for (int i = 0; i < count; ++i) {
        const QPointF pos(60 + (i * 173) % 1500, 40 + (i * 97) % 700);
        if (i % 5 == 4) {
            auto* stroke = new DrawItem(QRectF(-1000, -1000, 2000, 2000), DrawItem::DRAW_PEN);
            scene->addItem(stroke);
            stroke->setPos(pos);
            QPainterPath path;
            path.moveTo(0, 0);
            for (int k = 1; k < 40; ++k)
                path.lineTo(k * 8, 30 * std::sin(k * 0.4));
            stroke->setPath(path);
            stroke->adjustRect();
            continue;
        }
        const DrawItem::DRAW_SHAPE shape = DrawItem::DRAW_SHAPE(DrawItem::DRAW_RECT + i % 3);
        auto* item = new DrawItem(QRectF(0, 0, 200 + (i * 37) % 400, 120 + (i * 53) % 300), shape);
        scene->addItem(item);
        item->setPos(pos);
    }
}

void renderFrame(QGraphicsScene& scene, QImage& target)
{
    QPainter painter(&target);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    scene.render(&painter, QRectF(0, 0, kWidth, kHeight), QRectF(0, 0, kWidth, kHeight));
}

void BM_PaintLiveFrame(benchmark::State& state)
{
    GraphicsScene scene;
    const QPixmap frames[2] = {liveFrame(0), liveFrame(7)};
    QGraphicsPixmapItem* live = scene.addPixmap(frames[0]);
    addAnnotations(&scene, int(state.range(0)));
    QImage target(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    int n = 0;
    for (auto _ : state) {
        live->setPixmap(frames[++n & 1]);
        renderFrame(scene, target);
        benchmark::DoNotOptimize(target.constBits());
    }
    state.SetLabel(std::to_string(state.range(0)) + " items");
}

// The peer: the same frame with every shape drawn into a new offscreen picture for each frame,
// as an item without a kept picture would.
void BM_PaintLiveFrameDrawingShapesAfresh(benchmark::State& state)
{
    GraphicsScene scene;
    const QPixmap frames[2] = {liveFrame(0), liveFrame(7)};
    QGraphicsPixmapItem* live = scene.addPixmap(frames[0]);
    addAnnotations(&scene, int(state.range(0)));
    QList<DrawItem*> shapes;
    for (QGraphicsItem* item : scene.items(Qt::AscendingOrder))
        if (DrawItem* shape = qgraphicsitem_cast<DrawItem*>(item))
            shapes.append(shape);
    for (DrawItem* shape : shapes)
        if (shape->drawShape() != DrawItem::DRAW_PEN)
            shape->setVisible(false);
    QImage target(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    int n = 0;
    for (auto _ : state) {
        live->setPixmap(frames[++n & 1]);
        renderFrame(scene, target);
        QPainter painter(&target);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        for (DrawItem* shape : shapes) {
            if (shape->drawShape() == DrawItem::DRAW_PEN)
                continue;
            painter.drawPixmap(shape->pos(), shape->renderShape(shape->rect()));
        }
        painter.end();
        benchmark::DoNotOptimize(target.constBits());
    }
    state.SetLabel(std::to_string(state.range(0)) + " items");
}

void sendMouse(QGraphicsScene& scene, QEvent::Type type, const QPointF& p)
{
    QGraphicsSceneMouseEvent event(type);
    event.setScenePos(p);
    event.setButton(Qt::LeftButton);
    event.setButtons(type == QEvent::GraphicsSceneMouseRelease ? Qt::NoButton : Qt::LeftButton);
    QCoreApplication::sendEvent(&scene, &event);
}

// Release of an eraser stroke over 20 stacked 800 x 600 shapes. Argument 0: the stroke crosses
// them once and every shape stays; argument 1: the stroke clears them all, and the release
// deletes all 20.
void BM_EraseRelease(benchmark::State& state)
{
    const bool clearAll = state.range(0) == 1;
    for (auto _ : state) {
        state.PauseTiming();
        auto* scene = new GraphicsScene;
        for (int i = 0; i < 20; ++i) {
            auto* item = new DrawItem(QRectF(0, 0, 800, 600), DrawItem::DRAW_RECT);
            scene->addItem(item);
            item->setPos(100 + i * 5, 100 + i * 5);
        }
        scene->slotErase();
        sendMouse(*scene, QEvent::GraphicsSceneMousePress, QPointF(200, 400));
        // Rows 30 px apart: every shape edge lies within the 40-px reach of a row inside it.
        const int rows = clearAll ? 24 : 1;
        for (int row = 0; row < rows; ++row) {
            const double y = 100 + row * 30;
            for (int x = 90; x <= 1010; x += 20)
                sendMouse(*scene, QEvent::GraphicsSceneMouseMove, QPointF(row % 2 ? 1100 - x : x, clearAll ? y : 400));
        }
        state.ResumeTiming();
        sendMouse(*scene, QEvent::GraphicsSceneMouseRelease, QPointF(200, 400));
        state.PauseTiming();
        state.counters["items_left"] = scene->items().size() / 9.0; // a shape and its 8 handles
        delete scene;
        state.ResumeTiming();
    }
    state.SetLabel(clearAll ? "all 20 cleared" : "all 20 kept");
}
}

BENCHMARK(BM_PaintLiveFrame)->Arg(0)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintLiveFrameDrawingShapesAfresh)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EraseRelease)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir settings;
    MyMemory::setSavePath(settings.path());
    MyMemory* memory = MyMemory::getInstance();
    memory->setConfigPenWidth(MyMemory::PenWidth3);
    memory->setConfigEraseWidth(MyMemory::EraseWidth5);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    MyMemory::releaseInstance();
    return 0;
}
