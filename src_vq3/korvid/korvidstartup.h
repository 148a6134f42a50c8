#pragma once
// Start-up of the Korvid program: its log folder comes from its only argument or from standard
// input; it serves the command link until a command or the client ends it.

// The whole program: makes the application object, takes the log folder, creates the shared frame
// block (ending the process with code 1 when that fails), starts the service and runs the event
// loop. Returns the exit code. Main thread only, once per process.
int runKorvid(int argc, char* argv[]);
