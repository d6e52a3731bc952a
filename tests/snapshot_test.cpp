// The snapshot writer in a directory that others write into too.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "lattice.h"
#include "snapshot.h"

namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A file and a link to a file elsewhere, planted at the first two temporary
// names the series will try for its first snapshot, are left as they are:
// the series writes under the next name and renames that into place.
TEST(SnapshotSeries, LeavesFilesPlantedAtItsTemporaryNamesAlone) {
    constexpr uint64_t SEED = 20261209;
    const fs::path directory = fs::temp_directory_path() / ("lbm_planted_" + std::to_string(std::random_device{}()));
    const fs::path victim = directory.string() + ".victim";
    ASSERT_TRUE(fs::create_directory(directory));
    std::ofstream(victim) << "precious";

    std::mt19937_64 names(SEED);
    const std::string target = directory.string() + '/' + snapshotFileName(0);  // as the series joins them
    const std::string first = temporaryFileName(target, names);
    const std::string second = temporaryFileName(target, names);
    std::ofstream(first) << "planted";
    std::error_code noLink;
    fs::create_symlink(victim, second, noLink);
    if (noLink) std::ofstream(second) << "planted";  // where links cannot be made

    const auto lattice = makeStartupLattice();
    SnapshotSeries series(directory.string(), SEED);
    ASSERT_TRUE(series.open());
    EXPECT_TRUE(series.write(*lattice, 0));
    EXPECT_TRUE(series.finish());
    EXPECT_TRUE(series.errors().empty());

    EXPECT_EQ(contents(victim), "precious");
    EXPECT_EQ(contents(first), "planted");
    if (noLink) {
        EXPECT_EQ(contents(second), "planted");
    } else {
        EXPECT_TRUE(fs::is_symlink(second));
    }
    std::vector<unsigned char> expected;
    encodeSnapshot(*lattice, expected);
    EXPECT_EQ(contents(target), std::string(expected.begin(), expected.end()));
    // The two planted names, the snapshot and the collection: no file left
    // under a temporary name of the series' own.
    EXPECT_EQ(std::distance(fs::directory_iterator(directory), fs::directory_iterator()), 4);

    fs::remove_all(directory);
    fs::remove(victim);
}

}  // namespace
