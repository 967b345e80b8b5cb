// The temporary file, its flush and its rename, of atomicFile.hpp.
#include "core/atomicFile.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace atomicFile {

namespace {

// The system reads and writes at most about 2 GB at once.
constexpr size_t largestTransfer = size_t(1) << 30;
// What of the target's name the temporary file's name repeats: enough to tell whose it
// is, short enough that the name stays within the system's limit.
constexpr size_t keptNameLength = 64;
constexpr int attempts = 64;

// A different suffix for every temporary file of the process, hard to guess from outside.
std::string uniqueSuffix() {
    static std::atomic<uint64_t> counter{[] {
        std::random_device device;
        return uint64_t(device()) << 32 ^ device();
    }()};
    uint64_t value = counter.fetch_add(0x9E3779B97F4A7C15ull) ^ uint64_t(::getpid()) << 40;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// The target's folder as a prefix of its path ("" for the current one), and its name.
void splitPath(const std::string& path, std::string& folder, std::string& name) {
    size_t slash = path.rfind('/');
    folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
}

// Makes the rename itself last through a power failure, where the system can; a folder
// that cannot be flushed leaves the file renamed all the same.
void flushFolder(const std::string& folder) {
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

Replacement::~Replacement() {
    discard();
}

void Replacement::discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
    finished_ = false;
    inPlace_ = false;
}

int Replacement::open(const char* path) {
    discard();
    target_ = path;
    struct stat existing;
    bool exists = ::lstat(path, &existing) == 0;
    if (!exists && errno != ENOENT) return errno;
    if (exists && S_ISLNK(existing.st_mode)) {
        // The file the link names; a link that names nothing is written through.
        char* resolved = ::realpath(path, nullptr);
        exists = resolved && ::stat(resolved, &existing) == 0;
        inPlace_ = !exists;
        if (resolved) target_ = resolved;
        std::free(resolved);
    }
    if (exists && S_ISDIR(existing.st_mode)) return EISDIR;
    inPlace_ = inPlace_ || (exists && !S_ISREG(existing.st_mode));
    if (inPlace_) {
        fd_ = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        return fd_ < 0 ? errno : 0;
    }
    std::string folder, name;
    splitPath(target_, folder, name);
    for (int attempt = 0; attempt < attempts; ++attempt) {
        std::string candidate =
            folder + "." + name.substr(0, keptNameLength) + "." + uniqueSuffix() + ".tmp";
        // Created as the target would be: 0666 less the umask.
        fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            temporary_ = std::move(candidate);
            break;
        }
        if (errno != EEXIST) return errno;
    }
    if (fd_ < 0) return EEXIST;
    if (exists) {
        // The owner first (a change of owner clears the set-id bits); an owner that is
        // not ours to give stays as the new file has it.
        int owned = ::fchown(fd_, existing.st_uid, existing.st_gid);
        (void)owned;
        if (::fchmod(fd_, existing.st_mode & 07777) < 0) return errno;
    }
    return 0;
}

int Replacement::write(const void* bytes, size_t size, size_t& written) {
    if (fd_ < 0) return EBADF;
    auto* from = static_cast<const uint8_t*>(bytes);
    while (written < size) {
        ssize_t count = ::write(fd_, from + written, std::min(size - written, largestTransfer));
        if (count > 0)
            written += size_t(count);
        else if (count == 0)
            return EIO; // a file that takes nothing more
        else
            return errno;
    }
    return 0;
}

int Replacement::finish() {
    if (fd_ < 0) return EBADF;
    // A full disk or a failing device may show only now (delayed allocation, a
    // network file system), so both answers count.
    if (!inPlace_ && ::fsync(fd_) < 0 && errno != EINVAL) return errno;
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) < 0 && errno != EINTR) return errno;
    finished_ = true;
    return 0;
}

int Replacement::commit() {
    if (!finished_) return EBADF;
    if (inPlace_) return 0;
    if (::rename(temporary_.c_str(), target_.c_str()) < 0) return errno;
    temporary_.clear();
    std::string folder, name;
    splitPath(target_, folder, name);
    flushFolder(folder);
    return 0;
}

} // namespace atomicFile
