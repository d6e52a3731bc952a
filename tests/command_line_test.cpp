// The window's command line read for the toolkit's fixed buffers, and its
// messages as lines, without a display.
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>
#include <vector>

#include "command_line.h"
#include "quote.h"

namespace {

std::string problem(std::vector<std::string> words) {
    std::vector<const char*> argv;
    for (const std::string& word : words) argv.push_back(word.c_str());
    argv.push_back(nullptr);
    return toolkitArgumentProblem(static_cast<int>(words.size()), argv.data());
}

std::string bytes(size_t count) { return std::string(count, 'a'); }

std::string message(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string text = toolkitMessage(format, arguments);
    va_end(arguments);
    return text;
}

}  // namespace

TEST(ToolkitArguments, ClassNameUpTo511Bytes) {
    EXPECT_EQ(problem({"latticeview", "-name", bytes(511)}), "");
    EXPECT_EQ(problem({"latticeview", "-name", bytes(512)}),
              "the class name given to -name is 512 bytes long; the toolkit takes at most 511");
    EXPECT_NE(problem({"latticeview", "-name", bytes(20000)}), "");
    // The toolkit's spellings of the option, and the last one counts.
    EXPECT_NE(problem({"latticeview", "-na", bytes(512)}), "");
    EXPECT_NE(problem({"latticeview", "-NAME", bytes(512)}), "");
    EXPECT_EQ(problem({"latticeview", "-name", bytes(512), "-name", "short"}), "");
    EXPECT_NE(problem({"latticeview", "-name", "short", "-nam", bytes(512)}), "");
    // Not -name: too short a spelling, or a longer word.
    EXPECT_EQ(problem({"latticeview", "-n", bytes(512)}), "");
    EXPECT_EQ(problem({"latticeview", "-names", bytes(512)}), "");
}

TEST(ToolkitArguments, ProgramFileNameIsTheClassWithoutName) {
    EXPECT_NE(problem({"/usr/bin/" + bytes(512)}), "");
    EXPECT_EQ(problem({bytes(600) + "/latticeview"}), "");
    EXPECT_EQ(problem({"/usr/bin/" + bytes(512), "-name", "latticeview"}), "");
    EXPECT_EQ(problem({}), "");
}

TEST(ToolkitArguments, DisplayNameUpTo1011Bytes) {
    EXPECT_EQ(problem({"latticeview", "-display", bytes(1011)}), "");
    EXPECT_EQ(problem({"latticeview", "-di", bytes(1012)}),
              "the display name given to -di is 1012 bytes long; the toolkit takes at most 1011");
    EXPECT_EQ(problem({"latticeview", "-d", bytes(1012)}), "");  // -d is no option of the toolkit
}

TEST(ToolkitArguments, ValuesAndTheEndOfTheOptionsAreReadAsTheToolkitReadsThem) {
    // Other options' values are any length, and one may look like an option.
    EXPECT_EQ(problem({"latticeview", "-title", "-name", "-bg2", bytes(20000), "-geometry", "1x1"}), "");
    EXPECT_NE(problem({"latticeview", "-iconic", "-NOKBD", "-dnd", "-to", "-name", bytes(600)}), "");
    // The toolkit stops at a word that is no option, at an unknown option and
    // at an option without its value; what follows is not read.
    EXPECT_EQ(problem({"latticeview", "file", "-name", bytes(600)}), "");
    EXPECT_EQ(problem({"latticeview", "-", "-name", bytes(600)}), "");
    EXPECT_EQ(problem({"latticeview", "--", "-name", bytes(600)}), "");
    EXPECT_EQ(problem({"latticeview", "-unknown", "-name", bytes(600)}), "");
    EXPECT_EQ(problem({"latticeview", "-name"}), "");
}

TEST(ToolkitMessages, ArgumentsCannotEndTheLine) {
    EXPECT_EQ(message("Unknown color: %s", "red\nlatticeview: fake report"),
              "Unknown color: red\\nlatticeview: fake report");
    EXPECT_EQ(message("Can't open display: %s", "nohost\nok:0.0\x1b[31m"), "Can't open display: nohost\\nok:0.0\\033[31m");
    EXPECT_EQ(message("%c|%.3s|%.*s", '\n', "ab\ncd", 2, "\n\n\n"), "\\n|ab\\n|\\n\\n");
    // The format's own lines, and what it says besides strings.
    EXPECT_EQ(message("options:\n -a\n -b"), "options:\n -a\n -b");
    EXPECT_EQ(message("%s: %s 0x%lx", "BadWindow", "X_GetProperty", 0x2a00005ul), "BadWindow: X_GetProperty 0x2a00005");
    EXPECT_EQ(message("%d%% %5.2f %-3d| %*d %llu %zu", -7, 2.5, 4, 3, 9, 12345678901ull, size_t{8}),
              "-7%  2.50 4  |   9 12345678901 8");
    // No conversion of printf's: the rest as written, no argument read.
    EXPECT_EQ(message("%d %y %s\n", 1, "x"), "1 %y %s\n");
}

TEST(ToolkitMessages, EveryLineAfterTheProgramsName) {
    EXPECT_EQ(escapedLine("0:3(1): error: x\n0:4(1): error: y"), "0:3(1): error: x\\n0:4(1): error: y");
    EXPECT_EQ(prefixedLines("latticeview", "one"), "latticeview: one\n");
    EXPECT_EQ(prefixedLines("latticeview", "one\n two\n"), "latticeview: one\nlatticeview:  two\n");
    EXPECT_EQ(prefixedLines("latticeview", "a\n\nb"), "latticeview: a\nlatticeview: \nlatticeview: b\n");
}
