// The viewer's driver, reduceview IN.bmp: loads the file, reduces it to at
// most 256 colours while the viewer window is being created (the statistics
// go to standard output), and shows the result until the window is closed.
// A function of its own so that the tests run the very same driver in a
// program of theirs.
#pragma once

// Takes the program's command line and returns its exit code: 0 once the
// window is closed (or --help or --version answered); 1 when no path is
// given, when the file cannot be loaded ("Cannot load input file : IN.bmp"
// and the reason on standard error), or when anything else fails (one line
// on standard error, never an abort).
int runViewer(int argc, char** argv);
