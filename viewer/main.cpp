// Entry point: one window, a frame timer, the toolkit's event loop.
#include <FL/Fl.H>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <fcntl.h>
#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "command_line.h"
#include "lattice.h"
#include "quote.h"
#include "world_window.h"

WorldWindow* g_window = nullptr;

namespace {

// A launcher may start the program with standard input, output or error
// closed. The X connection would then take descriptor 1 and the probe reports
// would be written into it, so each closed one is opened on /dev/null first.
void openClosedStandardStreams() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int opened = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

// An FLTK built with both X11 and Wayland picks Wayland whenever a Wayland
// compositor is running. There its GL window waits, before its first frame,
// for the compositor to report the window on an output, which weston does only
// for a window that has shown a frame: the window never appears. Where an X
// display is at hand too (XWayland in a Wayland session), the program draws
// through X11 instead, unless FLTK_BACKEND says otherwise.
void preferX11WhereBothServe() {
#if defined(FLTK_USE_WAYLAND) && defined(FLTK_USE_X11)
    const char* display = std::getenv("DISPLAY");
    if (display != nullptr && *display != '\0') setenv("FLTK_BACKEND", "x11", 0);
#endif
}

// Mesa's software renderer takes a large block of memory while it draws a
// frame and frees it before the frame ends. glibc hands free memory at the top
// of its heap back to the kernel once it exceeds the trim threshold, so every
// frame took fresh pages from the kernel again (a brk call, page faults, pages
// zeroed by the kernel), which cost the window more than its drawing did. The
// heap now keeps up to 64 MiB free at its top and grows by 16 MiB beyond a
// request: the block stays in the process from frame to frame, and what the
// heap keeps is bounded by the largest frame's need plus those 64 MiB. Setting
// these also stops glibc from raising its threshold for serving a block with
// its own mmap (128 KiB) as blocks come and go, so that threshold is set too,
// to glibc's largest (32 MiB): a larger window's frame, with larger blocks,
// would otherwise map and unmap them every frame.
void keepFreedMemoryForNextFrame() {
#if defined(__GLIBC__)
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_TOP_PAD, 16 * 1024 * 1024);
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
#endif
}

// Says `text` on standard error, each of its lines after the program's name.
void say(const std::string& text) {
    std::fputs(prefixedLines("latticeview", text).c_str(), stderr);
    std::fflush(stderr);
}

// A probe report that cannot be written, said as every message of the
// program is: after its name.
void sayReportLost(int error) {
    say(std::string("cannot write the probe report to standard output: ") +
        (error != 0 ? std::strerror(error) : "write error"));
}

// The toolkit's messages (its options, a display that cannot be opened, a
// lost X connection) said as the program's own, with the control characters
// of their arguments escaped: they can hold an argument, -display's say.
void sayToolkitMessage(const char* format, va_list arguments) {
    say(toolkitMessage(format, arguments));
}

void toolkitWarning(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    sayToolkitMessage(format, arguments);
    va_end(arguments);
}

// The toolkit goes on after an error, as it does by default.
void toolkitError(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    sayToolkitMessage(format, arguments);
    va_end(arguments);
}

// The toolkit cannot go on: exit status 1, as by default.
void toolkitFatal(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    sayToolkitMessage(format, arguments);
    va_end(arguments);
    std::exit(1);
}

// Frame timer: applies a drag in progress, redraws, re-arms.
void tick(void*) {
    g_window->updateDrag();
    g_window->redraw();
    Fl::repeat_timeout(static_cast<double>(FRAME_PERIOD), tick, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    keepFreedMemoryForNextFrame();
    openClosedStandardStreams();
    useBinaryStandardOutput();
    setReportLostNotice(sayReportLost);
    preferX11WhereBothServe();
    // The toolkit's own options (-display among them) are read before
    // anything opens the display; show() then applies the rest (-geometry).
    Fl::warning = toolkitWarning;
    Fl::error = toolkitError;
    Fl::fatal = toolkitFatal;
    // A value that the toolkit would copy into a buffer too small for it is
    // refused before the toolkit reads it.
    const std::string problem = toolkitArgumentProblem(argc, argv);
    if (!problem.empty()) {
        say(problem);
        return 2;
    }
    // An argument that is no option of the toolkit is said, and the run goes
    // on as if it were not there.
    int parsed = 1;
    if (Fl::args(argc, argv, parsed) < argc)
        say("unknown option " + quotedText(argv[parsed]) + "; the options are the toolkit's:\n" +
            escapedMessage(Fl::help));
    Fl::visual(FL_RGB);
    g_window = new WorldWindow(100, 100, WINDOW_WIDTH, WINDOW_HEIGHT, "World");
    g_window->show(argc, argv);
    Fl::add_timeout(0.0, tick, nullptr);
    const int status = Fl::run();
    // A run that lost probe reports does not end with success.
    return status == 0 && probeReportLost() ? 1 : status;
}
