// UIPanel: drawing and clicks; its layout is the list container's.
#include "ui/panel.hpp"

#include "gui.hpp"
#include "py/args.hpp"
#include "py/methods.hpp"
#include "ui/draw.hpp"

namespace {

py::Name nSetPadding("setPadding");
py::Name nPanel("panel");

} // namespace

static int UIPanel_init(PyObject* self, PyObject* args, PyObject* kwargs) {
    if (UIListContainer::type->tp_init(self, args, kwargs) < 0) return -1;
    py::Ref eight(PyLong_FromLong(8));
    return eight && py::callMethod(self, nSetPadding, eight.get()) ? 0 : -1;
}

// The frame and the children, clipped to the panel's rectangle within the clip that
// the target already has. The skin is read before the clip changes, so a skin that
// fails leaves the target as it was.
static bool drawPanel(PyObject* self, ClipValues clip) {
    UIWidget* widget = asWidget(self);
    int ready = readyToDraw(widget);
    if (ready <= 0) return ready == 0;
    layout::Rect area = widget->ops->getClippedRect(widget, clip);
    if (area.w < 1 || area.h < 1) return true;
    py::Ref renderer = py::Ref::borrow(widget->renderer);
    py::Ref theme = rendererTheme(renderer.get());
    py::Ref record = theme ? skinRecord(theme.get(), nPanel) : py::Ref();
    nineslice::Skin skin;
    if (!record || !readNineSliceSkin(record.get(), skin)) return false;
    SkinCanvas canvas;
    if (!skinCanvas(renderer.get(), theme.get(), canvas)) return false;
    ClipScope clipped(canvas.target.get(), area);
    blitNineSlice(skin, {widget->x, widget->y, widget->width, widget->height}, canvas.source,
                  canvas.destination);
    return renderChildren(self, noClip());
}

// The children first; what none of them took, an enabled panel under the mouse takes.
static PyObject* UIPanel_onClick(PyObject* self, PyObject* event) {
    int taken = childrenTakeClick(self, event);
    if (taken == 0) taken = widgetTakesClick(self, event);
    return taken < 0 ? nullptr : PyBool_FromLong(taken);
}

static const PyMethodDef uiPanelMethods[] = {
    renderMethod<drawPanel>(py::doc<"Renders the panel and its children.">),
    py::oneArg<"_onClick", UIPanel_onClick, "event">(),
};

py::ClassDef& uiPanelClass() {
    return py::define<UIPanel>("UIPanel", {.init = UIPanel_init, .methods = uiPanelMethods});
}
