// Every extension class of the module, in the order the import registers them.
#pragma once

#include "py/import.hpp"

#include <span>

std::span<const py::ClassDefinition> registeredClasses();
