// UIListContainer: stacks its children top to bottom or left to right inside four
// paddings, each child placed across the stacking axis by its own alignment. Its
// size follows its content.
#pragma once

#include "py/import.hpp"
#include "ui/abstractcontainer.hpp"

struct UIListContainer : AbstractUIContainer {
    int32_t paddingLeft;
    int32_t paddingTop;
    int32_t paddingRight;
    int32_t paddingBottom;
    int32_t layout; // LIST_LAYOUT_HORIZONTAL (0) side by side; any other value stacks

    using Base = AbstractUIContainer;
    static inline PyTypeObject* type = nullptr;
    static const UIWidgetOps table;
};

// The module-level statements: the LIST_LAYOUT_ constants.
extern const py::Segment listContainerSegment;

// The list container's table, made afresh, for subclasses to build theirs from (see
// containerTable).
UIWidgetOps listContainerTable();

py::ClassDef& uiListContainerClass();
