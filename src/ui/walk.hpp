// Walks over a widget tree that do not use the C stack. A widget's part of a walk (its
// part of a layout pass, of the drawing, the update or a click) is a Step: either an
// answer known at once (a widget without children) or a coroutine that, instead of
// calling its children's parts, awaits them. `run` keeps the steps under way on a stack
// of its own, resumes the innermost and hands its answer to the step that awaits it,
// so a tree as deep as memory allows is walked in the order, and with the results, that
// nested calls would give.
//
// A step entered for a widget that is already under way on the same path (a cycle that
// game code made behind the API's back, through the list that getChildren returns)
// stops the walk with RecursionError. Walks nested inside each other (a Python
// subclass's method that calls the engine's) are counted, and a walk nested too deep
// stops the same way, before the C stack runs out.
//
// An error ends the whole walk at once: no step sees its children fail. The steps
// under way are destroyed innermost first, each releasing what it holds (references,
// a clip scope) as the calls would on their way out.
//
// GCC 12 miscompiles a co_await inside the condition of an if: await into a variable
// and test that.
#pragma once

#include "py/guard.hpp"

#include <concepts>
#include <coroutine>
#include <cstddef>
#include <exception>

namespace walk {

// What a step answers: `failed` with the Python error set, or 0 or more: `done` for
// the passes, the drawing and the update; for clicks and wheel events 1 when the widget
// took the event, else 0.
inline constexpr int failed = -1;
inline constexpr int done = 0;

inline int outcome(bool ok) {
    return ok ? done : failed;
}

class Step {
  public:
    struct promise_type {
        int result = done;
        // The answer of the last step this one awaited.
        int childAnswer = done;
        // The step this one awaits, until the walk takes it over, and the widget it is for.
        std::coroutine_handle<promise_type> pending;
        PyObject* pendingWidget = nullptr;
        // An answer known at once that this step awaited was `failed`: the walk ends.
        bool childFailed = false;
        // The widget this step is for, while it is on the walk's path.
        PyObject* widget = nullptr;
        std::exception_ptr exception;

        Step get_return_object() noexcept {
            return Step(std::coroutine_handle<promise_type>::from_promise(*this));
        }
        std::suspend_always initial_suspend() noexcept { return {}; }
        std::suspend_always final_suspend() noexcept { return {}; }
        void return_value(int answer) noexcept { result = answer; }
        void unhandled_exception() {
            py::passForcedUnwind(); // the host ending the thread goes on to its start
            exception = std::current_exception();
        }

        // Every container makes a step or two for every walk of every frame: their
        // memory is kept for the next ones.
        static void* operator new(std::size_t size);
        static void operator delete(void* frame, std::size_t size) noexcept;
    };
    using Handle = std::coroutine_handle<promise_type>;

    // An answer known at once: `true` is done, `false` failed (the error is set).
    template <class Ok>
    requires std::same_as<Ok, bool> Step(Ok ok) : answer_(outcome(ok)) {}
    // A click's or wheel event's answer known at once: 1, 0 or failed.
    static Step answered(int answer) {
        Step step(true);
        step.answer_ = answer;
        return step;
    }

    Step(Step&& other) noexcept
        : handle_(other.handle_), answer_(other.answer_), widget_(other.widget_),
          awaiting_(other.awaiting_) {
        other.handle_ = {};
    }
    Step& operator=(Step&&) = delete;
    ~Step() {
        if (handle_) handle_.destroy();
    }

    // The step is `widget`'s own part of the walk (a container's, which can lead back to
    // itself): the walk refuses to enter it while that widget is under way on its path.
    Step&& entering(PyObject* widget) && {
        widget_ = widget;
        return static_cast<Step&&>(*this);
    }

    // Awaited by another step: run inside the same walk; the answer is never `failed`,
    // since a failure ends the walk before the awaiting step could see it.
    bool await_ready() const noexcept { return !handle_ && answer_ >= 0; }
    void await_suspend(Handle awaiting) noexcept {
        promise_type& promise = awaiting.promise();
        if (!handle_) {
            promise.childFailed = true; // an answer known at once, and a failure
            return;
        }
        promise.pending = handle_;
        promise.pendingWidget = widget_;
        handle_ = {};
        awaiting_ = &promise;
    }
    int await_resume() const noexcept { return awaiting_ ? awaiting_->childAnswer : answer_; }

  private:
    explicit Step(Handle handle) : handle_(handle) {}
    friend int run(Step step);

    Handle handle_;
    int answer_ = done;
    PyObject* widget_ = nullptr;
    promise_type* awaiting_ = nullptr;
};

// Runs a step with everything it awaits and gives its answer.
int run(Step step);

} // namespace walk
