// The D3Q19 velocity set, its per-direction constants, and the Link and Cell
// records of one lattice node.
#pragma once


constexpr int NUM_DIRECTIONS = 19;

// Direction tables. Classes: 0 rest, 1..6 axis, 7..18 diagonal.
// dx is the column step, dy the row step with its sign reversed (dy = +1 leads
// to row - 1), dz the layer step (+1 leads to the layer above).
namespace lbm {

struct Offset {
    int dx, dy, dz;
};

//                               0          1           2           3          4          5           6
constexpr Offset OFFSETS[NUM_DIRECTIONS] = {{0, 0, 0}, {0, 0, -1}, {-1, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, -1, 0}, {0, 0, 1},
//                               7            8           9           10
                                            {-1, 0, -1}, {0, 1, -1}, {1, 0, -1}, {0, -1, -1},
//                               11           12          13          14
                                            {-1, -1, 0}, {-1, 1, 0}, {1, 1, 0}, {1, -1, 0},
//                               15           16          17          18
                                            {-1, 0, 1}, {0, 1, 1}, {1, 0, 1}, {0, -1, 1}};

// In-plane reflection: (dx, dy, dz) -> (-dx, -dy, dz).
//                                                    0  1  2  3  4  5  6  7  8   9  10 11  12  13  14  15  16  17  18
constexpr int REFLECTED[NUM_DIRECTIONS] = {0, 1, 4, 5, 2, 3, 6, 9, 10, 7, 8, 13, 14, 11, 12, 17, 18, 15, 16};

enum DirectionClass { REST = 0, AXIS = 1, DIAGONAL = 2, NUM_CLASSES = 3 };

//                                                         0     1..6 axis                            7..18 diagonal
constexpr DirectionClass CLASS_OF[NUM_DIRECTIONS] = {REST, AXIS, AXIS, AXIS, AXIS, AXIS, AXIS,
                                                     DIAGONAL, DIAGONAL, DIAGONAL, DIAGONAL, DIAGONAL, DIAGONAL,
                                                     DIAGONAL, DIAGONAL, DIAGONAL, DIAGONAL, DIAGONAL, DIAGONAL};

// Per-class constants, each the float nearest to the exact value.
//                                                   rest   axis          diagonal
constexpr float LENGTH_FACTOR[NUM_CLASSES]        = {0.0f, 1.0f,          1.41421356237309505f};
constexpr float WEIGHT[NUM_CLASSES]               = {1.0f / 3.0f, 1.0f / 18.0f, 1.0f / 36.0f};
constexpr float COEF_LINEAR[NUM_CLASSES]          = {0.0f, 1.0f / 6.0f,   1.0f / 12.0f};
constexpr float COEF_QUADRATIC[NUM_CLASSES]       = {0.0f, 0.25f,         0.125f};
constexpr float COEF_SPEED_SQUARED[NUM_CLASSES]   = {-0.5f, -1.0f / 12.0f, -1.0f / 24.0f};

constexpr bool reflectionIsInvolution() {
    for (int i = 0; i < NUM_DIRECTIONS; ++i) {
        int r = REFLECTED[i];
        if (r < 0 || r >= NUM_DIRECTIONS || REFLECTED[r] != i) return false;
        const Offset& a = OFFSETS[i];
        const Offset& b = OFFSETS[r];
        if (b.dx != -a.dx || b.dy != -a.dy || b.dz != a.dz) return false;
    }
    return true;
}

constexpr bool classesMatchOffsets() {
    for (int i = 0; i < NUM_DIRECTIONS; ++i) {
        const Offset& o = OFFSETS[i];
        int nonZero = (o.dx != 0) + (o.dy != 0) + (o.dz != 0);
        if (nonZero != static_cast<int>(CLASS_OF[i])) return false;
    }
    return true;
}

constexpr bool offsetsDistinct() {
    for (int i = 0; i < NUM_DIRECTIONS; ++i)
        for (int j = i + 1; j < NUM_DIRECTIONS; ++j)
            if (OFFSETS[i].dx == OFFSETS[j].dx && OFFSETS[i].dy == OFFSETS[j].dy &&
                OFFSETS[i].dz == OFFSETS[j].dz)
                return false;
    return true;
}

static_assert(reflectionIsInvolution(), "reflection must be its own inverse and reverse the in-plane step");
static_assert(classesMatchOffsets(), "a direction's class is its count of non-zero offset components");
static_assert(offsetsDistinct(), "every direction has its own offset");
static_assert(REFLECTED[0] == 0 && REFLECTED[1] == 1 && REFLECTED[6] == 6, "vertical directions are fixed points");
static_assert(OFFSETS[4].dx == 1 && OFFSETS[4].dy == 0 && OFFSETS[4].dz == 0, "the probe reads link 4, toward column + 1");

}  // namespace lbm

class Cell;

struct Link {
    Cell* neighbour;  // not owning; null where no cell lies in this direction
    float length;
    float f;
    float fEq;
    float fPost;
};

class Cell {
public:
    Link links[NUM_DIRECTIONS];
    float density;
    float speed;
    float intensity;
    bool isSource;

    Cell(float intensity, float spacing);

    // Attaches `neighbour` to the link of offset (dx, dy, dz). An offset outside
    // the velocity set changes nothing.
    void connect(int dx, int dy, int dz, Cell* neighbour, float spacing);

    // Sum of the populations of the links that have a neighbour.
    float computeDensity() const;
    // Length-weighted sum of the populations of the linked links, over density;
    // 0 when density is 0 (speedOf).
    float computeSpeed(float density) const;
    // The length-weighted sum alone, each term added in double and the sum
    // rounded to float after every link.
    float weightedPopulation() const;
    // The speed of a cell of the given density and length-weighted sum: what
    // computeSpeed and the time step's collision store.
    static float speedOf(float density, float weighted) {
        return density == 0.0f ? 0.0f
                               : static_cast<float>((1.0 / static_cast<double>(density)) * static_cast<double>(weighted));
    }

    void setIntensity(float value) { intensity = value; }
    float getIntensity() const { return intensity; }
    void setSource(bool flag) { isSource = flag; }

    // Direction index of an offset, or -1 when the offset is not in the set.
    static int directionIndex(int dx, int dy, int dz);
    // The per-direction operations below accept any int. For an index outside
    // 0..18, reflectedDirection gives 0 (a valid index) and the constants give 0.
    static int reflectedDirection(int i);
    static float linkLengthFactor(int i);
    static float weight(int i);
    static float coefLinear(int i);
    static float coefQuadratic(int i);
    static float coefSpeedSquared(int i);
};
