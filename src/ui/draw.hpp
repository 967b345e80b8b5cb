// What the widgets that draw share: skin records read from the theme at every use,
// nine-slice and strip blits, and the target's clip rectangle narrowed for the length
// of a draw.
//
// Widgets blit into the surface of the renderer's target texture with SDL. Python
// code may run between two draws (a child's render, a skin value's conversion) and
// may replace a texture's surface: the surfaces are read from their textures right
// before the blits, which hold the textures.
#pragma once

#include "core/nineslice.hpp"
#include "core/strip.hpp"
#include "py/call.hpp"

#include <SDL.h>

#include <initializer_list>

// The tileset texture of a theme; EngineException for a theme never constructed.
py::Ref themeTileset(PyObject* theme);

// What a skin is drawn from and onto: the theme's tileset and the renderer's target, held,
// with their surfaces.
struct SkinCanvas {
    py::Ref tileset, target;
    SDL_Surface* source = nullptr;
    SDL_Surface* destination = nullptr;
};
// Fills `canvas`; false with the error set when a texture is missing or not initialised.
bool skinCanvas(PyObject* renderer, PyObject* theme, SkinCanvas& canvas);

// theme.widgets[name], through the theme's property.
py::Ref skinRecord(PyObject* theme, py::Name& name);

// The record's members in the order given, each converted to an int as it is read:
// KeyError for a missing one, "an integer is required" for one that is no number.
bool readSkinValues(PyObject* record, std::initializer_list<py::Name*> keys, int32_t* out);

// The "panel" skin: "x", "y", "leftWidth", "middleWidth", "rightWidth", "topHeight",
// "middleHeight", "bottomHeight".
bool readNineSliceSkin(PyObject* record, nineslice::Skin& out);

// The theme's "panel" skin of a widget's renderer, with the canvas it is drawn on. It
// holds the theme and the skin's record until it goes, since letting go of them may run
// Python code, which must not come between reading the canvas and drawing on it.
struct PanelSkin {
    py::Ref theme, record;
    nineslice::Skin skin;
    SkinCanvas canvas;
};
// Fills `out`; false with the error set.
bool readPanelSkin(PyObject* renderer, PanelSkin& out);

// The nine pieces of the skin over `destination`, corners copied, edges and centre
// stretched, each drawn as SDL_UpperBlit and SDL_UpperBlitScaled draw it (through the
// engine's own loops for plain surfaces, see resources/texture/drawing.hpp); pieces without area
// are skipped. Every piece's rectangles are set in full before its blit: SDL writes the rectangle
// it really drew back into them.
void blitNineSlice(const nineslice::Skin& skin, const layout::Rect& destination,
                   SDL_Surface* source, SDL_Surface* target);

// The pieces of a three-piece strip `length` long at (x, y) along `axis`, each drawn as
// SDL_UpperBlit (caps, whole middle pieces) and SDL_UpperBlitScaled (the squeezed
// remainder) draw it, in order. Of the whole middle pieces only those that can meet
// the target's clip rectangle are drawn: the others would draw nothing. A middle of 0
// raises ZeroDivisionError after the first cap.
bool drawStrip(const strip::Skin& skin, strip::Axis axis, int32_t x, int32_t y, int32_t length,
               SDL_Surface* source, SDL_Surface* target);

// One piece of a skin copied 1:1 from `from` to (x, y), as SDL_UpperBlit draws it; a
// piece without area is skipped.
void drawPiece(SDL_Surface* source, SDL_Surface* target, const layout::Rect& from, int64_t x,
               int64_t y);

// Narrows the clip rectangle of a texture's surface to `rect` within the clip it
// already has, and puts that clip back when the scope ends, on every path. So a
// widget inside a clipped one stays inside it, and what is drawn after it is clipped
// as before.
class ClipScope {
  public:
    ClipScope(PyObject* texture, const layout::Rect& rect);
    ~ClipScope();
    ClipScope(const ClipScope&) = delete;
    ClipScope& operator=(const ClipScope&) = delete;

  private:
    py::Ref texture_;
    SDL_Rect previous_{};
    bool narrowed_ = false;
};
