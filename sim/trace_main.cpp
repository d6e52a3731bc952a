// Prints the probe reports of the first N steps from the program's start-up
// state (default 150), exactly as pressing `f` N times does.
#include <cstdio>
#include <cstdlib>

#include "lattice.h"

int main(int argc, char** argv) {
    long steps = 150;
    if (argc > 1) {
        char* end = nullptr;
        steps = std::strtol(argv[1], &end, 10);
        if (end == argv[1] || *end != '\0' || steps < 0) {
            std::fprintf(stderr, "usage: %s [steps]\n", argv[0]);
            return 2;
        }
    }
    Lattice* lattice = new Lattice(STARTUP_TAU, STARTUP_SPACING);
    lattice->injectSource(SOURCE_X, SOURCE_Y, SOURCE_LAYER, SOURCE_VALUE, STARTUP_SPACING);
    for (long n = 0; n < steps; ++n) lattice->step();
    delete lattice;
    return 0;
}
