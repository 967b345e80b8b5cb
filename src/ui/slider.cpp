// UISlider and SliderValueChangedEvent: the value and its percent, the arrows, the
// thumb drag, the minimum size and the drawing from the theme's "slider" skin.
#include "ui/slider.hpp"

#include "core/slider.hpp"
#include "py/args.hpp"
#include "py/cast.hpp"
#include "py/methods.hpp"
#include "py/module.hpp"
#include "ui/draw.hpp"
#include "ui/widgetRenderer.hpp"

#include <cmath>

namespace {

constexpr int32_t horizontal = 0; // SLIDER_ORIENTATION_HORIZONTAL
constexpr int32_t vertical = 1;   // SLIDER_ORIENTATION_VERTICAL

// UISlider's default orientation: SLIDER_ORIENTATION_HORIZONTAL as the import found it.
int32_t defaultOrientation = horizontal;

py::Name nSlider("slider");
py::Name nNormal("normal"), nHover("hover");
py::Name nLeftButton("leftButton"), nRightButton("rightButton"), nTopButton("topButton"),
    nBottomButton("bottomButton"), nHorizontalButton("horizontalButton"),
    nVerticalButton("verticalButton"), nHorizontalBackground("horizontalBackground"),
    nVerticalBackground("verticalBackground");
py::Name nX("x"), nY("y"), nWidth("width"), nHeight("height"), nLeft("left"), nMiddle("middle"),
    nRight("right"), nTop("top"), nBottom("bottom");
py::Name nValue("value");
py::Name nFireEvent("fireEvent");

const UISliderOps& opsOf(UISlider* slider) {
    return *static_cast<const UISliderOps*>(slider->ops);
}

bool isHorizontal(const UISlider* slider) {
    return slider->orientation == horizontal;
}

// A sum of skin values and fields as the 32-bit int it is stored in: the host's
// OverflowError beyond that range.
bool toField(int64_t value, int32_t& out) {
    py::Ref number(PyLong_FromLongLong(value));
    return number && py::toInt32(number.get(), out);
}

// A number given for one of the slider's ints, converted as the host converts it to an
// integer; a NaN, which no integer stands for, is refused with an error that names it.
bool toNamedInt(PyObject* object, const char* name, int32_t& out) {
    if (PyFloat_Check(object) && std::isnan(PyFloat_AS_DOUBLE(object))) {
        PyErr_Format(PyExc_ValueError, "%s must not be NaN", name);
        return false;
    }
    return py::toInt32(object, out);
}

// --- the skin ---------------------------------------------------------------------------

// theme.widgets["slider"], looked up anew at every use.
py::Ref sliderSkin(UISlider* slider) {
    py::Ref renderer = py::Ref::borrow(slider->renderer);
    py::Ref theme = rendererTheme(renderer.get());
    return theme ? skinRecord(theme.get(), nSlider) : py::Ref();
}

py::Ref member(PyObject* record, py::Name& name) {
    PyObject* key = name.get();
    return py::Ref(key ? PyObject_GetItem(record, key) : nullptr);
}

// The "width" and "height" of skin[part]["normal"]: the sizes that hovering, the
// thumb's travel and the minimum size go by.
struct Size {
    int32_t w = 0, h = 0;
};
bool normalSize(PyObject* skin, py::Name& part, Size& out) {
    py::Ref record = member(skin, part);
    py::Ref state = record ? member(record.get(), nNormal) : py::Ref();
    int32_t values[2];
    if (!state || !readSkinValues(state.get(), {&nWidth, &nHeight}, values)) return false;
    out = {values[0], values[1]};
    return true;
}

// The rectangle record skin[part][state] in the tileset.
bool tileRect(PyObject* skin, py::Name& part, py::Name& state, layout::Rect& out) {
    py::Ref record = member(skin, part);
    py::Ref chosen = record ? member(record.get(), state) : py::Ref();
    int32_t v[4];
    if (!chosen || !readSkinValues(chosen.get(), {&nX, &nY, &nWidth, &nHeight}, v)) return false;
    out = {v[0], v[1], v[2], v[3]};
    return true;
}

// The parts a slider of either orientation reads: its decrease and increase arrows,
// its thumb and its track.
struct Parts {
    py::Name* decrease;
    py::Name* increase;
    py::Name* thumb;
    py::Name* background;
};
Parts partsOf(const UISlider* slider) {
    if (isHorizontal(slider))
        return {&nLeftButton, &nRightButton, &nHorizontalButton, &nHorizontalBackground};
    return {&nTopButton, &nBottomButton, &nVerticalButton, &nVerticalBackground};
}

// The thumb's play along the track: the slider's length less both arrows and the
// thumb, by their normal sizes.
struct Track {
    Size decrease, increase, thumb;
    int64_t travel = 0;
};
bool trackOf(UISlider* slider, PyObject* skin, Track& out) {
    Parts parts = partsOf(slider);
    if (!normalSize(skin, *parts.decrease, out.decrease) ||
        !normalSize(skin, *parts.increase, out.increase) ||
        !normalSize(skin, *parts.thumb, out.thumb))
        return false;
    out.travel = isHorizontal(slider)
                     ? int64_t(slider->width) - out.decrease.w - out.increase.w - out.thumb.w
                     : int64_t(slider->height) - out.decrease.h - out.increase.h - out.thumb.h;
    return true;
}

// --- the value ------------------------------------------------------------------------

// value = v through the property: the engine's own for an engine slider, a subclass's
// by name. A sum beyond the int range stays at its end (which the clamp treats alike).
bool assignValue(PyObject* self, int64_t value) {
    int32_t saturated = slider::saturate(value);
    if (py::hasOwnMethods(py::cast<UISlider>(self)))
        return setSliderValue(py::cast<UISlider>(self), saturated);
    py::Ref number(PyLong_FromLong(saturated));
    return number && py::setAttr(self, nValue, number.get());
}

// self.value, through the property as well.
bool readValue(PyObject* self, int64_t& out) {
    if (py::hasOwnMethods(py::cast<UISlider>(self))) {
        out = py::cast<UISlider>(self)->value;
        return true;
    }
    py::Ref value = py::getAttr(self, nValue);
    return value && py::toInt64(value.get(), out);
}

} // namespace

bool setSliderValue(UISlider* slider, int32_t value) {
    int32_t old = slider->value;
    int32_t stored = slider::clampToRange(value, slider->minValue, slider->maxValue);
    slider->value = stored;
    py::Ref engine = py::Ref::borrow(rendererEngine(slider));
    if (stored == old || engine.get() == Py_None) return true;
    py::Ref before(PyLong_FromLong(old)), after(PyLong_FromLong(stored));
    py::Ref event(before && after ? PyObject_CallFunctionObjArgs(
                                        py::asObject(SliderValueChangedEvent::type),
                                        py::asObject(slider), before.get(), after.get(), nullptr)
                                  : nullptr);
    return event && py::callMethod(engine.get(), nFireEvent, event.get());
}

// --- the table -------------------------------------------------------------------------

static float UISlider_getPercent(UISlider* self) {
    return slider::percent(self->value, self->minValue, self->maxValue);
}

static bool UISlider_setPercent(UISlider* self, float percent) {
    auto value = slider::valueAt(percent, self->minValue, self->maxValue);
    if (!value) return py::raise(PyExc_ValueError, "value must not be NaN");
    return assignValue(py::asObject(self), *value);
}

// Room for both caps of the track, both arrows and two thumbs along the track; the
// track's thickness across it.
static walk::Step UISlider_calculateMinSize(UIWidget* self) {
    UISlider* s = py::cast<UISlider>(self);
    if (s->renderer == Py_None) return true;
    py::Ref skin = sliderSkin(s);
    Parts parts = partsOf(s);
    py::Ref background = skin ? member(skin.get(), *parts.background) : py::Ref();
    if (!background) return false;
    bool alongX = isHorizontal(s);
    int fixed = policyIs(self->sizePolicyX, SizePolicy::fixed);
    if (fixed < 0) return false;
    // Along the track: the caps, two thumbs and both arrows.
    auto along = [&](int32_t& out) {
        int32_t caps[2];
        Size decrease, increase, thumb;
        if (!readSkinValues(background.get(),
                            {alongX ? &nLeft : &nTop, alongX ? &nRight : &nBottom}, caps) ||
            !normalSize(skin.get(), *parts.thumb, thumb) ||
            !normalSize(skin.get(), *parts.decrease, decrease) ||
            !normalSize(skin.get(), *parts.increase, increase))
            return false;
        int64_t length =
            alongX ? int64_t(caps[0]) + caps[1] + 2 * int64_t(thumb.w) + decrease.w + increase.w
                   : int64_t(caps[0]) + caps[1] + 2 * int64_t(thumb.h) + decrease.h + increase.h;
        return toField(length, out);
    };
    auto across = [&](int32_t& out) {
        return readSkinValues(background.get(), {alongX ? &nHeight : &nWidth}, &out);
    };
    if (!fixed && !(alongX ? along(self->width) : across(self->width))) return false;
    fixed = policyIs(self->sizePolicyY, SizePolicy::fixed);
    if (fixed < 0) return false;
    return fixed || (alongX ? across(self->height) : along(self->height));
}

static walk::Step UISlider_renderStep(UIWidget* self, ClipValues clip) {
    return drawSlider(py::asObject(self), clip);
}

static walk::Step UISlider_updateStep(UIWidget* self, PyObject* mouseX, PyObject* mouseY,
                                      PyObject* pressed) {
    return updateSlider(py::asObject(self), mouseX, mouseY, pressed);
}

static walk::Step UISlider_takeClick(UIWidget* self, PyObject* event) {
    return walk::Step::answered(sliderTakesClick(py::asObject(self), event));
}

static UISliderOps makeSliderTable() {
    UISliderOps table{UIWidget::table};
    table.calculateMinSize = UISlider_calculateMinSize;
    table.render = UISlider_renderStep;
    table.update = UISlider_updateStep;
    table.takeClick = UISlider_takeClick;
    table.getPercent = UISlider_getPercent;
    table.setPercent = UISlider_setPercent;
    return table;
}

const UISliderOps UISlider::table = makeSliderTable();

// --- clicks, hover and the drag ----------------------------------------------------------

// An enabled slider under the mouse takes every click; over an arrow the value steps
// by 10 (the increase arrow first, then the decrease arrow).
int sliderTakesClick(PyObject* self, PyObject* event) {
    int taken = widgetTakesClick(self, event);
    if (taken <= 0) return taken;
    UISlider* s = py::cast<UISlider>(self);
    int64_t value;
    if (s->increaseButtonHovered && !(readValue(self, value) && assignValue(self, value + 10)))
        return -1;
    if (s->decreaseButtonHovered && !(readValue(self, value) && assignValue(self, value - 10)))
        return -1;
    return 1;
}

// The widget's hover and drag, then which arrow the mouse is over (by the arrows'
// normal sizes).
bool updateSlider(PyObject* self, PyObject* mouseX, PyObject* mouseY, PyObject* pressed) {
    if (!updateWidget(self, mouseX, mouseY, pressed)) return false;
    UISlider* s = py::cast<UISlider>(self);
    if (s->renderer == Py_None) {
        s->decreaseButtonHovered = s->increaseButtonHovered = 0;
        return true;
    }
    py::Ref skin = sliderSkin(s);
    if (!skin) return false;
    Parts parts = partsOf(s);
    Size arrow;
    if (!normalSize(skin.get(), *parts.decrease, arrow)) return false;
    int over = pointInRect(self, mouseX, mouseY, s->x, s->y, arrow.w, arrow.h);
    if (over < 0) return false;
    s->decreaseButtonHovered = over;
    if (!normalSize(skin.get(), *parts.increase, arrow)) return false;
    over = isHorizontal(s) ? pointInRect(self, mouseX, mouseY, int64_t(s->x) + s->width - arrow.w,
                                         s->y, arrow.w, arrow.h)
                           : pointInRect(self, mouseX, mouseY, s->x,
                                         int64_t(s->y) + s->height - arrow.h, arrow.w, arrow.h);
    if (over < 0) return false;
    s->increaseButtonHovered = over;
    return true;
}

// A press starts a thumb drag when it lands on the thumb, placed with its offset
// worked out in double precision.
static bool startDrag(PyObject* self, PyObject* mouseX, PyObject* mouseY) {
    UISlider* s = py::cast<UISlider>(self);
    if (s->renderer == Py_None) return true; // nothing to drag without a skin
    double percent = opsOf(s).getPercent(s);
    py::Ref skin = sliderSkin(s);
    Track track;
    if (!skin || !trackOf(s, skin.get(), track)) return false;
    int32_t offset = slider::offsetInDouble(percent, track.travel);
    int over =
        isHorizontal(s)
            ? pointInRect(self, mouseX, mouseY, int64_t(s->x) + track.decrease.w + offset, s->y,
                          track.thumb.w, s->height)
            : pointInRect(self, mouseX, mouseY, s->x, int64_t(s->y) + track.decrease.h + offset,
                          s->width, track.thumb.h);
    if (over < 0) return false;
    s->isDraggingThumb = over;
    return true;
}

// The thumb's centre follows the mouse along the track: (mouse - arrow - position -
// thumb / 2) / travel, in the host's numbers.
static bool dragThumb(PyObject* self, PyObject* mouseX, PyObject* mouseY) {
    UISlider* s = py::cast<UISlider>(self);
    if (!s->isDraggingThumb || s->renderer == Py_None) return true;
    py::Ref skin = sliderSkin(s);
    Track track;
    if (!skin || !trackOf(s, skin.get(), track)) return false;
    if (track.travel == 0) return py::raise(PyExc_ZeroDivisionError, "float division by zero");
    bool alongX = isHorizontal(s);
    py::Ref arrow(PyLong_FromLong(alongX ? track.decrease.w : track.decrease.h));
    py::Ref position(PyLong_FromLong(alongX ? s->x : s->y));
    py::Ref thumb(PyLong_FromLong(alongX ? track.thumb.w : track.thumb.h));
    py::Ref two(PyLong_FromLong(2)), travel(PyLong_FromLongLong(track.travel));
    if (!arrow || !position || !thumb || !two || !travel) return false;
    py::Ref half(PyNumber_TrueDivide(thumb.get(), two.get()));
    py::Ref a(half ? PyNumber_Subtract(alongX ? mouseX : mouseY, arrow.get()) : nullptr);
    py::Ref b(a ? PyNumber_Subtract(a.get(), position.get()) : nullptr);
    py::Ref c(b ? PyNumber_Subtract(b.get(), half.get()) : nullptr);
    py::Ref p(c ? PyNumber_TrueDivide(c.get(), travel.get()) : nullptr);
    double percent;
    if (!p || !py::toDouble(p.get(), percent)) return false;
    return opsOf(s).setPercent(s, slider::narrow(percent));
}

// --- drawing ---------------------------------------------------------------------------------

// The track, then the arrows (their hover images while the mouse is over them), inside
// the slider's clipped rectangle; then the thumb, under the clip that was there before.
// The skin is read before anything is drawn.
bool drawSlider(PyObject* self, ClipValues clip) {
    UISlider* s = py::cast<UISlider>(self);
    if (!s->isVisible) return true;
    layout::Rect area = s->ops->getClippedRect(s, clip);
    if (area.w < 1 || area.h < 1) return true;
    int ready = readyToDraw(s);
    if (ready <= 0) return ready == 0;
    py::Ref skin = sliderSkin(s);
    if (!skin) return false;
    bool alongX = isHorizontal(s);
    Parts parts = partsOf(s);
    py::Ref background = member(skin.get(), *parts.background);
    int32_t b[6]; // x, y, then along x: left, middle, right, height; along y: width, top, middle,
                  // bottom
    if (!background ||
        !readSkinValues(
            background.get(),
            alongX ? std::initializer_list<py::Name*>{&nX, &nY, &nLeft, &nMiddle, &nRight, &nHeight}
                   : std::initializer_list<py::Name*>{&nX, &nY, &nWidth, &nTop, &nMiddle, &nBottom},
            b))
        return false;
    strip::Skin track = alongX ? strip::Skin{b[0], b[1], b[2], b[3], b[4], b[5]}
                               : strip::Skin{b[0], b[1], b[3], b[4], b[5], b[2]};
    layout::Rect decrease, increase, thumb;
    Track play;
    if (!tileRect(skin.get(), *parts.decrease, s->decreaseButtonHovered ? nHover : nNormal,
                  decrease) ||
        !tileRect(skin.get(), *parts.increase, s->increaseButtonHovered ? nHover : nNormal,
                  increase) ||
        !trackOf(s, skin.get(), play) || !tileRect(skin.get(), *parts.thumb, nNormal, thumb))
        return false;
    float percent = opsOf(s).getPercent(s);
    py::Ref renderer = py::Ref::borrow(s->renderer);
    py::Ref theme = rendererTheme(renderer.get());
    SkinCanvas canvas;
    if (!theme || !skinCanvas(renderer.get(), theme.get(), canvas)) return false;
    SDL_Surface* source = canvas.source;
    SDL_Surface* destination = canvas.destination;
    {
        ClipScope clipped(canvas.target.get(), area);
        if (!drawStrip(track, alongX ? strip::Axis::x : strip::Axis::y, s->x, s->y,
                       alongX ? s->width : s->height, source, destination))
            return false;
        drawPiece(source, destination, decrease, s->x, s->y);
        if (alongX)
            drawPiece(source, destination, increase, int64_t(s->x) + s->width - increase.w, s->y);
        else
            drawPiece(source, destination, increase, s->x, int64_t(s->y) + s->height - increase.h);
    }
    int32_t offset = slider::offset(percent, play.travel);
    if (alongX)
        drawPiece(source, destination, thumb, int64_t(s->x) + play.decrease.w + offset, s->y);
    else
        drawPiece(source, destination, thumb, s->x, int64_t(s->y) + play.decrease.h + offset);
    return true;
}

// --- construction and the Python methods --------------------------------------------------

static int UISlider_init(PyObject* self, py::Arguments<4>& a) {
    if (!initAsBase(UIWidget::type, self)) return -1;
    UISlider* s = py::cast<UISlider>(self);
    // Each stored as soon as it is converted.
    s->orientation = defaultOrientation;
    s->minValue = 0;
    s->maxValue = 100;
    if ((a[3] && !toNamedInt(a[3], "orientation", s->orientation)) ||
        !toNamedInt(a[0], "value", s->value) ||
        (a[1] && !toNamedInt(a[1], "minValue", s->minValue)) ||
        (a[2] && !toNamedInt(a[2], "maxValue", s->maxValue)))
        return -1;
    s->decreaseButtonHovered = s->increaseButtonHovered = s->isDraggingThumb = 0;
    return 0;
}

static PyObject* UISlider_onClick(PyObject* self, PyObject* event) {
    int taken = sliderTakesClick(self, event);
    return py::boolOrFailed(taken);
}

static PyObject* UISlider_onDragEnd(PyObject* self, py::Arguments<2>&) {
    py::cast<UISlider>(self)->isDraggingThumb = 0;
    Py_RETURN_NONE;
}

static PyObject* UISlider_onDragStart(PyObject* self, py::Arguments<2>& a) {
    return py::noneOrFailed(startDrag(self, a[0], a[1]));
}

static PyObject* UISlider_onDrag(PyObject* self, py::Arguments<4>& a) {
    return py::noneOrFailed(dragThumb(self, a[0], a[1]));
}

static PyObject* UISlider_update(PyObject* self, py::Arguments<3>& a) {
    return py::noneOrFailed(updateSlider(self, a[0], a[1], a[2]));
}

static PyObject* UISlider_getValue(PyObject* self, void*) {
    return PyLong_FromLong(py::cast<UISlider>(self)->value);
}

static int UISlider_setValue(PyObject* self, PyObject* value, void*) {
    if (!value) return py::deleteRefused();
    int32_t number;
    return toNamedInt(value, "value", number) && setSliderValue(py::cast<UISlider>(self), number)
               ? 0
               : -1;
}

static PyObject* UISlider_getPercentProperty(PyObject* self, void*) {
    return PyFloat_FromDouble(opsOf(py::cast<UISlider>(self)).getPercent(py::cast<UISlider>(self)));
}

static int UISlider_setPercentProperty(PyObject* self, PyObject* value, void*) {
    if (!value) return py::deleteRefused();
    double percent;
    if (!py::toDouble(value, percent)) return -1;
    if (std::isnan(percent)) return py::raise(PyExc_ValueError, "percent must not be NaN");
    return opsOf(py::cast<UISlider>(self))
                   .setPercent(py::cast<UISlider>(self), slider::narrow(percent))
               ? 0
               : -1;
}

static const PyMethodDef uiSliderMethods[] = {
    py::oneArg<"_onClick", UISlider_onClick, "event">(),
    py::withKeywords<"onDragEnd", UISlider_onDragEnd, "mouseX", "mouseY">(),
    py::withKeywords<"onDragStart", UISlider_onDragStart, "mouseX", "mouseY">(),
    py::withKeywords<"onDrag", UISlider_onDrag, "mouseX", "mouseY", "diffX", "diffY">(),
    py::withKeywords<"update", UISlider_update, "mouseX", "mouseY", "isMouseLeftPressed">(),
    renderMethod<drawSlider>(py::doc<"Renders the slider">),
};

static const py::Member uiSliderMembers[] = {
    py::member<&UISlider::orientation>(),
    py::member<&UISlider::value>(),
    py::member<&UISlider::minValue>(),
    py::member<&UISlider::maxValue>(),
    py::member<&UISlider::decreaseButtonHovered>(),
    py::member<&UISlider::increaseButtonHovered>(),
    py::member<&UISlider::isDraggingThumb>(),
};

static const PyGetSetDef uiSliderProperties[] = {
    py::property<UISlider_getValue, UISlider_setValue>("value"),
    py::property<UISlider_getPercentProperty, UISlider_setPercentProperty>("percent"),
};

py::ClassDef& uiSliderClass() {
    return py::define<UISlider>(
        "UISlider",
        {.doc = py::classDoc<"Represents a horizontally or vertically oriented slider for choosing "
                             "a value inside a range">,
         .members = uiSliderMembers,
         .init = py::init<UISlider_init, "value", "minValue=0", "maxValue=100", "orientation=0">,
         .methods = uiSliderMethods,
         .properties = uiSliderProperties,
         .initDoc = py::doc<
             "@param(orientation, SLIDER_ORIENTATION_HORIZONTAL or SLIDER_ORIENTATION_VERTICAL)">});
}

// --- SliderValueChangedEvent ------------------------------------------------------------------

static const py::Member sliderValueChangedEventMembers[] = {
    py::member<&SliderValueChangedEvent::target>("_target")
        .readonly("target")
        .typed<&UISlider::type>(),
    py::member<&SliderValueChangedEvent::oldValue>("_oldValue").readonly("oldValue"),
    py::member<&SliderValueChangedEvent::newValue>("_newValue").readonly("newValue"),
};

py::ClassDef& sliderValueChangedEventClass() {
    return eventRecord<SliderValueChangedEvent>("SliderValueChangedEvent",
                                                sliderValueChangedEventMembers, 0x00719e0);
}

// --- the module-level statements ----------------------------------------------------------

static bool sliderStatements() {
    if (!py::bindInt("SLIDER_ORIENTATION_HORIZONTAL", horizontal) ||
        !py::bindInt("SLIDER_ORIENTATION_VERTICAL", vertical))
        return false;
    py::Ref orientation = py::moduleGlobal("SLIDER_ORIENTATION_HORIZONTAL");
    return orientation && py::toInt32(orientation.get(), defaultOrientation);
}

const py::Segment sliderSegment{sliderStatements};
