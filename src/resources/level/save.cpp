// Writing a level to its file pair: the header is the stored `metadata` with its
// "entities" rebuilt from the live entity list, encoded as the host's json encodes it
// (sorted keys, an indent of four); the cell file is the live cell array.
#include "resources/level.hpp"

#include "py/cast.hpp"
#include "py/module.hpp"
#include "resources/level/file.hpp"
#include "resources/level/parts.hpp"
#include "resources/sprite.hpp"

#include <algorithm>
#include <vector>

namespace {

py::Name nUpdateEntityMetadata("_updateEntityMetadata");
py::Name nDumpToDictOfLevel("_dumpToDict");
py::Name nDumpToDict("dumpToDict");
py::Name nEntities("entities");
py::Name nId("id");
py::Name nGetComponents("getComponents");
py::Name nTypeName("typeName");
py::Name nInstanceDict("__dict__");
py::Name nIter("__iter__");
py::Name nStartsWith("startswith");
py::Name nUnderscore("_");
py::Name nDumps("dumps");
py::Name nHeaderSuffix(".json");
py::Name nWroteFile("wrote file ");

// The header text: json.dumps(metadata, sort_keys=True, indent=4).
py::Ref encodeHeader(PyObject* metadata) {
    py::Ref json = py::moduleGlobal("_json");
    py::Ref dumps = json ? py::getAttr(json.get(), nDumps) : py::Ref();
    py::Ref args(dumps ? PyTuple_Pack(1, metadata) : nullptr);
    py::Ref options(args ? Py_BuildValue("{sOsi}", "sort_keys", Py_True, "indent", 4) : nullptr);
    return py::Ref(options ? PyObject_Call(dumps.get(), args.get(), options.get()) : nullptr);
}

bool announceWritten(PyObject* path) {
    py::Ref line(PyNumber_Add(nWroteFile.get(), path));
    return line && py::print(line.get());
}

// The header's text as the file holds it: what the host's text files write for a str
// on this platform, its UTF-8 bytes.
bool headerBytes(PyObject* text, const char*& bytes, Py_ssize_t& size) {
    if (!PyUnicode_Check(text)) {
        PyErr_Format(PyExc_TypeError, "write() argument must be str, not %.100s",
                     Py_TYPE(text)->tp_name);
        return false;
    }
    bytes = PyUnicode_AsUTF8AndSize(text, &size);
    return bytes != nullptr;
}

// The cell file: the bytes counted when saving began, and never more than the array
// holds now (Python code run since, converting the path, may have changed the grid).
// They are written from a copy, without the interpreter lock, while other threads may
// change the level.
bool writeCells(Level* level, levelFile::FileWriter& file, size_t counted) {
    const levelGrid::Cells& cells = level->native.cells;
    std::vector<uint8_t> copy(cells.data(), cells.data() + std::min(counted, cells.size()));
    return file.write(copy.data(), copy.size()) && file.finish();
}

// A sprite component names its sprite by its place in the level's sprites, so one whose
// sprite is not there (made in code, or unpickled) has no level form: its search's
// ValueError becomes one that names entity `index` and the remedy.
void explainUnlistedSprite(Level* level, PyObject* component, Py_ssize_t index) {
    SpriteComponent* sprite = py::instanceOf<SpriteComponent>(component);
    if (!sprite || !PyErr_ExceptionMatches(PyExc_ValueError) || !PyList_Check(level->sprites))
        return;
    py::PendingError search;
    py::Ref held = py::Ref::borrow(sprite->sprite), sprites = py::Ref::borrow(level->sprites);
    if (PySequence_Contains(sprites.get(), held.get()) != 0) return; // another fault: keep it
    search.drop();
    PyErr_Format(PyExc_ValueError,
                 "entity %zd of the level has a SpriteComponent whose sprite is not in "
                 "level.sprites: add the sprite to level.sprites before saving",
                 index);
}

// The header form of entity `index`: its id, then each component's level form under its
// registered name (a component whose class is exactly DummyComponent under its own
// `typeName`).
py::Ref entityForm(PyObject* self, PyObject* entity, Py_ssize_t index, PyObject* dummyType) {
    py::Ref form(PyDict_New());
    py::Ref id = form ? py::getAttr(entity, nId) : py::Ref();
    if (!id || PyDict_SetItem(form.get(), nId.get(), id.get()) < 0) return py::Ref();
    py::Ref components = py::callMethod(entity, nGetComponents);
    py::Ref iterator(components ? PyObject_GetIter(components.get()) : nullptr);
    if (!iterator) return py::Ref();
    while (py::Ref component{PyIter_Next(iterator.get())}) {
        py::Ref name, value;
        if (py::asObject(Py_TYPE(component.get())) == dummyType) {
            name = py::getAttr(component.get(), nTypeName);
            value = name ? py::callMethod(self, nDumpToDictOfLevel, component.get()) : py::Ref();
        } else {
            py::Ref registry = py::moduleGlobal("_COMPONENTS");
            name = py::Ref(
                registry ? PyObject_GetItem(registry.get(), py::asObject(Py_TYPE(component.get())))
                         : nullptr);
            py::Ref dump = name ? py::attributeIfAny(component.get(), nDumpToDict) : py::Ref();
            if (!name || (!dump && PyErr_Occurred())) return py::Ref();
            value = dump ? py::Ref(PyObject_CallOneArg(dump.get(), self))
                         : py::callMethod(self, nDumpToDictOfLevel, component.get());
            if (!value) explainUnlistedSprite(py::cast<Level>(self), component.get(), index);
        }
        if (!value || PyObject_SetItem(form.get(), name.get(), value.get()) < 0) return py::Ref();
    }
    return PyErr_Occurred() ? py::Ref() : std::move(form);
}

// vars(obj) for an object that has a __dict__; then a dict becomes a new dict without
// the keys that start with "_", anything iterable but a str a new list, each value
// converted by self._dumpToDict; anything else stays as it is.
py::Ref plainData(PyObject* self, PyObject* obj) {
    py::Ref value = py::attributeIfAny(obj, nInstanceDict);
    if (!value) {
        if (PyErr_Occurred()) return value;
        value = py::Ref::borrow(obj);
    }
    if (PyDict_CheckExact(value.get())) {
        py::Ref items(PyDict_Items(value.get())); // a snapshot: the conversions run Python code
        py::Ref out(items ? PyDict_New() : nullptr);
        if (!out) return py::Ref();
        for (Py_ssize_t i = 0; i < PyList_GET_SIZE(items.get()); ++i) {
            PyObject* key = PyTuple_GET_ITEM(PyList_GET_ITEM(items.get(), i), 0);
            PyObject* item = PyTuple_GET_ITEM(PyList_GET_ITEM(items.get(), i), 1);
            py::Ref hidden = py::callMethod(key, nStartsWith, nUnderscore.get());
            int skip = hidden ? PyObject_IsTrue(hidden.get()) : -1;
            if (skip < 0) return py::Ref();
            if (skip) continue;
            py::Ref converted = py::callMethod(self, nDumpToDictOfLevel, item);
            if (!converted || PyDict_SetItem(out.get(), key, converted.get()) < 0) return py::Ref();
        }
        return out;
    }
    if (PyUnicode_CheckExact(value.get())) return value;
    py::Ref iterable = py::attributeIfAny(value.get(), nIter);
    if (!iterable) return PyErr_Occurred() ? py::Ref() : std::move(value);
    py::Ref out(PyList_New(0));
    py::Ref iterator(out ? PyObject_GetIter(value.get()) : nullptr);
    if (!iterator) return py::Ref();
    while (py::Ref item{PyIter_Next(iterator.get())}) {
        py::Ref converted = py::callMethod(self, nDumpToDictOfLevel, item.get());
        if (!converted || PyList_Append(out.get(), converted.get()) < 0) return py::Ref();
    }
    return PyErr_Occurred() ? py::Ref() : std::move(out);
}

} // namespace

// Each file of the pair is written whole beside the old one before either takes its
// place, the cells first, so a save that fails at any step leaves the pair that was
// there (the header, which tells the cells' size, is the last to change).
PyObject* Level_saveFile(PyObject* self, PyObject* filename) {
    Level* level = py::cast<Level>(self);
    size_t counted = level->native.cells.size(); // width * height * 7 as saving begins
    if (!py::callMethod(self, nUpdateEntityMetadata)) return nullptr;
    py::Ref headerPath(PyNumber_Add(filename, nHeaderSuffix.get()));
    py::Ref metadata = py::Ref::borrow(level->metadata);
    py::Ref header = headerPath ? encodeHeader(metadata.get()) : py::Ref();
    const char* text;
    Py_ssize_t length;
    if (!header || !headerBytes(header.get(), text, length)) return nullptr;
    levelFile::FileWriter headerFile, cellFile;
    if (!headerFile.open(headerPath.get()) || !headerFile.write(text, size_t(length)) ||
        !headerFile.finish() || !cellFile.open(filename) || !writeCells(level, cellFile, counted) ||
        !cellFile.commit() || !headerFile.commit() || !announceWritten(headerPath.get()))
        return nullptr;
    return py::noneOrFailed(announceWritten(filename));
}

PyObject* Level_updateEntityMetadata(PyObject* self, PyObject*) {
    Level* level = py::cast<Level>(self);
    py::Ref metadata = py::Ref::borrow(level->metadata);
    py::Ref fresh(PyList_New(0));
    if (!fresh || PyObject_SetItem(metadata.get(), nEntities.get(), fresh.get()) < 0)
        return nullptr;
    py::Ref dummyType = py::moduleGlobal("DummyComponent");
    py::Ref entities(dummyType ? PySequence_List(level->entities) : nullptr);
    if (!entities) return nullptr;
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(entities.get()); ++i) {
        py::Ref form = entityForm(self, PyList_GET_ITEM(entities.get(), i), i, dummyType.get());
        // The list stored under "entities" now, looked up again for every entity.
        py::Ref entries(form ? PyObject_GetItem(metadata.get(), nEntities.get()) : nullptr);
        if (!entries || !py::append(entries.get(), form.get())) return nullptr;
    }
    Py_RETURN_NONE;
}

PyObject* Level_dumpToDict(PyObject* self, PyObject* obj) {
    // The conversion recurses through attribute lookup; a cyclic object ends it here.
    if (Py_EnterRecursiveCall(" while converting an object to plain data")) return nullptr;
    py::Ref plain = plainData(self, obj);
    Py_LeaveRecursiveCall();
    return plain.release();
}
