// Operations that keep their work in progress in their object (a frame being drawn, a
// level being read) and call Python code on the way. That code may start the same
// operation on the same object again, and so may another thread while the first call
// waits in it; the second call would take over the state that the first is still using.
// Such an operation runs under an Exclusive, which refuses the second call instead.
//   py::Exclusive drawing(renderer->drawing, "render() cannot start while ...");
//   if (!drawing) return nullptr;
#pragma once

#include <Python.h>

namespace py {

// Marks the operation as running for as long as it lives. When it is running already,
// the mark stays with the call that set it, RuntimeError `message` is raised and the
// Exclusive converts to false.
class Exclusive {
  public:
    Exclusive(bool& running, const char* message) noexcept : running_(running), owner_(!running) {
        if (owner_)
            running_ = true;
        else
            PyErr_SetString(PyExc_RuntimeError, message);
    }
    ~Exclusive() {
        if (owner_) running_ = false;
    }
    Exclusive(const Exclusive&) = delete;
    Exclusive& operator=(const Exclusive&) = delete;

    explicit operator bool() const noexcept { return owner_; }

  private:
    bool& running_;
    bool owner_;
};

} // namespace py
