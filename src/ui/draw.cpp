#include "ui/draw.hpp"

#include "py/call.hpp"
#include "py/cast.hpp"
#include "resources/texture.hpp"
#include "resources/texture/drawing.hpp"
#include "ui/theme.hpp"
#include "ui/widgetRenderer.hpp"

namespace {

py::Name nWidgets("widgets");
py::Name nPanel("panel");
py::Name nX("x"), nY("y"), nLeftWidth("leftWidth"), nMiddleWidth("middleWidth"),
    nRightWidth("rightWidth"), nTopHeight("topHeight"), nMiddleHeight("middleHeight"),
    nBottomHeight("bottomHeight");

} // namespace

py::Ref themeTileset(PyObject* theme) {
    PyObject* tileset = py::cast<UITheme>(theme)->tileset;
    if (!isTexture(tileset)) {
        py::engineException("UITheme is not initialised.");
        return py::Ref();
    }
    return py::Ref::borrow(tileset);
}

bool skinCanvas(PyObject* renderer, PyObject* theme, SkinCanvas& canvas) {
    canvas.tileset = themeTileset(theme);
    canvas.target = canvas.tileset ? rendererTarget(renderer) : py::Ref();
    canvas.source = canvas.target ? textureSurface(canvas.tileset.get()) : nullptr;
    canvas.destination = canvas.source ? textureSurface(canvas.target.get()) : nullptr;
    return canvas.destination != nullptr;
}

py::Ref skinRecord(PyObject* theme, py::Name& name) {
    py::Ref widgets = py::getAttr(theme, nWidgets);
    PyObject* key = widgets ? name.get() : nullptr;
    return py::Ref(key ? PyObject_GetItem(widgets.get(), key) : nullptr);
}

bool readSkinValues(PyObject* record, std::initializer_list<py::Name*> keys, int32_t* out) {
    for (py::Name* name : keys) {
        PyObject* key = name->get();
        py::Ref value(key ? PyObject_GetItem(record, key) : nullptr);
        if (!value || !py::toInt32(value.get(), *out++)) return false;
    }
    return true;
}

bool readNineSliceSkin(PyObject* record, nineslice::Skin& out) {
    int32_t values[8];
    if (!readSkinValues(record,
                        {&nX, &nY, &nLeftWidth, &nMiddleWidth, &nRightWidth, &nTopHeight,
                         &nMiddleHeight, &nBottomHeight},
                        values))
        return false;
    out = {values[0], values[1], values[2], values[3], values[4], values[5], values[6], values[7]};
    return true;
}

bool readPanelSkin(PyObject* renderer, PanelSkin& out) {
    out.theme = rendererTheme(renderer);
    out.record = out.theme ? skinRecord(out.theme.get(), nPanel) : py::Ref();
    return out.record && readNineSliceSkin(out.record.get(), out.skin) &&
           skinCanvas(renderer, out.theme.get(), out.canvas);
}

void blitNineSlice(const nineslice::Skin& skin, const layout::Rect& destination,
                   SDL_Surface* source, SDL_Surface* target) {
    SurfacePair pair = pairOf(target, source);
    for (const nineslice::Piece& piece : nineslice::pieces(skin, destination)) {
        if (!piece.drawable()) continue;
        if (piece.scaled)
            drawScaled(pair, piece.source, piece.destination);
        else
            drawPart(pair, piece.source, piece.destination.x, piece.destination.y);
    }
}

static void drawStripPiece(const SurfacePair& pair, const strip::Piece& piece) {
    if (!piece.drawable()) return;
    if (piece.scaled)
        drawScaled(pair, piece.source, piece.destination);
    else
        drawPart(pair, piece.source, piece.destination.x, piece.destination.y);
}

bool drawStrip(const strip::Skin& skin, strip::Axis axis, int32_t x, int32_t y, int32_t length,
               SDL_Surface* source, SDL_Surface* target) {
    SurfacePair pair = pairOf(target, source);
    strip::Plan plan = strip::plan(skin, axis, x, y, length, trustedClip(target));
    drawStripPiece(pair, plan.first);
    if (!plan.divides) return py::raise(PyExc_ZeroDivisionError, "division by zero");
    for (int64_t k = plan.from; k < plan.to; ++k)
        drawStripPiece(pair, plan.middle(k));
    drawStripPiece(pair, plan.rest);
    drawStripPiece(pair, plan.last);
    return true;
}

void drawPiece(SDL_Surface* source, SDL_Surface* target, const layout::Rect& from, int64_t x,
               int64_t y) {
    if (!from.empty()) drawPart(pairOf(target, source), from, x, y);
}

// The narrowed clip is cut in 64 bits to the part of the surface that the previous
// clip leaves, so SDL only ever sees a rectangle inside the surface: its own
// intersection sums ints and, for a widget near the end of the int range, would set
// a clip outside the surface.
ClipScope::ClipScope(PyObject* texture, const layout::Rect& rect)
    : texture_(py::Ref::borrow(texture)) {
    SDL_Surface* surface = py::cast<Texture>(texture)->surface;
    if (!surface) return;
    SDL_GetClipRect(surface, &previous_);
    layout::Rect narrowed = layout::intersect(rect, trustedClip(surface));
    SDL_Rect clip = {0, 0, 0, 0};
    if (!narrowed.empty()) clip = toSdlRect(narrowed);
    SDL_SetClipRect(surface, &clip);
    narrowed_ = true;
}

ClipScope::~ClipScope() {
    // The surface of this moment: code that ran during the scope may have replaced it.
    SDL_Surface* surface = py::cast<Texture>(texture_.get())->surface;
    if (narrowed_ && surface) SDL_SetClipRect(surface, &previous_);
}
