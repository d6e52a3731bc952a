// The snapshot writer in a directory that others write into too, the names
// in its messages, and the snapshots read back.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "lattice.h"
#include "output_directory.h"
#include "quote.h"
#include "run_parameters.h"
#include "snapshot_format.h"
#include "snapshot_layout.h"
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
    // Valid characters that make a terminal show the line otherwise: the
    // line and paragraph separators and the bidirectional embeddings,
    // overrides and isolates (the first and last of each run), as their bytes;
    // their neighbours stay.
    EXPECT_EQ(quotedText("a\xE2\x80\xA8" "b\xE2\x80\xAE" "c\xE2\x81\xA6" "d\xE2\x81\xA9"),
              "'a\\342\\200\\250b\\342\\200\\256c\\342\\201\\246d\\342\\201\\251'");
    const std::string neighbours = "\xE2\x80\xA7\xE2\x80\xAF\xE2\x81\xA5\xE2\x81\xAA";
    EXPECT_EQ(quotedText(neighbours), "'" + neighbours + "'");

    // A message made by a library keeps its lines, quotes and backslashes.
    EXPECT_EQ(escapedMessage("Can't open display: \033[31mX\\:0.0\noptions:\t\xC3\xA9"),
              "Can't open display: \\033[31mX\\:0.0\noptions:\\t\xC3\xA9");
    EXPECT_EQ(escapedMessage("fake\xE2\x80\xA9line \xE2\x80\xAB"), "fake\\342\\200\\251line \\342\\200\\253");
}

// A lattice of a run with other parameters than the start-up ones, after 30
// steps, and its snapshot.
struct OtherRun {
    RunParameters parameters;
    std::unique_ptr<Lattice> lattice;
    std::vector<unsigned char> file;

    OtherRun() {
        parameters.tau = 0.7f;
        parameters.spacing = 1e-05f;
        parameters.sourceX = 10;
        parameters.sourceY = 20;
        parameters.sourceLayer = NUM_LAYERS - 1;
        parameters.sourceValue = -3.5e20f;
        lattice = makeLattice(parameters);
        for (int n = 0; n < 30; ++n) advance(*lattice);
        encodeSnapshot(*lattice, SnapshotDescription{30, parameters}, file);
    }
    // A step without its report.
    static void advance(Lattice& lattice) {
        lattice.collide();
        lattice.stream();
    }
};

// Whether `file` reads as a snapshot; when it does, it must be exactly the
// snapshot of the lattice restored from it, as the program that it names
// writes it: nothing in it is left unread or read loosely.
bool readsBack(const std::vector<unsigned char>& file, const std::string& name = "lattice_000030.vti") {
    SnapshotReading reading;
    std::string reason;
    if (!readSnapshot(file.data(), file.size(), name, reading, reason)) {
        EXPECT_FALSE(reason.empty());
        return false;
    }
    std::vector<unsigned char> again;
    encodeSnapshotAsRead(*restoreLattice(file.data(), reading, reading.description.parameters), reading, again);
    EXPECT_TRUE(again == file) << "read as step " << reading.description.step << ", not written back the same";
    return true;
}

// The field data says the step and the parameters, and the restored lattice
// goes on as the one written: a snapshot after one more step of each is the
// same file.
TEST(SnapshotReader, ReadsBackTheLatticeAndHowItWasMade) {
    OtherRun run;
    SnapshotReading reading;
    std::string reason;
    ASSERT_TRUE(readSnapshot(run.file.data(), run.file.size(), "", reading, reason)) << reason;
    EXPECT_EQ(reading.description.step, 30);
    EXPECT_TRUE(reading.description.parameters == run.parameters);
    EXPECT_EQ(reading.program, snapshotProgram());
    EXPECT_TRUE(readsBack(run.file));

    const auto restored = restoreLattice(run.file.data(), reading, reading.description.parameters);
    OtherRun::advance(*run.lattice);
    OtherRun::advance(*restored);
    std::vector<unsigned char> original;
    std::vector<unsigned char> continued;
    encodeSnapshot(*run.lattice, SnapshotDescription{31, run.parameters}, original);
    encodeSnapshot(*restored, SnapshotDescription{31, run.parameters}, continued);
    EXPECT_TRUE(original == continued);
}

// Every byte of the text changed, to a few values each: the file is refused
// with a reason, or it is one that reads back exactly (a changed digit of a
// value). Floats of the arrays read back bit for bit, but a NaN of other bits.
TEST(SnapshotReader, RefusesOrReadsBackEveryChangeOfItsText) {
    OtherRun run;
    SnapshotReading reading;
    std::string reason;
    ASSERT_TRUE(readSnapshot(run.file.data(), run.file.size(), "", reading, reason)) << reason;
    int accepted = 0;
    for (size_t at = 0; at < reading.arraysOffset; ++at) {
        static const unsigned char VALUES[] = {'0', '9', ' ', '"', '<', '\n', 0x00, 0xFF};
        for (const unsigned char to : VALUES) {
            if (run.file[at] == to) continue;
            std::vector<unsigned char> changed = run.file;
            changed[at] = to;
            accepted += readsBack(changed);
        }
        std::vector<unsigned char> removed = run.file;
        removed.erase(removed.begin() + static_cast<long>(at));
        accepted += readsBack(removed);
    }
    EXPECT_GT(accepted, 0);  // digits of the step and of the program's version

    const size_t intensity = reading.arraysOffset + SNAPSHOT_BLOCK_SIZE_BYTES;
    for (const uint32_t bits : {0x7F800000u, 0xFF800000u, SNAPSHOT_NAN_BITS, 0x00000001u, 0x80000000u}) {
        std::vector<unsigned char> changed = run.file;
        putUInt32(changed.data() + intensity, bits);
        EXPECT_TRUE(readsBack(changed)) << std::hex << bits;
    }
    for (const uint32_t bits : {0x7FC00000u, 0xFFC00001u, 0x7F800001u}) {
        std::vector<unsigned char> changed = run.file;
        putUInt32(changed.data() + intensity, bits);
        EXPECT_FALSE(readsBack(changed)) << std::hex << bits;
    }
    std::vector<unsigned char> twoSources = run.file;
    twoSources[reading.arraysOffset + snapshotBlockOffset(SNAPSHOT_SOURCE) + SNAPSHOT_BLOCK_SIZE_BYTES] = 1;
    EXPECT_FALSE(readsBack(twoSources));
}

// A snapshot written before snapshots had field data: its step from its name,
// the start-up parameters. The name is the writer's own, lattice_SSSSSS.vti.
TEST(SnapshotReader, TakesTheStepOfASnapshotWithoutFieldDataFromItsName) {
    std::vector<unsigned char> file;
    encodeSnapshot(*makeStartupLattice(), SnapshotDescription{}, file);
    const std::string text(file.begin(), file.end());
    const size_t start = text.find(FIELD_DATA_START);
    const size_t end = text.find(FIELD_DATA_END) + std::strlen(FIELD_DATA_END);
    file.erase(file.begin() + static_cast<long>(start), file.begin() + static_cast<long>(end));

    SnapshotReading reading;
    std::string reason;
    ASSERT_TRUE(readSnapshot(file.data(), file.size(), "runs/lattice_000000.vti", reading, reason)) << reason;
    EXPECT_FALSE(reading.hasFieldData);
    EXPECT_EQ(reading.description.step, 0);
    EXPECT_TRUE(reading.description.parameters == RunParameters{});
    EXPECT_TRUE(readsBack(file, "lattice_000000.vti"));
    EXPECT_FALSE(readSnapshot(file.data(), file.size(), "lattice.vti", reading, reason));
    EXPECT_NE(reason.find("no field data"), std::string::npos) << reason;

    long step = -1;
    EXPECT_TRUE(stepFromSnapshotName("lattice_000050.vti", step) && step == 50);
    EXPECT_TRUE(stepFromSnapshotName("C:\\runs\\lattice_1234567.vti", step) && step == 1234567);
    for (const char* name : {"lattice_50.vti", "lattice_0000050.vti", "lattice_00005a.vti", "lattice_+00050.vti",
                             "lattice_99999999999999999999.vti", "lattice_000050.vti.tmp", "x/lattice_.vti"})
        EXPECT_FALSE(stepFromSnapshotName(name, step)) << name;
}

// A float of the field data is the shortest decimal that strtof reads back
// as the same float, with an exponent of two digits at least.
TEST(SnapshotReader, WritesEachFloatAsTheShortestDecimalThatReadsBack) {
    EXPECT_EQ(snapshotFloatText(0.56f), "0.56");
    EXPECT_EQ(snapshotFloatText(0.42f), "0.42");
    EXPECT_EQ(snapshotFloatText(1e-05f), "1e-05");
    EXPECT_EQ(snapshotFloatText(-3.5e20f), "-3.5e+20");
    EXPECT_EQ(snapshotFloatText(FLT_MAX), "3.4028235e+38");
    EXPECT_EQ(snapshotFloatText(-FLT_TRUE_MIN), "-1e-45");
    std::mt19937 random(29);
    for (int n = 0; n < 100000; ++n) {
        uint32_t bits = static_cast<uint32_t>(random());
        float value;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value)) continue;
        const std::string text = snapshotFloatText(value);
        const float back = std::strtof(text.c_str(), nullptr);
        ASSERT_EQ(std::memcmp(&back, &value, sizeof value), 0) << text;
        ASSERT_LE(text.size(), 15u) << text;
    }
}

}  // namespace
