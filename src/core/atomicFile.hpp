// A file replaced as a whole or not at all. The new content goes to a temporary file in
// the target's own directory, which is flushed to the disk and closed, and only then
// renamed over the target: a save that fails half-way (a full disk, a file-size limit,
// an error from the disk, a process killed) leaves the previous file as it was. No
// Python, no SDL.
//
// The target keeps what it was: a symbolic link is followed (the file it names is
// replaced, the link stays), an existing file's permissions and, where allowed, its
// owner pass to the new one, and a new file gets the permissions that creating it would
// have given (0666 less the umask). A target that is neither a regular file nor absent
// (a device, a pipe) is written in place, as the temporary file could not take its
// place. The errors are errno values, 0 for success.
#pragma once

#include <cstddef>
#include <string>

namespace atomicFile {

class Replacement {
  public:
    Replacement() = default;
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;
    // A replacement that was not committed removes its temporary file.
    ~Replacement();

    // Prepares the replacement of the file at `path`: creates the temporary file.
    // EISDIR for a directory, the system's error where the directory cannot take a
    // new file. EINTR may be returned: the caller decides whether to try again.
    int open(const char* path);
    // Appends `bytes[written..size)` and adds what it wrote to `written`. EINTR when a
    // signal interrupts the write: called again with the same arguments, it goes on
    // where it stopped.
    int write(const void* bytes, size_t size, size_t& written);
    // Flushes the content to the disk and closes the temporary file, reporting what the
    // system reports. After this, only the rename is left.
    int finish();
    // Puts the finished file in the target's place.
    int commit();

  private:
    void discard();

    int fd_ = -1;
    bool inPlace_ = false;
    bool finished_ = false;
    std::string target_;
    std::string temporary_;
};

} // namespace atomicFile
