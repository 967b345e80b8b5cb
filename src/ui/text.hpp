// UIText: a label, one or more lines of text drawn in the theme's font "aileron" in
// one colour. It measures itself with that font in the layout, so that its automatic
// size is the size of its text, and draws its text in every frame.
#pragma once

#include "ui/widget.hpp"

#include <SDL.h>

struct UIText : UIWidget {
    PyObject* text;  // exactly a str, or None before the constructor
    PyObject* lines; // the text's line split (a list of str), or None before the constructor
    PyObject* color; // any object; drawing takes (r, g, b[, a])

    // What the last frames found, used again while nothing that decides it has changed:
    // the same lines (equal strs), the same colour values, the same opening of an engine
    // Font reached through an engine theme. Only the label ever sees it.
    struct Native {
        py::Ref lines;     // the lines the picture shows (a tuple of str)
        py::Ref texture;   // what Font.renderLines made of them
        uint64_t font = 0; // the Font's serial: which opening of which file
        SDL_Color color{};
        py::Ref measuredLines; // the lines the layout measured last (a tuple of str)
        uint64_t measuredFont = 0;
        int32_t measuredWidth = 0, measuredHeight = 0;
    } native;

    using Base = UIWidget;
    static inline PyTypeObject* type = nullptr;
    static const UIWidgetOps table;
};

py::ClassDef& uiTextClass();
