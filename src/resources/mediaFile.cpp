// The media loaders' file stream, of mediaFile.hpp: a file descriptor read at the
// stream's own position, never past the size taken when it was opened.
#include "resources/mediaFile.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct BoundedFile {
    int fd;
    Sint64 size;
    Sint64 position = 0;
    // Decoders read a few bytes at a time, as from a stdio stream: the bytes come from
    // the file in blocks.
    uint8_t block[1 << 16];
    Sint64 blockStart = 0;
    size_t blockLength = 0;

    static BoundedFile& of(SDL_RWops* stream) {
        return *static_cast<BoundedFile*>(stream->hidden.unknown.data1);
    }

    static Sint64 sizeOf(SDL_RWops* stream) { return of(stream).size; }

    static Sint64 seek(SDL_RWops* stream, Sint64 offset, int whence) {
        BoundedFile& file = of(stream);
        Sint64 base = whence == RW_SEEK_SET ? 0 : whence == RW_SEEK_CUR ? file.position : file.size;
        if (offset < -base || offset > INT64_MAX - base)
            return SDL_SetError("Seek outside the file");
        file.position = base + offset;
        return file.position;
    }

    // Up to `count` bytes of the file at `at` into `out`; fewer where it ends or cannot be
    // read.
    size_t readAt(Sint64 at, uint8_t* out, size_t count) {
        size_t got = 0;
        while (got < count) {
            ssize_t read = ::pread(fd, out + got, std::min<size_t>(count - got, size_t(1) << 30),
                                   off_t(at + Sint64(got)));
            if (read > 0)
                got += size_t(read);
            else if (read == 0 || errno != EINTR)
                break;
        }
        return got;
    }

    // Up to `wanted` bytes at the position, from the block where it holds them.
    size_t readBytes(uint8_t* out, size_t wanted) {
        size_t got = 0;
        while (got < wanted) {
            Sint64 at = position + Sint64(got);
            if (at >= blockStart && at < blockStart + Sint64(blockLength)) {
                size_t from = size_t(at - blockStart);
                size_t taken = std::min(wanted - got, blockLength - from);
                std::memcpy(out + got, block + from, taken);
                got += taken;
            } else if (size_t asked = wanted - got; asked >= sizeof block) {
                size_t read = readAt(at, out + got, asked); // large reads skip the block
                got += read;
                if (read < asked) break;
            } else {
                blockStart = at;
                blockLength =
                    readAt(at, block, std::min<uint64_t>(sizeof block, uint64_t(size - at)));
                if (blockLength == 0) break; // the file ends early, or cannot be read
            }
        }
        return got;
    }

    // Up to size * count bytes, fewer where the size ends, or where the file ends earlier
    // or cannot be read: the whole items among them count, and the position moves past
    // every byte read, as a stdio stream's does.
    static size_t read(SDL_RWops* stream, void* out, size_t size, size_t count) {
        BoundedFile& file = of(stream);
        if (size == 0 || count == 0 || file.position >= file.size) return 0;
        size_t wanted = std::min<uint64_t>(uint64_t(file.size - file.position),
                                           count > SIZE_MAX / size ? SIZE_MAX : size * count);
        size_t got = file.readBytes(static_cast<uint8_t*>(out), wanted);
        file.position += Sint64(got);
        return got / size;
    }

    static size_t write(SDL_RWops*, const void*, size_t, size_t) {
        SDL_SetError("The file is open for reading");
        return 0;
    }

    static int close(SDL_RWops* stream) {
        BoundedFile* file = &of(stream);
        ::close(file->fd);
        delete file;
        SDL_FreeRW(stream);
        return 0;
    }
};

// The file's size as a stream reads it: a regular file's length, a device's as it
// reports it (by a seek to its end); -1 with errno for a source without one.
Sint64 sizeOf(int fd) {
    struct stat status;
    if (::fstat(fd, &status) < 0) return -1;
    if (S_ISREG(status.st_mode)) return Sint64(status.st_size);
    if (S_ISDIR(status.st_mode)) {
        errno = EISDIR;
        return -1;
    }
    off_t end = ::lseek(fd, 0, SEEK_END);
    return end < 0 ? -1 : Sint64(end);
}

} // namespace

SDL_RWops* openMediaFile(const char* path) {
    // An opening that a signal interrupts fails: it may be the wait for the writer of a
    // pipe, which the signal's Python handler (a KeyboardInterrupt) is to end.
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SDL_SetError("%s", std::strerror(errno));
        return nullptr;
    }
    Sint64 size = sizeOf(fd);
    if (size < 0) {
        SDL_SetError("%s", errno == ESPIPE ? "The file has no size (a pipe or a socket)"
                                           : std::strerror(errno));
        ::close(fd);
        return nullptr;
    }
    SDL_RWops* stream = SDL_AllocRW();
    BoundedFile* file = stream ? new (std::nothrow) BoundedFile{fd, size} : nullptr;
    if (!file) {
        if (stream) SDL_FreeRW(stream);
        ::close(fd);
        SDL_OutOfMemory();
        return nullptr;
    }
    stream->type = SDL_RWOPS_UNKNOWN;
    stream->hidden.unknown.data1 = file;
    stream->size = BoundedFile::sizeOf;
    stream->seek = BoundedFile::seek;
    stream->read = BoundedFile::read;
    stream->write = BoundedFile::write;
    stream->close = BoundedFile::close;
    return stream;
}

std::shared_mutex& mediaLibraries() {
    static std::shared_mutex lock;
    return lock;
}
