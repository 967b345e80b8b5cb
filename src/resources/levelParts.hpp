// The parts of the Level class, one file each: the class with its cells, the map text
// and construction (level.cpp), reading the file pair (levelLoad.cpp), the fogs
// (levelFog.cpp), the assets (levelAssets.cpp), the entities (levelEntities.cpp) and
// writing (levelSave.cpp). level.cpp lists every method in the class's one table.
#pragma once

#include "py/call.hpp"
#include "py/signature.hpp"
#include "resources/level.hpp"

#include <span>
#include <vector>

inline Level* asLevel(PyObject* self) {
    return reinterpret_cast<Level*>(self);
}

namespace levelParts {

// The grid becomes width x height (neither negative); its cells are replaced by zeroed
// ones unless it has that size already. MemoryError when they cannot be had.
bool resizeGrid(Level* level, int32_t width, int32_t height);
// The surface array becomes `textures` (Texture objects, in texture-index order); the
// old one is released.
bool setSurfaceTextures(Level* level, std::vector<py::Ref> textures);
// The pending error, printed as unraisable under "quorvelin.Level.<operation>".
void reportUnraisable(const char* operation);
// A text printed as a line through the host's print.
bool printText(const char* text);
// object.name when reading it succeeds; null when it fails: without an error when the
// failure was an ordinary exception (it counts as "no such attribute" and is
// discarded), with it set otherwise (KeyboardInterrupt and the like).
py::Ref attributeIfAny(PyObject* object, py::Name& name);

} // namespace levelParts

// --- methods, by part -------------------------------------------------------------------

// levelLoad.cpp
PyObject* Level_loadFromFile(PyObject* self, PyObject* filename);
PyObject* Level_loadMetadata(PyObject* self, py::Arguments<2>& a); // (filename, header)
PyObject* Level_convertPath(PyObject* self, PyObject* path);

// levelFog.cpp
void Level_loadFogSettings(Level* self);
// The computed properties fogColor and groundFogColor.
std::span<const PyGetSetDef> levelFogProperties();

// levelAssets.cpp
PyObject* Level_loadAssets(PyObject* self, PyObject*);

// levelEntities.cpp
PyObject* Level_loadEntity(Level* self, PyObject* entityData);
void Level_loadEntities(Level* self);
PyObject* Level_createComponent(PyObject* self, py::Arguments<2>& a); // (componentName, component)
PyObject* Level_loadFromDict(PyObject* self, py::Arguments<2>& a);    // (component, input)
PyObject* Level_addEntity(PyObject* self, PyObject* entity);
PyObject* Level_removeEntity(PyObject* self, PyObject* entity);
PyObject* Level_removeAllEntities(PyObject* self, PyObject*);
PyObject* Level_getEntities(PyObject* self, PyObject* types, PyObject* kwargs);
PyObject* Level_addEntityFromJson(PyObject* self, PyObject* entityData);
PyObject* Level_removeEntityFromJson(PyObject* self, PyObject* entity);
PyObject* Level_syncEntitiesToEcs(PyObject* self, PyObject* ecs);
PyObject* Level_syncEntitiesFromEcs(PyObject* self, PyObject* ecs);

// levelSave.cpp
PyObject* Level_saveFile(PyObject* self, PyObject* filename);
PyObject* Level_updateEntityMetadata(PyObject* self, PyObject*);
PyObject* Level_dumpToDict(PyObject* self, PyObject* obj);
