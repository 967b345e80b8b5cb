// UIRenderer: the UI system. It owns the root of a widget tree and a theme, and once
// per frame fills its target (when asked to), lays the tree out, updates hover and
// drag state from the engine's mouse and draws the tree into the target. It also
// hands the engine's clicks and wheel events to the tree. Its struct, which the widgets
// read, is in ui/widgetRenderer.hpp.
#pragma once

#include "py/classdef.hpp"
#include "py/import.hpp"
#include "ui/widgetRenderer.hpp"

// The module-level statements of the UI: `_json`, `_ospath` and the alignment and
// size policy constants.
extern const py::Segment guiSegment;

py::ClassDef& uiRendererClass();
