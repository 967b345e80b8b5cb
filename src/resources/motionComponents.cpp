// PositionComponent, VelocityComponent, RotationComponent and CollisionComponent: plain
// data with their level-file form. The `x`/`y` shortcuts and the level form change the
// held vectors in place, so every holder of a vector sees the change.
#include "resources/motionComponents.hpp"

#include "py/args.hpp"
#include "py/cast.hpp"
#include "py/errors.hpp"
#include "py/methods.hpp"
#include "resources/levelForm.hpp"

namespace {

py::Name nX("x");
py::Name nY("y");
py::Name nImpulse("impulse");
py::Name nFriction("friction");
py::Name nRadius("radius");
py::Name nIsOnlyTrigger("isOnlyTrigger");
py::Name nHasFlags("hasFlags");
py::Name nIgnoreFlags("ignoreFlags");

// The vector an object field holds, or null with the host's AttributeError for the
// coordinate of what it holds instead (None).
Vector2* heldVector(PyObject* field, char axis) {
    Vector2* vector = py::instanceOf<Vector2>(field);
    const char name[] = {axis, '\0'};
    if (!vector) py::noAttribute(field, name);
    return vector;
}

double coordinate(const Vector2* vector, char axis) {
    return axis == 'x' ? vector->x : vector->y;
}

void writeCoordinate(Vector2* vector, char axis, double value) {
    if (axis == 'x')
        vector->assign(value, vector->y);
    else
        vector->assign(vector->x, value);
}

// A vector argument of a constructor: the given Vector2 itself, shared; a new vector at
// (x, y) when it is None or omitted.
py::Ref vectorOrNew(PyObject* given, double x, double y) {
    if (given && given != Py_None) return py::Ref::borrow(given);
    return py::Ref(newVector2(x, y));
}

bool checkVector(PyObject* given, const char* argument) {
    return !given || py::checkArgument(given, Vector2::type, argument, true);
}

// --- x and y of a held vector, as properties -------------------------------------------------

template <auto field, char axis> PyObject* getCoordinate(PyObject* self, void*) {
    Vector2* vector = heldVector(py::fieldOf<field>(self), axis);
    return vector ? PyFloat_FromDouble(coordinate(vector, axis)) : nullptr;
}

template <auto field, char axis> int setCoordinate(PyObject* self, PyObject* value, void*) {
    if (!value) return py::deleteRefused();
    double converted;
    // Converted first: the conversion may run Python code that replaces the vector.
    if (!py::toDouble(value, converted)) return -1;
    Vector2* vector = heldVector(py::fieldOf<field>(self), axis);
    if (!vector) return -1;
    writeCoordinate(vector, axis, converted);
    return 0;
}

template <auto field, char axis> PyGetSetDef coordinateProperty() {
    return py::property<getCoordinate<field, axis>, setCoordinate<field, axis>>(axis == 'x' ? "x"
                                                                                            : "y");
}

// --- the level form of a vector: {"x": ..., "y": ...} -----------------------------------------

bool loadCoordinate(PyObject* self, PyObject* (*field)(PyObject*), PyObject* input, char axis) {
    double value;
    if (!levelForm::readDouble(input, axis == 'x' ? nX : nY, value)) return false;
    Vector2* vector = heldVector(field(self), axis);
    if (!vector) return false;
    writeCoordinate(vector, axis, value);
    return true;
}

bool loadVector(PyObject* self, PyObject* (*field)(PyObject*), PyObject* input) {
    return loadCoordinate(self, field, input, 'x') && loadCoordinate(self, field, input, 'y');
}

// {"x": x, "y": y} into `dict`.
bool dumpVector(PyObject* dict, PyObject* field) {
    Vector2* vector = heldVector(field, 'x');
    return vector && levelForm::put(dict, nX, py::Ref(PyFloat_FromDouble(vector->x))) &&
           levelForm::put(dict, nY, py::Ref(PyFloat_FromDouble(vector->y)));
}

template <class T, PyObject* T::*field> PyObject* fieldValue(PyObject* self) {
    return reinterpret_cast<T*>(self)->*field;
}

PyObject* dumpedVector(PyObject* field) {
    py::Ref dict(PyDict_New());
    return dict && dumpVector(dict.get(), field) ? dict.release() : nullptr;
}

} // namespace

// --- PositionComponent -----------------------------------------------------------------------

static int PositionComponent_init(PyObject* self, py::Arguments<1>& a) {
    if (!checkVector(a[0], "pos")) return -1;
    py::Ref pos = vectorOrNew(a[0], 0.0, 0.0);
    if (!pos) return -1;
    py::assign(py::cast<PositionComponent>(self)->pos, pos.get());
    py::changes::changed(self);
    return 0;
}

// loadFromDict(level, input): the level is not used by these components.
static PyObject* PositionComponent_loadFromDict(PyObject* self, py::Arguments<2>& a) {
    PyObject* input = a[1];
    return py::noneOrFailed(
        loadVector(self, fieldValue<PositionComponent, &PositionComponent::pos>, input));
}

static PyObject* PositionComponent_dumpToDict(PyObject* self, PyObject*) {
    return dumpedVector(py::cast<PositionComponent>(self)->pos);
}

static const PyMethodDef positionComponentMethods[] = {
    py::withKeywords<"loadFromDict", PositionComponent_loadFromDict, "level", "input">(
        py::doc<"@param(level, Level)", "@param(input, dict)">),
    py::oneArg<"dumpToDict", PositionComponent_dumpToDict, "level">(
        py::doc<"@param(level, Level)", "@returns(dict)">),
};

static const py::Member positionComponentMembers[] = {
    py::member<&PositionComponent::pos>("_pos")
        .readwrite("pos")
        .undeletable()
        .exposed()
        .typed<&Vector2::type>()
        .watched(),
};

static const PyGetSetDef positionComponentProperties[] = {
    coordinateProperty<&PositionComponent::pos, 'x'>(),
    coordinateProperty<&PositionComponent::pos, 'y'>(),
};

py::ClassDef& positionComponentClass() {
    return py::define<PositionComponent>("PositionComponent",
                                         {.members = positionComponentMembers,
                                          .init = py::init<PositionComponent_init, "pos=None">,
                                          .methods = positionComponentMethods,
                                          .properties = positionComponentProperties,
                                          .checksum = 0x9cdffce});
}

// --- VelocityComponent -----------------------------------------------------------------------

static int VelocityComponent_init(PyObject* self, py::Arguments<3>& a) {
    double friction = 2.0;
    if ((a[2] && !py::toDouble(a[2], friction)) || !checkVector(a[0], "velocity") ||
        !checkVector(a[1], "impulse"))
        return -1;
    py::Ref velocity = vectorOrNew(a[0], 0.0, 0.0);
    py::Ref impulse(velocity ? vectorOrNew(a[1], 0.0, 0.0) : py::Ref());
    if (!impulse) return -1;
    auto* component = py::cast<VelocityComponent>(self);
    py::assign(component->velocity, velocity.get());
    py::assign(component->impulse, impulse.get());
    component->friction = friction;
    return 0;
}

static PyObject* VelocityComponent_loadFromDict(PyObject* self, py::Arguments<2>& a) {
    PyObject* input = a[1];
    if (!loadVector(self, fieldValue<VelocityComponent, &VelocityComponent::velocity>, input))
        return nullptr;
    int present = levelForm::has(input, nImpulse);
    if (present < 0) return nullptr;
    if (present) {
        py::Ref impulse = levelForm::item(input, nImpulse);
        if (!impulse ||
            !loadVector(self, fieldValue<VelocityComponent, &VelocityComponent::impulse>,
                        impulse.get()))
            return nullptr;
    }
    auto* component = py::cast<VelocityComponent>(self);
    return py::noneOrFailed(
        levelForm::readDouble(input, nFriction, component->friction, component->friction));
}

static PyObject* VelocityComponent_dumpToDict(PyObject* self, PyObject*) {
    auto* component = py::cast<VelocityComponent>(self);
    py::Ref dict(PyDict_New());
    if (!dict || !dumpVector(dict.get(), component->velocity) ||
        !levelForm::put(dict.get(), nFriction, py::Ref(PyFloat_FromDouble(component->friction))))
        return nullptr;
    Vector2* impulse = heldVector(component->impulse, 'x');
    if (!impulse) return nullptr;
    // Any impulse that is not zero is written, also one along an axis such as (3, 0).
    if ((impulse->x != 0.0 || impulse->y != 0.0) &&
        !levelForm::put(dict.get(), nImpulse, py::Ref(dumpedVector(component->impulse))))
        return nullptr;
    return dict.release();
}

static const PyMethodDef velocityComponentMethods[] = {
    py::withKeywords<"loadFromDict", VelocityComponent_loadFromDict, "level", "input">(
        py::doc<"@param(level, Level)", "@param(input, dict)">),
    py::oneArg<"dumpToDict", VelocityComponent_dumpToDict, "level">(
        py::doc<"@param(level, Level)", "@returns(dict)">),
};

static const py::Member velocityComponentMembers[] = {
    py::member<&VelocityComponent::velocity>("_velocity")
        .readwrite("velocity")
        .undeletable()
        .exposed()
        .typed<&Vector2::type>(),
    py::member<&VelocityComponent::impulse>("_impulse")
        .readwrite("impulse")
        .undeletable()
        .exposed()
        .typed<&Vector2::type>(),
    py::member<&VelocityComponent::friction>("_friction").readwrite("friction").exposed(),
};

static const PyGetSetDef velocityComponentProperties[] = {
    coordinateProperty<&VelocityComponent::velocity, 'x'>(),
    coordinateProperty<&VelocityComponent::velocity, 'y'>(),
};

py::ClassDef& velocityComponentClass() {
    return py::define<VelocityComponent>(
        "VelocityComponent",
        {.members = velocityComponentMembers,
         .init = py::init<VelocityComponent_init, "velocity=None", "impulse=None", "friction=2.0">,
         .methods = velocityComponentMethods,
         .properties = velocityComponentProperties,
         .checksum = 0xf57cfdc});
}

// --- RotationComponent -----------------------------------------------------------------------

static int RotationComponent_init(PyObject* self, py::Arguments<1>& a) {
    if (!checkVector(a[0], "dir")) return -1;
    py::Ref dir = vectorOrNew(a[0], 1.0, 0.0);
    if (!dir) return -1;
    py::assign(py::cast<RotationComponent>(self)->dir, dir.get());
    return 0;
}

static PyObject* RotationComponent_loadFromDict(PyObject* self, py::Arguments<2>& a) {
    PyObject* input = a[1];
    return py::noneOrFailed(
        loadVector(self, fieldValue<RotationComponent, &RotationComponent::dir>, input));
}

static PyObject* RotationComponent_dumpToDict(PyObject* self, PyObject*) {
    return dumpedVector(py::cast<RotationComponent>(self)->dir);
}

static const PyMethodDef rotationComponentMethods[] = {
    py::withKeywords<"loadFromDict", RotationComponent_loadFromDict, "level", "input">(
        py::doc<"@param(level, Level)", "@param(input, dict)">),
    py::oneArg<"dumpToDict", RotationComponent_dumpToDict, "level">(
        py::doc<"@param(level, Level)", "@returns(dict)">),
};

static const py::Member rotationComponentMembers[] = {
    py::member<&RotationComponent::dir>("_dir")
        .readwrite("dir")
        .undeletable()
        .exposed()
        .typed<&Vector2::type>(),
};

py::ClassDef& rotationComponentClass() {
    return py::define<RotationComponent>("RotationComponent",
                                         {.members = rotationComponentMembers,
                                          .init = py::init<RotationComponent_init, "dir=None">,
                                          .methods = rotationComponentMethods,
                                          .checksum = 0x584e88a});
}

// --- CollisionComponent ----------------------------------------------------------------------

static const py::Member collisionComponentMembers[] = {
    py::member<&CollisionComponent::radius>("_radius").readwrite("radius").exposed().watched(),
    py::member<&CollisionComponent::isOnlyTrigger>("_isOnlyTrigger")
        .readwrite("isOnlyTrigger")
        .exposed()
        .watched(),
    py::member<&CollisionComponent::hasFlags>("_hasFlags")
        .readwrite("hasFlags")
        .undeletable()
        .exposed()
        .exactly<py::List>()
        .watched(),
    py::member<&CollisionComponent::ignoreFlags>("_ignoreFlags")
        .readwrite("ignoreFlags")
        .undeletable()
        .exposed()
        .exactly<py::List>(),
};
static const py::Member& hasFlagsRow = collisionComponentMembers[2];
static const py::Member& ignoreFlagsRow = collisionComponentMembers[3];

// Stores a flag list by its row's rule (exactly a list or None); a new empty list when
// `given` is null. Every component left without flags gets lists of its own: one list
// shared by all of them would carry one's flags over to every other.
static bool storeFlags(PyObject* self, const py::Member& row, PyObject* given) {
    py::Ref flags = given ? py::Ref::borrow(given) : py::Ref(PyList_New(0));
    return flags && row.writer()(self, flags.get(), nullptr) == 0;
}

static int CollisionComponent_init(PyObject* self, py::Arguments<4>& a) {
    double radius = 0.25;
    bool isOnlyTrigger = false;
    if ((a[0] && !py::toDouble(a[0], radius)) || (a[1] && !py::toFlag(a[1], isOnlyTrigger)))
        return -1;
    auto* component = py::cast<CollisionComponent>(self);
    component->radius = radius;
    component->isOnlyTrigger = isOnlyTrigger;
    py::changes::changed(self);
    return storeFlags(self, hasFlagsRow, a[2]) && storeFlags(self, ignoreFlagsRow, a[3]) ? 0 : -1;
}

// A flag list of the level form: the list given under `key` when it is there and true,
// otherwise a new empty one.
static bool loadFlags(PyObject* self, const py::Member& row, PyObject* input, py::Name& key) {
    int present = levelForm::has(input, key);
    if (present < 0) return false;
    py::Ref given = present ? levelForm::item(input, key) : py::Ref::none();
    if (!given) return false;
    int truth = PyObject_IsTrue(given.get());
    return truth >= 0 && storeFlags(self, row, truth ? given.get() : nullptr);
}

static PyObject* CollisionComponent_loadFromDict(PyObject* self, py::Arguments<2>& a) {
    PyObject* input = a[1];
    // Field by field: what is stored before a failing key keeps its new value.
    auto* component = py::cast<CollisionComponent>(self);
    double radius;
    if (!levelForm::readDouble(input, nRadius, 0.25, radius)) return nullptr;
    component->radius = radius;
    py::changes::changed(self);
    bool isOnlyTrigger;
    if (!levelForm::readFlag(input, nIsOnlyTrigger, isOnlyTrigger)) return nullptr;
    component->isOnlyTrigger = isOnlyTrigger;
    py::changes::changed(self);
    return py::noneOrFailed(loadFlags(self, hasFlagsRow, input, nHasFlags) &&
                            loadFlags(self, ignoreFlagsRow, input, nIgnoreFlags));
}

static PyObject* CollisionComponent_dumpToDict(PyObject* self, PyObject*) {
    auto* component = py::cast<CollisionComponent>(self);
    py::changes::handedOut(self); // the flag lists themselves
    py::Ref dict(PyDict_New());
    if (!dict ||
        !levelForm::put(dict.get(), nRadius, py::Ref(PyFloat_FromDouble(component->radius))) ||
        !levelForm::put(dict.get(), nIsOnlyTrigger,
                        py::Ref(PyBool_FromLong(component->isOnlyTrigger))) ||
        !levelForm::put(dict.get(), nHasFlags, py::Ref::borrow(component->hasFlags)) ||
        !levelForm::put(dict.get(), nIgnoreFlags, py::Ref::borrow(component->ignoreFlags)))
        return nullptr;
    return dict.release();
}

static const PyMethodDef collisionComponentMethods[] = {
    py::withKeywords<"loadFromDict", CollisionComponent_loadFromDict, "level", "input">(
        py::doc<"@param(level, Level)", "@param(input, dict)">),
    py::oneArg<"dumpToDict", CollisionComponent_dumpToDict, "level">(
        py::doc<"@param(level, Level)", "@returns(dict)">),
};

py::ClassDef& collisionComponentClass() {
    return py::define<CollisionComponent>(
        "CollisionComponent",
        {.members = collisionComponentMembers,
         .init = py::init<CollisionComponent_init, "radius=0.25", "isOnlyTrigger=False",
                          "hasFlags=[]", "ignoreFlags=[]">,
         .methods = collisionComponentMethods,
         .checksum = 0xf091f59});
}
