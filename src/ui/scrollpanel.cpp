// UIScrollPanel: the content's place and the scroll bounds, the scroll bar it drives,
// the wheel, and the drawing behind the clip padding.
#include "ui/scrollpanel.hpp"

#include "py/args.hpp"
#include "py/cast.hpp"
#include "py/methods.hpp"
#include "py/module.hpp"
#include "ui/draw.hpp"
#include "ui/slider.hpp"
#include "ui/widgetRenderer.hpp"

#include <algorithm>
#include <climits>

namespace {

py::Name nScrollPanel("scrollPanel");
py::Name nSliderMargin("sliderMargin"), nClipPadding("clipPadding");
py::Name nTop("top"), nRight("right"), nBottom("bottom"), nLeft("left");
py::Name nSetParent("_setParent");
py::Name nScrollPosX("scrollPosX");
py::Name nSizeFixed("SIZE_FIXED");
py::Name nVertical("SLIDER_ORIENTATION_VERTICAL");
py::Name nOrientation("orientation");
py::Name nY("y");

// The scroll bar, or null before the constructor made it.
UISlider* sliderOf(UIScrollPanel* panel) {
    return PyObject_TypeCheck(panel->slider, UISlider::type) ? py::cast<UISlider>(panel->slider)
                                                             : nullptr;
}

// A sum of theme values and fields as the 32-bit int it is stored in: the host's
// OverflowError beyond that range.
bool toField(int64_t value, int32_t& out) {
    py::Ref number(PyLong_FromLongLong(value));
    return number && py::toInt32(number.get(), out);
}

// theme.widgets["scrollPanel"][name]: "top", "right", "bottom" and "left", in that order.
bool readSides(UIScrollPanel* panel, py::Name& name, int32_t (&sides)[4]) {
    py::Ref renderer = py::Ref::borrow(panel->renderer);
    py::Ref theme = rendererTheme(renderer.get());
    py::Ref record = theme ? skinRecord(theme.get(), nScrollPanel) : py::Ref();
    PyObject* key = record ? name.get() : nullptr;
    py::Ref part(key ? PyObject_GetItem(record.get(), key) : nullptr);
    return part && readSkinValues(part.get(), {&nTop, &nRight, &nBottom, &nLeft}, sides);
}

// The content, the panel's only child: IndexError once the child list was emptied.
UIWidget* contentOf(UIScrollPanel* panel, py::Ref& held) {
    py::Ref children = py::Ref::borrow(panel->children);
    held = py::Ref(PySequence_GetItem(children.get(), 0));
    return held ? widgetOrRefuse(held.get()) : nullptr;
}

// Four ints as the clip values of a render call.
struct ClipNumbers {
    py::Ref values[4];
    PyObject* raw[4] = {};

    bool set(const layout::Rect& rect) {
        int64_t numbers[4] = {rect.x, rect.y, rect.w, rect.h};
        for (int i = 0; i < 4; ++i) {
            values[i] = py::Ref(PyLong_FromLongLong(numbers[i]));
            if (!values[i]) return false;
            raw[i] = values[i].get();
        }
        return true;
    }
};

} // namespace

// --- the table -------------------------------------------------------------------------

static walk::Step UIScrollPanel_setRenderer(UIWidget* self, PyObject* renderer) {
    co_await AbstractUIContainer::table.setRenderer(self, renderer);
    py::Ref held = py::Ref::borrow(py::cast<UIScrollPanel>(self)->slider);
    UISlider* slider = sliderOf(py::cast<UIScrollPanel>(self));
    if (slider) co_await slider->ops->setRenderer(slider, renderer);
    co_return walk::done;
}

// The panel's size is its own: the content never enters it (50 by 50 on an axis that
// is not fixed).
static walk::Step UIScrollPanel_calculateMinSize(UIWidget* self) {
    co_await AbstractUIContainer::table.calculateMinSize(self);
    int fixed = policyIs(self->sizePolicyX, SizePolicy::fixed);
    if (fixed < 0) co_return walk::failed;
    if (!fixed) self->width = 50;
    fixed = policyIs(self->sizePolicyY, SizePolicy::fixed);
    if (fixed < 0) co_return walk::failed;
    if (!fixed) self->height = 50;
    py::Ref held = py::Ref::borrow(py::cast<UIScrollPanel>(self)->slider);
    UISlider* slider = sliderOf(py::cast<UIScrollPanel>(self));
    if (slider) co_await slider->ops->calculateMinSize(slider);
    co_return walk::done;
}

// The content gets the area inside the paddings, beside the scroll bar.
static walk::Step UIScrollPanel_calculateMaxSize(UIWidget* self) {
    co_await UIWidget::table.calculateMaxSize(self);
    UIScrollPanel* panel = py::cast<UIScrollPanel>(self);
    UISlider* slider = sliderOf(panel);
    int32_t inner = layout::sub(layout::sub(self->width, panel->paddingLeft), panel->paddingRight);
    panel->innerWidth = layout::sub(inner, slider ? slider->width : 0);
    panel->innerHeight =
        layout::sub(layout::sub(self->height, panel->paddingTop), panel->paddingBottom);
    co_return co_await eachChildPass(self, &UIWidgetOps::calculateMaxSize);
}

// The content inside the paddings, moved by the offsets of the last update; then the
// offsets that still show some of it.
static walk::Step UIScrollPanel_calculatePos(UIWidget* self) {
    UIScrollPanel* panel = py::cast<UIScrollPanel>(self);
    py::Ref held;
    UIWidget* content = contentOf(panel, held);
    if (!content) co_return walk::failed;
    content->x =
        layout::add(layout::sub(layout::add(self->x, content->marginLeft), panel->scrollPosX),
                    panel->paddingLeft);
    content->y =
        layout::add(layout::sub(layout::add(self->y, content->marginTop), panel->scrollPosY),
                    panel->paddingTop);
    co_await AbstractUIContainer::table.calculatePos(self);
    auto bound = [](int64_t value) { return int32_t(std::clamp<int64_t>(value, 0, INT32_MAX)); };
    panel->maxScrollX =
        bound(int64_t(content->width) - self->width + panel->paddingLeft + panel->paddingRight);
    panel->maxScrollY =
        bound(int64_t(content->height) - self->height + panel->paddingTop + panel->paddingBottom);
    co_return walk::done;
}

static walk::Step drawPanel(UIWidget* self, ClipValues clip);
static walk::Step updatePanel(UIWidget* self, PyObject* mouseX, PyObject* mouseY,
                              PyObject* pressed);
static walk::Step panelTakesClick(UIWidget* self, PyObject* event);
static walk::Step panelTakesWheel(UIWidget* self, PyObject* event);

static UIWidgetOps makeScrollPanelTable() {
    UIWidgetOps table = containerTable();
    table.setRenderer = UIScrollPanel_setRenderer;
    table.calculateMinSize = UIScrollPanel_calculateMinSize;
    table.calculateMaxSize = UIScrollPanel_calculateMaxSize;
    table.calculatePos = UIScrollPanel_calculatePos;
    table.render = drawPanel;
    table.update = updatePanel;
    table.takeClick = panelTakesClick;
    table.takeScroll = panelTakesWheel;
    return table;
}

const UIWidgetOps UIScrollPanel::table = makeScrollPanelTable();

// --- construction ---------------------------------------------------------------------------

// Empties the child list in place and makes `content` the only child, linked to the
// panel. The previous content keeps its links, as any child taken out does.
static bool replaceContent(PyObject* self, PyObject* content) {
    py::Ref children = py::Ref::borrow(py::cast<UIScrollPanel>(self)->children);
    if (PyList_Check(children.get()) &&
        PyList_SetSlice(children.get(), 0, PY_SSIZE_T_MAX, nullptr) < 0)
        return false;
    return py::append(children.get(), content) && py::callMethod(content, nSetParent, self);
}

static bool UIScrollPanel_allocated(PyObject* self) {
    UIScrollPanel* panel = py::cast<UIScrollPanel>(self);
    panel->paddingLeft = panel->paddingTop = panel->paddingRight = panel->paddingBottom = 10;
    panel->wheelScrollPixels = 50;
    return true;
}

// None is refused like any other non-widget: the layout needs a content.
static int UIScrollPanel_init(PyObject* self, py::Arguments<1>& a) {
    if (!py::checkArgument(a[0], UIWidget::type, "content") || !refuseCycle(self, a[0]) ||
        !initAsBase(AbstractUIContainer::type, self))
        return -1;
    UIScrollPanel* panel = py::cast<UIScrollPanel>(self);
    py::Ref zero(PyLong_FromLong(0));
    // The content is the only child, also when __init__ runs again.
    if (!zero || !replaceContent(self, a[0]) || !py::setAttr(self, nScrollPosX, zero.get()))
        return -1;
    py::Ref fixed = py::moduleGlobal(nSizeFixed);
    if (!fixed || !py::toInt32(fixed.get(), panel->sizePolicyX) ||
        !py::toInt32(fixed.get(), panel->sizePolicyY))
        return -1;
    py::Ref vertical = py::moduleGlobal(nVertical);
    py::Ref arguments(vertical ? PyTuple_Pack(1, zero.get()) : nullptr);
    py::Ref keywords(arguments ? PyDict_New() : nullptr);
    PyObject* key = keywords ? nOrientation.get() : nullptr;
    if (!key || PyDict_SetItem(keywords.get(), key, vertical.get()) < 0) return -1;
    py::Ref slider(PyObject_Call(py::asObject(UISlider::type), arguments.get(), keywords.get()));
    if (!slider) return -1;
    py::assign(panel->slider, slider.get());
    return 0;
}

// --- update, wheel and clicks ---------------------------------------------------------------

// The panel and its content, then the scroll bar: placed at the right edge by the
// theme's slider margins, ranged by the scroll bound of the last layout, updated; its
// value becomes the offset of the next layout. A panel in no renderer has no theme to
// place the bar by and leaves it where it is.
static walk::Step updatePanel(UIWidget* self, PyObject* mouseX, PyObject* mouseY,
                              PyObject* pressed) {
    co_await updateWithChildren(py::asObject(self), mouseX, mouseY, pressed);
    UIScrollPanel* panel = py::cast<UIScrollPanel>(self);
    py::Ref held = py::Ref::borrow(panel->slider);
    UISlider* slider = sliderOf(panel);
    if (!slider) co_return walk::done;
    if (panel->renderer != Py_None) {
        int32_t margin[4]; // top, right, bottom, left (which takes no part)
        if (!readSides(panel, nSliderMargin, margin) ||
            !toField(int64_t(panel->height) - margin[0] - margin[2], slider->height) ||
            !toField(int64_t(panel->x) + panel->width - slider->width - margin[1], slider->x) ||
            !toField(int64_t(panel->y) + margin[0], slider->y))
            co_return walk::failed;
    }
    slider->maxValue = panel->maxScrollY;
    if (!updateSlider(held.get(), mouseX, mouseY, pressed)) co_return walk::failed;
    panel->scrollPosY = slider->value;
    co_return walk::done;
}

// value - y * wheelScrollPixels for a wheel amount `y`: in 64 bits for an int (kept at
// the ends of the int range, never wrapped), in the host's numbers otherwise.
static bool scrolledValue(PyObject* y, int32_t value, int32_t step, int32_t& out) {
    if (PyLong_Check(y)) {
        int overflow = 0;
        long long amount = PyLong_AsLongLongAndOverflow(y, &overflow);
        if (amount == -1 && PyErr_Occurred()) return false;
        __int128 moved = overflow ? (overflow > 0 ? (__int128(1) << 64) : -(__int128(1) << 64))
                                  : __int128(amount);
        __int128 result = __int128(value) - moved * step;
        out = int32_t(std::clamp<__int128>(result, INT32_MIN, INT32_MAX));
        return true;
    }
    py::Ref current(PyLong_FromLong(value)), pixels(PyLong_FromLong(step));
    py::Ref product(current && pixels ? PyNumber_Multiply(y, pixels.get()) : nullptr);
    py::Ref result(product ? PyNumber_Subtract(current.get(), product.get()) : nullptr);
    return result && py::toInt32(result.get(), out);
}

// An enabled panel under the mouse moves its scroll bar by the wheel: 1 when the bar's
// value changed, 0, or failed.
static int wheelMovesBar(UIScrollPanel* panel, PyObject* event) {
    if (!panel->isEnabled || !panel->isHovered) return 0;
    py::Ref held = py::Ref::borrow(panel->slider);
    UISlider* slider = sliderOf(panel);
    py::Ref y = py::getAttr(event, nY);
    if (!y) return -1;
    if (!slider) return 0;
    int32_t before = slider->value, wanted;
    if (!scrolledValue(y.get(), before, panel->wheelScrollPixels, wanted) ||
        !setSliderValue(slider, wanted))
        return -1;
    return slider->value != before;
}

// The children first; then an enabled panel under the mouse moves its scroll bar and
// takes the event when the bar's value changed.
static walk::Step panelTakesWheel(UIWidget* self, PyObject* event) {
    int taken = co_await childrenTakeScroll(py::asObject(self), event);
    if (taken) co_return 1;
    co_return wheelMovesBar(py::cast<UIScrollPanel>(self), event);
}

// The scroll bar's arrows first, then the children.
static walk::Step panelTakesClick(UIWidget* self, PyObject* event) {
    py::Ref slider = py::Ref::borrow(py::cast<UIScrollPanel>(self)->slider);
    if (sliderOf(py::cast<UIScrollPanel>(self))) {
        int taken = sliderTakesClick(slider.get(), event);
        if (taken != 0) co_return taken;
    }
    co_return co_await childrenTakeClick(py::asObject(self), event);
}

// --- drawing ----------------------------------------------------------------------------------

// The panel skin over the whole panel (only the clip the target already has cuts it),
// the content inside the panel less the theme's clip padding, and the scroll bar inside
// the panel's clipped rectangle. A panel in no renderer draws nothing.
static walk::Step drawPanel(UIWidget* self, ClipValues clip) {
    UIScrollPanel* panel = py::cast<UIScrollPanel>(self);
    if (!panel->isVisible || panel->renderer == Py_None) co_return walk::done;
    layout::Rect area = panel->ops->getClippedRect(panel, clip);
    int32_t padding[4]; // top, right, bottom, left
    if (!readSides(panel, nClipPadding, padding)) co_return walk::failed;
    layout::Rect wide{area.x + padding[3], area.y + padding[0], area.w - padding[3] - padding[1],
                      area.h - padding[0] - padding[2]};
    // An empty content clip draws nothing, however far from the int range its numbers are.
    if (wide.empty()) co_return walk::done;
    int32_t inside[4];
    if (!toField(wide.w, inside[2]) || !toField(wide.h, inside[3]) || !toField(wide.x, inside[0]) ||
        !toField(wide.y, inside[1]))
        co_return walk::failed;
    py::Ref renderer = py::Ref::borrow(panel->renderer);
    PanelSkin panelSkin;
    if (!readPanelSkin(renderer.get(), panelSkin)) co_return walk::failed;
    blitNineSlice(panelSkin.skin, {panel->x, panel->y, panel->width, panel->height},
                  panelSkin.canvas.source, panelSkin.canvas.destination);
    ClipNumbers contentClip, panelClip;
    if (!contentClip.set({inside[0], inside[1], inside[2], inside[3]}) || !panelClip.set(area))
        co_return walk::failed;
    co_await renderChildren(py::asObject(self), contentClip.raw);
    py::Ref slider = py::Ref::borrow(panel->slider);
    co_return walk::outcome(!sliderOf(panel) || drawSlider(slider.get(), panelClip.raw));
}

// --- the Python methods and properties --------------------------------------------------------

static PyObject* UIScrollPanel_setPadding(PyObject* self, PyObject* args, PyObject* kwargs) {
    UIScrollPanel* p = py::cast<UIScrollPanel>(self);
    return setSides("setPadding", args, kwargs, &p->paddingTop, &p->paddingRight, &p->paddingBottom,
                    &p->paddingLeft);
}

static PyObject* UIScrollPanel_getScrollPosX(PyObject* self, void*) {
    return PyLong_FromLong(py::cast<UIScrollPanel>(self)->scrollPosX);
}

static int UIScrollPanel_setScrollPosX(PyObject* self, PyObject* value, void*) {
    if (!value) return py::deleteRefused();
    int32_t offset;
    if (!py::toInt32(value, offset)) return -1;
    py::cast<UIScrollPanel>(self)->scrollPosX =
        std::min(std::max(offset, 0), py::cast<UIScrollPanel>(self)->maxScrollX);
    return 0;
}

static PyObject* UIScrollPanel_getScrollPosY(PyObject* self, void*) {
    return PyLong_FromLong(py::cast<UIScrollPanel>(self)->scrollPosY);
}

// Goes to the scroll bar; the offset follows at the next update.
static int UIScrollPanel_setScrollPosY(PyObject* self, PyObject* value, void*) {
    if (!value) return py::deleteRefused();
    int32_t offset;
    if (!py::toInt32(value, offset)) return -1;
    py::Ref held = py::Ref::borrow(py::cast<UIScrollPanel>(self)->slider);
    UISlider* slider = sliderOf(py::cast<UIScrollPanel>(self));
    return !slider || setSliderValue(slider, offset) ? 0 : -1;
}

static PyObject* UIScrollPanel_getContent(PyObject* self, void*) {
    py::Ref children = py::Ref::borrow(py::cast<UIScrollPanel>(self)->children);
    return PySequence_GetItem(children.get(), 0);
}

// The new content replaces the old one, which keeps its links to the panel.
static int UIScrollPanel_setContent(PyObject* self, PyObject* value, void*) {
    if (!value) return py::deleteRefused();
    if (!isWidget(value)) return py::argumentTypeError("content", UIWidget::type, value);
    return refuseCycle(self, value) && replaceContent(self, value) ? 0 : -1;
}

static const PyMethodDef uiScrollPanelMethods[] = {
    py::withVarargs<"setPadding", UIScrollPanel_setPadding, "*values">(),
    py::withKeywords<"update", updateWalk<updatePanel>, "mouseX", "mouseY", "isMouseLeftPressed">(),
    renderMethod<renderWalk<drawPanel>>(py::doc<"Renders the content widget.">),
    py::oneArg<"_onClick", eventWalk<panelTakesClick>, "event">(),
    py::oneArg<"_onScroll", eventWalk<panelTakesWheel>, "event">(),
};

static const py::Member uiScrollPanelMembers[] = {
    py::member<&UIScrollPanel::scrollPosX>(),
    py::member<&UIScrollPanel::scrollPosY>(),
    py::member<&UIScrollPanel::maxScrollX>(),
    py::member<&UIScrollPanel::maxScrollY>(),
    py::member<&UIScrollPanel::paddingLeft>().readwrite("paddingLeft"),
    py::member<&UIScrollPanel::paddingTop>().readwrite("paddingTop"),
    py::member<&UIScrollPanel::paddingRight>().readwrite("paddingRight"),
    py::member<&UIScrollPanel::paddingBottom>().readwrite("paddingBottom"),
    py::member<&UIScrollPanel::wheelScrollPixels>().readwrite("wheelScrollPixels"),
    py::member<&UIScrollPanel::slider>().typed<&UISlider::type>(),
};

static const PyGetSetDef uiScrollPanelProperties[] = {
    py::property<UIScrollPanel_getScrollPosX, UIScrollPanel_setScrollPosX>("scrollPosX"),
    py::property<UIScrollPanel_getScrollPosY, UIScrollPanel_setScrollPosY>("scrollPosY"),
    py::property<UIScrollPanel_getContent, UIScrollPanel_setContent>("content"),
};

py::ClassDef& uiScrollPanelClass() {
    return py::define<UIScrollPanel>("UIScrollPanel",
                                     {.members = uiScrollPanelMembers,
                                      .init = py::init<UIScrollPanel_init, "content">,
                                      .methods = uiScrollPanelMethods,
                                      .properties = uiScrollPanelProperties,
                                      .allocated = UIScrollPanel_allocated});
}
