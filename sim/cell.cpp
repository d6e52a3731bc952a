#include "cell.h"

using namespace lbm;

namespace {

bool validDirection(int i) { return i >= 0 && i < NUM_DIRECTIONS; }

}  // namespace

Cell::Cell(float initialIntensity, float spacing)
    : density(0.0f), speed(0.0f), intensity(initialIntensity), isSource(false) {
    links[0] = Link{this, 0.0f, 0.0f, 0.0f, 0.0f};
    for (int i = 1; i < NUM_DIRECTIONS; ++i) {
        float length = static_cast<float>(static_cast<double>(linkLengthFactor(i)) * spacing);
        links[i] = Link{nullptr, length, 0.0f, 0.0f, 0.0f};
    }
}

void Cell::connect(int dx, int dy, int dz, Cell* neighbour, float spacing) {
    int i = directionIndex(dx, dy, dz);
    if (i < 0) return;
    Link& link = links[i];
    link.neighbour = neighbour;
    link.length = static_cast<float>(static_cast<double>(linkLengthFactor(i)) * spacing);
    link.f = 0.0f;
}

float Cell::computeDensity() const {
    float sum = 0.0f;
    for (int i = 0; i < NUM_DIRECTIONS; ++i) {
        if (links[i].neighbour != nullptr) sum = sum + links[i].f;
    }
    return sum;
}

float Cell::weightedPopulation() const {
    float sum = 0.0f;
    for (int i = 0; i < NUM_DIRECTIONS; ++i) {
        const Link& link = links[i];
        if (link.neighbour != nullptr)
            sum = static_cast<float>(static_cast<double>(sum) +
                                     static_cast<double>(link.f) * static_cast<double>(link.length));
    }
    return sum;
}

float Cell::computeSpeed(float cellDensity) const { return speedOf(cellDensity, weightedPopulation()); }

int Cell::directionIndex(int dx, int dy, int dz) {
    for (int i = 0; i < NUM_DIRECTIONS; ++i) {
        const Offset& o = OFFSETS[i];
        if (o.dx == dx && o.dy == dy && o.dz == dz) return i;
    }
    return -1;
}

int Cell::reflectedDirection(int i) { return validDirection(i) ? REFLECTED[i] : 0; }

float Cell::linkLengthFactor(int i) { return validDirection(i) ? LENGTH_FACTOR[CLASS_OF[i]] : 0.0f; }

float Cell::weight(int i) { return validDirection(i) ? WEIGHT[CLASS_OF[i]] : 0.0f; }

float Cell::coefLinear(int i) { return validDirection(i) ? COEF_LINEAR[CLASS_OF[i]] : 0.0f; }

float Cell::coefQuadratic(int i) { return validDirection(i) ? COEF_QUADRATIC[CLASS_OF[i]] : 0.0f; }

float Cell::coefSpeedSquared(int i) { return validDirection(i) ? COEF_SPEED_SQUARED[CLASS_OF[i]] : 0.0f; }
