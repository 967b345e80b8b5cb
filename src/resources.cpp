// Resource: the base of every file-backed asset. It only remembers the file name
// the asset was made from; the subclasses load in their constructors.
#include "resources.hpp"

static const py::Member resourceMembers[] = {
    py::member<&Resource::filename>("_filename").readonly("filename").exposed(),
};

py::ClassDef& resourceClass() {
    return py::define<Resource>(
        "Resource", {.doc = py::classDoc<"The abstract base class for all kinds of resoruces.">,
                     .members = resourceMembers,
                     .init = py::memberInit<Resource>});
}
