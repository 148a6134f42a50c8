// korvid-launcher: starts Korvid and keeps it running until SIGTERM or SIGINT.

#include "launcherstartup.h"

int main(int argc, char* argv[])
{
    return runKorvidLauncher(argc, argv);
}
