// lbm_trace: prints the probe reports of the first N steps from the program's
// start-up state (default 150), exactly as pressing `f` N times does, and on
// request writes snapshots of the whole lattice for ParaView or VTK, and the
// window's pictures of it as PNG files; or continues a lattice saved in a
// snapshot.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bounded_file.h"
#include "camera.h"
#include "lattice.h"
#include "parameter_text.h"
#include "run_parameters.h"
#include "snapshot_format.h"
#include "quote.h"
#include "trace.h"
#include "window_bounds.h"

#ifndef LBM_VERSION
#define LBM_VERSION "unknown"
#endif

namespace {

constexpr char PROGRAM[] = "lbm_trace";
constexpr char SYNOPSIS[] =
    "lbm_trace [--resume FILE] [--vtk DIR] [--pictures DIR [--size WxH]\n"
    "                 [--camera E,A,D,X,Y]] [--every K] [--tau T] [--spacing S]\n"
    "                 [--source X,Y[,LAYER]] [--source-value V] [N]\n";

constexpr char HELP[] =
    "Print the probe reports of N steps (150 by default) of the lattice from\n"
    "start-up, byte for byte what pressing f N times in latticeview prints; or of\n"
    "N more steps of a lattice saved in a snapshot.\n"
    "\n"
    "  --resume FILE  continue the lattice of the snapshot FILE (a .vti file that\n"
    "                 lbm_trace --vtk or the page wrote) from its step, with its\n"
    "                 parameters; --tau and --spacing replace them from that step on\n"
    "  --vtk DIR      also write the whole lattice at the first step (0, or the\n"
    "                 snapshot's), after every K-th step (counted from 0) and\n"
    "                 after the last step, as DIR/lattice_SSSSSS.vti (VTK XML\n"
    "                 ImageData, SSSSSS the step), listed with each step as its\n"
    "                 time in the ParaView collection DIR/lattice.pvd; DIR is\n"
    "                 created if missing, its parent must exist\n"
    "  --pictures DIR also write the window's picture at the same steps, as\n"
    "                 DIR/frame_SSSSSS.png (PNG, 8-bit RGB), drawn off screen by\n"
    "                 the window's own code; DIR as for --vtk\n"
    "  --size WxH     the pictures' width and height in pixels, each from 1 to\n"
    "                 16384 (800x600, the window's, by default)\n"
    "  --camera E,A,D,X,Y\n"
    "                 the pictures' camera: elevation E (-5 to 89 degrees),\n"
    "                 azimuth A (0 to 360 degrees, 360 excluded), distance D (1 to\n"
    "                 10000) and the point (X, Y) looked at (the window's start-up\n"
    "                 camera 0,0,100,0,0 by default)\n"
    "  --every K      write the files every K steps (K from 1, 1 by default)\n"
    "  --tau T        the relaxation time (0.56 by default; greater than 0)\n"
    "  --spacing S    the link spacing (0.5 by default; greater than 0)\n"
    "  --source X,Y[,LAYER]\n"
    "                 the source cell: column X, row Y, layer LAYER (49,49,0 by\n"
    "                 default; columns and rows from 0 to 49)\n"
    "  --source-value V\n"
    "                 the source's value (0.42 by default)\n"
    "  --help         display this help and exit\n"
    "  --version      output version information and exit\n"
    "\n"
    "Numbers are read as C's strtof reads them (the float nearest the decimal)\n"
    "and must be finite. --source and --source-value set the loading at step 0\n"
    "and are not taken with --resume.\n"
    "\n"
    "Exit status: 0 on success, 1 when the snapshot to resume cannot be read or\n"
    "is not one of this lattice, or when a report, a snapshot or a picture cannot\n"
    "be written, 2 for invalid arguments. With --vtk or --pictures, SIGINT,\n"
    "SIGTERM, SIGHUP and a broken pipe first finish the file being written and\n"
    "the collection, then end the program as the signal does.\n";

// Why --pictures is refused where the build cannot draw; --help says it too.
constexpr char NO_PICTURES[] = "built without Mesa's off-screen library or libpng";

static_assert(GRID_SIZE == 50, "the help and the messages say columns and rows from 0 to 49");

struct Options {
    long steps = DEFAULT_TRACE_STEPS;
    long every = 1;
    const char* vtkDirectory = nullptr;
    const char* pictureDirectory = nullptr;
    // --size or --camera given, which only --pictures uses.
    bool pictureOptions = false;
    int width = WINDOW_WIDTH;
    int height = WINDOW_HEIGHT;
    CameraState camera = DEFAULT_CAMERA;
    const char* resumeFile = nullptr;
    // The parameters given on the command line (given[p]) and their values;
    // the others are the start-up values, or the snapshot's on resume.
    RunParameters parameters;
    bool given[PARAMETER_COUNT] = {};
};

// WIDTHxHEIGHT, each a whole number from 1 to WINDOW_SIZE_MAX, the window's
// bound.
bool parseSize(const char* text, int& width, int& height) {
    const char* const x = std::strchr(text, 'x');
    long parsedWidth = 0;
    long parsedHeight = 0;
    if (x == nullptr || !readWholeNumber(std::string(text, x).c_str(), 1, parsedWidth) ||
        !readWholeNumber(x + 1, 1, parsedHeight) || parsedWidth > WINDOW_SIZE_MAX || parsedHeight > WINDOW_SIZE_MAX)
        return false;
    width = static_cast<int>(parsedWidth);
    height = static_cast<int>(parsedHeight);
    return true;
}

// ELEVATION,AZIMUTH,DISTANCE,TARGETX,TARGETY: five finite decimal numbers,
// each taken as the float nearest to it, within the bounds that the window's
// drags keep. False, with what is wrong in `why`.
bool parseCamera(const char* text, CameraState& camera, std::string& why) {
    constexpr const char* NAMES[] = {"elevation", "azimuth", "distance", "target's x", "target's y"};
    float values[5];
    const char* field = text;
    for (int i = 0; i < 5; ++i) {
        const size_t length = std::strcspn(field, ",");
        if ((field[length] == '\0') != (i == 4)) {
            why = "five numbers are needed, separated by commas";
            return false;
        }
        const std::string number(field, length);
        char* end = nullptr;
        values[i] = std::strtof(number.c_str(), &end);
        if (number.empty() || std::isspace(static_cast<unsigned char>(number[0])) || *end != '\0' ||
            !std::isfinite(values[i])) {
            why = std::string("the ") + NAMES[i] + " " + quotedText(number) + " is not a finite number";
            return false;
        }
        field += length + 1;
    }
    const CameraState parsed = {values[0], values[1], values[2], values[3], values[4]};
    if (!(parsed.elevation >= ELEVATION_MIN && parsed.elevation <= ELEVATION_MAX)) {
        why = "the elevation is not within -5 to 89 degrees";
    } else if (!(parsed.azimuth >= 0.0f && parsed.azimuth < 360.0f)) {
        why = "the azimuth is not within 0 to 360 degrees (360 excluded)";
    } else if (!(parsed.distance >= DISTANCE_MIN && parsed.distance <= DISTANCE_MAX)) {
        why = "the distance is not within 1 to 10000";
    } else {
        camera = parsed;
        return true;
    }
    return false;
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

// Takes the value of one option; the text of the error when it is invalid.
std::string takeValue(const std::string& name, const char* value, Options& options) {
    const auto invalid = [&](const char* what, const char* wanted) {
        return "invalid " + std::string(what) + " " + quotedText(value) + " for '" + name + "' (" + wanted + ")";
    };
    if (name == "--vtk" || name == "--pictures") {
        if (*value == '\0') return "option '" + name + "' needs a directory";
        (name == "--vtk" ? options.vtkDirectory : options.pictureDirectory) = value;
    } else if (name == "--size" || name == "--camera") {
        std::string why;
        options.pictureOptions = true;
        if (name == "--size" && !parseSize(value, options.width, options.height))
            return invalid("size", "WIDTHxHEIGHT, each a whole number from 1 to 16384");
        if (name == "--camera" && !parseCamera(value, options.camera, why))
            return "invalid camera " + quotedText(value) + " for '--camera': " + why;
    } else if (name == "--resume") {
        if (*value == '\0') return "option '--resume' needs a file";
        options.resumeFile = value;
    } else if (name == "--every") {
        if (!readWholeNumber(value, 1, options.every)) return "invalid interval " + quotedText(value) + " (a whole number from 1)";
    } else {
        for (int i = 0; i < PARAMETER_COUNT; ++i) {
            const auto parameter = static_cast<RunParameter>(i);
            if (name != "--" + std::string(RUN_PARAMETER_NAMES[i].name)) continue;
            if (!readRunParameter(parameter, value, options.parameters))
                return invalid(RUN_PARAMETER_NAMES[i].what, runParameterRule(parameter).c_str());
            options.given[i] = true;
        }
    }
    return "";
}

constexpr const char* VALUE_OPTIONS[] = {"--vtk",     "--pictures", "--size",   "--camera",   "--every",
                                         "--resume",  "--tau",      "--spacing", "--source", "--source-value"};

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
            if (argument == "--help") {
                std::string help = "Usage: " + std::string(SYNOPSIS) + HELP;
                if (!TRACE_DRAWS_PICTURES)
                    help += "\nThis build cannot draw pictures (" + std::string(NO_PICTURES) + ").\n";
                return printInformation(help.c_str());
            }
            if (argument == "--version") return printInformation("lbm_trace (latticeview) " LBM_VERSION "\n");
            // The other options take a value as the next argument or after '='.
            const size_t equals = argument.find('=');
            const std::string name = argument.substr(0, equals);
            if (std::find(std::begin(VALUE_OPTIONS), std::end(VALUE_OPTIONS), name) == std::end(VALUE_OPTIONS))
                return usageError("unknown option " + quotedText(argument));
            const char* value = nullptr;
            if (equals != std::string::npos) {
                value = argv[i] + equals + 1;
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                return usageError("option '" + name + "' needs a value");
            }
            const std::string error = takeValue(name, value, options);
            if (!error.empty()) return usageError(error);
            continue;
        }
        if (stepsGiven) return usageError("more than one step count (" + quotedText(argument) + ")");
        if (!readWholeNumber(argv[i], 0, options.steps))
            return usageError("invalid step count " + quotedText(argument) + " (a whole number from 0)");
        stepsGiven = true;
    }
    if (options.pictureOptions && options.pictureDirectory == nullptr)
        return usageError("'--size' and '--camera' are the pictures' options: they need '--pictures'");
    if (options.pictureDirectory != nullptr && !TRACE_DRAWS_PICTURES) {
        std::fprintf(stderr, "%s: '--pictures': this build cannot draw pictures (%s)\n", PROGRAM, NO_PICTURES);
        return 2;
    }
    // The source is loaded once, at step 0; a snapshot holds what it became.
    const bool source = options.given[PARAMETER_SOURCE];
    if (options.resumeFile != nullptr && (source || options.given[PARAMETER_SOURCE_VALUE]))
        return usageError(std::string("option '") + (source ? "--source" : "--source-value") +
                          "' cannot be given with '--resume': the source is loaded at step 0, and the snapshot "
                          "holds the lattice it became");
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

// With snapshots or pictures, the signals that end a program by default only
// ask the run to stop, so that it can finish the file being written and list
// every complete snapshot in the collection; endBySignal then ends it as the
// signal would have. A signal that this program was started with ignored (nohup
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

// The snapshot to resume, as read.
struct Resumed {
    std::vector<unsigned char> bytes;
    SnapshotReading reading;
};

// Reads the snapshot to resume; its step and parameters become the run's
// (the options may then replace tau and spacing).
// Returns -1 when it is one of this lattice, otherwise the exit status, having
// said why not (before any report).
int readResumed(const Options& options, Resumed& resumed, TraceRequest& request) {
    const std::string file = options.resumeFile;
    const auto refuse = [&](const std::string& reason) {
        std::fprintf(stderr, "%s: %s is not a latticeview snapshot: %s\n", PROGRAM, quotedText(file).c_str(),
                     reason.c_str());
        return 1;
    };
    std::string reason;
    switch (readBoundedFile(file, snapshotMaxBytes(), resumed.bytes, reason)) {
        case FileReading::Read:
            break;
        case FileReading::NotRegular:
            return refuse("it is " + reason);
        case FileReading::TooLarge:
            if (std::string head; !readSnapshotHead(resumed.bytes.data(), resumed.bytes.size(), head))
                return refuse(head);
            return refuse("it is larger than a snapshot of this lattice can be (" + reason + ", at most " +
                          std::to_string(snapshotMaxBytes()) + ")");
        case FileReading::CannotOpen:
        case FileReading::ReadError:
            std::fprintf(stderr, "%s: cannot read %s: %s\n", PROGRAM, quotedText(file).c_str(), reason.c_str());
            return 1;
    }
    if (!readSnapshot(resumed.bytes.data(), resumed.bytes.size(), file, resumed.reading, reason))
        return refuse(reason);
    const long first = resumed.reading.description.step;
    if (first > LONG_MAX - options.steps) {
        std::fprintf(stderr, "%s: cannot run %ld steps after step %ld of %s: the steps would pass %ld\n", PROGRAM,
                     options.steps, first, quotedText(file).c_str(), LONG_MAX);
        return 1;
    }
    request.firstStep = first;
    request.parameters = resumed.reading.description.parameters;
    return -1;
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
    RunParameters& parameters = request.parameters;
    Resumed resumed;
    if (options.resumeFile != nullptr) {
        const int failure = readResumed(options, resumed, request);
        if (failure >= 0) return failure;
    }
    for (int i = 0; i < PARAMETER_COUNT; ++i)
        if (options.given[i]) copyRunParameter(static_cast<RunParameter>(i), options.parameters, parameters);
    // A resumed lattice is built with the tau and the spacing of the run from
    // its step on: its links' lengths come from that spacing.
    std::unique_ptr<Lattice> lattice;
    if (options.resumeFile != nullptr) lattice = restoreLattice(resumed.bytes.data(), resumed.reading, parameters);
    request.lattice = lattice.get();
    request.every = options.every;
    if (options.vtkDirectory != nullptr) request.snapshotDirectory = options.vtkDirectory;
    if (options.pictureDirectory != nullptr) {
        request.pictureDirectory = options.pictureDirectory;
        request.pictureWidth = options.width;
        request.pictureHeight = options.height;
        request.camera = options.camera;
    }
    if (request.snapshotDirectory || request.pictureDirectory) {
        catchStopSignals();
        request.stop = &g_stopSignal;
    }
    const TraceOutcome outcome = runTrace(request);
    releaseStopSignals();
    for (const auto* failures : {&outcome.snapshotFailures, &outcome.pictureFailures})
        for (const std::string& failure : *failures) std::fprintf(stderr, "%s: %s\n", PROGRAM, failure.c_str());
    if (g_stopSignal != 0) endBySignal(g_stopSignal);
    return outcome.succeeded() ? 0 : 1;
}
