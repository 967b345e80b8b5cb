// Vector2: a mutable pair of doubles shared by components, cameras and game code.
// Methods that change the vector work on its fields and allocate nothing; the
// operators and copy() build new vectors of the base type.
#include "geometryMath.hpp"

#include "py/args.hpp"
#include "py/call.hpp"
#include "py/cast.hpp"
#include "py/methods.hpp"
#include "py/module.hpp"

#include <cmath>

double RAD2DEG = 0.0;
double DEG2RAD = 0.0;

namespace {
py::Name nX("x");
py::Name nY("y");
py::Name nLength("length");
py::Name nAcos("acos");
py::Name nAngleTo("angleTo");
} // namespace

static double Vector2_length(const Vector2* self) {
    return std::sqrt(self->x * self->x + self->y * self->y);
}

const Vector2Ops Vector2::table = {Vector2_length};

PyObject* newVector2(double x, double y) {
    PyObject* self = Vector2::type->tp_new(Vector2::type, nullptr, nullptr);
    if (self) {
        py::cast<Vector2>(self)->x = x;
        py::cast<Vector2>(self)->y = y;
    }
    return self;
}

// A vector built from two Python numbers, as Vector2(x, y) converts them.
static PyObject* newVector2From(PyObject* x, PyObject* y) {
    double vx, vy;
    if (!py::toDouble(x, vx) || !py::toDouble(y, vy)) return nullptr;
    return newVector2(vx, vy);
}

static bool isExactVector(PyObject* object) {
    return Py_TYPE(object) == Vector2::type;
}
static bool isPlainNumber(PyObject* object) {
    return PyFloat_CheckExact(object) || PyLong_CheckExact(object);
}

// Written out rather than made from the member rows: vectors are the engine's most
// often constructed objects, and the direct conversions take a fifth off each one.
static int Vector2_init(PyObject* self, py::Arguments<2>& a) {
    double x, y;
    if (!py::toDouble(a[0], x) || !py::toDouble(a[1], y)) return -1;
    py::cast<Vector2>(self)->assign(x, y);
    return 0;
}

static bool checkOther(PyObject* other) {
    return py::checkArgument(other, Vector2::type, "other");
}

// --- methods ----------------------------------------------------------------------------

static PyObject* Vector2_normalize(PyObject* self, PyObject*) {
    Vector2* v = py::cast<Vector2>(self);
    double length = v->length();
    if (length != 0.0) v->assign(v->x / length, v->y / length);
    Py_RETURN_NONE;
}

static PyObject* Vector2_copy(PyObject* self, PyObject*) {
    return newVector2(py::cast<Vector2>(self)->x, py::cast<Vector2>(self)->y);
}

static PyObject* Vector2_getDegrees(PyObject* self, PyObject*) {
    return PyFloat_FromDouble(std::atan2(py::cast<Vector2>(self)->y, py::cast<Vector2>(self)->x) *
                              RAD2DEG);
}

static PyObject* Vector2_angleTo(PyObject* self, PyObject* other) {
    py::Ref math = py::moduleGlobal("math");
    py::Ref acos(math ? py::getAttr(math.get(), nAcos) : py::Ref());
    if (!acos) return nullptr;
    py::Ref dot(PyNumber_Multiply(self, other));
    if (!dot) return nullptr;
    py::Ref ownLength = py::getAttr(self, nLength);
    py::Ref otherLength(ownLength ? py::getAttr(other, nLength) : py::Ref());
    py::Ref lengths(otherLength ? PyNumber_Multiply(ownLength.get(), otherLength.get()) : nullptr);
    py::Ref cosine(lengths ? PyNumber_TrueDivide(dot.get(), lengths.get()) : nullptr);
    if (!cosine) return nullptr;
    // Rounding can land just past +-1 for (anti)parallel vectors; NaN passes unchanged.
    for (long bound : {1L, -1L}) {
        py::Ref limit(PyLong_FromLong(bound));
        int outside =
            limit ? PyObject_RichCompareBool(limit.get(), cosine.get(), bound > 0 ? Py_LT : Py_GT)
                  : -1;
        if (outside < 0) return nullptr;
        if (outside) cosine = std::move(limit);
    }
    return PyObject_CallOneArg(acos.get(), cosine.get());
}

static PyObject* Vector2_angleToInDegrees(PyObject* self, PyObject* other) {
    py::Ref radians = py::callMethod(self, nAngleTo, other);
    py::Ref factor(radians ? PyFloat_FromDouble(RAD2DEG) : nullptr);
    return factor ? PyNumber_Multiply(radians.get(), factor.get()) : nullptr;
}

static PyObject* Vector2_set(PyObject* self, PyObject* other) {
    if (!checkOther(other)) return nullptr;
    Vector2* from = py::cast<Vector2>(other);
    py::cast<Vector2>(self)->assign(from->x, from->y);
    Py_RETURN_NONE;
}

static PyObject* Vector2_add(PyObject* self, PyObject* other) {
    if (!checkOther(other)) return nullptr;
    Vector2 *v = py::cast<Vector2>(self), *o = py::cast<Vector2>(other);
    v->assign(v->x + o->x, v->y + o->y);
    Py_RETURN_NONE;
}

static PyObject* Vector2_sub(PyObject* self, PyObject* other) {
    if (!checkOther(other)) return nullptr;
    Vector2 *v = py::cast<Vector2>(self), *o = py::cast<Vector2>(other);
    v->assign(v->x - o->x, v->y - o->y);
    Py_RETURN_NONE;
}

// vector.<name> <operation> right, the coordinate read by attribute so that a
// subclass overriding it is honoured.
static py::Ref applyToCoordinate(PyObject* vector, py::Name& name,
                                 PyObject* (*operation)(PyObject*, PyObject*), PyObject* right) {
    py::Ref value = py::getAttr(vector, name);
    return py::Ref(value ? operation(value.get(), right) : nullptr);
}

// x = x * factor, then y = y * factor, through the properties; a failure at y keeps x scaled.
static bool scaleCoordinate(PyObject* self, py::Name& name, PyObject* factor) {
    py::Ref scaled = applyToCoordinate(self, name, PyNumber_Multiply, factor);
    return scaled && py::setAttr(self, name, scaled.get());
}

static PyObject* Vector2_scale(PyObject* self, PyObject* factor) {
    if (isExactVector(self) && isPlainNumber(factor)) {
        double f;
        if (!py::toDouble(factor, f)) return nullptr;
        Vector2* v = py::cast<Vector2>(self);
        v->assign(v->x * f, v->y * f);
        Py_RETURN_NONE;
    }
    if (!scaleCoordinate(self, nX, factor) || !scaleCoordinate(self, nY, factor)) return nullptr;
    Py_RETURN_NONE;
}

static PyObject* Vector2_rotate(PyObject* self, PyObject* degrees) {
    double radians;
    if (isPlainNumber(degrees)) {
        double angle;
        if (!py::toDouble(degrees, angle)) return nullptr;
        radians = angle * DEG2RAD;
    } else {
        py::Ref factor(PyFloat_FromDouble(DEG2RAD));
        py::Ref product(factor ? PyNumber_Multiply(degrees, factor.get()) : nullptr);
        if (!product || !py::toDouble(product.get(), radians)) return nullptr;
    }
    double c = std::cos(radians), s = std::sin(radians);
    Vector2* v = py::cast<Vector2>(self);
    double x = v->x, y = v->y;
    v->assign(c * x - s * y, c * y + s * x);
    Py_RETURN_NONE;
}

static PyObject* Vector2_negate(PyObject* self, PyObject*) {
    Vector2* v = py::cast<Vector2>(self);
    v->assign(-v->x, -v->y);
    Py_RETURN_NONE;
}

// --- operators: the left operand is the vector ------------------------------------------

// Left operands that are not exactly Vector2 are read by attribute, in the order of
// the expressions Vector2(a.x + b._x, a.y + b._y), a.x * b.x + a.y * b.y and
// Vector2(a.x * b, a.y * b): a failure stops before the next coordinate is read.

template <PyObject* (*combine)(PyObject*, PyObject*), double (*op)(double, double)>
static PyObject* combineVectors(PyObject* left, PyObject* right) {
    if (!checkOther(right)) return nullptr;
    Vector2* b = py::cast<Vector2>(right);
    if (isExactVector(left))
        return newVector2(op(py::cast<Vector2>(left)->x, b->x),
                          op(py::cast<Vector2>(left)->y, b->y));
    py::Ref bx(PyFloat_FromDouble(b->x));
    py::Ref x(bx ? applyToCoordinate(left, nX, combine, bx.get()) : py::Ref());
    py::Ref by(x ? PyFloat_FromDouble(b->y) : nullptr);
    py::Ref y(by ? applyToCoordinate(left, nY, combine, by.get()) : py::Ref());
    return y ? newVector2From(x.get(), y.get()) : nullptr;
}

static double plus(double a, double b) {
    return a + b;
}
static double minus(double a, double b) {
    return a - b;
}

static PyObject* Vector2_nb_add(PyObject* left, PyObject* right) {
    return combineVectors<PyNumber_Add, plus>(left, right);
}

static PyObject* Vector2_nb_subtract(PyObject* left, PyObject* right) {
    return combineVectors<PyNumber_Subtract, minus>(left, right);
}

// a.<name> * b.<name>, both read by attribute.
static py::Ref coordinateProduct(PyObject* left, PyObject* right, py::Name& name) {
    py::Ref a = py::getAttr(left, name);
    py::Ref b(a ? py::getAttr(right, name) : py::Ref());
    return py::Ref(b ? PyNumber_Multiply(a.get(), b.get()) : nullptr);
}

// vector * Vector2 is the dot product; vector * anything else scales.
static PyObject* Vector2_nb_multiply(PyObject* left, PyObject* right) {
    bool dot = isExactVector(right);
    if (isExactVector(left) && (dot || isPlainNumber(right))) {
        Vector2* a = py::cast<Vector2>(left);
        if (dot)
            return PyFloat_FromDouble(a->x * py::cast<Vector2>(right)->x +
                                      a->y * py::cast<Vector2>(right)->y);
        double factor;
        if (!py::toDouble(right, factor)) return nullptr;
        return newVector2(a->x * factor, a->y * factor);
    }
    if (dot) {
        py::Ref xx(coordinateProduct(left, right, nX));
        py::Ref yy(xx ? coordinateProduct(left, right, nY) : py::Ref());
        return yy ? PyNumber_Add(xx.get(), yy.get()) : nullptr;
    }
    py::Ref x = applyToCoordinate(left, nX, PyNumber_Multiply, right);
    py::Ref y(x ? applyToCoordinate(left, nY, PyNumber_Multiply, right) : py::Ref());
    return y ? newVector2From(x.get(), y.get()) : nullptr;
}

static PyObject* Vector2_repr(PyObject* self) {
    char* x = PyOS_double_to_string(py::cast<Vector2>(self)->x, 'f', 6, 0, nullptr);
    char* y = x ? PyOS_double_to_string(py::cast<Vector2>(self)->y, 'f', 6, 0, nullptr) : nullptr;
    PyObject* text = y ? PyUnicode_FromFormat("Vector2(%s, %s)", x, y) : PyErr_NoMemory();
    PyMem_Free(x);
    PyMem_Free(y);
    return text;
}

// Vectors come and go by the thousand each frame (operator results, copies), so the
// memory of released base-type vectors is kept for the next ones, as the host does
// for floats. Instances of Python subclasses are sized differently and go the usual way.
namespace {
using GenericVector = py::Generic<Vector2>;
constexpr int freeCapacity = 100;
Vector2* freeVectors[freeCapacity];
int freeCount = 0;
} // namespace

static PyObject* Vector2_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    if (type != Vector2::type || freeCount == 0) return GenericVector::tpNew(type, args, kwargs);
    Vector2* v = freeVectors[--freeCount];
    PyObject_Init(py::asObject(v), type);
    v->ops = &Vector2::table;
    v->x = v->y = 0.0;
    return py::asObject(v);
}

static void Vector2_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    if (type != Vector2::type || freeCount == freeCapacity) return GenericVector::tpDealloc(self);
    freeVectors[freeCount++] = py::cast<Vector2>(self);
    Py_DECREF(type);
}

static PyObject* Vector2_getLength(PyObject* self, void*) {
    return PyFloat_FromDouble(py::cast<Vector2>(self)->length());
}

static const PyMethodDef vector2Methods[] = {
    py::noArgs<"normalize", Vector2_normalize>(py::doc<"Normalizes the vector in place.">),
    py::noArgs<"copy", Vector2_copy>(py::doc<"@returns(Vector2)">),
    py::noArgs<"getDegrees", Vector2_getDegrees>(py::doc<"@returns(float)">),
    py::oneArg<"angleTo", Vector2_angleTo, "other">(
        py::doc<"@param(other, Vector2)", "@returns(float)">),
    py::oneArg<"angleToInDegrees", Vector2_angleToInDegrees, "other">(
        py::doc<"@param(other, Vector2)", "@returns(float)">),
    py::oneArg<"set", Vector2_set, "other">(py::doc<"@param(other, Vector2)">),
    py::oneArg<"add", Vector2_add, "other">(py::doc<"@param(other, Vector2)">),
    py::oneArg<"sub", Vector2_sub, "other">(py::doc<"@param(other, Vector2)">),
    py::oneArg<"scale", Vector2_scale, "factor">(py::doc<"@param(factor, float)">),
    py::oneArg<"rotate", Vector2_rotate, "degrees">(py::doc<"@param(degrees, float)">),
    py::noArgs<"negate", Vector2_negate>(py::doc<"Negates the vector in place.">),
};

static const py::Member vector2Members[] = {
    py::member<&Vector2::x>("_x").readwrite("x").exposed().watched(),
    py::member<&Vector2::y>("_y").readwrite("y").exposed().watched(),
};

static const PyGetSetDef vector2Properties[] = {py::property<Vector2_getLength>("length")};

static const PyType_Slot vector2Slots[] = {
    py::slot<Py_tp_new, Vector2_new>(),
    py::slot<Py_tp_dealloc, Vector2_dealloc>(),
    py::slot<Py_tp_repr, Vector2_repr>(),
    py::slot<Py_tp_str, Vector2_repr>(),
    py::slot<Py_nb_add, Vector2_nb_add>(),
    py::slot<Py_nb_subtract, Vector2_nb_subtract>(),
    py::slot<Py_nb_multiply, Vector2_nb_multiply>(),
};

py::ClassDef& vector2Class() {
    return py::define<Vector2>("Vector2",
                               {.members = vector2Members,
                                .init = py::init<Vector2_init, "x", "y">,
                                .methods = vector2Methods,
                                .properties = vector2Properties,
                                .slots = vector2Slots,
                                .initDoc = py::doc<"@param(x, float)", "@param(y, float)">});
}

static bool geometryMathStatements() {
    if (!py::bind("math", py::Ref(PyImport_ImportModule("math")))) return false;
    RAD2DEG = 57.29577951308232;
    DEG2RAD = 0.017453292519943295;
    return true;
}

const py::Segment geometryMathSegment{geometryMathStatements};
