// A file read whole, only when it is a regular file of a bounded size: what a
// user names is read without waiting on a FIFO or a device, and without
// taking more memory than the caller allows.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

enum class FileReading {
    Read,            // the bytes are the whole file
    CannotOpen,      // `reason` is the system's (no such file, permission denied)
    NotRegular,      // a directory, a FIFO, a device, a socket: `reason` says which
    TooLarge,        // more than `limit` bytes: `reason` says how many ("N bytes"); the
                     // bytes are the first limit + 1
    ReadError,       // `reason` is the system's
};

// Reads the file `path` into `bytes` when it is a regular file of at most
// `limit` bytes. It is opened without blocking (a FIFO with no writer does not
// hold the program), checked with fstat before anything is read, and read up
// to limit + 1 bytes whatever its size says, so that a file that grows
// meanwhile is found too large rather than read on.
FileReading readBoundedFile(const std::string& path, size_t limit, std::vector<unsigned char>& bytes,
                            std::string& reason);
