// The main module file: the Engine and the exception classes, as the import finds them.
#pragma once

#include "py/classdef.hpp"
#include "py/import.hpp"

py::ClassDef& engineClass();
// The lists and the table that every Engine shares, stored on the class.
bool setEngineClassAttributes();
// EngineException, EngineSdlException and LevelFormatException, made in the module.
bool defineExceptions();
// The module-level statements of the main module file that run before the other files'
// (threading.Timer, time and the longest wait of a timer).
extern const py::Segment quorvelinSegment;
