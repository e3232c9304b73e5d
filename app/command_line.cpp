#include "command_line.h"

#include "version.h"

#include <getopt.h>

#include <cstdio>
#include <cstring>

const ProgramSynopsis kReducebmpSynopsis{
    "reducebmp", "[OPTION]... IN OUT",
    "Reduces the image IN (BMP, PNG or JPEG, told by its content) to at most\n"
    "256 colours and writes it to OUT in the format that OUT's extension names,\n"
    "in any case: .bmp an 8-bit indexed BMP, .png an indexed PNG. An OUT without\n"
    "an extension (such as /dev/null) is written as BMP. The statistics of the\n"
    "reduction go to standard output.\n"
    "\n"
    "  -q, --quiet    print no statistics, nor the progress line\n"
    "  -v, --verbose  then print on standard error the input's kind and size, the\n"
    "                 time of each phase and how close the result is to IN, e.g.\n"
    "                   quality: MSE 6.90 (R 5.29 G 5.81 B 9.61), PSNR 39.74 dB,\n"
    "                   max error 15, 256 of 256 entries used\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "      --         end of the options: what follows is IN and OUT, even if it\n"
    "                 begins with a dash\n"
    "\n"
    "IN '-' reads the image from standard input; OUT '-' writes it to standard\n"
    "output as BMP, and the statistics then go to standard error. OUT is written\n"
    "whole or not at all (a stream cannot be: a failure there leaves part of it),\n"
    "and never replaces IN. On a terminal, a run longer than a second shows its\n"
    "phase on standard error. A picture with transparent pixels is shown over\n"
    "white, with a note on standard error, which -q leaves in place.\n"
    "\n"
    "Exit status: 0 written; 1 failed (IN not loaded, OUT would replace IN, OUT or\n"
    "the statistics not written, not enough memory); 2 wrong arguments, or OUT\n"
    "named neither .bmp nor .png.\n",
    2, false, true};

const ProgramSynopsis kReduceviewSynopsis{
    "reduceview", "[OPTION]... IN",
    "Reduces the image IN (BMP, PNG or JPEG, told by its content) to at most\n"
    "256 colours and shows the result in a window until it is closed. The\n"
    "statistics of the reduction go to standard output. Arguments after IN are\n"
    "ignored; IN '-' reads standard input.\n"
    "\n"
    "  -v, --verbose  once the image is reduced, print on standard error how close\n"
    "                 it is to IN, e.g.\n"
    "                   quality: MSE 6.90 (R 5.29 G 5.81 B 9.61), PSNR 39.74 dB,\n"
    "                   max error 15, 256 of 256 entries used\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "      --         end of the options: what follows is IN, even if it begins\n"
    "                 with a dash\n"
    "\n"
    "Exit status: 0 once the window is closed; 1 no argument at all, IN could not\n"
    "be loaded, or the statistics could not be written; 2 wrong arguments.\n"
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
    1, true, false};

namespace {

constexpr int kVersion = 256;  // --version has no short form

bool startsWith(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

// Help and version are the whole answer: a script that reads them must learn
// when they were lost (a closed or full standard output).
int finishAnswer(const ProgramSynopsis& program) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    std::fprintf(stderr, "%s: cannot write to standard output\n", program.name);
    return 1;
}

class Options {
public:
    explicit Options(const ProgramSynopsis& program) {
        add("help", 'h');
        if (program.takesQuiet) add("quiet", 'q');
        add("verbose", 'v');
        add("version", kVersion);
        table_[count_] = {nullptr, 0, nullptr, 0};
        // "+": stop at the first path instead of looking for options after it.
        shorts_ = program.takesQuiet ? "+hqv" : "+hv";
    }
    const option* table() const { return table_; }
    const char* shorts() const { return shorts_; }

    // What getopt_long refused in `argument`, a long option ("--name" or
    // "--name=value"), in words: getopt's own messages differ between C
    // runtimes and name the program as it was started.
    std::string longOptionFault(const char* argument) const {
        const char* name = argument + 2;
        const std::size_t length = std::strcspn(name, "=");
        if (length == 0) return "unrecognized option '" + std::string(argument) + "'";
        std::string matches;
        const char* match = nullptr;
        int found = 0;
        for (int i = 0; i < count_; ++i) {
            if (std::strncmp(table_[i].name, name, length) != 0) continue;
            // An exact name wins over the longer ones it begins.
            if (std::strlen(table_[i].name) == length) {
                found = 1;
                match = table_[i].name;
                break;
            }
            matches += " '--" + std::string(table_[i].name) + "'";
            match = table_[i].name;
            ++found;
        }
        if (found == 1) return "option '--" + std::string(match) + "' doesn't allow an argument";
        const std::string given(argument, 2 + length);
        if (found > 1) return "option '" + given + "' is ambiguous; possibilities:" + matches;
        return "unrecognized option '" + std::string(argument) + "'";
    }

private:
    void add(const char* name, int value) { table_[count_++] = {name, no_argument, nullptr, value}; }
    option table_[5];
    int count_ = 0;
    const char* shorts_;
};

// Resets getopt for a new parse: optind 0 starts afresh, in glibc and in
// the BSD getopt of MinGW-w64 alike.
void resetGetopt() {
    optind = 0;
    opterr = 0;
}

// An argument after the first path that looks like an option: the user most
// likely meant it as one.
const std::string* misplacedOption(const std::vector<std::string>& paths) {
    for (std::size_t i = 1; i < paths.size(); ++i)
        if (paths[i].size() > 1 && paths[i][0] == '-') return &paths[i];
    return nullptr;
}

std::optional<int> checkPaths(const ProgramSynopsis& program, const std::vector<std::string>& paths) {
    const std::size_t needed = static_cast<std::size_t>(program.pathCount);
    if (paths.size() == needed || (program.extraArgumentsIgnored && paths.size() > needed)) return std::nullopt;
    if (paths.size() > needed) {
        if (const std::string* option = misplacedOption(paths))
            return refuseCommandLine(program, "'" + *option + "' after a path: options come before the paths");
        return refuseCommandLine(program, "unexpected argument '" + paths[needed] + "' after the paths");
    }
    if (const std::string* option = misplacedOption(paths))
        return refuseCommandLine(program, "'" + *option + "' after a path: options come before the paths");
    if (needed == 1) return refuseCommandLine(program, "missing the input path");
    return refuseCommandLine(program, paths.empty() ? "missing the input and output paths" : "missing the output path");
}

}  // namespace

int refuseCommandLine(const ProgramSynopsis& program, const std::string& what) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program.name, what.c_str(), program.name);
    return 2;
}

std::optional<int> parseCommandLine(const ProgramSynopsis& program, int argc, char** argv, CommandLine& line) {
    line = CommandLine{};
    // The viewer started bare exits silently, as it always has.
    if (argc <= 1 && program.extraArgumentsIgnored) return 1;
    const Options options(program);
    resetGetopt();
    for (;;) {
        // A long option is always a whole argument, so it stands at optind
        // when getopt_long starts on it (glibc's 0 is the first argument).
        const int at = optind == 0 ? 1 : optind;
        const int got = getopt_long(argc, argv, options.shorts(), options.table(), nullptr);
        if (got == -1) break;
        switch (got) {
            case 'h':
                std::printf("Usage: %s %s\n", program.name, program.arguments);
                std::fputs(program.help, stdout);
                return finishAnswer(program);
            case kVersion:
                std::printf("%s %s\n", program.name, CR_VERSION);
                return finishAnswer(program);
            case 'q': line.quiet = true; break;
            case 'v': line.verbose = true; break;
            default: {
                const char* argument = at < argc ? argv[at] : "";
                if (startsWith(argument, "--")) return refuseCommandLine(program, options.longOptionFault(argument));
                const char letter = static_cast<char>(optopt);
                return refuseCommandLine(program, std::string("invalid option -- '") + letter + "'");
            }
        }
    }
    for (int i = optind; i < argc; ++i) line.paths.emplace_back(argv[i]);
    if (const std::optional<int> refused = checkPaths(program, line.paths)) return refused;
    line.paths.resize(static_cast<std::size_t>(program.pathCount));
    return std::nullopt;
}
