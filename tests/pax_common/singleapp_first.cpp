// Runs as the first instance of an application with SingleApplication: prints "listening" once
// it holds the port and "activate" for each later start that reached it; ends when killed.
#include "singleapplication.h"

#include <cstdio>

int main(int argc, char** argv)
{
    SingleApplication app(argc, argv);
    if (app.isRunning())
        return 3;
    QObject::connect(&app, &SingleApplication::sigActive, [] {
        std::printf("activate\n");
        std::fflush(stdout);
    });
    std::printf("listening\n");
    std::fflush(stdout);
    return app.exec();
}
