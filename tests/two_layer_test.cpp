#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "lattice.h"

namespace {

static_assert(NUM_LAYERS == 2, "this file tests the two-layer build");

class TwoLayers : public ::testing::Test {
protected:
    void SetUp() override { lattice = std::make_unique<Lattice>(STARTUP_TAU, STARTUP_SPACING); }
    Cell* cell(int layer, int x, int y) { return lattice->layers[layer]->cellAt(x, y); }
    std::unique_ptr<Lattice> lattice;
};

TEST_F(TwoLayers, VerticalLinksJoinTheLayers) {
    for (int r : {0, 17, 49})
        for (int c : {0, 23, 49}) {
            EXPECT_EQ(cell(1, c, r)->links[1].neighbour, cell(0, c, r));
            EXPECT_EQ(cell(0, c, r)->links[6].neighbour, cell(1, c, r));
        }
    Cell* upper = cell(1, 10, 20);
    EXPECT_EQ(upper->links[7].neighbour, cell(0, 9, 20));
    EXPECT_EQ(upper->links[8].neighbour, cell(0, 10, 19));
    EXPECT_EQ(upper->links[9].neighbour, cell(0, 11, 20));
    EXPECT_EQ(upper->links[10].neighbour, cell(0, 10, 21));
    Cell* lower = cell(0, 10, 20);
    EXPECT_EQ(lower->links[15].neighbour, cell(1, 9, 20));
    EXPECT_EQ(lower->links[16].neighbour, cell(1, 10, 19));
    EXPECT_EQ(lower->links[17].neighbour, cell(1, 11, 20));
    EXPECT_EQ(lower->links[18].neighbour, cell(1, 10, 21));
}

TEST_F(TwoLayers, OuterFacesStayOpenAndLayerEdgesAreRespected) {
    for (int index = 0; index < GRID_SIZE * GRID_SIZE; ++index) {
        const Cell* bottom = lattice->layers[0]->cells[index];
        const Cell* top = lattice->layers[1]->cells[index];
        for (int i : {1, 7, 8, 9, 10}) ASSERT_EQ(bottom->links[i].neighbour, nullptr) << index << " " << i;
        for (int i : {6, 15, 16, 17, 18}) ASSERT_EQ(top->links[i].neighbour, nullptr) << index << " " << i;
    }
    // Corner of the upper layer: no cross-layer link leaves the grid.
    std::set<int> linked;
    for (int i = 0; i < NUM_DIRECTIONS; ++i)
        if (cell(1, 0, 0)->links[i].neighbour != nullptr) linked.insert(i);
    EXPECT_EQ(linked, (std::set<int>{0, 1, 4, 5, 9, 10, 14}));
    EXPECT_EQ(cell(1, 0, 0)->links[9].length, 0.707106769f);
    EXPECT_EQ(cell(1, 0, 0)->links[1].length, 0.5f);
}

TEST_F(TwoLayers, EveryLinkCount) {
    int self = 0, axis = 0, diagonal = 0;
    for (const LatticeLayer* layer : lattice->layers)
        for (const Cell* c : layer->cells)
            for (int i = 0; i < NUM_DIRECTIONS; ++i) {
                if (c->links[i].neighbour == nullptr) continue;
                if (i == 0) ++self;
                else (i <= 6 ? axis : diagonal) += 1;
            }
    // In-plane as for one layer, times two; plus 2500 vertical axis links and
    // 4 * 2450 cross-layer diagonals in each direction.
    EXPECT_EQ(self, 5000);
    EXPECT_EQ(axis, 2 * 9800 + 2 * 2500);
    EXPECT_EQ(diagonal, 2 * 9604 + 2 * 4 * 2450);
}

TEST_F(TwoLayers, SourceCopiesIntoTheOtherLayerAndStreamingCrossesIt) {
    lattice->injectSource(20, 20, 0, SOURCE_VALUE, STARTUP_SPACING);
    Cell* source = cell(0, 20, 20);
    // Reflection keeps the layer step: link 6 copies into link 6 of the cell
    // above, link 15 (up, column - 1) into link 17 of the cell it reaches.
    EXPECT_EQ(cell(1, 20, 20)->links[6].f, source->links[6].f);
    EXPECT_EQ(cell(1, 19, 20)->links[17].f, source->links[15].f);
    EXPECT_EQ(cell(1, 19, 20)->links[15].f, 0.0f);
    EXPECT_EQ(cell(1, 20, 20)->links[1].f, 0.0f);

    testing::internal::CaptureStdout();
    lattice->step();
    testing::internal::GetCapturedStdout();
    EXPECT_NE(cell(1, 20, 20)->intensity, 0.0f);
}

TEST_F(TwoLayers, SourceOnTheUpperLayer) {
    lattice->injectSource(5, 5, 1, 1.0f, STARTUP_SPACING);
    EXPECT_TRUE(cell(1, 5, 5)->isSource);
    EXPECT_FALSE(cell(0, 5, 5)->isSource);
    EXPECT_EQ(cell(0, 5, 5)->links[1].f, cell(1, 5, 5)->links[1].f);
}

}  // namespace
