// Operations that keep their work in progress in their object (a frame being drawn, a
// level being read) and call Python code on the way. That code may start the same
// operation on the same object again, and so may another thread while the first call
// waits in it; the second call would take over the state that the first is still using.
// Such an operation runs under an Exclusive, which refuses the second call instead.
//   py::Exclusive drawing(renderer->drawing, "render() cannot start while ...");
//   if (!drawing) return nullptr;
// An operation whose nested calls run whole inside the call that made them, but that
// must not run on two threads at once, runs under a ThreadExclusive instead.
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

// Which thread runs an operation, and how many calls deep (0: none runs it).
struct ThreadClaim {
    unsigned long thread = 0;
    unsigned depth = 0;
};

// Marks the operation as running on the calling thread for as long as it lives. The
// thread that runs it may start it again from inside (the calls nest); another thread
// meanwhile gets RuntimeError `message`, and the ThreadExclusive converts to false.
// The claim is read and written under the interpreter lock only.
class ThreadExclusive {
  public:
    ThreadExclusive(ThreadClaim& claim, const char* message) noexcept
        : claim_(claim), owner_(claim.depth == 0 || claim.thread == PyThread_get_thread_ident()) {
        if (!owner_) {
            PyErr_SetString(PyExc_RuntimeError, message);
            return;
        }
        claim_.thread = PyThread_get_thread_ident();
        ++claim_.depth;
    }
    ~ThreadExclusive() {
        if (owner_) --claim_.depth;
    }
    ThreadExclusive(const ThreadExclusive&) = delete;
    ThreadExclusive& operator=(const ThreadExclusive&) = delete;

    explicit operator bool() const noexcept { return owner_; }

  private:
    ThreadClaim& claim_;
    bool owner_;
};

} // namespace py
