// Korvid: the UVC control service.

#include "korvidstartup.h"

int main(int argc, char* argv[])
{
    return runKorvid(argc, argv);
}
