// UIRenderer: one UI frame (background, mouse, the three layout passes, update,
// render), the root widget and the routing of the engine's mouse events.
#include "gui.hpp"

#include "engine.hpp"
#include "events.hpp"
#include "py/args.hpp"
#include "py/cast.hpp"
#include "py/exclusive.hpp"
#include "py/methods.hpp"
#include "py/module.hpp"
#include "resources/texture.hpp"
#include "ui/anchoredcontainer.hpp"
#include "ui/draw.hpp"
#include "ui/theme.hpp"
#include "ui/widgetRenderer.hpp"

namespace {

py::Name nGetIntColor("getIntColor");
py::Name nGetMousePos("getMousePos");
py::Name nIsMouseButtonPressed("isMouseButtonPressed");
py::Name nGetEngine("getEngine");
py::Name nSubscribeEvent("subscribeEvent");
py::Name nUnsubscribeEvent("unsubscribeEvent");
py::Name nSetEngine("_setEngine");
py::Name nGetSize("getSize");
py::Name nInit("__init__");
py::Name nIsAlreadyHandled("isAlreadyHandled");

// Replaces the root: the new one is checked first, so a refused value changes nothing;
// then the old root and its descendants leave the renderer and the new ones join it.
bool setRoot(PyObject* self, PyObject* value) {
    if (!widgetOrRefuse(value)) return false;
    py::Ref old = py::Ref::borrow(py::cast<UIRenderer>(self)->widget);
    if (old.get() != Py_None && isWidget(old.get()) &&
        walk::run(rendererStep(old.get(), Py_None)) < 0)
        return false;
    py::assign(py::cast<UIRenderer>(self)->widget, value);
    return walk::run(rendererStep(value, self)) >= 0;
}

} // namespace

static int UIRenderer_init(PyObject* self, py::Arguments<3>& a) {
    auto [target, fillArgument, theme] = a;
    // The renderer needs both to draw: None is refused with the other wrong types.
    int32_t fillBackground;
    if (!py::toInt32(fillArgument, fillBackground) ||
        !py::checkArgument(target, Texture::type, "target") ||
        !py::checkArgument(theme, UITheme::type, "theme"))
        return -1;
    py::Ref rendererInit = py::getAttr(py::asObject(Renderer::type), nInit);
    py::Ref done(rendererInit ? PyObject_CallFunctionObjArgs(rendererInit.get(), self, target,
                                                             Py_None, nullptr)
                              : nullptr);
    if (!done) return -1;
    UIRenderer* renderer = py::cast<UIRenderer>(self);
    renderer->fillBackground = fillBackground;
    py::assign(renderer->theme, theme);
    py::Ref root(PyObject_CallNoArgs(py::asObject(UIAnchoredContainer::type)));
    if (!root) return -1;
    py::assign(renderer->widget, root.get());
    return walk::run(rendererStep(root.get(), self)) >= 0 ? 0 : -1;
}

// --- the frame ----------------------------------------------------------------------------

// The theme's "background" colour over the whole target, written as it is (not blended).
static bool fillBackground(PyObject* self) {
    py::Ref theme = py::Ref::borrow(py::cast<UIRenderer>(self)->theme);
    py::Ref background(PyUnicode_FromString("background"));
    py::Ref color(background ? py::callMethod(theme.get(), nGetIntColor, background.get())
                             : py::Ref());
    uint32_t value;
    if (!color || !py::toUint32(color.get(), value)) return false;
    py::Ref target = rendererTarget(self);
    SDL_Surface* surface = target ? textureSurface(target.get()) : nullptr;
    if (!surface) return false;
    SDL_FillRect(surface, nullptr, value);
    return true;
}

static bool renderFrame(PyObject* self) {
    UIRenderer* renderer = py::cast<UIRenderer>(self);
    // Every frame starts with the whole target to draw in: a clip left over from
    // earlier drawing would cut the fill and the widgets.
    if (PyObject* target = renderer->target; isTexture(target))
        if (SDL_Surface* surface = py::cast<Texture>(target)->surface)
            SDL_SetClipRect(surface, nullptr);
    if (renderer->fillBackground && !fillBackground(self)) return false;
    py::Ref engine = py::Ref::borrow(renderer->engine);
    py::Ref position = py::callMethod(engine.get(), nGetMousePos);
    int32_t mouseX, mouseY;
    if (!position || !py::toInt32Pair(position.get(), mouseX, mouseY)) return false;
    py::Ref left(PyLong_FromLong(1)); // MOUSE_LEFT
    py::Ref pressed(left ? py::callMethod(engine.get(), nIsMouseButtonPressed, left.get())
                         : py::Ref());
    if (!pressed) return false;
    // TypeError "Cannot convert NoneType ..." for a renderer never constructed.
    py::Ref root = py::Ref::borrow(renderer->widget);
    for (LayoutPass pass : {&UIWidgetOps::calculateMinSize, &UIWidgetOps::calculateMaxSize,
                            &UIWidgetOps::calculatePos})
        if (walk::run(passStep(root.get(), pass)) < 0) return false;
    py::Ref x(PyLong_FromLong(mouseX)), y(PyLong_FromLong(mouseY));
    return x && y && py::callMethod(root.get(), ui::nUpdate, x.get(), y.get(), pressed.get()) &&
           py::callMethod(root.get(), ui::nRender);
}

static PyObject* UIRenderer_render(PyObject* self, PyObject*) {
    // One frame at a time: a second would reset the clip and fill the target under the
    // widgets of the first.
    py::Exclusive drawing(py::cast<UIRenderer>(self)->drawing, renderingAlready);
    return drawing ? py::noneOrFailed(renderFrame(self)) : nullptr;
}

// --- the engine and its mouse events ------------------------------------------------------

// Moves the click and wheel subscriptions from the old engine to the new one, so that a
// renderer in an Ecs with an engine is subscribed exactly once.
static PyObject* UIRenderer_setEngine(PyObject* self, PyObject* engine) {
    if (!py::checkArgument(engine, Engine::type, "engine", true)) return nullptr;
    py::Ref onClick = py::getAttr(self, ui::nOnClick);
    py::Ref onScroll = onClick ? py::getAttr(self, ui::nOnScroll) : py::Ref();
    py::Ref old = onScroll ? py::callMethod(self, nGetEngine) : py::Ref();
    if (!old) return nullptr;
    PyObject* clicks = py::asObject(MouseClickEvent::type);
    PyObject* wheels = py::asObject(MouseWheelEvent::type);
    if (old.get() != Py_None &&
        (!py::callMethod(old.get(), nUnsubscribeEvent, clicks, onClick.get()) ||
         !py::callMethod(old.get(), nUnsubscribeEvent, wheels, onScroll.get())))
        return nullptr;
    py::Ref baseSetEngine = py::getAttr(py::asObject(AbstractSystem::type), nSetEngine);
    py::Ref stored(baseSetEngine
                       ? PyObject_CallFunctionObjArgs(baseSetEngine.get(), self, engine, nullptr)
                       : nullptr);
    if (!stored) return nullptr;
    if (engine != Py_None && (!py::callMethod(engine, nSubscribeEvent, clicks, onClick.get()) ||
                              !py::callMethod(engine, nSubscribeEvent, wheels, onScroll.get())))
        return nullptr;
    Py_RETURN_NONE;
}

// The root's answer goes into the event this handler received; every event goes
// down, whatever it says on arrival.
static PyObject* routeEvent(PyObject* self, py::Name& hook, PyObject* event) {
    py::Ref root = py::Ref::borrow(py::cast<UIRenderer>(self)->widget);
    py::Ref answer = py::callMethod(root.get(), hook, event);
    return py::noneOrFailed(answer && py::setAttr(event, nIsAlreadyHandled, answer.get()));
}

static PyObject* UIRenderer_onClick(PyObject* self, PyObject* event) {
    return routeEvent(self, ui::nOnClick, event);
}

static PyObject* UIRenderer_onScroll(PyObject* self, PyObject* event) {
    return routeEvent(self, ui::nOnScroll, event);
}

static PyObject* UIRenderer_getSize(PyObject* self, PyObject*) {
    py::Ref target = py::Ref::borrow(py::cast<UIRenderer>(self)->target);
    return py::callMethod(target.get(), nGetSize).release();
}

// --- the root ------------------------------------------------------------------------------

static PyObject* UIRenderer_getWidget(PyObject* self, void*) {
    return py::newRef(py::cast<UIRenderer>(self)->widget);
}

static int UIRenderer_setWidget(PyObject* self, PyObject* value, void*) {
    if (!value) return py::deleteRefused();
    return setRoot(self, value) ? 0 : -1;
}

static const PyMethodDef uiRendererMethods[] = {
    py::noArgs<"getSize", UIRenderer_getSize>(
        py::doc<"@returns((int,int))", "Returns the size of the render target">),
    py::noArgs<"render", UIRenderer_render>(
        py::doc<"Renders a single frame onto the render target">),
    py::oneArg<"_setEngine", UIRenderer_setEngine, "engine">(py::doc<"@param(engine, Engine)">),
    py::oneArg<"_onClick", UIRenderer_onClick, "event">(),
    py::oneArg<"_onScroll", UIRenderer_onScroll, "event">(),
};

static const py::Member uiRendererMembers[] = {
    py::member<&UIRenderer::widget>().typed<&UIWidget::type>(),
    py::member<&UIRenderer::theme>().readonly("theme").typed<&UITheme::type>(),
    py::member<&UIRenderer::fillBackground>(),
};

static const PyGetSetDef uiRendererProperties[] = {
    py::property<UIRenderer_getWidget, UIRenderer_setWidget>("widget"),
};

py::ClassDef& uiRendererClass() {
    return py::define<UIRenderer>(
        "UIRenderer",
        {.doc = py::classDoc<"A UI render renders UI elements like text and buttons.">,
         .members = uiRendererMembers,
         .init = py::init<UIRenderer_init, "target", "fillBackground", "theme">,
         .methods = uiRendererMethods,
         .properties = uiRendererProperties,
         .initDoc = py::doc<"@param(target, Texture)", "@param(fillBackground, bool)",
                            "@param(theme, UITheme)">});
}

// --- the module-level statements ----------------------------------------------------------

static bool guiStatements() {
    if (!py::bind("_json", py::Ref(PyImport_ImportModule("json"))) ||
        !py::bind("_ospath", py::Ref(PyImport_ImportModule("os.path"))))
        return false;
    const std::pair<const char*, long> constants[] = {
        {"ALIGN_LEFT", 0}, {"ALIGN_RIGHT", 1},   {"ALIGN_CENTER", 2},
        {"VALIGN_TOP", 0}, {"VALIGN_BOTTOM", 1}, {"VALIGN_MIDDLE", 2},
        {"SIZE_AUTO", 0},  {"SIZE_FIXED", 1},    {"SIZE_GROW", 2},
    };
    for (const auto& [name, value] : constants)
        if (!py::bindInt(name, value)) return false;
    return true;
}

const py::Segment guiSegment{guiStatements};
