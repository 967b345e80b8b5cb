// UIScrollPanel: one content widget seen through a window of fixed size. The content is
// laid out at its own size inside the panel's paddings, shifted by the scroll offsets
// and cut to the panel less the theme's clip padding. A vertical UISlider along the
// right edge is the scroll bar, and the wheel over the panel moves it.
#pragma once

#include "ui/abstractcontainer.hpp"

struct UIScrollPanel : AbstractUIContainer {
    int32_t scrollPosX; // the content moves left by this much; set by game code only
    int32_t scrollPosY; // a copy of the slider's value, taken once per frame by update
    int32_t maxScrollX; // the largest useful offsets, from the last position pass
    int32_t maxScrollY;
    int32_t paddingLeft;
    int32_t paddingTop;
    int32_t paddingRight;
    int32_t paddingBottom;
    int32_t wheelScrollPixels;
    // The scroll bar, owned and driven by the panel: it is not a child and has no parent.
    // None only before the constructor.
    PyObject* slider;

    using Base = AbstractUIContainer;
    static inline PyTypeObject* type = nullptr;
    static const UIWidgetOps table;
};

py::ClassDef& uiScrollPanelClass();
