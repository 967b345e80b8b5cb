// UIListContainer: its three layout passes, setPadding and addChild.
#include "ui/listcontainer.hpp"

#include "py/args.hpp"
#include "py/cast.hpp"
#include "py/methods.hpp"
#include "py/module.hpp"

namespace {

constexpr int32_t horizontal = 0; // LIST_LAYOUT_HORIZONTAL
constexpr int32_t vertical = 1;   // LIST_LAYOUT_VERTICAL

py::Name nListLayoutVertical("LIST_LAYOUT_VERTICAL");
py::Name nSetParent("_setParent");

int32_t outerWidth(const UIWidget* w) {
    return layout::add(layout::add(w->width, w->marginLeft), w->marginRight);
}
int32_t outerHeight(const UIWidget* w) {
    return layout::add(layout::add(w->height, w->marginTop), w->marginBottom);
}

} // namespace

// --- the table -------------------------------------------------------------------------

// As long as all children together along the stacking axis, as wide as the widest
// across it, plus the paddings; invisible children count too.
static walk::Step UIListContainer_calculateMinSize(UIWidget* self) {
    int32_t widest = 0, tallest = 0, totalWidth = 0, totalHeight = 0;
    py::Ref children = py::Ref::borrow(py::cast<AbstractUIContainer>(self)->children);
    for (Py_ssize_t i = 0; PyList_Check(children.get()) && i < PyList_GET_SIZE(children.get());
         ++i) {
        py::Ref held = py::Ref::borrow(PyList_GET_ITEM(children.get(), i));
        co_await passStep(held.get(), &UIWidgetOps::calculateMinSize);
        UIWidget* child = py::cast<UIWidget>(held.get()); // a widget: its step has run
        widest = std::max(widest, outerWidth(child));
        tallest = std::max(tallest, outerHeight(child));
        totalWidth = layout::add(totalWidth, outerWidth(child));
        totalHeight = layout::add(totalHeight, outerHeight(child));
    }
    UIListContainer* list = py::cast<UIListContainer>(self);
    bool across = list->layout == horizontal;
    int fixed = policyIs(self->sizePolicyX, SizePolicy::fixed);
    if (fixed < 0) co_return walk::failed;
    if (!fixed)
        self->width = layout::add(layout::add(across ? totalWidth : widest, list->paddingLeft),
                                  list->paddingRight);
    fixed = policyIs(self->sizePolicyY, SizePolicy::fixed);
    if (fixed < 0) co_return walk::failed;
    if (!fixed)
        self->height = layout::add(layout::add(across ? tallest : totalHeight, list->paddingTop),
                                   list->paddingBottom);
    co_return walk::done;
}

static walk::Step UIListContainer_calculateMaxSize(UIWidget* self) {
    co_await UIWidget::table.calculateMaxSize(self);
    UIListContainer* list = py::cast<UIListContainer>(self);
    list->innerWidth = layout::sub(layout::sub(self->width, list->paddingLeft), list->paddingRight);
    list->innerHeight =
        layout::sub(layout::sub(self->height, list->paddingTop), list->paddingBottom);
    co_return co_await eachChildPass(self, &UIWidgetOps::calculateMaxSize);
}

// One after another from the padded origin; across the stacking axis by the child's
// alignment within the inner size (inside the paddings). No Python code runs while the
// children are placed.
static walk::Step UIListContainer_calculatePos(UIWidget* self) {
    UIListContainer* list = py::cast<UIListContainer>(self);
    int32_t originX = layout::add(self->x, list->paddingLeft);
    int32_t originY = layout::add(self->y, list->paddingTop);
    bool across = list->layout == horizontal;
    int32_t offset = 0;
    PyObject* children = list->children;
    for (Py_ssize_t i = 0; PyList_Check(children) && i < PyList_GET_SIZE(children); ++i) {
        UIWidget* c = widgetOrRefuse(PyList_GET_ITEM(children, i));
        if (!c) return false;
        if (across) {
            c->x = layout::add(layout::add(originX, offset), c->marginLeft);
            c->y =
                layout::add(originY, layout::alignAcross(c->verticalAlign, list->innerHeight,
                                                         c->height, c->marginTop, c->marginBottom));
            offset = layout::add(offset, outerWidth(c));
        } else {
            c->x =
                layout::add(originX, layout::alignAcross(c->horizontalAlign, list->innerWidth,
                                                         c->width, c->marginLeft, c->marginRight));
            c->y = layout::add(layout::add(originY, offset), c->marginTop);
            offset = layout::add(offset, outerHeight(c));
        }
    }
    return AbstractUIContainer::table.calculatePos(self);
}

UIWidgetOps listContainerTable() {
    UIWidgetOps table = containerTable();
    table.calculateMinSize = UIListContainer_calculateMinSize;
    table.calculateMaxSize = UIListContainer_calculateMaxSize;
    table.calculatePos = UIListContainer_calculatePos;
    return table;
}

const UIWidgetOps UIListContainer::table = listContainerTable();

// --- construction and methods -------------------------------------------------------------

static bool UIListContainer_allocated(PyObject* self) {
    py::Ref value = py::moduleGlobal(nListLayoutVertical);
    return value && py::toInt32(value.get(), py::cast<UIListContainer>(self)->layout);
}

static int UIListContainer_init(PyObject* self, PyObject* args, PyObject* kwargs) {
    return AbstractUIContainer::type->tp_init(self, args, kwargs);
}

static PyObject* UIListContainer_setPadding(PyObject* self, PyObject* args, PyObject* kwargs) {
    auto* list = py::cast<UIListContainer>(self);
    return setSides("setPadding", args, kwargs, &list->paddingTop, &list->paddingRight,
                    &list->paddingBottom, &list->paddingLeft);
}

// Appends the child and links it; a child added twice takes two places.
static PyObject* UIListContainer_addChild(PyObject* self, PyObject* child) {
    if (!py::checkArgument(child, UIWidget::type, "child") || !refuseCycle(self, child))
        return nullptr;
    py::Ref children = py::Ref::borrow(py::cast<AbstractUIContainer>(self)->children);
    if (!py::append(children.get(), child)) return nullptr;
    return py::noneOrFailed(bool(py::callMethod(child, nSetParent, self)));
}

static const PyMethodDef uiListContainerMethods[] = {
    py::withVarargs<"setPadding", UIListContainer_setPadding, "*values">(),
    py::oneArg<"addChild", UIListContainer_addChild, "child">(py::doc<"@param(child, UIWidget)">),
};

static const py::Member uiListContainerMembers[] = {
    py::member<&UIListContainer::paddingLeft>().readwrite("paddingLeft"),
    py::member<&UIListContainer::paddingTop>().readwrite("paddingTop"),
    py::member<&UIListContainer::paddingRight>().readwrite("paddingRight"),
    py::member<&UIListContainer::paddingBottom>().readwrite("paddingBottom"),
    py::member<&UIListContainer::layout>().readwrite("layout"),
};

py::ClassDef& uiListContainerClass() {
    return py::define<UIListContainer>(
        "UIListContainer",
        {.doc = py::classDoc<
             "A UIListContainer can contain other UIWidget objects next to or above each other.">,
         .members = uiListContainerMembers,
         .init = UIListContainer_init,
         .methods = uiListContainerMethods,
         .allocated = UIListContainer_allocated});
}

static bool listContainerStatements() {
    return py::bindInt("LIST_LAYOUT_HORIZONTAL", horizontal) &&
           py::bindInt("LIST_LAYOUT_VERTICAL", vertical);
}

const py::Segment listContainerSegment{listContainerStatements};
