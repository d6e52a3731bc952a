#include "lattice.h"

#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "run_parameters.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

// The collision's SSE2 code runs wherever the compiler targets SSE2, unless the
// build turns it off (LBM_SIMD=OFF); the portable code gives the same bits.
#if defined(__SSE2__) && !defined(LBM_NO_SIMD)
#define LBM_COLLIDE_SSE2 1
#include <emmintrin.h>
#endif

using namespace lbm;

Lattice::Lattice(float relaxationTime, float spacing) : tau(relaxationTime) {
    for (int i = 0; i < NUM_LAYERS; ++i) layers[i] = new LatticeLayer(spacing);
    for (int j = 0; j < NUM_LAYERS; ++j) {
        if (j >= 1) layers[j]->connectBelow(layers[j - 1], spacing);
        if (j + 1 < NUM_LAYERS) layers[j]->connectAbove(layers[j + 1], spacing);
    }
}

Lattice::~Lattice() {
    for (LatticeLayer* layer : layers) delete layer;
}

void Lattice::injectSource(int x, int y, int layerIndex, float value, float spacing) {
    if (layerIndex < 0 || layerIndex >= NUM_LAYERS) return;
    Cell* cell = layers[layerIndex]->cellAt(x, y);
    if (cell == nullptr) return;

    cell->setSource(true);
    cell->setIntensity(value);
    const double s = spacing;
    for (int i = 0; i < NUM_DIRECTIONS; ++i) {
        Link& link = cell->links[i];
        link.length = static_cast<float>(static_cast<double>(Cell::linkLengthFactor(i)) * s);
        const float t1 = Cell::weight(i);
        const float t2 = static_cast<float>(static_cast<double>(Cell::coefLinear(i)) * s + t1);
        const float t3 = static_cast<float>((static_cast<double>(Cell::coefQuadratic(i)) * s) * s + t2);
        link.f = static_cast<float>((static_cast<double>(Cell::coefSpeedSquared(i)) + t3) * value);
        if (link.neighbour != nullptr) link.neighbour->links[Cell::reflectedDirection(i)].f = link.f;
    }
}

void Lattice::step() {
    collide();
    stream();
    printProbe();
}

namespace {

constexpr int CELLS_PER_LAYER = GRID_SIZE * GRID_SIZE;

// Cells whose collision runs side by side.
constexpr int COLLISION_GROUP = 4;

// The wiring of a lattice is made by its constructor and never changes; the
// step relies on two of its facts. With a single layer no link with a layer
// step has a neighbour. Only the rest link leads to its own cell.
constexpr bool neverLinked(int i) { return NUM_LAYERS == 1 && OFFSETS[i].dz != 0; }

// fEq and fPost of every link: diff = f - fEq in float, fPost = f - omega * diff
// in double, rounded to float once.
#if defined(LBM_COLLIDE_SSE2)
// Links of one class go two at a time: the same IEEE operations on two lanes.
// fEq and fPost are neighbours in a link, so each link takes one 8-byte store.
inline void relaxPair(Link& a, Link& b, __m128 eq, __m128d omega) {
    const __m128 f = _mm_unpacklo_ps(_mm_load_ss(&a.f), _mm_load_ss(&b.f));
    const __m128 diff = _mm_sub_ps(f, eq);
    const __m128d post = _mm_sub_pd(_mm_cvtps_pd(f), _mm_mul_pd(omega, _mm_cvtps_pd(diff)));
    const __m128 both = _mm_unpacklo_ps(eq, _mm_cvtpd_ps(post));  // eq, post a, eq, post b
    _mm_storel_pi(reinterpret_cast<__m64*>(&a.fEq), both);
    _mm_storeh_pi(reinterpret_cast<__m64*>(&b.fEq), both);
}

static_assert(offsetof(Link, fPost) == offsetof(Link, fEq) + sizeof(float), "fEq and fPost must be adjacent");

inline void relax(Cell& cell, const float* equilibrium, double omega) {
    const __m128d omega2 = _mm_set1_pd(omega);
    Link& rest = cell.links[0];
    const float diff = rest.f - equilibrium[REST];
    rest.fEq = equilibrium[REST];
    rest.fPost = static_cast<float>(static_cast<double>(rest.f) - omega * static_cast<double>(diff));
    const __m128 axis = _mm_set1_ps(equilibrium[AXIS]);
    for (int i = 1; i <= 5; i += 2) relaxPair(cell.links[i], cell.links[i + 1], axis, omega2);
    const __m128 diagonal = _mm_set1_ps(equilibrium[DIAGONAL]);
    for (int i = 7; i <= 17; i += 2) relaxPair(cell.links[i], cell.links[i + 1], diagonal, omega2);
}

static_assert(CLASS_OF[0] == REST && CLASS_OF[1] == AXIS && CLASS_OF[6] == AXIS && CLASS_OF[7] == DIAGONAL &&
                  CLASS_OF[18] == DIAGONAL && NUM_DIRECTIONS == 19,
              "relax pairs links 1..6 and 7..18 by class");
#else
inline void relax(Cell& cell, const float* equilibrium, double omega) {
    for (int i = 0; i < NUM_DIRECTIONS; ++i) {
        Link& link = cell.links[i];
        const float f = link.f;
        const float eq = equilibrium[CLASS_OF[i]];
        const float diff = f - eq;
        link.fEq = eq;
        link.fPost = static_cast<float>(static_cast<double>(f) - omega * static_cast<double>(diff));
    }
}
#endif

// Density and length-weighted population sum of each cell of a group, over the
// linked links in link order: Cell::computeDensity and
// Cell::weightedPopulation. The cells' sums are independent chains; the SSE2
// code runs them side by side, so that they overlap.
#if defined(LBM_COLLIDE_SSE2)
// Both sums of a cell in one register: length and f are neighbours in a link,
// so one load gives (length, f), and multiplying the low lane alone gives
// (length * f, f), exact in double. Added to (weighted, density) and rounded
// to float per lane, as computeDensity and weightedPopulation do.
static_assert(offsetof(Link, f) == offsetof(Link, length) + sizeof(float), "length and f must be adjacent");

template <int N>
inline void sumLinks(Cell* const* group, float* density, float* weighted) {
    __m128d sums[N];
    __m128 rounded[N];
    for (int c = 0; c < N; ++c) {
        sums[c] = _mm_setzero_pd();
        rounded[c] = _mm_setzero_ps();
    }
#pragma GCC unroll 19
    for (int i = 0; i < NUM_DIRECTIONS; ++i) {
        if (neverLinked(i)) continue;
#pragma GCC unroll 4
        for (int c = 0; c < N; ++c) {
            const Link& link = group[c]->links[i];
            if (link.neighbour != nullptr) {
                const __m128d lengthAndF =
                    _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(&link.length))));
                const __m128d fAndLength = _mm_castsi128_pd(_mm_shuffle_epi32(_mm_castpd_si128(lengthAndF), 0x4E));
                const __m128d terms = _mm_mul_sd(lengthAndF, fAndLength);  // (length * f, f)
                rounded[c] = _mm_cvtpd_ps(_mm_add_pd(sums[c], terms));
                sums[c] = _mm_cvtps_pd(rounded[c]);
            }
        }
    }
    for (int c = 0; c < N; ++c) {
        weighted[c] = _mm_cvtss_f32(rounded[c]);
        density[c] = _mm_cvtss_f32(_mm_shuffle_ps(rounded[c], rounded[c], 1));
    }
}
#else
template <int N>
inline void sumLinks(Cell* const* group, float* density, float* weighted) {
    for (int c = 0; c < N; ++c) {
        density[c] = group[c]->computeDensity();
        weighted[c] = group[c]->weightedPopulation();
    }
}
#endif

// Stores density and speed, then relaxes every link toward the equilibrium of
// its class, formed once per class.
inline void collideCell(Cell& cell, float density, float weighted, double omega) {
    const float speed = Cell::speedOf(density, weighted);
    cell.density = density;
    cell.speed = speed;

    float equilibrium[NUM_CLASSES];
#pragma GCC unroll 3
    for (int k = 0; k < NUM_CLASSES; ++k) {
        const float u = static_cast<float>(static_cast<double>(LENGTH_FACTOR[k]) * speed);
        const float lin = static_cast<float>(static_cast<double>(COEF_LINEAR[k]) * u);
        const float s = static_cast<float>(static_cast<double>(u) * u);
        const float quad = static_cast<float>(static_cast<double>(COEF_QUADRATIC[k]) * s);
        const float sq = static_cast<float>((static_cast<double>(COEF_SPEED_SQUARED[k]) * speed) * speed);
        equilibrium[k] = static_cast<float>((((static_cast<double>(WEIGHT[k]) + lin) + quad) + sq) *
                                            static_cast<double>(density));
    }
    relax(cell, equilibrium, omega);
}

// The facing population after an offer of p: p only when strictly greater, so
// neither an equal value nor a NaN on either side replaces it. Written as a
// select so it needs no data-dependent branch.
inline float raised(float current, float p) { return p > current ? p : current; }

// Collision of every cell of one layer. A cell's collision reads and writes
// that cell alone, so the order of cells does not matter; they go in groups
// whose summation chains overlap. The loop's bounds are compile-time constants
// and a layer holds whole groups, so no cell is left over.
static_assert(CELLS_PER_LAYER % COLLISION_GROUP == 0, "a layer's cells form whole collision groups");

void collideLayer(Cell* const* cells, double omega) {
    float density[COLLISION_GROUP];
    float weighted[COLLISION_GROUP];
    for (int index = 0; index < CELLS_PER_LAYER; index += COLLISION_GROUP) {
        sumLinks<COLLISION_GROUP>(cells + index, density, weighted);
        for (int c = 0; c < COLLISION_GROUP; ++c) collideCell(*cells[index + c], density[c], weighted[c], omega);
    }
}

// Streaming of one cell. The links go in reflected order; link j of a
// neighbour is the one facing this cell's link REFLECTED[j]. The cell's own
// intensity changes during its visit only through itself (the rest link and
// the links without neighbour), so it is accumulated locally.
inline void streamCell(Cell* cell) {
    float own = cell->intensity;
#pragma GCC unroll 19
    for (int j = 0; j < NUM_DIRECTIONS; ++j) {
        Link& link = cell->links[REFLECTED[j]];
        const float p = link.fPost;
        link.f = p;
        link.fPost = 0.0f;
        if (neverLinked(REFLECTED[j])) {
            own = own + p;
            continue;
        }
        Cell* neighbour = link.neighbour;
        if (neighbour == nullptr) {
            own = own + p;
        } else if (j == 0) {
            // The rest link: its own cell, where p never exceeds the value just stored.
            own = own + p;
        } else {
            neighbour->intensity = neighbour->intensity + p;
            Link& facing = neighbour->links[j];
            facing.f = raised(facing.f, p);
        }
    }
    cell->intensity = own;
}

// Text of one probe value: printf's "%f" for a finite value, "-nan" for every
// NaN and "inf" / "-inf" for the infinities. The sign bit of a NaN depends on
// the CPU that made it (x86 sets it, ARM clears it), and C libraries spell
// special values differently (Microsoft's runtimes print "1.#INF00"); the
// report does not.
struct ValueText {
    char text[64];  // "%f" of the largest float: sign, 39 digits, point, 6 decimals
};

ValueText valueText(float value) {
    ValueText out;
    if (std::isnan(value))
        std::snprintf(out.text, sizeof out.text, "-nan");
    else if (std::isinf(value))
        std::snprintf(out.text, sizeof out.text, "%s", value < 0.0f ? "-inf" : "inf");
    else
        std::snprintf(out.text, sizeof out.text, "%f", static_cast<double>(value));
    return out;
}

}  // namespace

// BGK collision of every cell. omega = 1 / tau is the same for every link of
// every cell.
void Lattice::collide() {
    const double omega = static_cast<float>(1.0 / static_cast<double>(tau));
    for (LatticeLayer* layer : layers) collideLayer(layer->cells, omega);
}

// Streaming, layer by layer, each in storage order: rows from 0 up, columns
// from 0 up.
void Lattice::stream() {
    for (LatticeLayer* layer : layers)
        for (Cell* cell : layer->cells) streamCell(cell);
}

namespace {

void sayReportLost(int error) {
    std::fprintf(stderr, "cannot write the probe report to standard output: %s\n",
                 error != 0 ? std::strerror(error) : "write error");
}

ReportLostNotice g_reportLostNotice = sayReportLost;

}  // namespace

ProbeValues Lattice::probe(int k) const {
    const Cell* cell = layers[0]->cellAt(k, PROBE_ROW);
    return {cell->intensity, cell->links[4].f};
}

void Lattice::printProbe() const {
    const bool lostBefore = probeReportLost();
    errno = 0;
    for (int k = 0; k < PROBE_COUNT; ++k) {
        const ProbeValues values = probe(k);
        std::printf("Lattice %i: %s / %s\n", k, valueText(values.intensity).text, valueText(values.population).text);
    }
    std::printf("\n");
    // Reports must survive the process being killed when stdout is a pipe or
    // file. A report that cannot be written (full disk, I/O error) is said on
    // stderr, once: the stream's error indicator stays set from then on.
    std::fflush(stdout);
    if (!lostBefore && probeReportLost()) g_reportLostNotice(errno);
}

bool probeReportLost() { return std::ferror(stdout) != 0; }

void setReportLostNotice(ReportLostNotice notice) { g_reportLostNotice = notice; }

void useBinaryStandardOutput() {
#if defined(_WIN32)
    // Windows opens standard output in text mode, which writes every "\n" as
    // "\r\n"; the report is the same bytes everywhere.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

std::unique_ptr<Lattice> makeStartupLattice() { return makeLattice(RunParameters{}); }
