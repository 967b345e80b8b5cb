// UIButton: the clickable control. A horizontal three-piece skin from the theme (a left
// cap, a middle piece repeated along the width, a right cap) with a centred label on
// top; a click inside it goes to its onClick callable as a ButtonClickEvent, and the
// same event to the engine's subscribers.
#pragma once

#include "events.hpp"
#include "ui/listcontainer.hpp"

struct UIButton : UIListContainer {
    PyObject*
        label; // the caption, a UIText and the button's first child; None before the constructor

    using Base = UIListContainer;
    static inline PyTypeObject* type = nullptr;
    static const UIWidgetOps table;
};

// What a button reports when it is clicked: the click's position and mouse button, and
// the button itself.
struct ButtonClickEvent : MouseClickEvent {
    PyObject* target; // UIButton or None

    using Base = MouseClickEvent;
    static inline PyTypeObject* type = nullptr;
};

py::ClassDef& buttonClickEventClass();
py::ClassDef& uiButtonClass();
