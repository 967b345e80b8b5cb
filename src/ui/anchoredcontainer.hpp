// UIAnchoredContainer: places each child at an offset from one of its edges or from
// its centre, per axis, as given when the child was added. The root of every
// UIRenderer. _UIAnchorWrapper is the record type of such a placement.
#pragma once

#include "py/import.hpp"
#include "ui/abstractcontainer.hpp"

#include <vector>

// Where a child of an anchored container goes: offsets and anchors per axis.
struct AnchorRecord {
    py::Ref child; // UIWidget
    int32_t x;
    int32_t y;
    int32_t anchorTypeX;
    int32_t anchorTypeY;
};

struct UIAnchoredContainer : AbstractUIContainer {
    // One record per child added, in the order they were added; dropped with the child.
    // The position pass walks them in order: no search per frame.
    struct Native {
        std::vector<AnchorRecord> records;
    } native;

    using Base = AbstractUIContainer;
    static inline PyTypeObject* type = nullptr;
    static const UIWidgetOps table;
};

struct UIAnchorWrapper {
    PyObject_HEAD
    PyObject* child; // UIWidget or None
    int32_t x;
    int32_t y;
    int32_t anchorTypeX;
    int32_t anchorTypeY;

    static inline PyTypeObject* type = nullptr;
};

// The module-level statements: the ANCHOR_ constants, then the defaults of addChild
// read from ANCHOR_LEFT and ANCHOR_TOP.
extern const py::Segment anchoredContainerSegment;

py::ClassDef& uiAnchorWrapperClass();
py::ClassDef& uiAnchoredContainerClass();
