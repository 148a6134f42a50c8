// Runs binarisation or outline detection on a picture file, for checking results by hand.
//
//   imageproc-cli wolf <in> <out> [window] [lower] [upper]   Wolf's binarisation (default 51 50 254)
//   imageproc-cli sauvola <in> <out> [window]                Sauvola's binarisation (default 51)
//   imageproc-cli otsu <in> <out>                            global Otsu level
//   imageproc-cli outline <in>                               the four corners and the angle

#include "Binarize.h"
#include "BinaryImage.h"
#include "paxopencvutil.h"

#include <QCoreApplication>
#include <QImage>
#include <QStringList>

#include <cstdio>
#include <exception>

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: imageproc-cli wolf <in> <out> [window] [lower] [upper]\n"
                 "       imageproc-cli sauvola <in> <out> [window]\n"
                 "       imageproc-cli otsu <in> <out>\n"
                 "       imageproc-cli outline <in>\n");
    return 2;
}

int argOr(const QStringList& args, int index, int fallback)
{
    if (index >= args.size()) {
        return fallback;
    }
    bool ok = false;
    const int v = args[index].toInt(&ok);
    return ok ? v : fallback;
}

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(quiet);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        return usage();
    }
    const QString mode = args[1];
    const QImage input(args[2]);
    if (input.isNull()) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(args[2]));
        return 1;
    }
    try {
        if (mode == "outline") {
            QPoint corners[4];
            float angle = 0.0f;
            if (!FindLunKuo(&input, corners, angle)) {
                std::printf("no outline\n");
                return 3;
            }
            for (const QPoint& c : corners) {
                std::printf("%d %d\n", c.x(), c.y());
            }
            std::printf("angle %.3f\n", double(angle));
            return 0;
        }
        if (args.size() < 4) {
            return usage();
        }
        imageproc::BinaryImage bw;
        if (mode == "wolf") {
            const int window = argOr(args, 4, 51);
            bw = imageproc::binarizeWolf(input, QSize(window, window), uchar(argOr(args, 5, 50)),
                                         uchar(argOr(args, 6, 254)));
        } else if (mode == "sauvola") {
            const int window = argOr(args, 4, 51);
            bw = imageproc::binarizeSauvola(input, QSize(window, window));
        } else if (mode == "otsu") {
            bw = imageproc::binarizeOtsu(input.convertToFormat(QImage::Format_RGB32));
        } else {
            return usage();
        }
        if (!bw.toQImage().save(args[3])) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(args[3]));
            return 1;
        }
        std::printf("%d x %d, %d black\n", bw.width(), bw.height(), bw.countBlackPixels());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
