// UIButton and ButtonClickEvent: the button's size and skin, its clicks, and the event
// it reports them with.
#include "ui/button.hpp"

#include "py/args.hpp"
#include "py/cast.hpp"
#include "py/methods.hpp"
#include "py/module.hpp"
#include "ui/draw.hpp"
#include "ui/text.hpp"
#include "ui/widgetRenderer.hpp"

namespace {

py::Name nButton("button");
py::Name nNormal("normal");
py::Name nHover("hover");
py::Name nX("x"), nY("y"), nLeft("left"), nMiddle("middle"), nRight("right"), nHeight("height");
py::Name nMouseButton("button");
py::Name nAddChild("addChild");
py::Name nGetText("getText");
py::Name nSetText("setText");
py::Name nOnClickCallable("onClick");
py::Name nFireEvent("fireEvent");
py::Name nInit("__init__");
py::Name nAlignCenter("ALIGN_CENTER");
py::Name nValignMiddle("VALIGN_MIDDLE");

// theme.widgets["button"][state]: a dict (or None, which fails when it is read).
py::Ref buttonState(UIWidget* button, py::Name& state) {
    py::Ref renderer = py::Ref::borrow(button->renderer);
    py::Ref theme = rendererTheme(renderer.get());
    py::Ref record = theme ? skinRecord(theme.get(), nButton) : py::Ref();
    PyObject* key = record ? state.get() : nullptr;
    py::Ref skin(key ? PyObject_GetItem(record.get(), key) : nullptr);
    if (!skin || skin.get() == Py_None || PyDict_CheckExact(skin.get())) return skin;
    py::expectedType("dict", skin.get());
    return py::Ref();
}

} // namespace

// --- the table -------------------------------------------------------------------------

// The label's size plus paddings plus both caps wide, as high as the taller of the
// skin and the label. The label goes down by half the difference of the heights of
// the last layout, so its centring settles one layout after a change.
static walk::Step UIButton_calculateMinSize(UIWidget* self) {
    if (self->renderer == Py_None) co_return walk::done;
    py::Ref skin = buttonState(self, nNormal);
    int32_t skinHeight, sides[2];
    if (!skin || !readSkinValues(skin.get(), {&nHeight}, &skinHeight)) co_return walk::failed;
    UIButton* button = py::cast<UIButton>(self);
    int32_t minHeight = 0;
    if (button->label != Py_None) {
        int32_t labelHeight = py::cast<UIWidget>(button->label)->height;
        minHeight = std::max(skinHeight, labelHeight);
        button->paddingTop = int32_t((int64_t(self->height) - labelHeight) / 2);
    }
    if (!readSkinValues(skin.get(), {&nLeft, &nRight}, sides)) co_return walk::failed;
    co_await UIListContainer::table.calculateMinSize(self);
    int fixed = policyIs(self->sizePolicyX, SizePolicy::fixed);
    if (fixed < 0) co_return walk::failed;
    if (!fixed) self->width = layout::add(self->width, layout::add(sides[0], sides[1]));
    fixed = policyIs(self->sizePolicyY, SizePolicy::fixed);
    if (fixed < 0) co_return walk::failed;
    if (!fixed) self->height = minHeight;
    co_return walk::done;
}

static walk::Step drawButton(UIWidget* self, ClipValues clip);
static walk::Step buttonTakesClick(UIWidget* self, PyObject* event);

static UIWidgetOps makeButtonTable() {
    UIWidgetOps table = listContainerTable();
    table.calculateMinSize = UIButton_calculateMinSize;
    table.render = drawButton;
    table.takeClick = buttonTakesClick;
    return table;
}

const UIWidgetOps UIButton::table = makeButtonTable();

// --- construction and methods -------------------------------------------------------------

static int UIButton_init(PyObject* self, py::Arguments<1>& a) {
    if (!initAsBase(UIListContainer::type, self)) return -1;
    py::Ref label(PyObject_CallOneArg(py::asObject(UIText::type), a[0]));
    if (!label) return -1;
    py::assign(py::cast<UIButton>(self)->label, label.get());
    if (!py::callMethod(self, nAddChild, label.get())) return -1;
    py::Ref centre = py::moduleGlobal(nAlignCenter);
    py::Ref middle = centre ? py::moduleGlobal(nValignMiddle) : py::Ref();
    UIWidget* caption = py::cast<UIWidget>(label.get());
    return middle && py::toInt32(centre.get(), caption->horizontalAlign) &&
                   py::toInt32(middle.get(), caption->verticalAlign)
               ? 0
               : -1;
}

static PyObject* UIButton_getText(PyObject* self, PyObject*) {
    py::Ref label = py::Ref::borrow(py::cast<UIButton>(self)->label);
    return py::callMethod(label.get(), nGetText).release();
}

static PyObject* UIButton_setText(PyObject* self, PyObject* text) {
    py::Ref label = py::Ref::borrow(py::cast<UIButton>(self)->label);
    return py::noneOrFailed(bool(py::callMethod(label.get(), nSetText, text)));
}

// An enabled button takes a click inside its last laid-out rectangle: 1, 0, or failed.
static int buttonTakesOwnClick(UIWidget* button, PyObject* event) {
    PyObject* self = py::asObject(button);
    if (!button->isEnabled) return 0;
    py::Ref x = py::getAttr(event, nX);
    py::Ref y = x ? py::getAttr(event, nY) : py::Ref();
    int inside = y ? widgetIsInside(self, x.get(), y.get()) : -1;
    if (inside <= 0) return inside;
    x = py::getAttr(event, nX);
    y = x ? py::getAttr(event, nY) : py::Ref();
    py::Ref mouseButton = y ? py::getAttr(event, nMouseButton) : py::Ref();
    py::Ref click(mouseButton
                      ? PyObject_CallFunctionObjArgs(py::asObject(ButtonClickEvent::type), self,
                                                     x.get(), y.get(), mouseButton.get(), nullptr)
                      : nullptr);
    py::Ref onClick = click ? py::getAttr(self, nOnClickCallable) : py::Ref();
    if (!onClick) return -1;
    if (onClick.get() != Py_None && !py::Ref(PyObject_CallOneArg(onClick.get(), click.get())))
        return -1;
    py::Ref engine = py::Ref::borrow(rendererEngine(button));
    if (engine.get() != Py_None && !py::callMethod(engine.get(), nFireEvent, click.get()))
        return -1;
    return 1;
}

// The skin of the present state (the hover one while the mouse is over the button),
// its caps 1:1 and its middle piece along the width, then the children with the same
// clip values, all inside the button's clipped rectangle.
static walk::Step drawButton(UIWidget* button, ClipValues clip) {
    if (!button->isVisible) co_return walk::done;
    layout::Rect area = button->ops->getClippedRect(button, clip);
    if (area.w < 1 || area.h < 1) co_return walk::done;
    int ready = readyToDraw(button);
    if (ready <= 0) co_return walk::outcome(ready == 0);
    py::Ref skin = buttonState(button, button->isHovered ? nHover : nNormal);
    int32_t v[6]; // x, y, left, middle, right, height
    if (!skin || !readSkinValues(skin.get(), {&nX, &nY, &nLeft, &nMiddle, &nRight, &nHeight}, v))
        co_return walk::failed;
    py::Ref renderer = py::Ref::borrow(button->renderer);
    py::Ref theme = rendererTheme(renderer.get());
    SkinCanvas canvas;
    if (!theme || !skinCanvas(renderer.get(), theme.get(), canvas)) co_return walk::failed;
    ClipScope clipped(canvas.target.get(), area);
    if (!drawStrip({v[0], v[1], v[2], v[3], v[4], v[5]}, strip::Axis::x, button->x, button->y,
                   button->width, canvas.source, canvas.destination))
        co_return walk::failed;
    co_return co_await renderChildren(py::asObject(button), clip);
}

// The children see the click first, whatever they answer; then an enabled button takes
// a click inside its last laid-out rectangle: its onClick callable gets a
// ButtonClickEvent, and the engine fires the same event object.
static walk::Step buttonTakesClick(UIWidget* button, PyObject* event) {
    PyObject* self = py::asObject(button);
    co_await childrenTakeClick(self, event);
    co_return buttonTakesOwnClick(button, event);
}

static PyObject* UIButton_getTextProperty(PyObject* self, void*) {
    return py::callMethod(self, nGetText).release();
}

static int UIButton_setTextProperty(PyObject* self, PyObject* value, void*) {
    if (!value) return py::deleteRefused();
    return py::callMethod(self, nSetText, value) ? 0 : -1;
}

static const PyMethodDef uiButtonMethods[] = {
    py::noArgs<"getText", UIButton_getText>(py::doc<"@returns(str)">),
    py::oneArg<"setText", UIButton_setText, "text">(py::doc<"@param(text, str)">),
    renderMethod<renderWalk<drawButton>>(py::doc<"Renders the button and its label.">),
    py::oneArg<"_onClick", eventWalk<buttonTakesClick>, "event">(),
};

static const py::Member uiButtonMembers[] = {
    py::member<&UIButton::label>().typed<&UIText::type>(),
};

static const PyGetSetDef uiButtonProperties[] = {
    py::property<UIButton_getTextProperty, UIButton_setTextProperty>("text"),
};

py::ClassDef& uiButtonClass() {
    return py::define<UIButton>("UIButton", {.members = uiButtonMembers,
                                             .init = py::init<UIButton_init, "label">,
                                             .methods = uiButtonMethods,
                                             .properties = uiButtonProperties,
                                             .initDoc = py::doc<"@param(label, str)">});
}

// --- ButtonClickEvent -----------------------------------------------------------------------

// (target, x, y, mouseButton): the numbers are converted and the target tested before
// MouseClickEvent.__init__(self, x, y, mouseButton) runs; the target is stored last.
static int ButtonClickEvent_init(PyObject* self, py::Arguments<4>& a) {
    int32_t numbers[3];
    for (int i = 0; i < 3; ++i)
        if (!py::toInt32(a[i + 1], numbers[i])) return -1;
    if (!py::checkArgument(a[0], UIButton::type, "target", true)) return -1;
    py::Ref x(PyLong_FromLong(numbers[0])), y(PyLong_FromLong(numbers[1]));
    py::Ref mouseButton(PyLong_FromLong(numbers[2]));
    py::Ref init =
        x && y && mouseButton ? py::getAttr(py::asObject(MouseClickEvent::type), nInit) : py::Ref();
    if (!init || !py::Ref(PyObject_CallFunctionObjArgs(init.get(), self, x.get(), y.get(),
                                                       mouseButton.get(), nullptr)))
        return -1;
    py::assign(py::cast<ButtonClickEvent>(self)->target, a[0]);
    return 0;
}

static const py::Member buttonClickEventMembers[] = {
    py::member<&ButtonClickEvent::target>("_target").readonly("target").typed<&UIButton::type>(),
};

py::ClassDef& buttonClickEventClass() {
    return py::define<ButtonClickEvent>(
        "ButtonClickEvent",
        {.members = buttonClickEventMembers,
         .init = py::init<ButtonClickEvent_init, "target", "x", "y", "mouseButton">,
         .checksum = 0x36d8547});
}
