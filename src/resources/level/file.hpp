// The level file pair on disk. The header is text, read through the host's open() as
// UTF-8, so its errors are the host's own; it is written as the UTF-8 bytes of its
// text. The cell file is read and written with no Python object in between. The
// engine's own file calls (the cells, and the writing of both files) wait for the system
// without the interpreter lock (an opening of a pipe waits for its other end, a slow
// disk for the disk), and their errors are the OSError that open() would raise, naming
// the path as it was given. As with open(), a signal's Python handler runs while they
// wait, and what it raises (KeyboardInterrupt) ends the call.
#pragma once

#include "core/atomicFile.hpp"
#include "py/ref.hpp"

#include <cstddef>
#include <cstdint>

namespace levelFile {

constexpr size_t failedRead = SIZE_MAX;

// A cell file open for reading; closed when the reader ends.
class CellReader {
  public:
    CellReader() = default;
    CellReader(const CellReader&) = delete;
    CellReader& operator=(const CellReader&) = delete;
    ~CellReader();

    // `path`: a str, bytes or os.PathLike object. False with OSError.
    bool open(PyObject* path);
    // Reads up to `size` bytes into `bytes`, fewer where the file ends, and returns how
    // many; failedRead with OSError or what a signal's handler raised. Reads without the
    // interpreter lock, while other threads run: `bytes` must be the caller's own, never memory
    // that Python code could free (a level's live cell array).
    size_t read(uint8_t* bytes, size_t size);

  private:
    int fd_ = -1;
    py::Ref path_;
};

// A file of the pair written anew: its content goes to a temporary file beside it,
// which takes the file's place only when `commit` is called, after `finish` (see
// core/atomicFile.hpp); until then, and whenever the writer ends uncommitted, the file
// is as it was and no temporary file is left.
class FileWriter {
  public:
    // `path`: a str, bytes or os.PathLike object. False with OSError.
    bool open(PyObject* path);
    // Writes all `size` bytes without the interpreter lock, so `bytes` must be the
    // caller's own, as for CellReader::read. False with OSError.
    bool write(const void* bytes, size_t size);
    // The content flushed to the disk and the temporary file closed. False with OSError.
    bool finish();
    // The new file in place of the old one. False with OSError.
    bool commit();

  private:
    bool succeeded(int error);

    atomicFile::Replacement file_;
    py::Ref path_;
};

} // namespace levelFile
