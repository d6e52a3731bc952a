#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "lattice.h"

namespace {

constexpr float REST_LOAD = -0.0699999928f;
constexpr float AXIS_LOAD = 0.0495833345f;
constexpr float DIAGONAL_LOAD = 0.0247916672f;

float expectedLoad(int i) { return i == 0 ? REST_LOAD : (i <= 6 ? AXIS_LOAD : DIAGONAL_LOAD); }

// Bytes of every cell of every layer, to see what an operation changed.
std::vector<unsigned char> snapshot(const Lattice& lattice) {
    std::vector<unsigned char> bytes;
    for (const LatticeLayer* layer : lattice.layers)
        for (const Cell* cell : layer->cells) {
            const auto* p = reinterpret_cast<const unsigned char*>(cell);
            bytes.insert(bytes.end(), p, p + sizeof(Cell));
        }
    return bytes;
}

class SourceInjection : public ::testing::Test {
protected:
    void SetUp() override {
        lattice = std::make_unique<Lattice>(STARTUP_TAU, STARTUP_SPACING);
        layer = lattice->layers[0];
    }
    std::unique_ptr<Lattice> lattice;
    LatticeLayer* layer = nullptr;
};

TEST_F(SourceInjection, LoadsEveryLinkOfTheSourceByClass) {
    const std::vector<unsigned char> before = snapshot(*lattice);
    lattice->injectSource(SOURCE_X, SOURCE_Y, SOURCE_LAYER, SOURCE_VALUE, STARTUP_SPACING);
    Cell* source = layer->cellAt(49, 49);
    EXPECT_TRUE(source->isSource);
    EXPECT_EQ(source->intensity, 0.419999987f);
    for (int i = 0; i < NUM_DIRECTIONS; ++i) {
        EXPECT_EQ(source->links[i].f, expectedLoad(i)) << i;
        EXPECT_EQ(source->links[i].length, i == 0 ? 0.0f : (i <= 6 ? 0.5f : 0.707106769f)) << i;
        EXPECT_EQ(source->links[i].fEq, 0.0f);
        EXPECT_EQ(source->links[i].fPost, 0.0f);
    }
    EXPECT_EQ(source->density, 0.0f);
    EXPECT_EQ(source->speed, 0.0f);

    // The three in-plane neighbours receive the load on their link facing the source.
    EXPECT_EQ(layer->cellAt(48, 49)->links[4].f, AXIS_LOAD);
    EXPECT_EQ(layer->cellAt(49, 48)->links[5].f, AXIS_LOAD);
    EXPECT_EQ(layer->cellAt(48, 48)->links[14].f, DIAGONAL_LOAD);

    // Every neighbour got its copy; nothing else anywhere changed: undo the
    // expected writes and compare the rest.
    for (int i = 1; i < NUM_DIRECTIONS; ++i) {
        Cell* n = source->links[i].neighbour;
        if (n == nullptr) continue;
        EXPECT_EQ(n->links[Cell::reflectedDirection(i)].f, expectedLoad(i)) << i;
        n->links[Cell::reflectedDirection(i)].f = 0.0f;
    }
    source->isSource = false;
    source->intensity = 0.0f;
    for (Link& link : source->links) link.f = 0.0f;
    EXPECT_TRUE(snapshot(*lattice) == before);
}

TEST_F(SourceInjection, FollowsTheRoundingPointsForOtherArguments) {
    // With value 0.1 and spacing 0.14 the axis and diagonal loads differ when
    // t2 is not rounded to float (4.55550871e-05 instead of 4.55558293e-05 on
    // the axis links).
    for (const auto& [value, spacing] : {std::pair<float, float>{1.7f, 0.3f}, std::pair<float, float>{0.1f, 0.14f}}) {
        SCOPED_TRACE(testing::Message() << value << " " << spacing);
        lattice->injectSource(10, 20, 0, value, spacing);
        Cell* source = layer->cellAt(10, 20);
        for (int i = 0; i < NUM_DIRECTIONS; ++i) {
            const float t1 = Cell::weight(i);
            const float t2 = static_cast<float>(static_cast<double>(Cell::coefLinear(i)) * spacing + t1);
            const float t3 =
                static_cast<float>(static_cast<double>(Cell::coefQuadratic(i)) * spacing * spacing + t2);
            const float f = static_cast<float>((static_cast<double>(Cell::coefSpeedSquared(i)) + t3) * value);
            EXPECT_EQ(source->links[i].f, f) << i;
            EXPECT_EQ(source->links[i].length,
                      static_cast<float>(Cell::linkLengthFactor(i) * static_cast<double>(spacing)));
            Cell* n = source->links[i].neighbour;
            if (n != nullptr && n != source) {
                EXPECT_EQ(n->links[Cell::reflectedDirection(i)].f, f) << i;
            }
        }
        EXPECT_EQ(source->intensity, value);
    }
    EXPECT_EQ(layer->cellAt(10, 20)->links[1].f, 4.55558293e-05f);
    EXPECT_EQ(layer->cellAt(10, 20)->links[7].f, 2.27779146e-05f);
}

TEST_F(SourceInjection, ArgumentsOutsideTheLatticeChangeNothing) {
    const std::vector<unsigned char> before = snapshot(*lattice);
    lattice->injectSource(-1, 0, 0, SOURCE_VALUE, STARTUP_SPACING);
    lattice->injectSource(0, -1, 0, SOURCE_VALUE, STARTUP_SPACING);
    lattice->injectSource(50, 0, 0, SOURCE_VALUE, STARTUP_SPACING);
    lattice->injectSource(0, 50, 0, SOURCE_VALUE, STARTUP_SPACING);
    lattice->injectSource(0, 0, -1, SOURCE_VALUE, STARTUP_SPACING);
    lattice->injectSource(0, 0, NUM_LAYERS, SOURCE_VALUE, STARTUP_SPACING);
    EXPECT_TRUE(snapshot(*lattice) == before);
}

}  // namespace
