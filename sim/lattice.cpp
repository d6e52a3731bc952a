#include "lattice.h"

#include <cstdio>

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

// BGK collision. Every link of one class of a cell gets the same equilibrium,
// so it is formed once per class; omega is the same for the whole pass.
void Lattice::collide() {
    const double omega = static_cast<float>(1.0 / static_cast<double>(tau));
    for (int layerIndex = 0; layerIndex < NUM_LAYERS; ++layerIndex) {
        Cell* const* cells = layers[layerIndex]->cells;
        for (int index = GRID_SIZE * GRID_SIZE - 1; index >= 0; --index) {
            Cell& cell = *cells[index];

            // Density and length-weighted sum over the linked links, in link order.
            float density = 0.0f;
            float weighted = 0.0f;
            for (int i = 0; i < NUM_DIRECTIONS; ++i) {
                const Link& link = cell.links[i];
                if (link.neighbour != nullptr) {
                    density = density + link.f;
                    weighted = static_cast<float>(static_cast<double>(weighted) +
                                                  static_cast<double>(link.f) * static_cast<double>(link.length));
                }
            }
            const float speed = density == 0.0f
                                    ? 0.0f
                                    : static_cast<float>((1.0 / static_cast<double>(density)) *
                                                         static_cast<double>(weighted));
            cell.density = density;
            cell.speed = speed;

            float equilibrium[NUM_CLASSES];
            for (int k = 0; k < NUM_CLASSES; ++k) {
                const float u = static_cast<float>(static_cast<double>(LENGTH_FACTOR[k]) * speed);
                const float lin = static_cast<float>(static_cast<double>(COEF_LINEAR[k]) * u);
                const float s = static_cast<float>(static_cast<double>(u) * u);
                const float quad = static_cast<float>(static_cast<double>(COEF_QUADRATIC[k]) * s);
                const float sq = static_cast<float>((static_cast<double>(COEF_SPEED_SQUARED[k]) * speed) * speed);
                equilibrium[k] = static_cast<float>(
                    (((static_cast<double>(WEIGHT[k]) + lin) + quad) + sq) * static_cast<double>(density));
            }

            for (int i = 0; i < NUM_DIRECTIONS; ++i) {
                Link& link = cell.links[i];
                const float f = link.f;
                const float eq = equilibrium[CLASS_OF[i]];
                const float diff = f - eq;
                link.fEq = eq;
                link.fPost = static_cast<float>(static_cast<double>(f) - omega * static_cast<double>(diff));
            }
        }
    }
}

// Streaming in storage order. Within a cell the links go in reflected order;
// link j of a neighbour is the one facing this cell's link REFLECTED[j]. The
// cell's own intensity only changes during its own visit through the rest link
// and the links without neighbour, so it is accumulated locally.
void Lattice::stream() {
    for (int layerIndex = 0; layerIndex < NUM_LAYERS; ++layerIndex) {
        Cell* const* cells = layers[layerIndex]->cells;
        for (int index = 0; index < GRID_SIZE * GRID_SIZE; ++index) {
            Cell* cell = cells[index];
            float own = cell->intensity;
            for (int j = 0; j < NUM_DIRECTIONS; ++j) {
                Link& link = cell->links[REFLECTED[j]];
                const float p = link.fPost;
                Cell* neighbour = link.neighbour;
                link.f = p;
                link.fPost = 0.0f;
                if (neighbour == nullptr) {
                    own = own + p;
                } else if (neighbour == cell) {
                    own = own + p;
                    Link& facing = cell->links[j];
                    if (p > facing.f) facing.f = p;
                } else {
                    neighbour->intensity = neighbour->intensity + p;
                    Link& facing = neighbour->links[j];
                    if (p > facing.f) facing.f = p;
                }
            }
            cell->intensity = own;
        }
    }
}

void Lattice::printProbe() const {
    const LatticeLayer* layer = layers[0];
    for (int k = 0; k < 10; ++k) {
        const Cell* cell = layer->cellAt(k, 9);
        std::printf("Lattice %i: %f / %f\n", k, static_cast<double>(cell->intensity),
                    static_cast<double>(cell->links[4].f));
    }
    std::printf("\n");
    // Reports must survive the process being killed when stdout is a pipe or file.
    std::fflush(stdout);
}
