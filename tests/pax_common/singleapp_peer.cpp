// Starts as an application with SingleApplication and ends at once: exit code 3 when
// another instance already ran (after handing it "activate"), 0 when this one was first.
#include "singleapplication.h"

int main(int argc, char** argv)
{
    SingleApplication app(argc, argv);
    return app.isRunning() ? 3 : 0;
}
