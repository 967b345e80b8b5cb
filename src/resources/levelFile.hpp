// The level file pair on disk. The header is text, read and written through the
// host's open() as UTF-8, so its errors are the host's own. The cell file is read
// straight into the cell array and written straight from it, with no Python object
// in between; its errors are the OSError that open() would raise, naming the path as
// it was given.
#pragma once

#include "py/ref.hpp"

#include <cstddef>
#include <cstdint>

namespace levelFile {

constexpr size_t failedRead = SIZE_MAX;

// The whole text of the file at `path`; null with the error set.
py::Ref readText(PyObject* path);
// Replaces the content of the file at `path` with `text`, in one write.
bool writeText(PyObject* path, PyObject* text);

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
    // many; failedRead with OSError. Runs no Python code, so `bytes` may be memory
    // that Python code could free (a level's live cell array).
    size_t read(uint8_t* bytes, size_t size);

  private:
    int fd_ = -1;
    py::Ref path_;
};

// A cell file created (or truncated) for writing; closed when the writer ends.
class CellWriter {
  public:
    CellWriter() = default;
    CellWriter(const CellWriter&) = delete;
    CellWriter& operator=(const CellWriter&) = delete;
    ~CellWriter();

    // `path`: a str, bytes or os.PathLike object. False with OSError.
    bool open(PyObject* path);
    // Writes all `size` bytes. False with OSError.
    bool write(const uint8_t* bytes, size_t size);
    // Closes the file, reporting what the system reports. False with OSError.
    bool close();

  private:
    int fd_ = -1;
    py::Ref path_;
};

} // namespace levelFile
