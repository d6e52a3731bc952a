// lbm_trace: prints the probe reports of the first N steps from the program's
// start-up state (default 150), exactly as pressing `f` N times does, and on
// request writes snapshots of the whole lattice for ParaView or VTK.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "lattice.h"
#include "quote.h"
#include "trace.h"

#ifndef LBM_VERSION
#define LBM_VERSION "unknown"
#endif

namespace {

constexpr char PROGRAM[] = "lbm_trace";
constexpr char SYNOPSIS[] = "lbm_trace [--vtk DIR] [--every K] [N]\n";

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
    "2 for invalid arguments. With --vtk, SIGINT, SIGTERM, SIGHUP and a broken\n"
    "pipe first finish the snapshot being written and the collection, then end\n"
    "the program as the signal does.\n";

struct Options {
    long steps = DEFAULT_TRACE_STEPS;
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
            if (name != "--vtk" && name != "--every") return usageError("unknown option " + quotedText(argument));
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
                return usageError("invalid interval " + quotedText(value) + " (a whole number from 1)");
            }
            continue;
        }
        if (stepsGiven) return usageError("more than one step count (" + quotedText(argument) + ")");
        if (!parseCount(argv[i], 0, options.steps))
            return usageError("invalid step count " + quotedText(argument) + " (a whole number from 0)");
        stepsGiven = true;
    }
    return -1;
}

// The first signal that asked the run to stop, 0 while none has. (Ctrl-C on
// a pipeline can bring a broken pipe after it: the program ends by the first.)
volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void onStopSignal(int signal) {
    if (g_stopSignal == 0) g_stopSignal = signal;
}

constexpr int STOP_SIGNALS[] = {
    SIGINT, SIGTERM,
#ifdef SIGHUP
    SIGHUP,
#endif
#ifdef SIGPIPE
    SIGPIPE,
#endif
};
// Which of them catchStopSignals caught (the others were ignored).
bool g_caught[sizeof STOP_SIGNALS / sizeof STOP_SIGNALS[0]] = {};

// With snapshots, the signals that end a program by default only ask the run
// to stop, so that it can finish the snapshot being written and list every
// complete one in the collection; endBySignal then ends it as the signal
// would have. A signal that this program was started with ignored (nohup
// ignores SIGHUP) stays ignored. A broken pipe is one of these signals: the
// write to standard output fails with EPIPE instead, said by nobody.
void catchStopSignals() {
    for (size_t i = 0; i < sizeof STOP_SIGNALS / sizeof STOP_SIGNALS[0]; ++i) {
        const int signal = STOP_SIGNALS[i];
#ifdef _WIN32
        if (std::signal(signal, onStopSignal) == SIG_IGN) {
            std::signal(signal, SIG_IGN);
            continue;
        }
#else
        struct sigaction action = {};
        if (sigaction(signal, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) continue;
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        // No SA_RESTART: a report waiting for a reader that does not read gives
        // up at the signal rather than holding the program.
        action.sa_flags = 0;
        sigaction(signal, &action, nullptr);
#endif
        g_caught[i] = true;
    }
}

// Once the run is over, the signals act as they do by default again: one that
// arrives from now on ends the program at once, as nothing is left to finish.
void releaseStopSignals() {
    for (size_t i = 0; i < sizeof STOP_SIGNALS / sizeof STOP_SIGNALS[0]; ++i)
        if (g_caught[i]) std::signal(STOP_SIGNALS[i], SIG_DFL);
}

[[noreturn]] void endBySignal(int signal) {
    std::signal(signal, SIG_DFL);
#ifndef _WIN32
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
#endif
    std::raise(signal);
    std::_Exit(128 + signal);  // where raising it did not end the program
}

// A report cut short by a stop signal is not a failure of its own: the signal
// ends the program as it would have ended it in the middle of that report.
void sayReportLost(int error) {
    if (g_stopSignal != 0) return;
    std::fprintf(stderr, "%s: cannot write the probe report to standard output: %s\n", PROGRAM,
                 error != 0 ? std::strerror(error) : "write error");
}

}  // namespace

int main(int argc, char** argv) {
    useBinaryStandardOutput();
    setReportLostNotice(sayReportLost);
    Options options;
    const int status = parseArguments(argc, argv, options);
    if (status >= 0) return status;

    TraceRequest request;
    request.steps = options.steps;
    request.every = options.every;
    if (options.vtkDirectory != nullptr) {
        request.snapshotDirectory = options.vtkDirectory;
        catchStopSignals();
        request.stop = &g_stopSignal;
    }
    const TraceOutcome outcome = runTrace(request);
    releaseStopSignals();
    for (const std::string& failure : outcome.snapshotFailures) std::fprintf(stderr, "%s: %s\n", PROGRAM, failure.c_str());
    if (g_stopSignal != 0) endBySignal(g_stopSignal);
    return outcome.succeeded() ? 0 : 1;
}
