#include "command_line.h"

#include "version.h"

#include <cstring>

const ProgramSynopsis kReducebmpSynopsis{
    "reducebmp", "IN.bmp OUT.bmp",
    "Reduces the BMP image IN.bmp to at most 256 colours and writes it to OUT.bmp\n"
    "as an 8-bit indexed BMP; the statistics of the reduction go to standard output.\n"
    "\n"
    "  -h, --help  show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Exit status: 0 written; 1 failed (IN.bmp not loaded, OUT.bmp or the statistics\n"
    "not written, not enough memory); 2 wrong arguments.\n",
    2, false};

const ProgramSynopsis kReduceviewSynopsis{
    "reduceview", "IN.bmp",
    "Reduces the BMP image IN.bmp to at most 256 colours and shows the result in a\n"
    "window until it is closed; the statistics of the reduction go to standard output.\n"
    "\n"
    "  -h, --help  show this help and exit\n"
    "  --version   show the version and exit\n"
    "  --          take the next argument as the path, even if it begins with a dash\n"
    "\n"
    "Exit status: 0 once the window is closed; 1 no path given, or IN.bmp could not\n"
    "be loaded.\n"
    // The keys and the mouse in the window, as window/key_bindings.cpp binds them.
    "\n"
    "In the window:\n"
    "  arrow keys, Page Up, Page Down, wheel  scroll (Shift and the wheel: sideways)\n"
    "  left button dragged                    move the picture with the pointer\n"
    "  Home, End                              the top-left, the bottom-right corner\n"
    "  +, -, Ctrl and the wheel               zoom (1 to 32 times) about the pointer\n"
    "  F                                      the whole picture, fitted (averaged)\n"
    "  1, =                                   back to 1:1\n"
    "  Space, held                            the original picture, as loaded\n"
    "  D                                      the difference: each pixel's largest\n"
    "                                         channel difference, the largest white\n"
    "  P                                      the palette, a bar for each count\n"
    "  Esc, Q                                 close the window\n",
    1, true};

namespace {

bool is(const char* argument, const char* word) { return std::strcmp(argument, word) == 0; }

// Help and version are the whole answer: a script that reads them must learn
// when they were lost (a closed or full standard output).
int finishAnswer(const ProgramSynopsis& program) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    std::fprintf(stderr, "%s: cannot write to standard output\n", program.name);
    return 1;
}

}  // namespace

void printUsage(const ProgramSynopsis& program, std::FILE* stream) {
    std::fprintf(stream, "usage: %s %s\n", program.name, program.arguments);
}

std::optional<int> answerStandardOptions(const ProgramSynopsis& program, int& argc, char**& argv) {
    if (argc < 2) return std::nullopt;
    const int given = argc - 1;
    const char* first = argv[1];
    const bool optionsCount = program.extraArgumentsIgnored || given < program.pathCount;
    if (optionsCount && (is(first, "--help") || is(first, "-h"))) {
        printUsage(program, stdout);
        std::fputs(program.help, stdout);
        return finishAnswer(program);
    }
    if (optionsCount && is(first, "--version")) {
        std::printf("%s %s\n", program.name, CR_VERSION);
        return finishAnswer(program);
    }
    if (is(first, "--") && (program.extraArgumentsIgnored || given == program.pathCount + 1)) {
        // argv[0] moves up one place; argv[argc] stays the terminating null.
        argv[1] = argv[0];
        ++argv;
        --argc;
    }
    return std::nullopt;
}
