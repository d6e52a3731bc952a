// Prints the probe reports of the first N steps from the program's start-up
// state (default 150), exactly as pressing `f` N times does.
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "lattice.h"

int main(int argc, char** argv) {
    useBinaryStandardOutput();
    long steps = 150;
    if (argc > 1) {
        char* end = nullptr;
        errno = 0;
        steps = std::strtol(argv[1], &end, 10);
        if (end == argv[1] || *end != '\0' || errno == ERANGE || steps < 0) {
            std::fprintf(stderr, "usage: %s [steps]\n", argv[0]);
            return 2;
        }
    }
    Lattice* lattice = new Lattice(STARTUP_TAU, STARTUP_SPACING);
    lattice->injectSource(SOURCE_X, SOURCE_Y, SOURCE_LAYER, SOURCE_VALUE, STARTUP_SPACING);
    // Once a report cannot be written (the failure is said on stderr), the
    // rest would be lost too.
    for (long n = 0; n < steps && !probeReportLost(); ++n) lattice->step();
    delete lattice;
    return probeReportLost() ? 1 : 0;
}
