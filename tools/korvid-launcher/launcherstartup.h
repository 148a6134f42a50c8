#pragma once
// Start-up of the korvid-launcher program.

// The whole program: makes the application object, listens on the father link, starts Korvid and
// keeps it running until SIGTERM or SIGINT, then ends it. Returns the exit code (1 when the
// father port can't be had). Main thread only, once per process.
int runKorvidLauncher(int argc, char* argv[]);
