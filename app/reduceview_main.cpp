// reduceview IN.bmp: the viewer (run_viewer.h).
#include "run_viewer.h"

int main(int argc, char** argv) { return runViewer(argc, argv); }
