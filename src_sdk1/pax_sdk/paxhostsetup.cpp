#include "paxhostsetup.h"

#include "paxlib.h"

#include <QApplication>

namespace {
QApplication* s_ownApplication = nullptr;
int s_users = 0;

// The argument vector handed to the application object made here. QApplication takes the options
// it knows out of the vector (and keeps the count by reference), so each object gets a fresh copy.
// The platform the host's environment names (QT_QPA_PLATFORM) is used as it stands; without one,
// offscreen: the SDK shows no window.
struct HostArguments {
    char name[8] = "pax_sdk";
    char option[10] = "-platform";
    char platform[10] = "offscreen";
    char* argv[4] = {nullptr, nullptr, nullptr, nullptr};
    int argc = 0;

    void reset()
    {
        argv[0] = name;
        argv[1] = argv[2] = argv[3] = nullptr;
        argc = 1;
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            argv[1] = option;
            argv[2] = platform;
            argc = 3;
        }
    }
};
HostArguments s_arguments;
} // namespace

void paxAcquireHostApplication()
{
    ++s_users;
    if (QCoreApplication::instance()) {
        return;
    }
    s_arguments.reset();
    s_ownApplication = new QApplication(s_arguments.argc, s_arguments.argv);
}

void paxReleaseHostApplication()
{
    if (s_users > 0 && --s_users == 0) {
        delete s_ownApplication;
        s_ownApplication = nullptr;
    }
}

void paxEnsureSaveRoot()
{
    if (paxlib::YL_createOrGetFatherSaveDir(QString()).isEmpty()) {
        paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3"));
    }
}
