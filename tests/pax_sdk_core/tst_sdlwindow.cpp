// The decoding path's rendering into a native window through SDL: planes land in Y, U, V order.

#include "eventwait.h"
#include "ffmpegplay.h"
#include "pipelinefixture.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QtTest>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

class tst_SdlWindow : public QObject
{
    Q_OBJECT

private slots:
    void renderedColours_data();
    void renderedColours();
};

void tst_SdlWindow::renderedColours_data()
{
    // BT.601 limited-range YUV of pure colours.
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("u");
    QTest::addColumn<int>("v");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("blue") << 41 << 240 << 110 << QColor(0, 0, 255);
    QTest::newRow("red") << 81 << 90 << 240 << QColor(255, 0, 0);
}

void tst_SdlWindow::renderedColours()
{
    QFETCH(int, y);
    QFETCH(int, u);
    QFETCH(int, v);
    QFETCH(QColor, expected);
    QWidget window;
    window.setAttribute(Qt::WA_NativeWindow);
    window.setAttribute(Qt::WA_PaintOnScreen);
    window.setAttribute(Qt::WA_NoSystemBackground);
    window.setGeometry(100, 100, 320, 240);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window, eventwait::kHangMs));

    AVFrame* frame = av_frame_alloc();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = 320;
    frame->height = 240;
    QCOMPARE(av_frame_get_buffer(frame, 0), 0);
    for (int row = 0; row < 240; ++row)
        memset(frame->data[0] + row * frame->linesize[0], y, 320);
    for (int row = 0; row < 120; ++row) {
        memset(frame->data[1] + row * frame->linesize[1], u, 160);
        memset(frame->data[2] + row * frame->linesize[2], v, 160);
    }
    AVCodecContext* decoder = avcodec_alloc_context3(nullptr);
    decoder->width = 320;
    decoder->height = 240;
    decoder->pix_fmt = AV_PIX_FMT_YUV420P;

    {
        FfmpegPlay player;
        player.setWid(quint64(window.winId()), 320, 240);
        player.setStatus(MFCC_Play_Play);
        QImage shot;
        const bool shown = pipeline::waitUntil(
            [&] {
                player.slotSendVideoFrameForPlay(_Ffmpeg_Video_Frame_SendS{frame, decoder});
                shot = QGuiApplication::primaryScreen()->grabWindow(window.winId()).toImage();
                const QColor c = shot.pixelColor(160, 120);
                return qAbs(c.red() - expected.red()) < 40 && qAbs(c.green() - expected.green()) < 40 &&
                       qAbs(c.blue() - expected.blue()) < 40;
            },
            3000);
        QVERIFY2(shown, qPrintable(shot.pixelColor(160, 120).name()));
        player.setStatus(MFCC_Play_Stop);   // releases the renderer while the window exists
    }
    avcodec_free_context(&decoder);
    av_frame_free(&frame);
}

QTEST_MAIN(tst_SdlWindow)
#include "tst_sdlwindow.moc"
