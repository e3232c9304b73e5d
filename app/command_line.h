// What both programs share on their command lines: --help, -h and
// --version, the "--" before a path that begins with a dash, and the usage
// line.
//
// A command line that names the converter's two paths keeps its meaning:
// there the option words are recognised only as its only argument (one
// argument was never a run), and "--" only where it leaves exactly two paths
// ("reducebmp --help out.bmp" reads a file named "--help", as it always did).
// The viewer takes its first argument as the path and ignores the rest, so
// there the words are recognised as the first argument, whatever follows,
// and a file named like one is opened with "reduceview -- --help" or
// "reduceview ./--help".
#pragma once

#include <cstdio>
#include <optional>

struct ProgramSynopsis {
    const char* name;       // "reducebmp"
    const char* arguments;  // "IN.bmp OUT.bmp"
    const char* help;       // what --help prints after the usage line
    int pathCount;          // paths the program needs
    bool extraArgumentsIgnored;  // arguments after the paths do not count
};

extern const ProgramSynopsis kReducebmpSynopsis;
extern const ProgramSynopsis kReduceviewSynopsis;

// Answers --help, -h or --version on standard output and gives the exit code
// (0, or 1 when standard output cannot be written). Otherwise gives nothing,
// after dropping a leading "--" from argc/argv where it counts, so that
// argv[1] onwards are the program's arguments as before.
std::optional<int> answerStandardOptions(const ProgramSynopsis& program, int& argc, char**& argv);

// "usage: NAME ARGUMENTS\n"
void printUsage(const ProgramSynopsis& program, std::FILE* stream);
