// Binds the KEY_ and MOUSE_ constants in the module namespace.
#pragma once

#include "py/import.hpp"

extern const py::Segment keysSegment;
