// Terminal colours: the TerminalColor context manager, its fourteen instances and
// clearTerminal.
#pragma once

#include "py/import.hpp"

extern const py::Segment colorprintSegment;
