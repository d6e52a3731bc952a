// The snapshot writer in a directory that others write into too, and the
// names in its messages.
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
#include "output_directory.h"
#include "quote.h"
#include "snapshot_format.h"
#include "snapshot_series.h"

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
    EXPECT_TRUE(series.write(*lattice, SnapshotDescription{}));
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
    encodeSnapshot(*lattice, SnapshotDescription{}, expected);
    EXPECT_EQ(contents(target), std::string(expected.begin(), expected.end()));
    // The two planted names, the snapshot and the collection: no file left
    // under a temporary name of the series' own.
    EXPECT_EQ(std::distance(fs::directory_iterator(directory), fs::directory_iterator()), 4);

    fs::remove_all(directory);
    fs::remove(victim);
}

// A name in a message shows every byte that a terminal could act on as an
// escape, leaves readable UTF-8 readable, and never looks like another name.
TEST(QuotedText, ShowsControlsAsEscapesAndKeepsNamesApart) {
    EXPECT_EQ(quotedText("\033[31mX"), "'\\033[31mX'");
    EXPECT_EQ(quotedText("a\tb\nc\rd\177e\001"), "'a\\tb\\nc\\rd\\177e\\001'");
    EXPECT_EQ(quotedText(std::string("nul\0end", 7)), "'nul\\000end'");
    EXPECT_EQ(quotedText(""), "''");
    // A backslash or a quote of the name itself is escaped: the text \033
    // is not shown as ESC is, and the quotes end the name.
    EXPECT_EQ(quotedText("it's \\033"), "'it\\'s \\\\033'");
    // UTF-8: characters of two, three and four bytes stay; the C1 control
    // CSI (U+009B, which some terminals obey), a lone CSI byte, an overlong
    // '/', a surrogate, a sequence cut short and one beyond U+10FFFF do not.
    const std::string readable = "snapshots/\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E";
    EXPECT_EQ(quotedText(readable), "'" + readable + "'");
    EXPECT_EQ(quotedText("\xC2\x9B" "2J"), "'\\302\\2332J'");
    EXPECT_EQ(quotedText("\x9B" "2J"), "'\\2332J'");
    EXPECT_EQ(quotedText("\xC0\xAF"), "'\\300\\257'");
    EXPECT_EQ(quotedText("\xED\xA0\x80"), "'\\355\\240\\200'");
    EXPECT_EQ(quotedText("\xE2\x82" "x"), "'\\342\\202x'");
    EXPECT_EQ(quotedText("\xF4\x90\x80\x80"), "'\\364\\220\\200\\200'");

    // A message made by a library keeps its lines, quotes and backslashes.
    EXPECT_EQ(escapedMessage("Can't open display: \033[31mX\\:0.0\noptions:\t\xC3\xA9"),
              "Can't open display: \\033[31mX\\:0.0\noptions:\\t\xC3\xA9");
}

}  // namespace
