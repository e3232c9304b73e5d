#include "command_line.h"

#include "version.h"

#include <cstring>

const ProgramSynopsis kReducebmpSynopsis{
    "reducebmp", "IN OUT.bmp|OUT.png",
    "Reduces the image IN (BMP, PNG or JPEG, told by its content) to at most\n"
    "256 colours and writes it to OUT.bmp as an 8-bit indexed BMP or to OUT.png\n"
    "as an indexed PNG; the statistics of the reduction go to standard output.\n"
    "\n"
    "  -h, --help  show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Exit status: 0 written; 1 failed (IN not loaded, OUT or the statistics not\n"
    "written, not enough memory); 2 wrong arguments, or OUT named neither .bmp\n"
    "nor .png.\n",
    2, false};

const ProgramSynopsis kReduceviewSynopsis{
    "reduceview", "IN",
    "Reduces the image IN (BMP, PNG or JPEG, told by its content) to at most\n"
    "256 colours and shows the result in a window until it is closed; the\n"
    "statistics of the reduction go to standard output.\n"
    "\n"
    "  -h, --help  show this help and exit\n"
    "  --version   show the version and exit\n"
    "  --          take the next argument as the path, even if it begins with a dash\n"
    "\n"
    "Exit status: 0 once the window is closed; 1 no path given, or IN could not be\n"
    "loaded.\n",
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
