// A small extension module built from the toolkit alone, so the toolkit's own
// promises can be tested without going through any engine class: C++ members
// constructed and destroyed once, in order; the exception boundary around every kind
// of entry; member rows with their conversions, properties and pickling.
#include "py/args.hpp"
#include "py/changes.hpp"
#include "py/classdef.hpp"
#include "py/import.hpp"
#include "py/methods.hpp"
#include "py/module.hpp"

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

// What the C++ members saw: "+base", "+derived", "-derived", "-base" in order.
std::vector<std::string> lifeEvents;

struct Witness {
    const char* name;
    explicit Witness(const char* name) noexcept : name(name) {
        lifeEvents.push_back(std::string("+") + name);
    }
    ~Witness() { lifeEvents.push_back(std::string("-") + name); }
};

// Throws what the argument names, from inside an entry of the host.
[[noreturn]] void throwKind(const std::string& kind) {
    if (kind == "bad_alloc") throw std::bad_alloc();
    if (kind == "runtime_error") throw std::runtime_error("it broke");
    throw 42;
}

std::string kindOf(PyObject* text) {
    const char* kind = PyUnicode_Check(text) ? PyUnicode_AsUTF8(text) : nullptr;
    return kind ? kind : "";
}

struct Probe {
    PyObject_HEAD
    int32_t count;
    double ratio;
    bool flag;
    PyObject* anything;
    PyObject* items; // list or None
    PyObject* peer;  // Probe or None
    struct Native {
        std::vector<int> numbers;
        Witness witness{"base"};
    } native;

    static inline PyTypeObject* type = nullptr;
};

struct DerivedProbe : Probe {
    int32_t extra;
    PyObject* kept;    // deleting it is refused
    PyObject* mapping; // exactly a dict, or None
    struct Native {
        Witness witness{"derived"};
    } native;

    using Base = Probe;
    static inline PyTypeObject* type = nullptr;
};

PyObject* Probe_fail(PyObject*, PyObject* kind) {
    throwKind(kindOf(kind));
}

PyObject* Probe_push(PyObject* self, PyObject* number) {
    int32_t value;
    if (!py::toInt32(number, value)) return nullptr;
    auto& numbers = reinterpret_cast<Probe*>(self)->native.numbers;
    numbers.push_back(value);
    return PyLong_FromSize_t(numbers.size());
}

PyObject* Probe_failKeywords(PyObject*, py::Arguments<1>& a) {
    throwKind(kindOf(a[0]));
}

// What the parsing handed over: the first value, and the second or "missing".
PyObject* Probe_describe(PyObject*, py::Arguments<2>& a) {
    return Py_BuildValue("(Os)", a[0], a[1] ? "given" : "missing");
}

// The positional arguments as they came.
PyObject* Probe_gather(PyObject*, PyObject* args, PyObject*) {
    return py::newRef(args);
}

// What the next allocation of a DerivedProbe does in its hook: "" succeeds, "error"
// fails with a Python error, anything else throws as throwKind does.
std::string allocationFailure;

bool Probe_allocated(PyObject*) {
    lifeEvents.push_back("*base");
    return true;
}

bool DerivedProbe_allocated(PyObject*) {
    lifeEvents.push_back("*derived");
    std::string kind = std::exchange(allocationFailure, "");
    if (kind.empty()) return true;
    if (kind == "error") return py::raise(PyExc_RuntimeError, "allocation refused");
    throwKind(kind);
}

PyObject* failNextAllocation(PyObject*, PyObject* kind) {
    allocationFailure = kindOf(kind);
    Py_RETURN_NONE;
}

PyObject* Probe_getBroken(PyObject*, void*) {
    throw std::runtime_error("getter broke");
}

PyObject* Probe_str(PyObject*) {
    throw std::bad_alloc();
}

const PyMethodDef probeMethods[] = {
    py::oneArg<"fail", Probe_fail, "kind">(py::doc<"@param(kind, str)">),
    py::oneArg<"push", Probe_push, "number">(),
    py::withKeywords<"failKeywords", Probe_failKeywords, "kind">(),
    py::withKeywords<"describe", Probe_describe, "first", "second=None">(
        py::plainDoc<"Tells what it was given.">),
    py::withVarargs<"gather", Probe_gather, "*values">(),
};

// Object rows come first: their arguments are still tested after every value's.
const py::Member probeMembers[] = {
    py::member<&Probe::items>("_items").readwrite("items").exactly<py::List>(),
    py::member<&Probe::count>("_count").readwrite("count").exposed(),
    py::member<&Probe::ratio>("_ratio").readonly("ratio"),
    py::member<&Probe::flag>("_flag").readwrite("flag"),
    py::member<&Probe::anything>("_anything").readwrite("anything"),
    py::member<&Probe::peer>("_peer").readwrite("peer").typed<&Probe::type>(),
};

const PyGetSetDef probeProperties[] = {py::property<Probe_getBroken>("broken")};
const PyType_Slot probeSlots[] = {py::slot<Py_tp_str, Probe_str>()};

py::ClassDef& probeClass() {
    return py::define<Probe>("Probe", {.doc = py::classDoc<"A probe.">,
                                       .members = probeMembers,
                                       .init = py::memberInit<Probe>,
                                       .methods = probeMethods,
                                       .properties = probeProperties,
                                       .slots = probeSlots,
                                       .checksum = 0x1234567,
                                       .allocated = Probe_allocated});
}

int DerivedProbe_init(PyObject*, py::Arguments<1>& a) {
    if (a[0] != Py_None) throwKind(kindOf(a[0]));
    return 0;
}

const py::Member derivedMembers[] = {
    py::member<&DerivedProbe::extra>("_extra").readonly("extra"),
    py::member<&DerivedProbe::kept>("_kept").readwrite("kept").undeletable(),
    py::member<&DerivedProbe::mapping>("_mapping").readwrite("mapping").exactly<py::Dict>(),
};

py::ClassDef& derivedProbeClass() {
    return py::define<DerivedProbe>("DerivedProbe", {.members = derivedMembers,
                                                     .init = py::init<DerivedProbe_init, "kind">,
                                                     .initDoc = py::doc<"@param(kind, str)">,
                                                     .allocated = DerivedProbe_allocated});
}

// The further field kinds: 64-bit integers, an unsigned enumeration, an exact dict and an
// exact str, each set by an __init__ parameter; a public property that refuses deletion.
enum ProbeMode : uint32_t { probeOff, probeOn };
constexpr const char* enumTypeName(ProbeMode) {
    return "probe_mode_t";
}

struct KindsProbe {
    PyObject_HEAD
    int64_t big;
    ProbeMode mode;
    PyObject* entries; // dict or None
    PyObject* label;   // str or None
    PyObject* target;  // anything

    static inline PyTypeObject* type = nullptr;
};

const py::Member kindsMembers[] = {
    py::member<&KindsProbe::big>("_big").readwrite("big"),
    py::member<&KindsProbe::mode>("_mode").readwrite("mode"),
    py::member<&KindsProbe::entries>("_entries").exposed().argument("entries").exactly<py::Dict>(),
    py::member<&KindsProbe::label>("_label").argument("label").exactly<py::Str>(),
    py::member<&KindsProbe::target>("_target").readwrite("target").undeletable().exposed(),
};

py::ClassDef& kindsProbeClass() {
    return py::define<KindsProbe>(
        "KindsProbe",
        {.members = kindsMembers, .init = py::memberInit<KindsProbe>, .checksum = 0x7654321});
}

// Watched rows: a value, a list, and an object field that is not watched.
struct WatchedProbe {
    PyObject_HEAD
    double level;
    PyObject* members; // list or None
    PyObject* other;

    static inline PyTypeObject* type = nullptr;
};

const py::Member watchedMembers[] = {
    py::member<&WatchedProbe::members>("_members")
        .readwrite("members")
        .exactly<py::List>()
        .watched(),
    py::member<&WatchedProbe::level>("_level").readwrite("level").exposed().watched(),
    py::member<&WatchedProbe::other>("_other").readwrite("other"),
};

py::ClassDef& watchedProbeClass() {
    return py::define<WatchedProbe>(
        "WatchedProbe",
        {.members = watchedMembers, .init = py::memberInit<WatchedProbe>, .checksum = 0x1111111});
}

// One reader of the change log, while the tests want one.
std::unique_ptr<py::changes::Reader> notes;

PyObject* startNotes(PyObject*, PyObject*) {
    notes = std::make_unique<py::changes::Reader>();
    notes->start(0);
    Py_RETURN_NONE;
}

PyObject* stopNotes(PyObject*, PyObject*) {
    notes.reset();
    Py_RETURN_NONE;
}

// The entries since the last call as (address, hand-out) pairs; None when the log was
// dropped meanwhile.
PyObject* takeNotes(PyObject*, PyObject*) {
    if (!notes || notes->lost()) {
        if (notes) notes->start(0);
        Py_RETURN_NONE;
    }
    py::Ref taken(PyList_New(0));
    bool failed = false;
    notes->read([&](PyObject* object, bool handOut) {
        py::Ref pair(
            Py_BuildValue("(NO)", PyLong_FromVoidPtr(object), handOut ? Py_True : Py_False));
        failed = failed || !pair || PyList_Append(taken.get(), pair.get()) < 0;
    });
    return failed ? nullptr : taken.release();
}

PyMethodDef startNotesDef =
    py::noArgs<"startNotes", startNotes>(py::functionDoc<"Reads the change log from now on.">);
PyMethodDef stopNotesDef =
    py::noArgs<"stopNotes", stopNotes>(py::functionDoc<"Stops reading the change log.">);
PyMethodDef takeNotesDef = py::noArgs<"takeNotes", takeNotes>(
    py::functionDoc<"The change log's entries since the last call.">);

PyObject* takeLifeEvents(PyObject*, PyObject*) {
    py::Ref events(PyList_New(0));
    for (const std::string& event : lifeEvents) {
        py::Ref text(PyUnicode_FromString(event.c_str()));
        if (!text || PyList_Append(events.get(), text.get()) < 0) return nullptr;
    }
    lifeEvents.clear();
    return events.release();
}

PyMethodDef takeLifeEventsDef = py::noArgs<"takeLifeEvents", takeLifeEvents>(
    py::functionDoc<"What the C++ members saw since the last call.">);
PyMethodDef failNextAllocationDef = py::oneArg<"failNextAllocation", failNextAllocation, "kind">(
    py::functionDoc<"What the next allocation of a DerivedProbe does in its hook.">);

bool bodyStatements() {
    return py::bind("takeLifeEvents", py::moduleFunction(&takeLifeEventsDef)) &&
           py::bind("failNextAllocation", py::moduleFunction(&failNextAllocationDef)) &&
           py::bind("startNotes", py::moduleFunction(&startNotesDef)) &&
           py::bind("stopNotes", py::moduleFunction(&stopNotesDef)) &&
           py::bind("takeNotes", py::moduleFunction(&takeNotesDef)) && py::bindUnpickleFunctions();
}

const py::Segment bodySegment{bodyStatements};

constexpr py::ClassDefinition classes[] = {probeClass, derivedProbeClass, kindsProbeClass,
                                           watchedProbeClass};
constexpr const py::Segment* segments[] = {&py::changesSegment, &bodySegment};
constexpr py::ModuleSpec probeModule = {"toolkit_probe", classes, segments};

} // namespace

PyMODINIT_FUNC PyInit_toolkit_probe() {
    return PyModuleDef_Init(py::moduleDefinition(probeModule));
}
