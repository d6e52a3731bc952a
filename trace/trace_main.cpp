// lbm_trace: prints the probe reports of the first N steps from the program's
// start-up state (default 150), exactly as pressing `f` N times does, and on
// request writes snapshots of the whole lattice for ParaView or VTK.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "lattice.h"
#include "snapshot.h"
#include "trace.h"

#ifndef LBM_VERSION
#define LBM_VERSION "unknown"
#endif

namespace {

constexpr char PROGRAM[] = "lbm_trace";
constexpr char SYNOPSIS[] = "lbm_trace [--vtk DIR] [--every K] [N]\n";
constexpr long DEFAULT_STEPS = 150;

constexpr char HELP[] =
    "Print the probe reports of the first N steps (150 by default) of the lattice\n"
    "from start-up, byte for byte what pressing f N times in latticeview prints.\n"
    "\n"
    "  --vtk DIR    also write the whole lattice at start-up (step 0), after every\n"
    "               K-th step and after the last step, as DIR/lattice_SSSSSS.vti\n"
    "               (VTK XML ImageData, SSSSSS the step), listed with each step as\n"
    "               its time in the ParaView collection DIR/lattice.pvd; DIR is\n"
    "               created if missing, its parent must exist\n"
    "  --every K    write a snapshot every K steps (K from 1, 1 by default)\n"
    "  --help       display this help and exit\n"
    "  --version    output version information and exit\n"
    "\n"
    "Exit status: 0 on success, 1 when a report or a snapshot cannot be written,\n"
    "2 for invalid arguments.\n";

struct Options {
    long steps = DEFAULT_STEPS;
    long every = 1;
    const char* vtkDirectory = nullptr;
};

// A whole decimal number from `minimum` to the largest long.
bool parseCount(const char* text, long minimum, long& value) {
    if (*text < '0' || *text > '9') return false;  // no sign, no leading blank
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (*end != '\0' || errno == ERANGE || parsed < minimum) return false;
    value = parsed;
    return true;
}

int usageError(const std::string& what) {
    std::fprintf(stderr, "%s: %s\nusage: %sTry '%s --help' for more information.\n", PROGRAM, what.c_str(), SYNOPSIS,
                 PROGRAM);
    return 2;
}

// Help and version text go to standard output; failing to write them fails.
int printInformation(const char* text) {
    std::fputs(text, stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: cannot write to standard output: %s\n", PROGRAM,
                     errno != 0 ? std::strerror(errno) : "write error");
        return 1;
    }
    return 0;
}

// Reads the arguments. Returns -1 when the run goes ahead, otherwise the exit
// status (after --help, --version or an invalid argument).
int parseArguments(int argc, char** argv, Options& options) {
    bool stepsGiven = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
            if (argument == "--") {
                optionsEnded = true;
                continue;
            }
            if (argument == "--help") return printInformation(("Usage: " + std::string(SYNOPSIS) + HELP).c_str());
            if (argument == "--version") return printInformation("lbm_trace (latticeview) " LBM_VERSION "\n");
            // --vtk and --every take a value as the next argument or after '='.
            const size_t equals = argument.find('=');
            const std::string name = argument.substr(0, equals);
            if (name != "--vtk" && name != "--every") return usageError("unknown option '" + argument + "'");
            const char* value = nullptr;
            if (equals != std::string::npos) {
                value = argv[i] + equals + 1;
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                return usageError("option '" + name + "' needs a value");
            }
            if (name == "--vtk") {
                if (*value == '\0') return usageError("option '--vtk' needs a directory");
                options.vtkDirectory = value;
            } else if (!parseCount(value, 1, options.every)) {
                return usageError("invalid interval '" + std::string(value) + "' (a whole number from 1)");
            }
            continue;
        }
        if (stepsGiven) return usageError("more than one step count ('" + argument + "')");
        if (!parseCount(argv[i], 0, options.steps))
            return usageError("invalid step count '" + argument + "' (a whole number from 0)");
        stepsGiven = true;
    }
    return -1;
}

int snapshotFailure(const SnapshotSeries& snapshots) {
    std::fprintf(stderr, "%s: %s\n", PROGRAM, snapshots.error().c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    useBinaryStandardOutput();
    Options options;
    const int status = parseArguments(argc, argv, options);
    if (status >= 0) return status;

    std::unique_ptr<SnapshotSeries> snapshots;
    if (options.vtkDirectory != nullptr) {
        snapshots = std::make_unique<SnapshotSeries>(options.vtkDirectory);
        if (!snapshots->open()) return snapshotFailure(*snapshots);
    }
    // Only snapshots make the run itself fail; a lost report has been said.
    if (!runTrace(options.steps, snapshots.get(), options.every)) return snapshotFailure(*snapshots);
    return probeReportLost() ? 1 : 0;
}
