// AbstractUIContainer: the fan-out of every per-frame operation over the children.
// Drawing, updates and layout go first-added to last-added, so later children are
// drawn over earlier ones; clicks and wheel events go the other way, so the child
// drawn on top is asked first. Every walk follows the live list by position.
#include "ui/abstractcontainer.hpp"

#include "py/args.hpp"
#include "py/cast.hpp"
#include "py/methods.hpp"

#include <unordered_set>
#include <vector>

namespace {

py::Name nRemove("remove");

} // namespace

// --- the table -------------------------------------------------------------------------

walk::Step eachChildPass(UIWidget* container, LayoutPass pass) {
    return forEachChild(py::asObject(container),
                        [pass](PyObject* child) { return passStep(child, pass); });
}

static walk::Step AbstractUIContainer_setRenderer(UIWidget* self, PyObject* renderer) {
    UIWidget::table.setRenderer(self, renderer);
    return forEachChild(py::asObject(self),
                        [renderer](PyObject* child) { return rendererStep(child, renderer); });
}

static walk::Step AbstractUIContainer_calculateMinSize(UIWidget* self) {
    co_await eachChildPass(self, &UIWidgetOps::calculateMinSize);
    co_return co_await UIWidget::table.calculateMinSize(self);
}

static walk::Step AbstractUIContainer_calculateMaxSize(UIWidget* self) {
    co_await UIWidget::table.calculateMaxSize(self);
    py::cast<AbstractUIContainer>(self)->innerWidth = self->width;
    py::cast<AbstractUIContainer>(self)->innerHeight = self->height;
    co_return co_await eachChildPass(self, &UIWidgetOps::calculateMaxSize);
}

static walk::Step AbstractUIContainer_calculatePos(UIWidget* self) {
    return eachChildPass(self, &UIWidgetOps::calculatePos);
}

static walk::Step AbstractUIContainer_renderStep(UIWidget* self, ClipValues clip) {
    return renderChildren(py::asObject(self), clip);
}

static walk::Step AbstractUIContainer_updateStep(UIWidget* self, PyObject* mouseX, PyObject* mouseY,
                                                 PyObject* pressed) {
    return updateWithChildren(py::asObject(self), mouseX, mouseY, pressed);
}

static walk::Step AbstractUIContainer_takeClick(UIWidget* self, PyObject* event) {
    return childrenTakeClick(py::asObject(self), event);
}

static walk::Step AbstractUIContainer_takeScroll(UIWidget* self, PyObject* event) {
    return childrenTakeScroll(py::asObject(self), event);
}

UIWidgetOps containerTable() {
    UIWidgetOps table{UIWidget::table};
    table.setRenderer = AbstractUIContainer_setRenderer;
    table.calculateMinSize = AbstractUIContainer_calculateMinSize;
    table.calculateMaxSize = AbstractUIContainer_calculateMaxSize;
    table.calculatePos = AbstractUIContainer_calculatePos;
    table.render = AbstractUIContainer_renderStep;
    table.update = AbstractUIContainer_updateStep;
    table.takeClick = AbstractUIContainer_takeClick;
    table.takeScroll = AbstractUIContainer_takeScroll;
    return table;
}

const UIWidgetOps AbstractUIContainer::table = containerTable();

// --- the walks --------------------------------------------------------------------------

walk::Step renderChildren(PyObject* self, ClipValues clip) {
    int ready = readyToDraw(py::cast<UIWidget>(self));
    if (ready <= 0) return ready == 0;
    return forEachChild(self, [clip](PyObject* child) { return renderStep(child, clip); });
}

walk::Step updateWithChildren(PyObject* self, PyObject* mouseX, PyObject* mouseY,
                              PyObject* pressed) {
    if (!updateWidget(self, mouseX, mouseY, pressed)) return false;
    return forEachChild(self, [mouseX, mouseY, pressed](PyObject* child) {
        return updateStep(child, mouseX, mouseY, pressed);
    });
}

// Asks the children last-added first, by `ask`, until one answers true. The walk ends
// as soon as its next position is no longer inside the list, which a handler may have
// shortened.
static walk::Step childrenTake(PyObject* self, PyObject* event,
                               walk::Step (*ask)(PyObject* child, PyObject* event)) {
    py::Ref children = py::Ref::borrow(py::cast<AbstractUIContainer>(self)->children);
    if (!PyList_Check(children.get())) co_return 0;
    for (Py_ssize_t i = PyList_GET_SIZE(children.get()) - 1;
         i >= 0 && i < PyList_GET_SIZE(children.get()); --i) {
        py::Ref child = py::Ref::borrow(PyList_GET_ITEM(children.get(), i));
        int taken = co_await ask(child.get(), event);
        if (taken) co_return 1;
    }
    co_return 0;
}

walk::Step childrenTakeClick(PyObject* self, PyObject* event) {
    return childrenTake(self, event, clickStep);
}

walk::Step childrenTakeScroll(PyObject* self, PyObject* event) {
    return childrenTake(self, event, scrollStep);
}

bool refuseCycle(PyObject* container, PyObject* child) {
    // No Python code runs during the search: the lists cannot change under it, and
    // nothing is released.
    std::vector<PyObject*> pending{child};
    std::unordered_set<PyObject*> seen{child};
    while (!pending.empty()) {
        PyObject* widget = pending.back();
        pending.pop_back();
        if (widget == container)
            return py::raise(PyExc_ValueError,
                             "Can not add a widget to itself or to one of its descendants.");
        if (!PyObject_TypeCheck(widget, AbstractUIContainer::type)) continue;
        PyObject* children = py::cast<AbstractUIContainer>(widget)->children;
        if (!PyList_Check(children)) continue;
        for (Py_ssize_t i = 0; i < PyList_GET_SIZE(children); ++i)
            if (PyObject* grandchild = PyList_GET_ITEM(children, i); seen.insert(grandchild).second)
                pending.push_back(grandchild);
    }
    return true;
}

// --- construction and methods -------------------------------------------------------------

static bool AbstractUIContainer_allocated(PyObject* self) {
    py::Ref children(PyList_New(0));
    if (children) py::assign(py::cast<AbstractUIContainer>(self)->children, children.get());
    return bool(children);
}

static int AbstractUIContainer_init(PyObject* self, PyObject* args, PyObject* kwargs) {
    return UIWidget::type->tp_init(self, args, kwargs);
}

bool removeFromChildren(PyObject* self, PyObject* child) {
    py::Ref children = py::Ref::borrow(py::cast<AbstractUIContainer>(self)->children);
    if (!PyList_Check(children.get())) return true;
    int present = PySequence_Contains(children.get(), child);
    return present == 0 || (present > 0 && py::callMethod(children.get(), nRemove, child));
}

static PyObject* AbstractUIContainer_removeChild(PyObject* self, PyObject* child) {
    return py::noneOrFailed(removeFromChildren(self, child));
}

static PyObject* AbstractUIContainer_removeAllChildren(PyObject* self, PyObject*) {
    py::Ref children = py::Ref::borrow(py::cast<AbstractUIContainer>(self)->children);
    if (!PyList_Check(children.get())) Py_RETURN_NONE;
    return py::noneOrFailed(PyList_SetSlice(children.get(), 0, PY_SSIZE_T_MAX, nullptr) == 0);
}

static PyObject* AbstractUIContainer_getChildren(PyObject* self, PyObject*) {
    return py::newRef(py::cast<AbstractUIContainer>(self)->children);
}

static const PyMethodDef abstractUIContainerMethods[] = {
    renderMethod<renderWalk<AbstractUIContainer_renderStep>>(py::doc<"Renders the child widgets.">),
    py::withKeywords<"update", updateWalk<AbstractUIContainer_updateStep>, "mouseX", "mouseY",
                     "isMouseLeftPressed">(py::doc<"Updates the child widgets.">),
    py::oneArg<"removeChild", AbstractUIContainer_removeChild, "child">(
        py::doc<"@param(child, UIWidget)">),
    py::noArgs<"removeAllChildren", AbstractUIContainer_removeAllChildren>(),
    py::noArgs<"getChildren", AbstractUIContainer_getChildren>(py::doc<"@returns(list<UIWidget>)">),
    py::oneArg<"_onClick", eventWalk<AbstractUIContainer_takeClick>, "event">(),
    py::oneArg<"_onScroll", eventWalk<AbstractUIContainer_takeScroll>, "event">(),
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
