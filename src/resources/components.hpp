// The component registry: `_COMPONENTS`, one dict that maps the level files' component
// names to classes and the classes back to their names; the decorator factory
// `component(name)` that game code registers its own classes with; and
// `DummyComponent`, the base of the classes a level makes for names nobody registered.
#pragma once

#include "py/import.hpp"

// Binds _COMPONENTS (empty: the built-ins are entered by the entity segment), component
// and DummyComponent.
extern const py::Segment componentsSegment;
