// A directory that a program writes its files into, safe when others write
// into it too (other runs, other users), on POSIX systems and on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

// "TARGET.XXXXXX.tmp", each X a letter or a digit drawn from `random`: the
// temporary name under which a directory tries to write the file TARGET (the
// final name first, so that a file left by a killed run tells what it was).
std::string temporaryFileName(const std::string& target, std::mt19937_64& random);

// The files of one run, written into one directory. A file appears under its
// final name only when it is complete: it is written under a temporary name
// of its own (the final name, six random letters or digits and ".tmp"),
// created new so that nothing already at that name is written through, then
// closed and renamed over the final name. Runs that share the directory
// therefore never meet in a temporary file, and a final name always holds one
// run's complete file. Every file is made in the directory as it was opened
// (POSIX), wherever its name leads afterwards. Nothing is synced to the disk.
class OutputDirectory {
public:
    // `contents` says what the run writes there ("the snapshots"), for the
    // message that asks for a directory of one's own. Temporary names are
    // drawn from a seed that differs from run to run.
    OutputDirectory(std::string directory, std::string contents);
    // Temporary names drawn from `nameSeed`, so that a test can plant files
    // at the names the directory will try.
    OutputDirectory(std::string directory, std::string contents, uint64_t nameSeed);
    ~OutputDirectory();
    OutputDirectory(const OutputDirectory&) = delete;
    OutputDirectory& operator=(const OutputDirectory&) = delete;

    // Creates the directory when it is missing (not its parent), and opens
    // it. False when it cannot be created, is not a directory, or is a link
    // that another user may have planted (one of another user's in a shared,
    // sticky directory, that the directory's owner did not make); errors()
    // says why.
    bool open();

    // Writes `size` bytes from `data` as the file `name` of the directory, as
    // described above. False on a failure, with no temporary file left behind;
    // errors() names the file and the reason.
    bool writeFile(const std::string& name, const void* data, size_t size);

    // The file `name` of the directory, as a path from the directory's name.
    std::string path(const std::string& name) const;

    // Every failure, in order, each naming the file and the reason.
    const std::vector<std::string>& errors() const { return errors_; }

private:
    // The directory opened (AT_FDCWD before open(); -1 on Windows), and the
    // name by which the file `name` is reached from there.
    int directoryHandle() const;
    std::string reach(const std::string& name) const;
    // Whether `name` could not be replaced, failing with `error`, because it
    // is another user's in a sticky directory.
    bool heldByAnotherUser(const std::string& name, int error) const;

    std::string directory_;
    std::string contents_;
    int opened_ = -1;  // the directory opened (POSIX)
    std::mt19937_64 random_;  // the temporary names
    std::vector<std::string> errors_;
};
