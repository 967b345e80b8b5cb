// Text files that the engine reads whole through the host's open() as UTF-8 (a level's
// header, a UI theme), so that their paths and errors are the host's own. Such a file
// is read up to a bound that no real one reaches: a source without end (/dev/zero, a
// pipe whose writer goes on) is not read into all the memory there is.
#pragma once

#include "py/ref.hpp"

namespace py {

// The bound of the engine's text files, in characters: 64 Mi, far beyond any level
// header or theme.
constexpr Py_ssize_t largestTextFile = Py_ssize_t(64) << 20;

struct TextFile {
    Ref text;              // the whole text; null when the reading failed or stopped
    bool tooLarge = false; // stopped at the bound: no error is set
};

// The text of the file at `path`, at most `limit` characters of it; the file is closed
// again whether the reading succeeds or not. A file that holds more is not read further,
// and is reported by `tooLarge` alone, for the caller to refuse it with its own error.
TextFile readTextFile(PyObject* path, Py_ssize_t limit);

} // namespace py
