// UIImage: shows one Texture stretched to the widget's own fixed size, with a constant
// opacity.
#pragma once

#include "ui/widget.hpp"

struct UIImage : UIWidget {
    PyObject* texture; // Texture or None
    int32_t alpha;     // 0 (invisible) to 255 (opaque)

    using Base = UIWidget;
    static inline PyTypeObject* type = nullptr;
    static const UIWidgetOps table; // the widget's, with the image's drawing
};

py::ClassDef& uiImageClass();
