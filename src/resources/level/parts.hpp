// The parts of the Level class, one file each: the class with its cells, the map text
// and construction (resources/level.cpp), and in resources/level/ the grid and the
// surface array (grid.cpp), reading the file pair (load.cpp, file.*), the fogs
// (fog.cpp), the assets (assets.cpp), the entities (entities.cpp) and writing
// (save.cpp). level.cpp lists every method in the class's one table; the parts call
// nothing of it.
#pragma once

#include "py/ref.hpp"
#include "py/signature.hpp"

#include <span>
#include <vector>

struct Level;

// grid.cpp: the two arrays whose invariants every reader of a level relies on.
namespace levelParts {

// The grid becomes width x height (neither negative); its cells are replaced by zeroed
// ones unless it has that size already. MemoryError when they cannot be had.
bool resizeGrid(Level* level, int32_t width, int32_t height);
// The surface array becomes `textures` (Texture objects, in texture-index order); the
// old one is released.
bool setSurfaceTextures(Level* level, std::vector<py::Ref> textures);

} // namespace levelParts

// --- methods, by part -------------------------------------------------------------------

// load.cpp
PyObject* Level_loadFromFile(PyObject* self, PyObject* filename);
PyObject* Level_loadMetadata(PyObject* self, py::Arguments<2>& a); // (filename, header)
PyObject* Level_convertPath(PyObject* self, PyObject* path);

// fog.cpp
void Level_loadFogSettings(Level* self);
// The computed properties fogColor and groundFogColor.
std::span<const PyGetSetDef> levelFogProperties();

// assets.cpp
PyObject* Level_loadAssets(PyObject* self, PyObject*);

// entities.cpp
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

// save.cpp
PyObject* Level_saveFile(PyObject* self, PyObject* filename);
PyObject* Level_updateEntityMetadata(PyObject* self, PyObject*);
PyObject* Level_dumpToDict(PyObject* self, PyObject* obj);
