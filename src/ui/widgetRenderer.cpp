#include "ui/widgetRenderer.hpp"

#include "py/cast.hpp"
#include "py/errors.hpp"
#include "resources/texture.hpp"
#include "ui/theme.hpp"

namespace {

bool isUIRenderer(PyObject* object) {
    return PyObject_TypeCheck(object, UIRenderer::type);
}

} // namespace

py::Ref rendererTarget(PyObject* renderer) {
    PyObject* target = isUIRenderer(renderer) ? py::cast<UIRenderer>(renderer)->target : nullptr;
    if (!target || !isTexture(target)) {
        py::engineException("The UIRenderer has no target texture.");
        return py::Ref();
    }
    return py::Ref::borrow(target);
}

py::Ref rendererTheme(PyObject* renderer) {
    PyObject* theme = isUIRenderer(renderer) ? py::cast<UIRenderer>(renderer)->theme : nullptr;
    if (!theme || !PyObject_TypeCheck(theme, UITheme::type)) {
        py::engineException("The UIRenderer has no theme.");
        return py::Ref();
    }
    return py::Ref::borrow(theme);
}
