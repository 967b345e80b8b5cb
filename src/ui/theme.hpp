// UITheme: the look of the UI, loaded from a JSON theme file: the tileset image that
// skinned widgets cut their pieces from, named fonts and colours, and the widget skins.
#pragma once

#include "py/classdef.hpp"

struct UITheme {
    PyObject_HEAD
    PyObject* tileset;   // Texture; None before the constructor
    PyObject* fonts;     // dict: name -> Font
    PyObject* intColors; // dict: name -> packed 0xAARRGGBB
    PyObject* colors;    // dict: name -> (r, g, b, a)
    PyObject* widgets;   // the file's "widgets" object (dict) or None; read at every use

    static inline PyTypeObject* type = nullptr;
};

py::ClassDef& uiThemeClass();
