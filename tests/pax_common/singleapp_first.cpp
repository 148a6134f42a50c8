// Runs as the first instance of an application with SingleApplication: prints "listening" once
// it holds the port and "activate" for each later start that reached it; ends when killed.
// After each batch of connections the instance took, the descriptors it holds beyond those it
// held when it began listening: "held N" whenever N is a new highest.
#include "singleapplication.h"

#include <QDir>
#include <QTcpServer>

#include <cstdio>

namespace {
int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
}
} // namespace

int main(int argc, char** argv)
{
    SingleApplication app(argc, argv);
    if (app.isRunning())
        return 3;
    QObject::connect(&app, &SingleApplication::sigActive, [] {
        std::printf("activate\n");
        std::fflush(stdout);
    });
    // Connected after the application's own handler, which takes every pending connection.
    const int idle = openDescriptors();
    int highest = 0;
    QObject::connect(app.findChild<QTcpServer*>(), &QTcpServer::newConnection, [idle, &highest] {
        const int held = openDescriptors() - idle;
        if (held > highest) {
            highest = held;
            std::printf("held %d\n", held);
            std::fflush(stdout);
        }
    });
    std::printf("listening\n");
    std::fflush(stdout);
    return app.exec();
}
