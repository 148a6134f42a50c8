// Records the virtual camera with the virtual microphone into the file named by the first
// argument until the process is killed; prints "recorded <n> s" as the recorder reports each second
// of video written.

#include "recorderfixture.h"

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2)
        return 2;
    using namespace recorder;
    prepareServiceClient();
    MyFfmpegCameraControl* control = MyFfmpegCameraControl::getInstance();
    QObject::connect(control, &MyFfmpegCameraControl::sigRecordTimeChangeForMain, [](int seconds) {
        std::printf("recorded %d s\n", seconds);
        std::fflush(stdout);
    });
    control->setCameraInfo(PaxCameraIndexMain, cameraInfo(QStringLiteral("1280x720"), 30));
    control->setCameraRecordInfo(PaxCameraIndexMain,
                                 recordInfo(QString::fromLocal8Bit(argv[1]), true,
                                            microphoneIndex(QStringLiteral("Virtual Microphone"))));
    control->changeCameraRecordStatus(PaxCameraIndexMain, MFCC_Record_Recording);
    return app.exec();
}
