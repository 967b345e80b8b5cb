#include "ui/walk.hpp"

#include <unordered_set>
#include <utility>
#include <vector>

namespace walk {

namespace {

// Walks nested inside each other on this thread: each nested walk is entered through
// Python (a subclass's method calling the engine's), which takes C stack that no walk
// can give back. Far beyond any reasonable nesting of Python widget classes, and well
// within the C stack of a thread, also in the sanitized build.
constexpr int deepestNesting = 400;
thread_local int nesting = 0;

struct Nested {
    Nested() { ++nesting; }
    ~Nested() { --nesting; }
};

// The steps under way, innermost last. A cycle makes the path of widgets grow without
// end, so the path is searched for a widget met twice each time it becomes twice as
// long, from a length no sane tree reaches on: the search costs nothing for such trees
// and a bounded share of the walk for any other, and a cycle is met before the path
// is twice as long as the cycle and the way to it.
class Walk {
  public:
    ~Walk() {
        while (!stack_.empty())
            pop();
    }

    bool empty() const { return stack_.empty(); }
    Step::Handle top() const { return stack_.back(); }

    // False with RecursionError when the path, with `widget`, holds a widget twice; the
    // step is then destroyed unstarted.
    bool push(Step::Handle step, PyObject* widget) {
        step.promise().widget = widget;
        try {
            stack_.push_back(step);
        } catch (...) {
            step.destroy();
            throw;
        }
        if (!widget || ++pathLength_ < nextSearch_) return true;
        nextSearch_ *= 2;
        if (!pathRepeats()) return true;
        PyErr_SetString(PyExc_RecursionError,
                        "the widget tree holds a cycle: a widget contains itself");
        return false;
    }

    void pop() {
        Step::Handle step = stack_.back();
        stack_.pop_back();
        if (step.promise().widget) --pathLength_;
        step.destroy();
    }

  private:
    bool pathRepeats() const {
        std::unordered_set<PyObject*> seen;
        for (Step::Handle step : stack_)
            if (PyObject* widget = step.promise().widget; widget && !seen.insert(widget).second)
                return true;
        return false;
    }

    std::vector<Step::Handle> stack_;
    size_t pathLength_ = 0;
    size_t nextSearch_ = 256;
};

// Freed steps kept for reuse, by size in granules, a few of each size: the steps of one
// frame's walks come and go in the same sizes again and again, and a walk through a very
// deep tree gives most of its memory back.
class FramePool {
  public:
    static constexpr size_t granule = 64;
    static constexpr size_t sizes = 16;
    static constexpr size_t kept = 64;

    ~FramePool() {
        for (size_t size = 0; size < sizes; ++size)
            while (count_[size])
                ::operator delete(free_[size][--count_[size]]);
    }

    void* take(size_t bytes) {
        size_t size = (bytes + granule - 1) / granule;
        if (size >= sizes) return ::operator new(bytes);
        if (count_[size]) return free_[size][--count_[size]];
        return ::operator new(size* granule);
    }

    void give(void* frame, size_t bytes) noexcept {
        size_t size = (bytes + granule - 1) / granule;
        if (size < sizes && count_[size] < kept)
            free_[size][count_[size]++] = frame;
        else
            ::operator delete(frame);
    }

  private:
    void* free_[sizes][kept];
    size_t count_[sizes] = {};
};

// Steps are made and destroyed only by walks, which hold the interpreter lock from
// one to the other: one pool serves every thread.
FramePool framePool;

} // namespace

void* Step::promise_type::operator new(std::size_t size) {
    return framePool.take(size);
}

void Step::promise_type::operator delete(void* frame, std::size_t size) noexcept {
    framePool.give(frame, size);
}

int run(Step step) {
    if (!step.handle_) return step.answer_;
    if (nesting >= deepestNesting) {
        PyErr_SetString(PyExc_RecursionError,
                        "maximum recursion depth exceeded while walking a widget tree");
        return failed;
    }
    Nested nested;
    Walk walk;
    walk.push(std::exchange(step.handle_, {}), step.widget_);
    for (;;) {
        Step::Handle top = walk.top();
        top.resume();
        Step::promise_type& promise = top.promise();
        if (promise.childFailed) return failed;
        if (promise.pending) {
            if (!walk.push(std::exchange(promise.pending, {}),
                           std::exchange(promise.pendingWidget, nullptr)))
                return failed;
            continue;
        }
        int answer = promise.result;
        std::exception_ptr exception = promise.exception;
        walk.pop();
        if (exception) std::rethrow_exception(exception);
        if (answer < 0) return failed;
        if (walk.empty()) return answer;
        walk.top().promise().childAnswer = answer;
    }
}

} // namespace walk
