// UIWidget: the widget base, its five table operations (the layout passes, the
// attachment to a renderer and the clip rule) and its Python-visible operations.
#include "ui/widget.hpp"

#include "py/args.hpp"
#include "py/cast.hpp"
#include "py/methods.hpp"
#include "py/module.hpp"
#include "resources/texture.hpp"
#include "ui/widgetRenderer.hpp"

#include <climits>

namespace ui {
py::Name nRender("render");
py::Name nUpdate("update");
py::Name nOnClick("_onClick");
py::Name nOnScroll("_onScroll");
} // namespace ui

namespace {

py::Name nSizeAuto("SIZE_AUTO");
py::Name nAlignLeft("ALIGN_LEFT");
py::Name nValignTop("VALIGN_TOP");
py::Name nIsInside("isInside");
py::Name nPointInRect("_pointInRect");
py::Name nIsHovered("isHovered");
py::Name nOnClickCallable("onClick");
py::Name nOnDragStart("onDragStart");
py::Name nOnDragEnd("onDragEnd");
py::Name nOnDrag("onDrag");

// A module constant of this moment as an int.
bool readConstant(py::Name& name, int32_t& out) {
    py::Ref value = py::moduleGlobal(name);
    return value && py::toInt32(value.get(), out);
}

// An exact int that fits 32 bits, as most coordinates are.
bool smallInt(PyObject* object, int64_t& out) {
    if (!PyLong_CheckExact(object)) return false;
    int overflow = 0;
    long long value = PyLong_AsLongLongAndOverflow(object, &overflow);
    if (overflow || value < INT32_MIN || value > INT32_MAX) return false;
    out = value;
    return true;
}

bool strictlyInside(int64_t px, int64_t py, const UIWidget* w) {
    return px > w->x && px < int64_t(w->x) + w->width && py > w->y &&
           py < int64_t(w->y) + w->height;
}

} // namespace

UIWidget* widgetOrRefuse(PyObject* object) {
    if (isWidget(object)) return py::cast<UIWidget>(object);
    py::cannotConvert(object, UIWidget::type);
    return nullptr;
}

int readyToDraw(UIWidget* widget) {
    if (!widget->isVisible) return 0;
    if (widget->renderer == Py_None)
        return py::engineException(
            "Can not render a widget that is not attached to a UIRenderer object!");
    return 1;
}

int pointInRect(PyObject* self, PyObject* x, PyObject* y, int64_t rectX, int64_t rectY,
                int64_t rectW, int64_t rectH) {
    int64_t px, py;
    if (py::hasOwnMethods(py::cast<UIWidget>(self)) && smallInt(x, px) && smallInt(y, py))
        return px > rectX && px < rectX + rectW && py > rectY && py < rectY + rectH;
    py::Ref rect[4] = {py::Ref(PyLong_FromLongLong(rectX)), py::Ref(PyLong_FromLongLong(rectY)),
                       py::Ref(PyLong_FromLongLong(rectW)), py::Ref(PyLong_FromLongLong(rectH))};
    for (const py::Ref& value : rect)
        if (!value) return -1;
    py::Ref answer = py::callMethod(self, nPointInRect, x, y, rect[0].get(), rect[1].get(),
                                    rect[2].get(), rect[3].get());
    return answer ? PyObject_IsTrue(answer.get()) : -1;
}

PyObject* rendererEngine(UIWidget* widget) {
    PyObject* renderer = widget->renderer;
    if (renderer == Py_None || !PyObject_TypeCheck(renderer, AbstractSystem::type)) return Py_None;
    return py::cast<AbstractSystem>(renderer)->engine;
}

// --- the table -------------------------------------------------------------------------

static walk::Step UIWidget_setRenderer(UIWidget* self, PyObject* renderer) {
    py::assign(self->renderer, renderer);
    return true;
}

static walk::Step UIWidget_calculateMinSize(UIWidget* self) {
    int fixed = policyIs(self->sizePolicyX, SizePolicy::fixed);
    if (fixed < 0) return false;
    if (!fixed) self->width = 0;
    fixed = policyIs(self->sizePolicyY, SizePolicy::fixed);
    if (fixed < 0) return false;
    if (!fixed) self->height = 0;
    return true;
}

// The space the widget may fill: its parent's inner size, or the whole target for the
// root. False without error when there is neither.
static bool availableSize(UIWidget* self, int32_t& width, int32_t& height, bool& known) {
    known = true;
    if (self->parent != Py_None && PyObject_TypeCheck(self->parent, AbstractUIContainer::type)) {
        width = py::cast<AbstractUIContainer>(self->parent)->innerWidth;
        height = py::cast<AbstractUIContainer>(self->parent)->innerHeight;
        return true;
    }
    if (self->renderer == Py_None) {
        known = false;
        return true;
    }
    py::Ref target = rendererTarget(self->renderer);
    SDL_Surface* surface = target ? textureSurface(target.get()) : nullptr;
    if (!surface) return false;
    width = surface->w;
    height = surface->h;
    return true;
}

static walk::Step UIWidget_calculateMaxSize(UIWidget* self) {
    int32_t width = 0, height = 0;
    bool known = false;
    if (!availableSize(self, width, height, known)) return false;
    if (!known) return true;
    int grows = policyIs(self->sizePolicyX, SizePolicy::grow);
    if (grows < 0) return false;
    if (grows) self->width = layout::sub(layout::sub(width, self->marginLeft), self->marginRight);
    grows = policyIs(self->sizePolicyY, SizePolicy::grow);
    if (grows < 0) return false;
    if (grows) self->height = layout::sub(layout::sub(height, self->marginTop), self->marginBottom);
    return true;
}

static walk::Step UIWidget_calculatePos(UIWidget*) {
    return true; // a widget never places itself
}

// The clip rule on host values, for clip values that are not plain ints: each
// comparison and sum is the host's, each result converted to an int.
static bool clipWithHostValues(UIWidget* self, ClipValues clip, layout::Rect& out) {
    py::Ref zero(PyLong_FromLong(0));
    if (!zero) return false;
    for (int i = 0; i < 4; ++i) {
        int negative = PyObject_RichCompareBool(clip[i], zero.get(), Py_LT);
        if (negative < 0) return false;
        if (negative) {
            out = {self->x, self->y, self->width, self->height};
            return true;
        }
    }
    py::Ref x(PyLong_FromLong(self->x)), y(PyLong_FromLong(self->y));
    py::Ref width(PyLong_FromLong(self->width)), height(PyLong_FromLong(self->height));
    if (!x || !y || !width || !height) return false;
    auto larger = [](PyObject* a, PyObject* b) -> py::Ref {
        int less = PyObject_RichCompareBool(a, b, Py_LT);
        return less < 0 ? py::Ref() : py::Ref::borrow(less ? b : a);
    };
    auto smaller = [](PyObject* a, PyObject* b) -> py::Ref {
        int less = PyObject_RichCompareBool(b, a, Py_LT);
        return less < 0 ? py::Ref() : py::Ref::borrow(less ? b : a);
    };
    py::Ref right(PyNumber_Add(x.get(), width.get()));
    py::Ref bottom(right ? PyNumber_Add(y.get(), height.get()) : nullptr);
    py::Ref clipRight(bottom ? PyNumber_Add(clip[0], clip[2]) : nullptr);
    py::Ref clipBottom(clipRight ? PyNumber_Add(clip[1], clip[3]) : nullptr);
    if (!clipBottom) return false;
    py::Ref x1 = larger(x.get(), clip[0]);
    py::Ref y1 = x1 ? larger(y.get(), clip[1]) : py::Ref();
    py::Ref x2 = y1 ? smaller(right.get(), clipRight.get()) : py::Ref();
    py::Ref y2 = x2 ? smaller(bottom.get(), clipBottom.get()) : py::Ref();
    py::Ref w(y2 ? PyNumber_Subtract(x2.get(), x1.get()) : nullptr);
    py::Ref h(w ? PyNumber_Subtract(y2.get(), y1.get()) : nullptr);
    // A result beyond the int range (only far away clip values give one) is refused as
    // no rectangle.
    int32_t values[4];
    if (!h || !py::toInt32(x1.get(), values[0]) || !py::toInt32(y1.get(), values[1]) ||
        !py::toInt32(w.get(), values[2]) || !py::toInt32(h.get(), values[3]))
        return false;
    out = {values[0], values[1], values[2], values[3]};
    return true;
}

static layout::Rect UIWidget_getClippedRect(UIWidget* self, ClipValues clip) {
    layout::Rect widget{self->x, self->y, self->width, self->height};
    int64_t v[4];
    if (smallInt(clip[0], v[0]) && smallInt(clip[1], v[1]) && smallInt(clip[2], v[2]) &&
        smallInt(clip[3], v[3])) {
        for (int64_t value : v)
            if (value < 0) return widget;
        return layout::clip(widget, {v[0], v[1], v[2], v[3]});
    }
    layout::Rect result;
    if (clipWithHostValues(self, clip, result)) return result;
    py::printUnraisable("quorvelin.UIWidget._getClippedRect");
    return {};
}

static walk::Step UIWidget_renderStep(UIWidget* self, ClipValues) {
    return readyToDraw(self) >= 0;
}

static walk::Step UIWidget_updateStep(UIWidget* self, PyObject* mouseX, PyObject* mouseY,
                                      PyObject* pressed) {
    return updateWidget(py::asObject(self), mouseX, mouseY, pressed);
}

static walk::Step UIWidget_takeClick(UIWidget* self, PyObject* event) {
    return walk::Step::answered(widgetTakesClick(py::asObject(self), event));
}

static walk::Step UIWidget_takeScroll(UIWidget*, PyObject*) {
    return walk::Step::answered(0);
}

const UIWidgetOps UIWidget::table = {
    UIWidget_setRenderer,  UIWidget_calculateMinSize, UIWidget_calculateMaxSize,
    UIWidget_calculatePos, UIWidget_getClippedRect,   UIWidget_renderStep,
    UIWidget_updateStep,   UIWidget_takeClick,        UIWidget_takeScroll};

// --- a child's part of a walk -------------------------------------------------------------

walk::Step rendererStep(PyObject* widget, PyObject* renderer) {
    UIWidget* w = widgetOrRefuse(widget);
    if (!w) return false;
    return w->ops->setRenderer(w, renderer).entering(widget);
}

walk::Step passStep(PyObject* widget, LayoutPass pass) {
    UIWidget* w = widgetOrRefuse(widget);
    if (!w) return false;
    return (w->ops->*pass)(w).entering(widget);
}

// An engine class's own method is the table's entry, run as a step of this walk; a
// Python subclass's is looked up and called.
walk::Step renderStep(PyObject* widget, ClipValues clip) {
    UIWidget* w = widgetOrRefuse(widget);
    if (!w) return false;
    if (py::hasOwnMethods(w)) return w->ops->render(w, clip).entering(widget);
    return bool(py::callMethod(widget, ui::nRender, clip[0], clip[1], clip[2], clip[3]));
}

walk::Step updateStep(PyObject* widget, PyObject* mouseX, PyObject* mouseY, PyObject* pressed) {
    UIWidget* w = widgetOrRefuse(widget);
    if (!w) return false;
    if (py::hasOwnMethods(w)) return w->ops->update(w, mouseX, mouseY, pressed).entering(widget);
    return bool(py::callMethod(widget, ui::nUpdate, mouseX, mouseY, pressed));
}

// The answer is taken by its truth value.
static walk::Step eventStep(PyObject* widget, PyObject* event, py::Name& method,
                            walk::Step (*UIWidgetOps::*entry)(UIWidget*, PyObject*)) {
    UIWidget* w = widgetOrRefuse(widget);
    if (!w) return false;
    if (py::hasOwnMethods(w)) return (w->ops->*entry)(w, event).entering(widget);
    py::Ref answer = py::callMethod(widget, method, event);
    return walk::Step::answered(answer ? PyObject_IsTrue(answer.get()) : walk::failed);
}

walk::Step clickStep(PyObject* widget, PyObject* event) {
    return eventStep(widget, event, ui::nOnClick, &UIWidgetOps::takeClick);
}

walk::Step scrollStep(PyObject* widget, PyObject* event) {
    return eventStep(widget, event, ui::nOnScroll, &UIWidgetOps::takeScroll);
}

// --- allocation and construction --------------------------------------------------------

static bool UIWidget_allocated(PyObject* self) {
    UIWidget* widget = py::cast<UIWidget>(self);
    widget->isVisible = true;
    // The constants as they are now, so that game code that changed them changes the
    // defaults of the widgets made from then on.
    return readConstant(nSizeAuto, widget->sizePolicyX) &&
           readConstant(nSizeAuto, widget->sizePolicyY) &&
           readConstant(nAlignLeft, widget->horizontalAlign) &&
           readConstant(nValignTop, widget->verticalAlign);
}

static int UIWidget_init(PyObject* self, py::Arguments<0>&) {
    py::cast<UIWidget>(self)->isEnabled = true;
    py::assign(py::cast<UIWidget>(self)->onClick, Py_None);
    return 0;
}

// --- hover, drag and clicks -------------------------------------------------------------

// self.isInside(mouseX, mouseY) as a truth value: 1, 0 or -1. No engine class overrides
// isInside or _pointInRect, so for an engine instance and plain int coordinates the
// test runs here.
int widgetIsInside(PyObject* self, PyObject* mouseX, PyObject* mouseY) {
    int64_t x, y;
    if (py::hasOwnMethods(py::cast<UIWidget>(self)) && smallInt(mouseX, x) && smallInt(mouseY, y))
        return strictlyInside(x, y, py::cast<UIWidget>(self));
    py::Ref answer = py::callMethod(self, nIsInside, mouseX, mouseY);
    return answer ? PyObject_IsTrue(answer.get()) : -1;
}

// self.isHovered, through the property of a Python subclass.
static int readHovered(PyObject* self) {
    if (py::hasOwnMethods(py::cast<UIWidget>(self))) return py::cast<UIWidget>(self)->isHovered;
    py::Ref value = py::getAttr(self, nIsHovered);
    return value ? PyObject_IsTrue(value.get()) : -1;
}

bool updateWidget(PyObject* self, PyObject* mouseX, PyObject* mouseY, PyObject* pressed) {
    UIWidget* widget = py::cast<UIWidget>(self);
    int inside = widgetIsInside(self, mouseX, mouseY);
    if (inside < 0) return false;
    widget->isHovered = inside;
    int hover = readHovered(self);
    if (hover < 0) return false;
    bool held = false;
    if (hover && !py::toFlag(pressed, held)) return false;
    if (hover && held && !widget->isDragging) {
        widget->isDragging = true;
        if (!py::toInt32(mouseX, widget->dragStartX) || !py::toInt32(mouseY, widget->dragStartY) ||
            !py::callMethod(self, nOnDragStart, mouseX, mouseY))
            return false;
    }
    if (!widget->isDragging) return true;
    if (!py::toFlag(pressed, held)) return false;
    if (!held) {
        widget->isDragging = false;
        return bool(py::callMethod(self, nOnDragEnd, mouseX, mouseY));
    }
    // Measured from where the drag started, with the host's subtraction.
    py::Ref startX(PyLong_FromLong(widget->dragStartX));
    py::Ref startY(startX ? PyLong_FromLong(widget->dragStartY) : nullptr);
    py::Ref dx(startY ? PyNumber_Subtract(mouseX, startX.get()) : nullptr);
    py::Ref dy(dx ? PyNumber_Subtract(mouseY, startY.get()) : nullptr);
    return dy && py::callMethod(self, nOnDrag, mouseX, mouseY, dx.get(), dy.get());
}

int widgetTakesClick(PyObject* self, PyObject* event) {
    UIWidget* widget = py::cast<UIWidget>(self);
    if (!widget->isEnabled || !widget->isHovered) return 0;
    py::Ref onClick = py::getAttr(self, nOnClickCallable);
    if (!onClick) return -1;
    if (onClick.get() != Py_None) {
        py::Ref callable = py::getAttr(self, nOnClickCallable);
        py::Ref result(callable ? PyObject_CallOneArg(callable.get(), event) : nullptr);
        if (!result) return -1;
    }
    return 1;
}

// --- methods ------------------------------------------------------------------------------

PyObject* setWidgetParent(PyObject* self, PyObject* parent) {
    if (!py::checkArgument(parent, AbstractUIContainer::type, "parent", true)) return nullptr;
    UIWidget* widget = py::cast<UIWidget>(self);
    if (parent != Py_None) {
        py::Ref held = py::Ref::borrow(parent);
        py::Ref renderer = py::Ref::borrow(py::cast<UIWidget>(parent)->renderer);
        if (walk::run(rendererStep(self, renderer.get())) < 0) return nullptr;
    }
    py::assign(widget->parent, parent);
    Py_RETURN_NONE;
}

static PyObject* UIWidget_setMargin(PyObject* self, PyObject* args, PyObject* kwargs) {
    UIWidget* w = py::cast<UIWidget>(self);
    return setSides("setMargin", args, kwargs, &w->marginTop, &w->marginRight, &w->marginBottom,
                    &w->marginLeft);
}

static PyObject* UIWidget_onScroll(PyObject*, PyObject*) {
    Py_RETURN_FALSE;
}

static PyObject* UIWidget_getParent(PyObject* self, PyObject*) {
    return py::newRef(py::cast<UIWidget>(self)->parent);
}

static PyObject* UIWidget_getRenderer(PyObject* self, PyObject*) {
    return py::newRef(py::cast<UIWidget>(self)->renderer);
}

// The base's drawing only checks that the widget can draw.
static bool isReadyToDraw(PyObject* self, ClipValues) {
    return readyToDraw(py::cast<UIWidget>(self)) >= 0;
}

static PyObject* UIWidget_update(PyObject* self, py::Arguments<3>& a) {
    return py::noneOrFailed(updateWidget(self, a[0], a[1], a[2]));
}

// The drag hooks of the base do nothing.
static PyObject* UIWidget_onDragStart(PyObject*, py::Arguments<2>&) {
    Py_RETURN_NONE;
}

static PyObject* UIWidget_onDragEnd(PyObject*, py::Arguments<2>&) {
    Py_RETURN_NONE;
}

static PyObject* UIWidget_onDrag(PyObject*, py::Arguments<4>&) {
    Py_RETURN_NONE;
}

static PyObject* UIWidget_isInside(PyObject* self, py::Arguments<2>& a) {
    UIWidget* widget = py::cast<UIWidget>(self);
    int64_t x, y;
    if (py::hasOwnMethods(py::cast<UIWidget>(self)) && smallInt(a[0], x) && smallInt(a[1], y))
        return PyBool_FromLong(strictlyInside(x, y, widget));
    py::Ref rect[4] = {py::Ref(PyLong_FromLong(widget->x)), py::Ref(PyLong_FromLong(widget->y)),
                       py::Ref(PyLong_FromLong(widget->width)),
                       py::Ref(PyLong_FromLong(widget->height))};
    for (const py::Ref& value : rect)
        if (!value) return nullptr;
    return py::callMethod(self, nPointInRect, a[0], a[1], rect[0].get(), rect[1].get(),
                          rect[2].get(), rect[3].get())
        .release();
}

// pointX > rectX and pointX < rectX + rectW and pointY > rectY and pointY < rectY + rectH,
// with the host's comparisons: the first false result, or the last one.
static PyObject* UIWidget_pointInRect(PyObject*, py::Arguments<6>& a) {
    int64_t v[6];
    bool plain = true;
    for (int i = 0; i < 6 && plain; ++i)
        plain = smallInt(a[i], v[i]);
    if (plain)
        return PyBool_FromLong(v[0] > v[2] && v[0] < v[2] + v[4] && v[1] > v[3] &&
                               v[1] < v[3] + v[5]);
    for (int term = 0; term < 4; ++term) {
        PyObject* point = a[term / 2];
        PyObject* start = a[2 + term / 2];
        bool upper = term % 2 == 1; // the far edge: start + size
        py::Ref end(upper ? PyNumber_Add(start, a[4 + term / 2]) : nullptr);
        if (upper && !end) return nullptr;
        py::Ref result(
            PyObject_RichCompare(point, upper ? end.get() : start, upper ? Py_LT : Py_GT));
        if (!result) return nullptr;
        int truth = term < 3 ? PyObject_IsTrue(result.get()) : 1;
        if (truth < 0) return nullptr;
        if (!truth || term == 3) return result.release();
    }
    return nullptr; // not reached: the fourth term returns
}

static const PyMethodDef uiWidgetMethods[] = {
    py::oneArg<"_setParent", setWidgetParent, "parent">(
        py::doc<"@param(parent, AbstractUIContainer)">),
    py::withVarargs<"setMargin", UIWidget_setMargin, "*values">(),
    py::oneArg<"_onClick", eventWalk<UIWidget_takeClick>, "event">(),
    py::oneArg<"_onScroll", UIWidget_onScroll, "event">(),
    py::noArgs<"getParent", UIWidget_getParent>(py::doc<"@returns(AbstractUIContainer)">),
    py::noArgs<"getRenderer", UIWidget_getRenderer>(py::doc<"@returns(UIRenderer)">),
    renderMethod<isReadyToDraw>(
        py::doc<"Derived classes override this method to draw the widget onto the render target.",
                "They call the base method first, which makes sure that the widget is",
                "connected to a UIRenderer. Omitted clip parameters are passed as negative",
                "values, meaning that the widget is not clipped.", "@param(clipX, int)",
                "@param(clipY, int)", "@param(clipWidth, int)", "@param(clipHeight, int)">),
    py::withKeywords<"update", UIWidget_update, "mouseX", "mouseY", "isMouseLeftPressed">(
        py::doc<"This method can be overwritten in derived classes.",
                "It can be used to update the widget's state.">),
    py::withKeywords<"onDragStart", UIWidget_onDragStart, "mouseX", "mouseY">(),
    py::withKeywords<"onDragEnd", UIWidget_onDragEnd, "mouseX", "mouseY">(),
    py::withKeywords<"onDrag", UIWidget_onDrag, "mouseX", "mouseY", "diffX", "diffY">(),
    py::withKeywords<"isInside", UIWidget_isInside, "mouseX", "mouseY">(
        py::doc<"This method returns true if the given coordinates are inside the widget",
                "@returns(bool)">),
    py::withKeywords<"_pointInRect", UIWidget_pointInRect, "pointX", "pointY", "rectX", "rectY",
                     "rectW", "rectH">(),
};

static const py::Member uiWidgetMembers[] = {
    py::member<&UIWidget::parent>(),
    py::member<&UIWidget::renderer>(),
    py::member<&UIWidget::sizePolicyX>().readwrite("sizePolicyX"),
    py::member<&UIWidget::sizePolicyY>().readwrite("sizePolicyY"),
    py::member<&UIWidget::width>().readwrite("width"),
    py::member<&UIWidget::height>().readwrite("height"),
    py::member<&UIWidget::x>().readwrite("_x"),
    py::member<&UIWidget::y>().readwrite("_y"),
    py::member<&UIWidget::horizontalAlign>().readwrite("horizontalAlign"),
    py::member<&UIWidget::verticalAlign>().readwrite("verticalAlign"),
    py::member<&UIWidget::isHovered>().readonly("isHovered"),
    py::member<&UIWidget::onClick>().readwrite("onClick").undeletable(),
    py::member<&UIWidget::marginLeft>().readwrite("marginLeft"),
    py::member<&UIWidget::marginTop>().readwrite("marginTop"),
    py::member<&UIWidget::marginRight>().readwrite("marginRight"),
    py::member<&UIWidget::marginBottom>().readwrite("marginBottom"),
    py::member<&UIWidget::isVisible>().readwrite("isVisible"),
    py::member<&UIWidget::isEnabled>().readwrite("isEnabled"),
    py::member<&UIWidget::isDragging>(),
    py::member<&UIWidget::dragStartX>(),
    py::member<&UIWidget::dragStartY>(),
    py::member<&UIWidget::userData>().readwrite("userData").undeletable(),
};

py::ClassDef& uiWidgetClass() {
    return py::define<UIWidget>(
        "UIWidget",
        {.doc = py::classDoc<"UIWidget is the abstract base class for every UI control.">,
         .members = uiWidgetMembers,
         .init = py::init<UIWidget_init, "/">,
         .methods = uiWidgetMethods,
         .allocated = UIWidget_allocated});
}
