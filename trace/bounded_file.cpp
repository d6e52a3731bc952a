#include "bounded_file.h"

#include <cerrno>
#include <climits>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

std::string systemReason(int error) { return error != 0 ? std::strerror(error) : "read error"; }

#ifdef _WIN32
using FileStatus = struct _stat64;
int openForReading(const std::string& path) { return _open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT); }
int statusOf(int file, FileStatus& status) { return _fstat64(file, &status); }
long long readSome(int file, unsigned char* data, size_t size) {
    return _read(file, data, static_cast<unsigned>(size < INT_MAX ? size : INT_MAX));
}
void closeFile(int file) { _close(file); }
bool isRegular(const FileStatus& status) { return (status.st_mode & _S_IFMT) == _S_IFREG; }
const char* kindOf(const FileStatus& status) {
    return (status.st_mode & _S_IFMT) == _S_IFDIR ? "a directory" : "not a regular file";
}
#else
using FileStatus = struct stat;
int openForReading(const std::string& path) {
    int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;
#ifdef O_NOCTTY
    flags |= O_NOCTTY;
#endif
    return ::open(path.c_str(), flags);
}
int statusOf(int file, FileStatus& status) { return ::fstat(file, &status); }
long long readSome(int file, unsigned char* data, size_t size) {
    return ::read(file, data, size < SSIZE_MAX ? size : SSIZE_MAX);
}
void closeFile(int file) { ::close(file); }
bool isRegular(const FileStatus& status) { return S_ISREG(status.st_mode); }
const char* kindOf(const FileStatus& status) {
    if (S_ISDIR(status.st_mode)) return "a directory";
    if (S_ISFIFO(status.st_mode)) return "a FIFO (named pipe)";
    if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)) return "a device";
    if (S_ISSOCK(status.st_mode)) return "a socket";
    return "not a regular file";
}
#endif

}  // namespace

FileReading readBoundedFile(const std::string& path, size_t limit, std::vector<unsigned char>& bytes,
                            std::string& reason) {
    bytes.clear();
#ifdef _WIN32
    // Windows opens no directory as a file: say what it is rather than
    // "Permission denied".
    struct _stat64 named = {};
    if (_stat64(path.c_str(), &named) == 0 && !isRegular(named)) {
        reason = kindOf(named);
        return FileReading::NotRegular;
    }
#endif
    const int file = openForReading(path);
    if (file < 0) {
        reason = systemReason(errno);
        return FileReading::CannotOpen;
    }
    FileStatus status = {};
    if (statusOf(file, status) != 0) {
        reason = systemReason(errno);
        closeFile(file);
        return FileReading::ReadError;
    }
    if (!isRegular(status)) {
        reason = kindOf(status);
        closeFile(file);
        return FileReading::NotRegular;
    }
    bytes.resize(limit + 1);
    size_t got = 0;
    while (got < bytes.size()) {
        const long long count = readSome(file, bytes.data() + got, bytes.size() - got);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) {
            reason = systemReason(errno);
            closeFile(file);
            bytes.clear();
            return FileReading::ReadError;
        }
        if (count == 0) break;
        got += static_cast<size_t>(count);
    }
    closeFile(file);
    if (got > limit) {
        // Its size as it was opened, when that says more than the limit.
        const auto size = static_cast<unsigned long long>(status.st_size);
        reason = (size > limit ? std::to_string(size) : "more than " + std::to_string(limit)) + " bytes";
        return FileReading::TooLarge;
    }
    bytes.resize(got);
    return FileReading::Read;
}
