// The frame's points (point_list.h): the order, places, colours and sizes
// that every drawing of the lattice takes from them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "point_list.h"

namespace {

// An intensity that no other cell has, positive, zero, negative or NaN by the
// cell's place, so that two cells' points swapped, or one lost, show.
float distinctIntensity(int layer, int x, int y) {
    const int index = (layer * GRID_SIZE + y) * GRID_SIZE + x;
    switch (index % 7) {
        case 3: return 0.0f;
        case 5: return -1.0f - static_cast<float>(index);
        case 6: return std::numeric_limits<float>::quiet_NaN();
        default: return 0.25f + static_cast<float>(index) / 16.0f;
    }
}

void expectPoint(const ScenePoint& p, int layer, int x, int y, float red, float green, float blue, float size) {
    EXPECT_EQ(p.x, static_cast<float>(layer));
    EXPECT_EQ(p.y, -25.0f + static_cast<float>(x));
    EXPECT_EQ(p.z, -25.0f + static_cast<float>(y));
    EXPECT_EQ(p.red, red);
    EXPECT_EQ(p.green, green);
    EXPECT_EQ(p.blue, blue);
    EXPECT_EQ(p.size, size);
}

}  // namespace

TEST(PointList, CellsInLayerRowColumnOrderGreenBeforeLightBlue) {
    const auto lattice = makeStartupLattice();
    for (int k = 0; k < NUM_LAYERS; ++k)
        for (int y = 0; y < GRID_SIZE; ++y)
            for (int x = 0; x < GRID_SIZE; ++x) lattice->layers[k]->cellAt(x, y)->intensity = distinctIntensity(k, x, y);
    // A cell whose links all have neighbours gets no light-blue point.
    Cell* closed = lattice->layers[0]->cellAt(7, 3);
    std::vector<Cell*> saved;
    for (Link& link : closed->links) {
        saved.push_back(link.neighbour);
        if (link.neighbour == nullptr) link.neighbour = closed;
    }

    std::vector<ScenePoint> points(SCENE_POINTS_MAX);
    const int count = fillScenePoints(*lattice, points.data());
    ASSERT_LE(count, SCENE_POINTS_MAX);

    int i = 0;
    int lit = 0;
    for (int k = 0; k < NUM_LAYERS; ++k) {
        for (int y = 0; y < GRID_SIZE; ++y) {
            for (int x = 0; x < GRID_SIZE; ++x) {
                SCOPED_TRACE(testing::Message() << "layer " << k << ", column " << x << ", row " << y);
                const float intensity = distinctIntensity(k, x, y);
                if (intensity > 0.0f) {
                    lit++;
                    ASSERT_LT(i, count);
                    expectPoint(points[static_cast<size_t>(i++)], k, x, y, 0.0f, intensity, 0.0f, 3.0f);
                }
                if (k == 0 && x == 7 && y == 3) continue;
                ASSERT_LT(i, count);
                expectPoint(points[static_cast<size_t>(i++)], k, x, y, 0.1f, 0.6f, 1.0f, 1.0f);
            }
        }
    }
    EXPECT_EQ(count, i);
    EXPECT_EQ(litCellCount(*lattice), lit);  // the green points: zero, negative and NaN are dark
    EXPECT_GT(lit, 0);
    EXPECT_FALSE(hasOpenLink(*closed));
    for (size_t d = 0; d < saved.size(); ++d) closed->links[d].neighbour = saved[d];
    EXPECT_TRUE(hasOpenLink(*closed));
}

TEST(PointList, FullLatticeFillsTheRoomExactly) {
    const auto lattice = makeStartupLattice();
    for (LatticeLayer* layer : lattice->layers)
        for (Cell* cell : layer->cells) cell->intensity = 1.0f;
    std::vector<ScenePoint> points(SCENE_POINTS_MAX + 1);
    points[SCENE_POINTS_MAX].size = -7.0f;  // past the room: must stay untouched
    EXPECT_EQ(fillScenePoints(*lattice, points.data()), SCENE_POINTS_MAX);
    EXPECT_EQ(litCellCount(*lattice), NUM_LAYERS * GRID_SIZE * GRID_SIZE);
    EXPECT_EQ(points[SCENE_POINTS_MAX].size, -7.0f);
}
