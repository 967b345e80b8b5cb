// Reading a level from its file pair, in this order: the header with its checks, the
// fogs, the cells, the assets, the entities. Relative asset paths of the header are
// resolved against the level's assets path.
#include "resources/level.hpp"

#include "py/args.hpp"
#include "py/cast.hpp"
#include "py/exclusive.hpp"
#include "py/module.hpp"
#include "py/textFile.hpp"
#include "resources/level/file.hpp"
#include "resources/level/parts.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

py::Name nLoadMetadata("_loadMetadata");
py::Name nLoadAssets("_loadAssets");
py::Name nLoads("loads");
py::Name nClear("clear");
py::Name nWidth("width");
py::Name nHeight("height");
py::Name nPath("path");
py::Name nIsAbs("isabs");
py::Name nJoin("join");
py::Name nHeaderSuffix(".json");

// The header's values for "width" and "height", checked in this order: both present,
// both exactly ints; then converted to 32-bit ints and refused when negative.
bool headerSize(PyObject* filename, PyObject* header, int32_t& width, int32_t& height) {
    py::Name* keys[] = {&nWidth, &nHeight};
    for (py::Name* key : keys) {
        int present = PyDict_Contains(header, key->get());
        if (present <= 0)
            return present == 0 &&
                   py::levelFormatException(
                       filename,
                       py::Ref(PyUnicode_FromFormat("The '%U' property is required", key->get()))
                           .get());
    }
    PyObject* values[2];
    for (int i = 0; i < 2; ++i) {
        values[i] = PyDict_GetItemWithError(header, keys[i]->get());
        if (!values[i]) return false;
        if (!PyLong_CheckExact(values[i]))
            return py::levelFormatException(
                filename, py::Ref(PyUnicode_FromFormat("The '%U' property requires an int value",
                                                       keys[i]->get()))
                              .get());
    }
    py::Ref held[2] = {py::Ref::borrow(values[0]), py::Ref::borrow(values[1])};
    if (!py::toInt32(values[0], width) || !py::toInt32(values[1], height)) return false;
    for (int i = 0; i < 2; ++i)
        if ((i ? height : width) < 0)
            return py::levelFormatException(
                filename, py::Ref(PyUnicode_FromFormat("The '%U' property must not be negative",
                                                       keys[i]->get()))
                              .get());
    return true;
}

// Reads the cell file into the grid's array; where the file ends early the rest becomes
// zero, where it goes on it is not read further. _loadMetadata has given the array the
// header's size already. The bytes are read without the interpreter lock into a new
// array of that size, which then takes the place of the level's; should another thread
// have given the level another size meanwhile, what fits is copied into its array.
bool readCells(Level* level, PyObject* path) {
    levelFile::CellReader file;
    if (!file.open(path)) return false;
    // Opening converted the path (__fspath__ may be Python code): the size is taken now.
    levelGrid::Cells read;
    if (!levelGrid::Cells::allocate(level->native.cells.size(), read)) {
        PyErr_NoMemory();
        return false;
    }
    if (file.read(read.data(), read.size()) == levelFile::failedRead) return false;
    levelGrid::Cells& cells = level->native.cells;
    if (cells.size() == read.size()) {
        cells = std::move(read);
    } else if (cells.size()) {
        size_t kept = std::min(cells.size(), read.size());
        uint8_t* bytes = cells.data();
        if (kept) std::memcpy(bytes, std::as_const(read).data(), kept);
        std::memset(bytes + kept, 0, cells.size() - kept);
    }
    return true;
}

} // namespace

PyObject* Level_loadFromFile(PyObject* self, PyObject* filename) {
    Level* level = py::cast<Level>(self);
    py::Exclusive loading(level->native.loading,
                          "_loadFromFile() cannot start while this level is loading");
    if (!loading) return nullptr;
    py::Ref headerPath(PyNumber_Add(filename, nHeaderSuffix.get()));
    py::TextFile header =
        headerPath ? py::readTextFile(headerPath.get(), py::largestTextFile) : py::TextFile();
    if (header.tooLarge)
        return py::levelFormatException(
            filename, py::Ref(PyUnicode_FromString("The JSON header is larger than 64 MiB")).get());
    if (!header.text || !py::callMethod(self, nLoadMetadata, filename, header.text.get()))
        return nullptr;
    level->ops->loadFogSettings(level);
    if (!readCells(level, filename) || !py::callMethod(self, nLoadAssets)) return nullptr;
    level->ops->loadEntities(level);
    Py_RETURN_NONE;
}

PyObject* Level_loadMetadata(PyObject* self, py::Arguments<2>& a) {
    auto [filename, text] = a;
    Level* level = py::cast<Level>(self);
    py::Ref metadata = py::Ref::borrow(level->metadata);
    if (!py::callMethod(metadata.get(), nClear)) return nullptr; // the same dict stays

    // Parsed by the host's json, so its error texts and key order are the host's.
    py::Ref json = py::moduleGlobal("_json");
    if (!json) return nullptr;
    py::Ref parsed = py::callMethod(json.get(), nLoads, text);
    py::Ref parseError;
    if (!parsed) {
        if (!PyErr_ExceptionMatches(PyExc_ValueError)) return nullptr;
        PyObject *type, *value, *traceback;
        PyErr_Fetch(&type, &value, &traceback);
        PyErr_NormalizeException(&type, &value, &traceback);
        Py_XDECREF(type);
        Py_XDECREF(traceback);
        parseError = py::Ref(value);
    }
    if (!parsed || parsed.get() == Py_None)
        return py::levelFormatException(
            filename, py::Ref(PyUnicode_FromFormat("Invalid JSON header: %S",
                                                   parseError ? parseError.get() : Py_None))
                          .get());
    PyObject* header = parsed.get();
    if (!PyDict_Check(header))
        return py::levelFormatException(
            filename,
            py::Ref(PyUnicode_FromFormat("Invalid JSON header: expected an object, got %s",
                                         Py_TYPE(header)->tp_name))
                .get());
    int32_t width, height;
    if (!headerSize(filename, header, width, height)) return nullptr;
    // A new size comes with zeroed cells, so the array always fits the grid.
    if (!levelParts::resizeGrid(level, width, height)) return nullptr;
    if (PyDict_Merge(metadata.get(), header, 1) < 0) return nullptr;
    Py_RETURN_NONE;
}

PyObject* Level_convertPath(PyObject* self, PyObject* path) {
    py::Ref assetsPath = py::Ref::borrow(py::cast<Level>(self)->assetsPath);
    if (assetsPath.get() == Py_None) return py::newRef(path);
    py::Ref os = py::moduleGlobal("os");
    py::Ref osPath = os ? py::getAttr(os.get(), nPath) : py::Ref();
    py::Ref absolute = osPath ? py::callMethod(osPath.get(), nIsAbs, path) : py::Ref();
    int isAbsolute = absolute ? PyObject_IsTrue(absolute.get()) : -1;
    if (isAbsolute < 0) return nullptr;
    if (isAbsolute) return py::newRef(path);
    return py::callMethod(osPath.get(), nJoin, assetsPath.get(), path).release();
}
