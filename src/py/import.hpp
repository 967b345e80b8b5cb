// The import of the module: its multi-phase definition, which registers the classes and
// runs the module-level statements of the source files, each in its fixed order.
#pragma once

#include "py/classdef.hpp"

#include <source_location>
#include <span>

namespace py {

// The module's own lists, which its main file gives to moduleDefinition.
using ClassDefinition = ClassDef& (*)();
// The module-level statements of one source file, defined in that file as
//     const py::Segment keysSegment{keysStatements};
// which records the place (file and line) that a failed import's traceback names.
struct Segment {
    bool (*run)();
    std::source_location defined;

    constexpr Segment(bool (*statements)(),
                      std::source_location where = std::source_location::current())
        : run(statements), defined(where) {}
};
// The change log's audit hook (py/changes.hpp): the first segment of every module whose
// classes have watched rows.
extern const Segment changesSegment;

struct ModuleSpec {
    const char* name;
    std::span<const ClassDefinition> classes; // registration order: bases first
    std::span<const Segment* const> segments; // import order
};

// A multi-phase module definition for PyInit: the create slot refuses a second
// interpreter and hands back the module already made in this process; the exec slot
// registers the classes, then runs the segments. A failure leaves a traceback entry
// "init <name>" at the class's declaration or the segment's definition.
PyModuleDef* moduleDefinition(const ModuleSpec& spec);

// Binds the unpickle function of every picklable class, in registration order.
bool bindUnpickleFunctions();

} // namespace py
