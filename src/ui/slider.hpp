// UISlider: a whole number chosen inside a closed range, shown as a track with an arrow
// button at each end and a thumb between them. The arrows step the value by 10, a
// thumb drag follows the mouse; every change of the stored value made while the slider
// is in a renderer that has an engine fires a SliderValueChangedEvent.
#pragma once

#include "events.hpp"
#include "py/import.hpp"
#include "ui/widget.hpp"

struct UISlider;

struct UISliderOps : UIWidgetOps {
    // The value's place in the range, 0 at minValue and 1 at maxValue, in single
    // precision; 0 (and an unraisable ZeroDivisionError) for an empty range.
    float (*getPercent)(UISlider* self);
    // value = trunc(percent * (maxValue - minValue)) + minValue through the value
    // property, which clamps it and fires the change event.
    bool (*setPercent)(UISlider* self, float percent);
};

struct UISlider : UIWidget {
    int32_t orientation; // SLIDER_ORIENTATION_HORIZONTAL (0); any other value is vertical
    int32_t value;
    int32_t minValue;
    int32_t maxValue;
    int32_t decreaseButtonHovered; // the mouse was over the left (top) arrow at the last update
    int32_t increaseButtonHovered; // ... over the right (bottom) arrow
    int32_t isDraggingThumb;       // the present left-button drag began on the thumb

    using Base = UIWidget;
    static inline PyTypeObject* type = nullptr;
    static const UISliderOps table;
};

// What a slider reports when its value changes: the values before and after, and the
// slider itself.
struct SliderValueChangedEvent : Event {
    PyObject* target; // UISlider or None
    int32_t oldValue;
    int32_t newValue;

    using Base = Event;
    static inline PyTypeObject* type = nullptr;
};

// Stores a value as the value property does: clamped to the range (the upper bound
// first); fires the change event when the stored value changed while the slider is in
// a renderer that has an engine. The value is stored before the handlers run.
bool setSliderValue(UISlider* slider, int32_t value);

// The slider's update, drawing and clicks, for the scroll panel that owns one.
bool updateSlider(PyObject* self, PyObject* mouseX, PyObject* mouseY, PyObject* pressed);
bool drawSlider(PyObject* self, ClipValues clip);
int sliderTakesClick(PyObject* self, PyObject* event);

// The module-level statements: the SLIDER_ORIENTATION_ constants, and the default of
// UISlider's orientation read from SLIDER_ORIENTATION_HORIZONTAL.
extern const py::Segment sliderSegment;

py::ClassDef& sliderValueChangedEventClass();
py::ClassDef& uiSliderClass();
