// Level: the class itself, its cell accessors and map text, construction and the
// empty level. The other parts are in the files that level/parts.hpp names.
#include "resources/level.hpp"

#include "resources/level/parts.hpp"

#include "py/args.hpp"
#include "py/cast.hpp"
#include "py/exclusive.hpp"
#include "py/methods.hpp"
#include "py/module.hpp"
#include "resources/texture.hpp"

#include <cstdio>
#include <new>
#include <string>
#include <utility>

namespace {

py::Name nLoadFromFile("_loadFromFile");
py::Name nLoadAssets("_loadAssets");
py::Name nFillChecker("fillChecker");
py::Name nAsciiCells("ASCII_CELLS");
py::Name nWidth("width");
py::Name nHeight("height");
py::Name nFogColor("fogColor");
py::Name nFogDensity("fogDensity");
py::Name nPath("path");
py::Name nDirname("dirname");

constexpr int32_t EMPTY_LEVEL_SIZE = 30;
constexpr int32_t CHECKER_SIZE = 64;

bool isStrOrNone(PyObject* value) {
    return value == Py_None || PyUnicode_CheckExact(value);
}

} // namespace

levelGrid::View Level::view() {
    levelGrid::View view;
    const levelGrid::Cells& grid = native.cells;
    view.cells = grid.size() ? grid.data() : nullptr;
    view.cellBytes = native.cells.size();
    view.width = width;
    view.height = height;
    for (size_t i = 0; i < native.surfaceTextures.size(); ++i) {
        Texture* texture = py::instanceOf<Texture>(native.surfaceTextures[i].get());
        native.surfaceAreas[i] = texture ? pixels::ConstArea(texture->view()) : pixels::ConstArea{};
    }
    view.textures = native.surfaceAreas.data();
    view.textureCount = native.surfaceAreas.size();
    Texture* sky = py::instanceOf<Texture>(skyTexture);
    view.sky = sky ? pixels::ConstArea(sky->view()) : pixels::ConstArea{};
    // Colours that no header has set yet read as the defaults a header without fog gives.
    view.fog = {fogColor.set ? fogColor.argb : 0xFF000000u, fogDensity,
                groundFogColor.set ? groundFogColor.argb : 0xFFFFFFFFu, groundFogDensity};
    return view;
}

// --- cells ------------------------------------------------------------------------------------

// Where byte `k` of cell (x, y) lies in the array, or false with IndexError for a cell
// outside the grid or a byte outside the cell (the texture accessors' `cardinalDirection`,
// the only byte number game code gives). Checked after every argument is
// converted: a conversion may run Python code that reloads the level.
static bool cellOffset(PyObject* self, int32_t x, int32_t y, int32_t k, size_t& offset) {
    Level* level = py::cast<Level>(self);
    if (!levelGrid::inside(level->width, level->height, x, y)) {
        PyErr_Format(PyExc_IndexError, "cell (%d, %d) is outside the level's %d x %d grid", x, y,
                     level->width, level->height);
        return false;
    }
    if (k < 0 || size_t(k) >= levelGrid::CELL_BYTES) {
        PyErr_Format(PyExc_IndexError, "cardinalDirection %d is not one of 0 to 6", k);
        return false;
    }
    offset = levelGrid::offset(level->width, x, y, size_t(k));
    return true;
}

// Reading leaves the grid's tag as it is; writing gives it a new one (levelGrid::Cells).
static const uint8_t* cellByte(PyObject* self, int32_t x, int32_t y, int32_t k) {
    size_t offset;
    if (!cellOffset(self, x, y, k, offset)) return nullptr;
    const levelGrid::Cells& cells = py::cast<Level>(self)->native.cells;
    return cells.data() + offset;
}
static uint8_t* cellByteToWrite(PyObject* self, int32_t x, int32_t y, int32_t k) {
    size_t offset;
    if (!cellOffset(self, x, y, k, offset)) return nullptr;
    return py::cast<Level>(self)->native.cells.data() + offset;
}

// Converts the accessor's arguments, all of them 32-bit integers, in order.
template <size_t N> static bool intArguments(py::Arguments<N>& given, int32_t (&out)[N]) {
    for (size_t i = 0; i < N; ++i)
        if (!py::toInt32(given[i], out[i])) return false;
    return true;
}

static PyObject* Level_getBlock(PyObject* self, py::Arguments<2>& given) {
    int32_t a[2];
    if (!intArguments(given, a)) return nullptr;
    const uint8_t* byte = cellByte(self, a[0], a[1], levelGrid::BLOCK);
    return byte ? PyLong_FromLong(*byte) : nullptr;
}

static PyObject* Level_setBlock(PyObject* self, py::Arguments<3>& given) {
    int32_t a[3];
    if (!intArguments(given, a)) return nullptr;
    uint8_t* byte = cellByteToWrite(self, a[1], a[2], levelGrid::BLOCK);
    if (!byte) return nullptr;
    *byte = uint8_t(a[0]); // the low 8 bits, unchecked
    Py_RETURN_NONE;
}

static PyObject* Level_getTextureIndex(PyObject* self, py::Arguments<3>& given) {
    int32_t a[3];
    if (!intArguments(given, a)) return nullptr;
    const uint8_t* byte = cellByte(self, a[1], a[2], a[0]);
    return byte ? PyLong_FromLong(*byte) : nullptr;
}

static PyObject* Level_setTextureIndex(PyObject* self, py::Arguments<4>& given) {
    int32_t a[4];
    if (!intArguments(given, a)) return nullptr;
    uint8_t* byte = cellByteToWrite(self, a[2], a[3], a[1]);
    if (!byte) return nullptr;
    *byte = uint8_t(a[0]); // the low 8 bits, unchecked: -1 is 255, "no texture"
    Py_RETURN_NONE;
}

static PyObject* Level_getTexture(PyObject* self, py::Arguments<3>& given) {
    int32_t a[3];
    if (!intArguments(given, a)) return nullptr;
    const uint8_t* byte = cellByte(self, a[1], a[2], a[0]);
    if (!byte) return nullptr;
    Py_ssize_t index = *byte;
    py::Ref textures = py::Ref::borrow(py::cast<Level>(self)->textures);
    Py_ssize_t count = PyObject_Size(textures.get());
    if (count < 0) return nullptr;
    if (index >= count) Py_RETURN_NONE;
    return PySequence_GetItem(textures.get(), index);
}

static PyObject* Level_getSize(PyObject* self, PyObject*) {
    // The header's values, not the grid's.
    py::Ref metadata = py::Ref::borrow(py::cast<Level>(self)->metadata);
    py::Ref width(PyObject_GetItem(metadata.get(), nWidth.get()));
    py::Ref height(width ? PyObject_GetItem(metadata.get(), nHeight.get()) : nullptr);
    return height ? PyTuple_Pack(2, width.get(), height.get()) : nullptr;
}

// --- the map text -----------------------------------------------------------------------------

// The glyph of a block type: ASCII_CELLS[blockType], the module's list looked up anew,
// so that a list that game code assigns is used from then on.
static py::Ref glyphOf(uint8_t blockType) {
    PyObject* name = nAsciiCells.get();
    PyObject* cells = name ? PyDict_GetItemWithError(py::moduleDict(), name) : nullptr;
    if (!cells) {
        if (!PyErr_Occurred())
            PyErr_SetString(PyExc_NameError, "name 'ASCII_CELLS' is not defined");
        return py::Ref();
    }
    py::Ref held = py::Ref::borrow(cells);
    py::Ref index(PyLong_FromLong(blockType));
    return py::Ref(index ? PyObject_GetItem(held.get(), index.get()) : nullptr);
}

// One line per row, each piece followed by a space: the column labels (whole numbers,
// or their last digit), then for each row its label and the glyph of each cell. The
// sizes and cells are read afresh for every cell: a glyph lookup may run Python code.
static bool printMap(Level* level, bool wholeNumbers) {
    std::string header = "    ";
    try {
        for (int32_t x = 0; x < level->width; ++x)
            header += std::to_string(wholeNumbers ? x : x % 10) + " ";
    } catch (const std::bad_alloc&) { // the empty level's building reports, never raises
        PyErr_NoMemory();
        return false;
    }
    if (!py::print(header.c_str())) return false;
    py::Ref space(PyUnicode_FromString(" "));
    py::Ref nothing(PyUnicode_FromString(""));
    if (!space || !nothing) return false;
    for (int32_t y = 0; y < level->height; ++y) {
        char label[16];
        std::snprintf(label, sizeof label, "%3d ", y);
        py::Ref pieces(Py_BuildValue("[s]", label));
        if (!pieces) return false;
        for (int32_t x = 0; x < level->width && y < level->height; ++x) {
            const levelGrid::Cells& cells = level->native.cells;
            uint8_t blockType =
                cells.data()[levelGrid::offset(level->width, x, y, levelGrid::BLOCK)];
            py::Ref glyph = glyphOf(blockType);
            if (!glyph || PyList_Append(pieces.get(), glyph.get()) < 0 ||
                PyList_Append(pieces.get(), space.get()) < 0)
                return false;
        }
        py::Ref line(PyUnicode_Join(nothing.get(), pieces.get()));
        if (!line || !py::print(line.get())) return false;
    }
    return true;
}

static PyObject* Level_printLevel(PyObject* self, PyObject*) {
    py::Ref held = py::Ref::borrow(self);
    return py::noneOrFailed(printMap(py::cast<Level>(self), false));
}

// --- construction -----------------------------------------------------------------------------

// The state of a new level: an empty header, no grid, no sky, unset fogs, no surface
// array, four new empty lists. The header dict stays the same object when it is a
// dict; everything else is replaced.
static bool resetLevel(Level* level) {
    py::Ref textures(PyList_New(0)), sprites(PyList_New(0)), entities(PyList_New(0)),
        bodies(PyList_New(0));
    py::Ref metadata(PyDict_CheckExact(level->metadata) ? py::Ref::borrow(level->metadata)
                                                        : py::Ref(PyDict_New()));
    if (!textures || !sprites || !entities || !bodies || !metadata) return false;
    PyDict_Clear(metadata.get());
    py::assign(level->metadata, metadata.get());
    level->width = level->height = 0;
    levelGrid::Cells none;
    level->native.cells = std::move(none);
    py::assign(level->skyTexture, Py_None);
    level->fogDensity = level->groundFogDensity = 0;
    level->fogColor = level->groundFogColor = FogColor{0, false};
    if (!levelParts::setSurfaceTextures(level, {})) return false;
    py::assign(level->textures, textures.get());
    py::assign(level->sprites, sprites.get());
    py::assign(level->entities, entities.get());
    py::assign(level->collisionBodies, bodies.get());
    return true;
}

static PyObject* Level_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    py::Ref self(py::Generic<Level>::tpNew(type, args, kwargs));
    if (!self || !resetLevel(py::cast<Level>(self.get()))) return nullptr;
    return self.release();
}

// The walled empty level: INIT EMPTY LEVEL, the grid with its border of square blocks,
// a header of four keys, the fogs it gives, the map, and the assets (none).
static void Level_initializeEmpty(Level* level, PyObject* width, PyObject* height) {
    PyObject* self = py::asObject(level);
    py::Ref held = py::Ref::borrow(self);
    int32_t columns, rows;
    bool ok =
        py::print("INIT EMPTY LEVEL") && py::toInt32(width, columns) && py::toInt32(height, rows);
    if (ok && (columns < 0 || rows < 0))
        ok = py::raise(PyExc_ValueError, "a level's size cannot be negative");
    // The grid takes its size and its cells at once: they never disagree.
    ok = ok && levelParts::resizeGrid(level, columns, rows);
    if (ok) {
        py::Ref metadata = py::Ref::borrow(level->metadata);
        py::Ref black(Py_BuildValue("[iii]", 0, 0, 0));
        py::Ref density(PyLong_FromLong(5));
        ok = black && density && PyObject_SetItem(metadata.get(), nWidth.get(), width) == 0 &&
             PyObject_SetItem(metadata.get(), nHeight.get(), height) == 0 &&
             PyObject_SetItem(metadata.get(), nFogColor.get(), black.get()) == 0 &&
             PyObject_SetItem(metadata.get(), nFogDensity.get(), density.get()) == 0;
    }
    if (ok) {
        level->ops->loadFogSettings(level);
        levelGrid::buildWalled(level->native.cells.data(), level->width, level->height);
        ok = printMap(level, true) && py::callMethod(self, nLoadAssets);
    }
    if (!ok) py::printUnraisable("quorvelin.Level._initializeEmpty");
}

// One checkerboard texture on every face, floor and ceiling of a 30 x 30 walled grid.
static bool buildEmptyLevel(Level* level) {
    py::Ref checker(newTexture(CHECKER_SIZE, CHECKER_SIZE));
    if (!checker || !py::callMethod(checker.get(), nFillChecker)) return false;
    std::vector<py::Ref> surfaces;
    surfaces.push_back(py::Ref::borrow(checker.get()));
    py::Ref textures = py::Ref::borrow(level->textures);
    if (!levelParts::setSurfaceTextures(level, std::move(surfaces)) ||
        !py::append(textures.get(), checker.get()))
        return false;
    py::Ref size(PyLong_FromLong(EMPTY_LEVEL_SIZE));
    if (!size) return false;
    level->ops->initializeEmpty(level, size.get(), size.get());
    return true;
}

static int Level_init(PyObject* self, py::Arguments<2>& a) {
    PyObject* filename = a[0];
    PyObject* assetsPath = a[1] ? a[1] : Py_None;
    Level* level = py::cast<Level>(self);
    // Not in the middle of its own loading, which would go on over the new level.
    constexpr const char* loadingAlready = "__init__() cannot start while this level is loading";
    if (level->native.loading) return py::raise(PyExc_RuntimeError, loadingAlready);
    py::Ref unnamed(filename == Py_None ? PyUnicode_FromString("???") : py::newRef(filename));
    if (!unnamed) return -1;
    py::assign(level->filename, unnamed.get());
    if (!isStrOrNone(assetsPath)) return py::expectedType("unicode", assetsPath);
    // Built again from nothing: grid, surface array and texture list stay in step.
    if (level->native.initialised && !resetLevel(level)) return -1;
    level->native.initialised = true;
    py::assign(level->assetsPath, assetsPath);
    if (filename == Py_None) {
        py::Exclusive loading(level->native.loading, loadingAlready);
        return loading && buildEmptyLevel(level) ? 0 : -1;
    }
    if (assetsPath == Py_None) {
        py::Ref os = py::moduleGlobal("os");
        py::Ref path = os ? py::getAttr(os.get(), nPath) : py::Ref();
        py::Ref directory = path ? py::callMethod(path.get(), nDirname, filename) : py::Ref();
        if (!directory) return -1;
        if (!isStrOrNone(directory.get())) return py::expectedType("unicode", directory.get());
        py::assign(level->assetsPath, directory.get());
    }
    return py::callMethod(self, nLoadFromFile, filename) ? 0 : -1;
}

// --- the class --------------------------------------------------------------------------------

// The surface array holds its textures as the fields hold their objects: the collector
// visits and clears it too, so that a cycle through a texture that only it holds breaks.
static int Level_visitTextures(PyObject* self, visitproc visit, void* arg) {
    for (const py::Ref& texture : py::cast<Level>(self)->native.surfaceTextures)
        Py_VISIT(texture.get());
    return 0;
}

static void Level_dropTextures(PyObject* self) {
    Level* level = py::cast<Level>(self);
    std::vector<py::Ref> released;
    std::swap(level->native.surfaceTextures, released);
    level->native.surfaceAreas.clear();
}

const LevelOps Level::table = {Level_loadFogSettings, Level_initializeEmpty, Level_loadEntity,
                               Level_loadEntities};

static const PyMethodDef levelMethods[] = {
    py::withKeywords<"getBlock", Level_getBlock, "x", "y">(
        py::doc<"@param(x, int)", "@param(y, int)", "@returns(int) the block type of the cell">),
    py::withKeywords<"setBlock", Level_setBlock, "blockType", "x", "y">(
        py::doc<"@param(blockType, int)", "@param(x, int)", "@param(y, int)">),
    py::withKeywords<"getTextureIndex", Level_getTextureIndex, "cardinalDirection", "x", "y">(
        py::doc<"@param(cardinalDirection, int)", "@param(x, int)", "@param(y, int)",
                "@returns(int)">),
    py::withKeywords<"setTextureIndex", Level_setTextureIndex, "textureIndex", "cardinalDirection",
                     "x", "y">(
        py::doc<"@param(textureIndex, int)", "@param(cardinalDirection, int)", "@param(x, int)",
                "@param(y, int)">),
    py::withKeywords<"getTexture", Level_getTexture, "cardinalDirection", "x", "y">(
        py::doc<"@param(cardinalDirection, int)", "@param(x, int)", "@param(y, int)",
                "@returns(Texture | None)">),
    py::noArgs<"getSize", Level_getSize>(
        py::doc<"@returns((int, int))", "Returns the size of the level in blocks.">),
    py::oneArg<"_loadFromFile", Level_loadFromFile, "filename">(py::doc<"@param(filename, str)">),
    py::withKeywords<"_loadMetadata", Level_loadMetadata, "filename", "header">(
        py::doc<"@param(filename, str)", "@param(header, str)">),
    py::oneArg<"_convertPath", Level_convertPath, "path">(
        py::doc<"@param(path, str)", "@returns(str) the path relative to the assets path">),
    py::noArgs<"_loadAssets", Level_loadAssets>(),
    py::withKeywords<"createComponent", Level_createComponent, "componentName", "component">(
        py::doc<"@param(componentName, str)", "@param(component, dict)", "@returns(object)">),
    py::withKeywords<"_loadFromDict", Level_loadFromDict, "component", "input">(
        py::doc<"@param(component, object)", "@param(input, dict)">),
    py::oneArg<"addEntity", Level_addEntity, "entity">(py::doc<"@param(entity, Entity)">),
    py::oneArg<"removeEntity", Level_removeEntity, "entity">(py::doc<"@param(entity, Entity)">),
    py::noArgs<"removeAllEntities", Level_removeAllEntities>(),
    py::withVarargs<"getEntities", Level_getEntities, "*requiredComponentTypes">(
        py::doc<"@param(*requiredComponentTypes, type)",
                "@returns(list) every entity, or those that have all the given component types">),
    py::oneArg<"addEntityFromJson", Level_addEntityFromJson, "entityData">(
        py::doc<"@param(entityData, dict)", "@returns(Entity)">),
    py::oneArg<"removeEntityFromJson", Level_removeEntityFromJson, "entity">(
        py::doc<"@param(entity, Entity)">),
    py::oneArg<"syncEntitiesToEcs", Level_syncEntitiesToEcs, "ecs">(py::doc<"@param(ecs, Ecs)">),
    py::oneArg<"syncEntitiesFromEcs", Level_syncEntitiesFromEcs, "ecs">(
        py::doc<"@param(ecs, Ecs)">),
    py::oneArg<"saveFile", Level_saveFile, "filename">(
        py::doc<"@param(filename, str)", "Saves the content of the level as LVL file",
                "(thus, the file name should end with '.lvl')">),
    py::noArgs<"_updateEntityMetadata", Level_updateEntityMetadata>(),
    py::oneArg<"_dumpToDict", Level_dumpToDict, "obj">(
        py::doc<"@param(obj, object)", "@returns(object) its plain data">),
    py::noArgs<"printLevel", Level_printLevel>(),
};

static const py::Member levelMembers[] = {
    py::member<&Level::sprites>("_sprites").readonly("sprites").exposed().exactly<py::List>(),
    py::member<&Level::metadata>().readonly("metadata"),
    py::member<&Level::width>().readonly("width"),
    py::member<&Level::height>().readonly("height"),
    py::member<&Level::textures>("_textures").readonly("textures").exposed().exactly<py::List>(),
    py::member<&Level::fogDensity>().readwrite("fogDensity"),
    py::member<&Level::groundFogDensity>().readwrite("groundFogDensity"),
    py::member<&Level::entities>("_entities").exposed().exactly<py::List>(),
    py::member<&Level::collisionBodies>("_collisionBodies").exposed().exactly<py::List>(),
    py::member<&Level::assetsPath>("_assetsPath").exposed().exactly<py::Str>(),
    py::member<&Level::skyTexture>(),
};

static const PyType_Slot levelSlots[] = {
    py::slot<Py_tp_new, Level_new>(),
};

py::ClassDef& levelClass() {
    return py::define<Level>("Level", {.doc = py::classDoc<"A level resource.">,
                                       .members = levelMembers,
                                       .init = py::init<Level_init, "filename", "assetsPath=None">,
                                       .methods = levelMethods,
                                       .properties = levelFogProperties(),
                                       .slots = levelSlots,
                                       .initDoc = py::doc<"@param(filename, str)">,
                                       .visitNative = Level_visitTextures,
                                       .clearNative = Level_dropTextures});
}

// --- module level -----------------------------------------------------------------------------

static bool levelStatements() {
    // import json as _json; import traceback; import os.path (which binds os)
    if (!py::bind("_json", py::Ref(PyImport_ImportModule("json"))) ||
        !py::bind("traceback", py::Ref(PyImport_ImportModule("traceback"))) ||
        !py::Ref(PyImport_ImportModule("os.path")) ||
        !py::bind("os", py::Ref(PyImport_ImportModule("os"))))
        return false;
    // The glyphs of the map text, by block type.
    if (!py::bind("ASCII_CELLS", py::Ref(Py_BuildValue("[ssssss]", "\u25A1", "\u25A0", "\u25E4",
                                                       "\u25E5", "\u25E3", "\u25E2"))))
        return false;
    using namespace levelGrid;
    const std::pair<const char*, long> constants[] = {
        {"TEXTURE_FLOOR", FLOOR},
        {"TEXTURE_CEILING", CEILING},
        {"TEXTURE_NORTH", NORTH},
        {"TEXTURE_EAST", EAST},
        {"TEXTURE_SOUTH", SOUTH},
        {"TEXTURE_WEST", WEST},
        {"BLOCK_EMPTY", EMPTY},
        {"BLOCK_SQUARE", SQUARE},
        {"BLOCK_TRIANGLE_NORTH_WEST", TRIANGLE_NORTH_WEST},
        {"BLOCK_TRIANGLE_NORTH_EAST", TRIANGLE_NORTH_EAST},
        {"BLOCK_TRIANGLE_SOUTH_EAST", TRIANGLE_SOUTH_EAST},
        {"BLOCK_TRIANGLE_SOUTH_WEST", TRIANGLE_SOUTH_WEST},
    };
    for (auto [name, value] : constants)
        if (!py::bindInt(name, value)) return false;
    return true;
}

const py::Segment levelSegment{levelStatements};
