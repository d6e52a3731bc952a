#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "lattice.h"

namespace {

std::set<int> linkedDirections(const Cell* cell) {
    std::set<int> linked;
    for (int i = 0; i < NUM_DIRECTIONS; ++i)
        if (cell->links[i].neighbour != nullptr) linked.insert(i);
    return linked;
}

class OneLayer : public ::testing::Test {
protected:
    void SetUp() override {
        if (NUM_LAYERS != 1) GTEST_SKIP() << "single-layer wiring";
        lattice = std::make_unique<Lattice>(STARTUP_TAU, STARTUP_SPACING);
        layer = lattice->layers[0];
    }
    std::unique_ptr<Lattice> lattice;
    LatticeLayer* layer = nullptr;
};

TEST_F(OneLayer, CellsAreStoredRowMajorAndFoundByColumnThenRow) {
    EXPECT_EQ(layer->cellAt(49, 0), layer->cells[49]);
    EXPECT_EQ(layer->cellAt(0, 1), layer->cells[50]);
    EXPECT_EQ(layer->cellAt(7, 3), layer->cells[3 * 50 + 7]);
    EXPECT_EQ(layer->cellAt(49, 49), layer->cells[2499]);
    EXPECT_EQ(std::set<Cell*>(std::begin(layer->cells), std::end(layer->cells)).size(), 2500u);
}

TEST_F(OneLayer, CellAtOutsideTheGridIsNull) {
    EXPECT_EQ(layer->cellAt(-1, 0), nullptr);
    EXPECT_EQ(layer->cellAt(0, -1), nullptr);
    EXPECT_EQ(layer->cellAt(50, 0), nullptr);
    EXPECT_EQ(layer->cellAt(0, 50), nullptr);
    EXPECT_EQ(layer->cellAt(50, 49), nullptr);  // would alias row 50's first cell if unchecked
}

TEST_F(OneLayer, CornerEdgeAndInteriorWiring) {
    EXPECT_EQ(linkedDirections(layer->cellAt(0, 0)), (std::set<int>{0, 4, 5, 14}));
    EXPECT_EQ(linkedDirections(layer->cellAt(49, 0)), (std::set<int>{0, 2, 5, 11}));
    EXPECT_EQ(linkedDirections(layer->cellAt(0, 49)), (std::set<int>{0, 3, 4, 13}));
    EXPECT_EQ(linkedDirections(layer->cellAt(49, 49)), (std::set<int>{0, 2, 3, 12}));
    EXPECT_EQ(linkedDirections(layer->cellAt(20, 0)), (std::set<int>{0, 2, 4, 5, 11, 14}));
    EXPECT_EQ(linkedDirections(layer->cellAt(0, 30)), (std::set<int>{0, 3, 4, 5, 13, 14}));

    Cell* corner = layer->cellAt(0, 0);
    EXPECT_EQ(corner->links[0].neighbour, corner);
    EXPECT_EQ(corner->links[4].neighbour, layer->cellAt(1, 0));
    EXPECT_EQ(corner->links[5].neighbour, layer->cellAt(0, 1));
    EXPECT_EQ(corner->links[14].neighbour, layer->cellAt(1, 1));

    for (int y = 1; y < 49; ++y)
        for (int x = 1; x < 49; ++x)
            ASSERT_EQ(linkedDirections(layer->cellAt(x, y)), (std::set<int>{0, 2, 3, 4, 5, 11, 12, 13, 14}))
                << x << "," << y;

    Cell* c = layer->cellAt(10, 20);
    EXPECT_EQ(c->links[2].neighbour, layer->cellAt(9, 20));
    EXPECT_EQ(c->links[3].neighbour, layer->cellAt(10, 19));
    EXPECT_EQ(c->links[11].neighbour, layer->cellAt(9, 21));
    EXPECT_EQ(c->links[12].neighbour, layer->cellAt(9, 19));
    EXPECT_EQ(c->links[13].neighbour, layer->cellAt(11, 19));
}

TEST_F(OneLayer, LinksAreMutualAndCountsMatch) {
    int self = 0, axis = 0, diagonal = 0, vertical = 0;
    for (Cell* a : layer->cells) {
        for (int i = 0; i < NUM_DIRECTIONS; ++i) {
            Cell* b = a->links[i].neighbour;
            if (b == nullptr) continue;
            if (i == 0) {
                EXPECT_EQ(b, a);
                ++self;
                continue;
            }
            if (i == 1 || i == 6 || (i >= 7 && i <= 10) || i >= 15) ++vertical;
            (i <= 6 ? axis : diagonal) += 1;
            EXPECT_EQ(b->links[Cell::reflectedDirection(i)].neighbour, a);
        }
    }
    EXPECT_EQ(self, 2500);
    EXPECT_EQ(axis, 9800);
    EXPECT_EQ(diagonal, 9604);
    EXPECT_EQ(vertical, 0);
}

TEST_F(OneLayer, FreshCellsAreEmptyWithLinkLengthsSet) {
    for (Cell* cell : layer->cells) {
        EXPECT_EQ(cell->density, 0.0f);
        EXPECT_EQ(cell->speed, 0.0f);
        EXPECT_EQ(cell->intensity, 0.0f);
        EXPECT_FALSE(cell->isSource);
        EXPECT_EQ(cell->links[0].length, 0.0f);
        for (int i = 0; i < NUM_DIRECTIONS; ++i) {
            EXPECT_EQ(cell->links[i].f, 0.0f);
            EXPECT_EQ(cell->links[i].fEq, 0.0f);
            EXPECT_EQ(cell->links[i].fPost, 0.0f);
            if (i >= 1) {
                EXPECT_EQ(cell->links[i].length, i <= 6 ? 0.5f : 0.707106769f);
            }
        }
    }
    EXPECT_FLOAT_EQ(lattice->tau, 0.56f);
}

TEST(CellOperations, ConstructorAndConnect) {
    Cell a(2.5f, 2.0f);
    Cell b(0.0f, 2.0f);
    EXPECT_EQ(a.intensity, 2.5f);
    EXPECT_EQ(a.links[0].neighbour, &a);
    EXPECT_EQ(a.links[3].length, 2.0f);
    EXPECT_EQ(a.links[12].length, static_cast<float>(1.41421354f * 2.0));

    a.links[13].f = 4.0f;
    a.links[13].fEq = 5.0f;
    a.links[13].fPost = 6.0f;
    a.connect(1, 1, 0, &b, 3.0f);
    EXPECT_EQ(a.links[13].neighbour, &b);
    EXPECT_EQ(a.links[13].length, static_cast<float>(1.41421354f * 3.0));
    EXPECT_EQ(a.links[13].f, 0.0f);
    EXPECT_EQ(a.links[13].fEq, 5.0f);
    EXPECT_EQ(a.links[13].fPost, 6.0f);
}

TEST(CellOperations, ConnectWithAnOffsetOutsideTheSetChangesNothing) {
    Cell a(0.0f, 0.5f);
    Cell b(0.0f, 0.5f);
    for (Link& link : a.links) link.f = 1.0f;
    const Cell before = a;
    a.connect(1, 1, 1, &b, 9.0f);
    a.connect(2, 0, 0, &b, 9.0f);
    a.connect(0, 0, -3, &b, 9.0f);
    for (int i = 0; i < NUM_DIRECTIONS; ++i) {
        EXPECT_EQ(a.links[i].neighbour, before.links[i].neighbour) << i;
        EXPECT_EQ(a.links[i].length, before.links[i].length) << i;
        EXPECT_EQ(a.links[i].f, before.links[i].f) << i;
    }
}

TEST(CellOperations, DensityAndSpeedCountOnlyLinkedLinks) {
    Cell cell(0.0f, 0.5f);
    Cell other(0.0f, 0.5f);
    EXPECT_EQ(cell.computeDensity(), 0.0f);
    cell.links[7].f = 100.0f;  // no neighbour: ignored
    EXPECT_EQ(cell.computeDensity(), 0.0f);

    cell.connect(-1, 0, 0, &other, 0.5f);
    cell.connect(1, 0, 0, &other, 0.5f);
    cell.links[0].f = 1.0f;
    cell.links[2].f = 1.0f;
    cell.links[4].f = 1.0f;
    EXPECT_EQ(cell.computeDensity(), 3.0f);
    EXPECT_EQ(cell.computeSpeed(3.0f), 0.333333343f);
    EXPECT_EQ(cell.computeSpeed(0.0f), 0.0f);

    // The quotient is formed as (1/density) * sum in double, rounded once.
    cell.links[2].f = 0.7f;
    cell.links[4].f = 0.9f;
    const float sum = static_cast<float>(static_cast<double>(0.7f) * 0.5f + static_cast<double>(0.9f) * 0.5f);
    EXPECT_EQ(cell.computeSpeed(0.3f), static_cast<float>((1.0 / static_cast<double>(0.3f)) * sum));
}

TEST(CellOperations, IntensityAndSourceAccessors) {
    Cell cell(0.0f, 0.5f);
    cell.setIntensity(-3.25f);
    EXPECT_EQ(cell.getIntensity(), -3.25f);
    EXPECT_EQ(cell.intensity, -3.25f);
    cell.setSource(true);
    EXPECT_TRUE(cell.isSource);
}

}  // namespace
