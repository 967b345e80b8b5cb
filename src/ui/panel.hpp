// UIPanel: the framed box of the UI, a list container with paddings of 8 that draws
// the theme's "panel" skin as a nine-slice behind its children, keeps everything it
// draws inside its rectangle and takes the clicks inside it that no child took.
#pragma once

#include "ui/listcontainer.hpp"

struct UIPanel : UIListContainer {
    using Base = UIListContainer;
    static inline PyTypeObject* type = nullptr;
    // The list container's, with the panel's drawing and clicks.
    static const UIWidgetOps table;
};

py::ClassDef& uiPanelClass();
