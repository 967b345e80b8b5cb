// Parameter lists, written once in a method's row or a class's definition. The same
// list gives the argument parsing (the names, how many are required, whether further
// positional arguments are taken) and the signature that the host shows to
// inspect.signature() and help(), so the two cannot disagree:
//   "title"            required, by position or by keyword
//   "onDone=None"      optional: the default as Python code writes it; the function
//                      sees null when the argument was not given and applies it itself
//   "*componentTypes"  (last) any number of further positional arguments
//   "/"                (last) the parameters before it by position only, and
//                      keywords refused as such: "f() takes no keyword arguments"
// The host reads a signature from the head of a documentation string,
// "name(parameters)\n--\n\n", and strips it from __doc__, so the documentation text
// that follows is exactly the text written.
#pragma once

#include "py/args.hpp"
#include "py/doc.hpp"

#include <array>
#include <cstddef>
#include <string_view>
#include <type_traits>

namespace py {

// The values of a function's parameters, in their order; null where an optional one
// was not given.
template <size_t N> using Arguments = std::array<PyObject*, N>;

// Text written at compile time, first to measure it, then into its array.
struct Sink {
    char* out = nullptr;
    size_t at = 0;
    constexpr void put(const char* text) {
        for (; *text; ++text, ++at)
            if (out) out[at] = *text;
    }
};

template <class Writer> struct Written {
    static constexpr size_t size = [] {
        Sink sink;
        Writer::write(sink);
        return sink.at;
    }();
    static constexpr std::array<char, size + 1> text = [] {
        std::array<char, size + 1> out{};
        Sink sink{out.data()};
        Writer::write(sink);
        return out;
    }();
};

// One parameter's name, without its default.
template <Text parameter> struct BareName {
    static constexpr std::array<char, parameter.length + 1> text = [] {
        std::array<char, parameter.length + 1> out{};
        for (size_t i = 0; i < parameter.length && parameter.text[i] != '='; ++i)
            out[i] = parameter.text[i];
        return out;
    }();
};

template <Text parameter>
constexpr bool hasDefault = [] {
    for (char c : parameter.text)
        if (c == '=') return true;
    return false;
}();

template <Text... parameters> struct ParameterList {
    static constexpr size_t total = sizeof...(parameters);
    static constexpr std::array<const char*, total + 1> texts = {parameters.text..., nullptr};
    static constexpr bool is(size_t i, const char* text) {
        return i < total && std::string_view(texts[i]) == text;
    }
    // "/" last: the parameters before it are taken by position only, and keywords refused.
    static constexpr bool positionalOnly = total > 0 && is(total - 1, "/");
    static constexpr bool rest =
        (total > positionalOnly) && texts[total - 1 - positionalOnly][0] == '*';
    static constexpr size_t count = total - rest - positionalOnly; // the named ones
    static constexpr std::array<bool, total + 1> optional = {hasDefault<parameters>..., false};
    static constexpr Py_ssize_t required = [] {
        size_t n = 0;
        while (n < count && !optional[n])
            ++n;
        return Py_ssize_t(n);
    }();
    static constexpr std::array<const char*, total + 1> names = {
        BareName<parameters>::text.data()..., nullptr};

    static_assert(
        [] {
            for (size_t i = 0; i < count; ++i)
                if (texts[i][0] == '*' || is(i, "/") || (i >= size_t(required) && !optional[i]))
                    return false;
            return true;
        }(),
        "named parameters, the optional ones last, then \"*rest\", then \"/\"");
    static_assert(!(rest && positionalOnly), "further arguments are taken by position anyway");

    static constexpr Parameters of(const char* function) {
        return {function, names.data(), Py_ssize_t(count), required, rest};
    }

    // Parses a vectorcall (METH_FASTCALL | METH_KEYWORDS) into `out`.
    static bool parse(const char* function, PyObject* const* args, Py_ssize_t nargs,
                      PyObject* kwnames, Arguments<count>& out) {
        if (positionalOnly && !rejectKeywords(function, kwnames)) return false;
        return py::parse(of(function), args, nargs, positionalOnly ? nullptr : kwnames, out.data());
    }
    // Parses a tuple and a dict (tp_init) into `out`.
    static bool parse(const char* function, PyObject* args, PyObject* kwargs,
                      Arguments<count>& out) {
        if constexpr (positionalOnly) {
            static_assert(count == 0, "by position only: a method's py::oneArg row");
            return parseNone(function, args, kwargs);
        }
        return py::parse(of(function), args, kwargs, out.data());
    }

    // "a, b=1, *rest, /", "a, b=1" or "" as the host's signatures write them; a
    // method's receiver comes before (receiver: ", /" ends it unless "/" comes last).
    static constexpr void write(Sink& sink, const char* receiver = nullptr) {
        bool first = true;
        auto item = [&](const char* text) {
            if (!first) sink.put(", ");
            sink.put(text);
            first = false;
        };
        if (receiver) item(receiver);
        if (receiver && (!positionalOnly || count == 0)) item("/");
        for (size_t i = 0; i < total; ++i)
            if (!is(i, "/") || count > 0) item(texts[i]);
    }
};

// A method's or a function's signature, "getSize($self, /)", "fill($self, color, /)",
// "render($self, /, text, color)", "clearTerminal()": a method names its receiver
// first, by position only, which the host leaves out of a bound method's signature.
template <Text name, Owner owner, class List> struct SignatureWriter {
    static constexpr void write(Sink& sink) {
        sink.put(name.text);
        sink.put("(");
        List::write(sink, owner == Owner::method ? "$self" : nullptr);
        sink.put(")");
    }
};

// The list alone in parentheses, as a class shows it: "(w, h=None)".
template <class List> struct ParenthesesWriter {
    static constexpr void write(Sink& sink) {
        sink.put("(");
        List::write(sink);
        sink.put(")");
    }
};

// A signature in front of a documentation (NoDoc: the signature alone).
template <class Signature, class Documentation> struct SignedWriter {
    static constexpr void write(Sink& sink) {
        Signature::write(sink);
        sink.put("\n--\n\n");
        if constexpr (!std::is_same_v<Documentation, NoDoc>) sink.put(Documentation::text);
    }
};

} // namespace py
