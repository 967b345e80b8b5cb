// Renderer: a system that draws into its target after its ordinary update.
#include "renderer.hpp"

#include "py/args.hpp"
#include "py/call.hpp"
#include "py/cast.hpp"
#include "py/methods.hpp"
#include "resources/texture.hpp"

#include <algorithm>

namespace {

py::Name nRender("render");
py::Name nUpdate("update");
py::Name nInit("__init__");

} // namespace

// Every positional argument after the target is a component type.
static int Renderer_init(PyObject* self, py::Arguments<1>& a, PyObject* args) {
    PyObject* target = a[0];
    if (!py::checkArgument(target, Texture::type, "target", true)) return -1;
    // The base constructor of the class itself, not an override further down.
    Py_ssize_t given = PyTuple_GET_SIZE(args);
    py::Ref baseArgs(PyTuple_New(std::max<Py_ssize_t>(given, 1)));
    if (!baseArgs) return -1;
    PyTuple_SET_ITEM(baseArgs.get(), 0, py::newRef(self));
    for (Py_ssize_t i = 1; i < given; ++i)
        PyTuple_SET_ITEM(baseArgs.get(), i, py::newRef(PyTuple_GET_ITEM(args, i)));
    py::Ref baseInit = py::getAttr(py::asObject(AbstractSystem::type), nInit);
    py::Ref done(baseInit ? PyObject_Call(baseInit.get(), baseArgs.get(), nullptr) : nullptr);
    if (!done) return -1;
    py::assign(py::cast<Renderer>(self)->target, target);
    return 0;
}

static PyObject* Renderer_update(PyObject* self, PyObject* timeStep) {
    py::Ref baseUpdate = py::getAttr(py::asObject(AbstractSystem::type), nUpdate);
    py::Ref done(baseUpdate
                     ? PyObject_CallFunctionObjArgs(baseUpdate.get(), self, timeStep, nullptr)
                     : nullptr);
    if (!done || !py::callMethod(self, nRender)) return nullptr;
    Py_RETURN_NONE;
}

static PyObject* Renderer_render(PyObject*, PyObject*) {
    Py_RETURN_NONE;
}

static PyObject* Renderer_getTarget(PyObject* self, PyObject*) {
    return py::newRef(py::cast<Renderer>(self)->target);
}

static const PyMethodDef rendererMethods[] = {
    py::oneArg<"update", Renderer_update, "timeStep">(
        py::doc<"Updates the system and then renders into the target.", "@param(timeStep, float)">),
    py::noArgs<"render", Renderer_render>(
        py::plainDoc<"Should be overwritten by deriving classes.">),
    py::noArgs<"getTarget", Renderer_getTarget>(py::doc<"@returns(Texture)">),
};

static const py::Member rendererMembers[] = {
    py::member<&Renderer::target>().typed<&Texture::type>(),
};

py::ClassDef& rendererClass() {
    return py::define<Renderer>(
        "Renderer", {.doc = "This is the abstract base class for all quorvelin renderers.",
                     .members = rendererMembers,
                     .init = py::init<Renderer_init, "target", "*componentTypes">,
                     .methods = rendererMethods});
}
