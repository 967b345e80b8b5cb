// UIPanel: drawing and clicks; its layout is the list container's.
#include "ui/panel.hpp"

#include "py/args.hpp"
#include "py/cast.hpp"
#include "py/methods.hpp"
#include "ui/draw.hpp"
#include "ui/widgetRenderer.hpp"

namespace {

py::Name nSetPadding("setPadding");

} // namespace

static int UIPanel_init(PyObject* self, PyObject* args, PyObject* kwargs) {
    if (UIListContainer::type->tp_init(self, args, kwargs) < 0) return -1;
    py::Ref eight(PyLong_FromLong(8));
    return eight && py::callMethod(self, nSetPadding, eight.get()) ? 0 : -1;
}

// The frame and the children, clipped to the panel's rectangle within the clip that
// the target already has. The skin is read before the clip changes, so a skin that
// fails leaves the target as it was.
static walk::Step drawPanel(UIWidget* widget, ClipValues clip) {
    int ready = readyToDraw(widget);
    if (ready <= 0) co_return walk::outcome(ready == 0);
    layout::Rect area = widget->ops->getClippedRect(widget, clip);
    if (area.w < 1 || area.h < 1) co_return walk::done;
    py::Ref renderer = py::Ref::borrow(widget->renderer);
    PanelSkin panel;
    if (!readPanelSkin(renderer.get(), panel)) co_return walk::failed;
    ClipScope clipped(panel.canvas.target.get(), area);
    blitNineSlice(panel.skin, {widget->x, widget->y, widget->width, widget->height},
                  panel.canvas.source, panel.canvas.destination);
    co_return co_await renderChildren(py::asObject(widget), noClip());
}

// The children first; what none of them took, an enabled panel under the mouse takes.
static walk::Step panelTakesClick(UIWidget* self, PyObject* event) {
    int taken = co_await childrenTakeClick(py::asObject(self), event);
    if (taken) co_return 1;
    co_return widgetTakesClick(py::asObject(self), event);
}

static UIWidgetOps makePanelTable() {
    UIWidgetOps table = listContainerTable();
    table.render = drawPanel;
    table.takeClick = panelTakesClick;
    return table;
}

const UIWidgetOps UIPanel::table = makePanelTable();

static const PyMethodDef uiPanelMethods[] = {
    renderMethod<renderWalk<drawPanel>>(py::doc<"Renders the panel and its children.">),
    py::oneArg<"_onClick", eventWalk<panelTakesClick>, "event">(),
};

py::ClassDef& uiPanelClass() {
    return py::define<UIPanel>("UIPanel", {.init = UIPanel_init, .methods = uiPanelMethods});
}
