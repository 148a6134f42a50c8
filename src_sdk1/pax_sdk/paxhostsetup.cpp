#include "paxhostsetup.h"

#include "paxlib.h"

#include <QApplication>

namespace {
QApplication* s_ownApplication = nullptr;
int s_users = 0;
} // namespace

void paxAcquireHostApplication()
{
    ++s_users;
    if (QCoreApplication::instance()) {
        return;
    }
    static int argc = 3;
    static char name[] = "pax_sdk";
    static char option[] = "-platform";
    static char platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    s_ownApplication = new QApplication(argc, argv);
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
