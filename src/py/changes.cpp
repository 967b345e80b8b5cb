#include "py/changes.hpp"

#include <algorithm>
#include <cstring>

namespace py::changes {

size_t readers = 0;

namespace {

// The entries: each object's address, its lowest bit (always clear in an address) set
// for a hand-out. `base` numbers the first; entries before it were dropped.
std::vector<uintptr_t> entries_;
uint64_t base = 0;
constexpr size_t leastRoom = 4096;
size_t room = leastRoom;

bool hookInstalled = false;
bool hookHeard = false; // the hook heard the probe: it is in place
constexpr const char* probe = "quorvelin.changes";

// The entries so far are dropped: every reader that has not read them all reads its
// objects afresh; with `everyone`, those that have too.
void drop(bool everyone) {
    base += entries_.size() + (everyone ? 1 : 0);
    entries_.clear();
}

// Every audit event of the process. The collector's lists hand out any object, and with it
// any container that a reader trusts: the readers read everything again.
int audit(const char* event, PyObject*, void*) {
    if (std::strncmp(event, "gc.get_", 7) == 0) // get_objects, get_referrers, get_referents
        drop(true);
    else if (std::strcmp(event, probe) == 0)
        hookHeard = true;
    return 0;
}

} // namespace

void note(PyObject* object, bool handOut) {
    if (entries_.size() >= room) drop(false);
    entries_.push_back(reinterpret_cast<uintptr_t>(object) | uintptr_t(handOut));
}

bool sealsHold() {
    return hookHeard;
}

// --- Reader -------------------------------------------------------------------------------

Reader::~Reader() {
    if (!reading_ || --readers > 0) return;
    drop(false);
    entries_ = std::vector<uintptr_t>(); // its memory too
    room = leastRoom;
}

bool Reader::lost() const {
    return !reading_ || cursor_ < base;
}

bool Reader::caughtUp() const {
    return reading_ && cursor_ == end();
}

void Reader::start(size_t expected) {
    if (!reading_) ++readers;
    reading_ = true;
    room = std::max(room, 4 * expected + leastRoom);
    cursor_ = end();
}

bool Reader::takeOnly(PyObject* object) {
    if (!reading_ || cursor_ + 1 != end() || entries_.back() != reinterpret_cast<uintptr_t>(object))
        return false;
    ++cursor_;
    return true;
}

const std::vector<uintptr_t>& Reader::entries() {
    return entries_;
}

uint64_t Reader::end() {
    return base + entries_.size();
}

size_t Reader::first() const {
    return cursor_ < base ? 0 : size_t(cursor_ - base);
}

bool changesSegment() {
    if (hookInstalled) return true; // a failed import runs the segments again
    // Refused silently (by a RuntimeError of another hook) or in place: the probe tells.
    if (PySys_AddAuditHook(audit, nullptr) < 0) return false;
    hookInstalled = true;
    if (PySys_Audit(probe, nullptr) < 0) PyErr_Clear(); // another hook's refusal: no matter
    return true;
}

} // namespace py::changes
