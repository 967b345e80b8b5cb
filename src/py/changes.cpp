#include "py/changes.hpp"

#include <algorithm>
#include <cstring>

namespace py::changes {

size_t readers = 0;
uint64_t noted = 0;
uintptr_t last = 0;
std::vector<uintptr_t> entries;
constexpr size_t leastRoom = 4096;
size_t room = leastRoom;

namespace {

// `base` numbers the first entry, those before it were dropped; `noted` the next.
uint64_t base = 0;

bool hookInstalled = false;
bool hookHeard = false; // the hook heard the probe: it is in place
constexpr const char* probe = "quorvelin.changes";

// The entries so far are dropped: every reader that has not read them all reads its
// objects afresh; with `everyone`, those that have too.
void drop(bool everyone) {
    base += entries.size() + (everyone ? 1 : 0);
    noted = base;
    last = 0;
    entries.clear();
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

void dropForRoom() {
    drop(false);
}

bool sealsHold() {
    return hookHeard;
}

// --- Reader -------------------------------------------------------------------------------

Reader::~Reader() {
    if (!reading_ || --readers > 0) return;
    drop(false);
    entries = std::vector<uintptr_t>(); // its memory too
    room = leastRoom;
}

bool Reader::lost() const {
    return !reading_ || cursor_ < base;
}

void Reader::start(size_t expected) {
    if (!reading_) ++readers;
    reading_ = true;
    room = std::max(room, 4 * expected + leastRoom);
    cursor_ = noted;
}

size_t Reader::first() const {
    return cursor_ < base ? 0 : size_t(cursor_ - base);
}

bool installAuditHook() {
    if (hookInstalled) return true; // a failed import runs the segments again
    // Refused silently (by a RuntimeError of another hook) or in place: the probe tells.
    if (PySys_AddAuditHook(audit, nullptr) < 0) return false;
    hookInstalled = true;
    if (PySys_Audit(probe, nullptr) < 0) PyErr_Clear(); // another hook's refusal: no matter
    return true;
}

} // namespace py::changes
