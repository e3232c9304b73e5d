// Both programs' command lines, in the GNU style that getopt_long parses on
// every system (glibc, and MinGW-w64's C runtime on Windows): options first,
// then the paths; "--" ends the options, so that a path may begin with a
// dash; "-" is a path (standard input or output). Parsing stops at the first
// path: the viewer ignores what follows its path, and the converter takes an
// option after its paths for what it is, a misplaced argument.
//
// A wrong command line gets one line that says what is wrong, then
//   Try 'PROGRAM --help' for more information.
// on standard error, and exit code 2.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct ProgramSynopsis {
    const char* name;       // "reducebmp"
    const char* arguments;  // "[OPTION]... IN OUT"
    const char* help;       // what --help prints after the usage line
    int pathCount;          // paths the program needs
    bool extraArgumentsIgnored;  // arguments after the paths do not count
    bool takesQuiet;             // -q, --quiet
};

extern const ProgramSynopsis kReducebmpSynopsis;
extern const ProgramSynopsis kReduceviewSynopsis;

struct CommandLine {
    bool quiet = false;
    bool verbose = false;
    std::vector<std::string> paths;  // exactly pathCount of them
};

// Fills `line` and gives nothing when the program is to run. Otherwise gives
// the exit code: 0 once --help or --version is answered on standard output
// (1 when standard output cannot be written), 2 after the message for a
// wrong command line, and 1, silently, for the viewer started with no
// argument at all.
std::optional<int> parseCommandLine(const ProgramSynopsis& program, int argc, char** argv, CommandLine& line);

// A wrong command line found after the parse (a path that cannot be used as
// given): its one line, the pointer to --help, and exit code 2, as above.
int refuseCommandLine(const ProgramSynopsis& program, const std::string& what);
