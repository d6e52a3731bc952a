#include "output_directory.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "quote.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

std::string errnoText(int error) { return error != 0 ? std::strerror(error) : "write error"; }

// The functions below reach a file by its name in an open directory (POSIX),
// or by its path (Windows, where `directory` is not used).

// A file created new for writing, never opened through anything already at
// its name (a file, or a link to one anywhere); -1 with errno set when it
// cannot be, EEXIST when the name is taken.
int createNewFile([[maybe_unused]] int directory, const std::string& name) {
#ifdef _WIN32
    return _open(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
#else
    int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
#ifdef O_NOFOLLOW
    flags |= O_NOFOLLOW;
#endif
    return ::openat(directory, name.c_str(), flags, 0666);  // the permissions that fopen gives, less the umask
#endif
}

void removeFile([[maybe_unused]] int directory, const std::string& name) {
#ifdef _WIN32
    std::remove(name.c_str());
#else
    ::unlinkat(directory, name.c_str(), 0);
#endif
}

// Writes all of `data`; false with errno set on failure. A write interrupted
// by a signal before it wrote anything is tried again.
bool writeAll(int file, const unsigned char* data, size_t size) {
    while (size > 0) {
#ifdef _WIN32
        const unsigned chunk = static_cast<unsigned>(size < INT_MAX ? size : INT_MAX);
        const int count = _write(file, data, chunk);
#else
        const ssize_t count = ::write(file, data, size < SSIZE_MAX ? size : SSIZE_MAX);
#endif
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) {
            if (count == 0) errno = 0;
            return false;
        }
        data += count;
        size -= static_cast<size_t>(count);
    }
    return true;
}

bool closeFile(int file) {
#ifdef _WIN32
    return _close(file) == 0;
#else
    // Not tried again on EINTR: Linux has closed the descriptor by then.
    return ::close(file) == 0;
#endif
}

int processId() {
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<int>(getpid());
#endif
}

// A seed that differs between runs, even runs started at the same moment.
uint64_t randomSeed(const void* object) {
    uint64_t seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    seed ^= static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) * 0x9E3779B97F4A7C15ull;
    seed ^= static_cast<uint64_t>(processId()) << 32;
    seed ^= static_cast<uint64_t>(reinterpret_cast<uintptr_t>(object));
    try {
        std::random_device device;
        seed ^= (static_cast<uint64_t>(device()) << 32) ^ device();
    } catch (...) {
        // No random device: time, process and address still tell runs apart.
    }
    return seed;
}

// Puts `from` in the place of `to`, replacing a file of that name, so that the
// name holds a complete file at every moment; errno stays that of a failure.
// std::rename on Windows refuses an existing target; MoveFileEx replaces it.
bool replaceFile([[maybe_unused]] int directory, const std::string& from, const std::string& to,
                 std::string& reason) {
#ifdef _WIN32
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    const DWORD code = GetLastError();
    char text[256];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                  text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == '.')) --length;
    reason = length > 0 ? std::string(text, length) : "error " + std::to_string(code);
    return false;
#else
    if (::renameat(directory, from.c_str(), directory, to.c_str()) == 0) return true;
    const int error = errno;
    reason = errnoText(error);
    errno = error;
    return false;
#endif
}

#ifndef _WIN32
// `name` without its trailing "/" and "/." components, which lead to the same
// directory: "a/link/./" names the link itself, as "a/link" does, so that the
// link is seen and judged rather than followed. ("/." stays "/", "." stays
// ".".)
std::string lastComponentNamed(std::string name) {
    for (;;) {
        while (name.size() > 1 && name.back() == '/') name.pop_back();
        if (name.size() < 2 || name.compare(name.size() - 2, 2, "/.") != 0) return name;
        name.pop_back();
    }
}

// The directory that holds the last part of `name` (no trailing '/'), by the
// path given.
std::string parentDirectory(const std::string& name) {
    const size_t slash = name.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : name.substr(0, slash);
}

// Whether Linux's protected_symlinks would refuse to follow `link`, found in
// the directory `parent`: a link that is not the follower's, in a sticky
// directory that anyone can write into, not owned by the directory's owner
// either. Anyone could have planted it there, to lead the follower elsewhere.
bool plantedLink(const struct stat& link, const struct stat& parent) {
#ifdef __EMSCRIPTEN__
    // The WebAssembly build (under Node) is told it runs as root whatever the
    // real user, while the files it sees are the host's with their real
    // owners: it cannot tell whose a link is, and leaves links to the system.
    (void)link;
    (void)parent;
    return false;
#endif
    if (link.st_uid == geteuid()) return false;
    if ((parent.st_mode & (S_ISVTX | S_IWOTH)) != (S_ISVTX | S_IWOTH)) return false;
    return link.st_uid != parent.st_uid;
}
#endif

}  // namespace

std::string temporaryFileName(const std::string& target, std::mt19937_64& random) {
    static constexpr char LETTERS[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string name = target + '.';
    for (int i = 0; i < 6; ++i) name += LETTERS[random() % (sizeof LETTERS - 1)];
    return name + ".tmp";
}

OutputDirectory::OutputDirectory(std::string directory, std::string contents)
    : directory_(std::move(directory)), contents_(std::move(contents)), random_(randomSeed(this)) {}

OutputDirectory::OutputDirectory(std::string directory, std::string contents, uint64_t nameSeed)
    : directory_(std::move(directory)), contents_(std::move(contents)), random_(nameSeed) {}

OutputDirectory::~OutputDirectory() {
#ifndef _WIN32
    if (opened_ >= 0) ::close(opened_);
#endif
}

bool OutputDirectory::open() {
    std::error_code error;
    std::filesystem::create_directory(directory_, error);
    if (error) {
        // An existing file that is not a directory is refused as "File exists"
        // by some libraries; say what is wrong with it.
        if (error == std::errc::file_exists) error = std::make_error_code(std::errc::not_a_directory);
        errors_.push_back("cannot create the directory " + quotedText(directory_) + ": " + error.message());
        return false;
    }
#ifdef _WIN32
    return true;
#else
    // The directory is opened once, and every file is then created, renamed
    // and removed in the directory opened: whatever its name comes to lead to
    // later, nothing is written elsewhere. The name itself is followed only
    // if it is a directory, or a link that Linux's protected_symlinks would
    // follow, whatever the system's setting.
    if (opened_ >= 0) ::close(opened_);
    opened_ = -1;
    const std::string name = lastComponentNamed(directory_);
    const auto fail = [&](const std::string& reason) {
        errors_.push_back("cannot open the directory " + quotedText(directory_) + ": " + reason);
        return false;
    };
    struct stat named = {};
    if (::lstat(name.c_str(), &named) != 0) return fail(errnoText(errno));
#ifdef O_PATH
    int flags = O_PATH | O_DIRECTORY | O_CLOEXEC;  // a directory that may be written but not read
#else
    int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif
    if (S_ISLNK(named.st_mode)) {
        const std::string parent = parentDirectory(name);
        struct stat shared = {};
        if (::stat(parent.c_str(), &shared) != 0) return fail(errnoText(errno));
        if (plantedLink(named, shared)) {
            errors_.push_back("refusing the directory " + quotedText(directory_) +
                              ": it is a link of another user's in " + quotedText(parent) +
                              ", a shared directory where anyone can put one; use a directory of your own");
            return false;
        }
    } else {
        flags |= O_NOFOLLOW;  // not a link that replaced it meanwhile
    }
    const int directory = ::open(name.c_str(), flags);
    if (directory < 0) return fail(errnoText(errno));
    struct stat opened = {};
    if (::fstat(directory, &opened) != 0 ||
        (!S_ISLNK(named.st_mode) && (opened.st_dev != named.st_dev || opened.st_ino != named.st_ino))) {
        ::close(directory);
        return fail("it was replaced while being opened");
    }
    opened_ = directory;
    return true;
#endif
}

int OutputDirectory::directoryHandle() const {
#ifdef _WIN32
    return -1;
#else
    return opened_ >= 0 ? opened_ : AT_FDCWD;
#endif
}

std::string OutputDirectory::reach(const std::string& name) const { return opened_ >= 0 ? name : path(name); }

bool OutputDirectory::heldByAnotherUser([[maybe_unused]] const std::string& name, [[maybe_unused]] int error) const {
#ifdef _WIN32
    return false;
#else
    // In a sticky directory only the owner of a name, or of the directory,
    // can remove or replace what is there.
    if (error != EPERM && error != EACCES) return false;
    struct stat directory = {};
    struct stat held = {};
    return ::fstatat(directoryHandle(), reach(".").c_str(), &directory, 0) == 0 && (directory.st_mode & S_ISVTX) &&
           directory.st_uid != geteuid() &&
           ::fstatat(directoryHandle(), reach(name).c_str(), &held, AT_SYMLINK_NOFOLLOW) == 0 &&
           held.st_uid != geteuid();
#endif
}

std::string OutputDirectory::path(const std::string& name) const {
    if (directory_.empty()) return name;
    const char last = directory_.back();
    const bool separated = last == '/'
#ifdef _WIN32
                           || last == '\\' || last == ':'
#endif
        ;
    return separated ? directory_ + name : directory_ + '/' + name;
}

bool OutputDirectory::writeFile(const std::string& name, const void* data, size_t size) {
    const std::string target = path(name);
    std::string temporary;
    int file = -1;
    // A name already taken (by another run, or by anyone) is left alone: the
    // next name is tried.
    for (int attempt = 0; attempt < 100 && file < 0; ++attempt) {
        temporary = temporaryFileName(name, random_);
        file = createNewFile(directoryHandle(), reach(temporary));
        if (file < 0 && errno != EEXIST) break;
    }
    if (file < 0) {
        errors_.push_back("cannot create " + quotedText(path(temporary)) + ": " + errnoText(errno));
        return false;
    }
    errno = 0;
    const bool written = writeAll(file, static_cast<const unsigned char*>(data), size);
    int error = errno;
    const bool closed = closeFile(file);
    if (written && !closed) error = errno;
    if (!written || !closed) {
        removeFile(directoryHandle(), reach(temporary));
        errors_.push_back("cannot write " + quotedText(target) + ": " + errnoText(error));
        return false;
    }
    std::string reason;
    if (!replaceFile(directoryHandle(), reach(temporary), reach(name), reason)) {
        error = errno;
        removeFile(directoryHandle(), reach(temporary));
        if (heldByAnotherUser(name, error)) {
            errors_.push_back("cannot replace " + quotedText(target) +
                              ": the name is another user's, in a shared directory that protects it (" + reason +
                              "); write " + contents_ + " into a directory of your own");
        } else {
            errors_.push_back("cannot rename " + quotedText(path(temporary)) + " to " + quotedText(target) + ": " +
                              reason);
        }
        return false;
    }
    return true;
}
