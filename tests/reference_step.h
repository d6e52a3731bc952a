// A literal, unoptimised statement of one time step, used to check that the
// lattice's own step produces the same bits in every field.
#pragma once

#include <cstring>
#include <string>

#include "lattice.h"

namespace reference {

inline void collide(Lattice& lattice) {
    for (int l = 0; l < NUM_LAYERS; ++l) {
        for (int y = GRID_SIZE - 1; y >= 0; --y) {
            for (int x = GRID_SIZE - 1; x >= 0; --x) {
                Cell* cell = lattice.layers[l]->cellAt(x, y);
                cell->density = cell->computeDensity();
                cell->speed = cell->computeSpeed(cell->density);
                for (int i = 0; i < NUM_DIRECTIONS; ++i) {
                    Link& link = cell->links[i];
                    const float f = link.f;
                    const float u = static_cast<float>(static_cast<double>(Cell::linkLengthFactor(i)) * cell->speed);
                    const float lin = static_cast<float>(static_cast<double>(Cell::coefLinear(i)) * u);
                    const float s = static_cast<float>(static_cast<double>(u) * u);
                    const float quad = static_cast<float>(static_cast<double>(Cell::coefQuadratic(i)) * s);
                    const float sq = static_cast<float>(
                        (static_cast<double>(Cell::coefSpeedSquared(i)) * cell->speed) * cell->speed);
                    link.fEq = static_cast<float>(
                        (((static_cast<double>(Cell::weight(i)) + lin) + quad) + sq) * cell->density);
                    const float diff = static_cast<float>(static_cast<double>(f) - link.fEq);
                    const float omega = static_cast<float>(1.0 / static_cast<double>(lattice.tau));
                    link.fPost = static_cast<float>(f - static_cast<double>(omega) * diff);
                }
            }
        }
    }
}

inline void stream(Lattice& lattice) {
    for (int l = 0; l < NUM_LAYERS; ++l) {
        for (int y = 0; y < GRID_SIZE; ++y) {
            for (int x = 0; x < GRID_SIZE; ++x) {
                Cell* cell = lattice.layers[l]->cellAt(x, y);
                for (int i = 0; i < NUM_DIRECTIONS; ++i) {
                    const int r = Cell::reflectedDirection(i);
                    Link& link = cell->links[r];
                    const float p = link.fPost;
                    if (link.neighbour != nullptr) {
                        Cell* n = link.neighbour;
                        n->intensity = static_cast<float>(static_cast<double>(n->intensity) + p);
                        link.f = p;
                        Link& m = n->links[Cell::reflectedDirection(r)];
                        if (p > m.f) m.f = p;
                        link.fPost = 0.0f;
                    } else {
                        cell->intensity = static_cast<float>(static_cast<double>(cell->intensity) + p);
                        link.f = p;
                        link.fPost = 0.0f;
                    }
                }
            }
        }
    }
}

inline bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// First field whose bits differ between two lattices, as text; empty when all
// match. The text is made only for a difference: the check runs after every
// phase of many steps, on emulators too.
inline std::string firstDifference(const Lattice& a, const Lattice& b) {
    for (int l = 0; l < NUM_LAYERS; ++l) {
        for (int index = 0; index < GRID_SIZE * GRID_SIZE; ++index) {
            const Cell& ca = *a.layers[l]->cells[index];
            const Cell& cb = *b.layers[l]->cells[index];
            const auto where = [&](const char* field) {
                return "layer " + std::to_string(l) + " cell " + std::to_string(index) + " " + field;
            };
            if (!sameBits(ca.density, cb.density)) return where("density");
            if (!sameBits(ca.speed, cb.speed)) return where("speed");
            if (!sameBits(ca.intensity, cb.intensity)) return where("intensity");
            for (int i = 0; i < NUM_DIRECTIONS; ++i) {
                const Link& la = ca.links[i];
                const Link& lb = cb.links[i];
                const auto link = [&](const char* field) {
                    return where("link ") + std::to_string(i) + " " + field;
                };
                if (!sameBits(la.f, lb.f)) return link("f");
                if (!sameBits(la.fEq, lb.fEq)) return link("fEq");
                if (!sameBits(la.fPost, lb.fPost)) return link("fPost");
            }
        }
    }
    return {};
}

}  // namespace reference
