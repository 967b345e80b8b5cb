// AbstractUIContainer: the fan-out of every per-frame operation over the children.
// Drawing, updates and layout go first-added to last-added, so later children are
// drawn over earlier ones; clicks and wheel events go the other way, so the child
// drawn on top is asked first. Every walk follows the live list by position.
#include "ui/abstractcontainer.hpp"

#include "py/args.hpp"
#include "py/methods.hpp"

namespace {

py::Name nRemove("remove");

AbstractUIContainer* asSelf(UIWidget* widget) {
    return reinterpret_cast<AbstractUIContainer*>(widget);
}

} // namespace

// --- the table -------------------------------------------------------------------------

static bool AbstractUIContainer_setRenderer(UIWidget* self, PyObject* renderer) {
    UIWidget::table.setRenderer(self, renderer);
    return forEachChildWidget(
        asObject(self), [&](UIWidget* child) { return child->ops->setRenderer(child, renderer); });
}

static bool AbstractUIContainer_calculateMinSize(UIWidget* self) {
    return forEachChildWidget(
               asObject(self),
               [](UIWidget* child) { return child->ops->calculateMinSize(child); }) &&
           UIWidget::table.calculateMinSize(self);
}

static bool AbstractUIContainer_calculateMaxSize(UIWidget* self) {
    if (!UIWidget::table.calculateMaxSize(self)) return false;
    asSelf(self)->innerWidth = self->width;
    asSelf(self)->innerHeight = self->height;
    return forEachChildWidget(asObject(self),
                              [](UIWidget* child) { return child->ops->calculateMaxSize(child); });
}

static bool AbstractUIContainer_calculatePos(UIWidget* self) {
    return forEachChildWidget(asObject(self),
                              [](UIWidget* child) { return child->ops->calculatePos(child); });
}

UIWidgetOps containerTable() {
    UIWidgetOps table{UIWidget::table};
    table.setRenderer = AbstractUIContainer_setRenderer;
    table.calculateMinSize = AbstractUIContainer_calculateMinSize;
    table.calculateMaxSize = AbstractUIContainer_calculateMaxSize;
    table.calculatePos = AbstractUIContainer_calculatePos;
    return table;
}

const UIWidgetOps AbstractUIContainer::table = containerTable();

// --- the walks --------------------------------------------------------------------------

bool renderChildren(PyObject* self, ClipValues clip) {
    int ready = readyToDraw(asWidget(self));
    if (ready <= 0) return ready == 0;
    return forEachChild(self, [&](PyObject* child) {
        return widgetOrRefuse(child) &&
               py::callMethod(child, ui::nRender, clip[0], clip[1], clip[2], clip[3]);
    });
}

// Asks the children last-added first, by `method`, until one answers true. The walk
// ends as soon as its next position is no longer inside the list, which a handler
// may have shortened.
static int childrenTake(PyObject* self, py::Name& method, PyObject* event) {
    py::Ref children = py::Ref::borrow(asContainer(self)->children);
    if (!PyList_Check(children.get())) return 0;
    for (Py_ssize_t i = PyList_GET_SIZE(children.get()) - 1;
         i >= 0 && i < PyList_GET_SIZE(children.get()); --i) {
        py::Ref child = py::Ref::borrow(PyList_GET_ITEM(children.get(), i));
        if (!widgetOrRefuse(child.get())) return -1;
        py::Ref answer = py::callMethod(child.get(), method, event);
        int taken = answer ? PyObject_IsTrue(answer.get()) : -1;
        if (taken != 0) return taken;
    }
    return 0;
}

int childrenTakeClick(PyObject* self, PyObject* event) {
    return childrenTake(self, ui::nOnClick, event);
}

int childrenTakeScroll(PyObject* self, PyObject* event) {
    return childrenTake(self, ui::nOnScroll, event);
}

// --- construction and methods -------------------------------------------------------------

static bool AbstractUIContainer_allocated(PyObject* self) {
    py::Ref children(PyList_New(0));
    if (children) py::assign(asContainer(self)->children, children.get());
    return bool(children);
}

static int AbstractUIContainer_init(PyObject* self, PyObject* args, PyObject* kwargs) {
    return UIWidget::type->tp_init(self, args, kwargs);
}

static PyObject* AbstractUIContainer_update(PyObject* self, py::Arguments<3>& a) {
    return py::noneOrFailed(updateWithChildren(self, a[0], a[1], a[2]));
}

bool updateWithChildren(PyObject* self, PyObject* mouseX, PyObject* mouseY, PyObject* pressed) {
    return updateWidget(self, mouseX, mouseY, pressed) && forEachChild(self, [&](PyObject* child) {
               return widgetOrRefuse(child) &&
                      py::callMethod(child, ui::nUpdate, mouseX, mouseY, pressed);
           });
}

bool removeFromChildren(PyObject* self, PyObject* child) {
    py::Ref children = py::Ref::borrow(asContainer(self)->children);
    if (!PyList_Check(children.get())) return true;
    int present = PySequence_Contains(children.get(), child);
    return present == 0 || (present > 0 && py::callMethod(children.get(), nRemove, child));
}

static PyObject* AbstractUIContainer_removeChild(PyObject* self, PyObject* child) {
    return py::noneOrFailed(removeFromChildren(self, child));
}

static PyObject* AbstractUIContainer_removeAllChildren(PyObject* self, PyObject*) {
    py::Ref children = py::Ref::borrow(asContainer(self)->children);
    if (!PyList_Check(children.get())) Py_RETURN_NONE;
    return py::noneOrFailed(PyList_SetSlice(children.get(), 0, PY_SSIZE_T_MAX, nullptr) == 0);
}

static PyObject* AbstractUIContainer_getChildren(PyObject* self, PyObject*) {
    return py::newRef(asContainer(self)->children);
}

static PyObject* AbstractUIContainer_onClick(PyObject* self, PyObject* event) {
    int taken = childrenTake(self, ui::nOnClick, event);
    return taken < 0 ? nullptr : PyBool_FromLong(taken);
}

static PyObject* AbstractUIContainer_onScroll(PyObject* self, PyObject* event) {
    int taken = childrenTake(self, ui::nOnScroll, event);
    return taken < 0 ? nullptr : PyBool_FromLong(taken);
}

static const PyMethodDef abstractUIContainerMethods[] = {
    renderMethod<renderChildren>(py::doc<"Renders the child widgets.">),
    py::withKeywords<"update", AbstractUIContainer_update, "mouseX", "mouseY",
                     "isMouseLeftPressed">(py::doc<"Updates the child widgets.">),
    py::oneArg<"removeChild", AbstractUIContainer_removeChild, "child">(
        py::doc<"@param(child, UIWidget)">),
    py::noArgs<"removeAllChildren", AbstractUIContainer_removeAllChildren>(),
    py::noArgs<"getChildren", AbstractUIContainer_getChildren>(py::doc<"@returns(list<UIWidget>)">),
    py::oneArg<"_onClick", AbstractUIContainer_onClick, "event">(),
    py::oneArg<"_onScroll", AbstractUIContainer_onScroll, "event">(),
};

static const py::Member abstractUIContainerMembers[] = {
    py::member<&AbstractUIContainer::children>().exactly<py::List>(),
    py::member<&AbstractUIContainer::innerWidth>(),
    py::member<&AbstractUIContainer::innerHeight>(),
};

py::ClassDef& abstractUIContainerClass() {
    return py::define<AbstractUIContainer>("AbstractUIContainer",
                                           {.members = abstractUIContainerMembers,
                                            .init = AbstractUIContainer_init,
                                            .methods = abstractUIContainerMethods,
                                            .allocated = AbstractUIContainer_allocated});
}
