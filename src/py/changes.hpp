// The change log: what the engine's own writers tell the engine's snapshots of its objects.
//
// A snapshot (the movement pass's and the ray queries' view of the collision bodies,
// collision/bodies.*) reads engine objects once and keeps what it read from one Python
// call to the next. It stays true without reading them again because every writer of a
// field it reads notes the object here:
//   - a change: the object's field now holds something else (a vector's x, a
//     component's radius or vector, an entity's components, a system's member list), or
//     a container that the object holds was changed by the engine itself (a member
//     joined or left, a component was added or removed);
//   - a hand-out: a container that the object holds (a member list, a components dict, a
//     flag list) was handed to Python code, which may change it from then on without the
//     engine knowing.
// The member rows of the toolkit note their own writes and hand-outs (py/member.hpp:
// watched); the engine's C++ code that writes such a field directly notes it itself.
//
// A container that nothing but its owner holds (its reference count says so) can be
// reached by Python code only through its owner, whose reads note the hand-out, or
// through the collector's lists (gc.get_objects, gc.get_referrers, gc.get_referents),
// whose audit events drop the whole log: the readers then read everything again. So a
// reader may trust such a container from one reading to the next while no entry names
// its owner (sealsHold()).
//
// Nothing is noted while nobody reads (one load and a branch for a writer then). The
// log is bounded: past its room it is dropped, and a reader that had not read it all
// reads everything again. Under the interpreter lock, like every engine object.
#pragma once

#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace py::changes {

extern size_t readers; // the Readers that have read at least once and still exist
extern uint64_t noted; // the number of the next entry: every entry so far, dropped or not
extern uintptr_t last; // the last entry, as it is entered
// The entries since the last drop: each object's address, its lowest bit (always clear in
// an address) set for a hand-out; and how many the log keeps before it drops them.
extern std::vector<uintptr_t> entries;
extern size_t room;

void dropForRoom();

inline void note(PyObject* object, bool handOut) {
    if (entries.size() >= room) dropForRoom();
    last = reinterpret_cast<uintptr_t>(object) | uintptr_t(handOut);
    entries.push_back(last);
    ++noted;
}

// The object's watched fields changed, or the engine changed a container it holds.
inline void changed(PyObject* object) {
    if (readers) note(object, false);
}
// A container that the object holds was handed to Python code.
inline void handedOut(PyObject* object) {
    if (readers) note(object, true);
}

// Whether an unshared container can be trusted between two readings: the audit hook
// that drops the log when the collector hands objects out is in place.
bool sealsHold();

// One reader of the log: where it has read up to.
class Reader {
  public:
    Reader() = default;
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // Whether entries were dropped since the last read (or nothing was ever read): the
    // reader must read its objects afresh, then start().
    bool lost() const;
    // Nothing since the last read.
    bool caughtUp() const { return reading_ && cursor_ == noted; }
    // Reads from now on, and keeps room for about `expected` entries a reading.
    void start(size_t expected);
    // The entries since the last read, oldest first: visit(object, handOut). The objects
    // may have been freed since: they are only compared.
    template <class Visit> void read(Visit visit) {
        for (size_t k = first(); k < entries.size(); ++k)
            visit(reinterpret_cast<PyObject*>(entries[k] & ~uintptr_t(1)), (entries[k] & 1) != 0);
        cursor_ = noted;
    }
    // Whether the one entry since the last read is the change of `object`; if so, it
    // counts as read.
    bool takeOnly(PyObject* object) {
        if (!reading_ || cursor_ + 1 != noted || last != reinterpret_cast<uintptr_t>(object))
            return false;
        ++cursor_;
        return true;
    }

  private:
    size_t first() const;

    bool reading_ = false;
    uint64_t cursor_ = 0; // the number of the next entry to read
};

// Installs the audit hook (the import runs it as a segment, py::changesSegment); false with
// the error set when the host refused by an error.
bool installAuditHook();

} // namespace py::changes
