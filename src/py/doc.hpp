// Documentation strings in the engine's layout, built at compile time from their
// lines, so that no formatter ever splits a fixed text and the layout is spelled once:
//   py::doc<"@param(other, Vector2)", "@returns(float)">
//     == "\n        @param(other, Vector2)\n        @returns(float)\n        "
//   py::classDoc<"A texture resource.">  == "\n    A texture resource.\n    "
//   (py::functionDoc, for module functions, is laid out the same way)
//   py::plainDoc<"Should be overwritten by deriving classes.">  the text as it stands
// A documentation without lines is a line break and the indentation.
//
// A method's or a function's documentation is a value of its own type, so that its
// row can put the signature in front of it at compile time (signature.hpp); it
// converts to the plain text wherever one is wanted (`.initDoc`).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>

namespace py {

// A string literal as a template argument.
template <size_t N> struct Text {
    char text[N];
    constexpr Text(const char (&literal)[N]) { std::copy_n(literal, N, text); }
    static constexpr size_t length = N - 1;
};

template <size_t indent, Text... lines> struct Documentation {
    static constexpr size_t size = 1 + ((indent + lines.length + 1) + ... + 0) + indent + 1;
    static constexpr std::array<char, size> text = [] {
        std::array<char, size> out{};
        size_t at = 0;
        out[at++] = '\n';
        [[maybe_unused]] auto line = [&](const char* content, size_t length) {
            for (size_t i = 0; i < indent; ++i)
                out[at++] = ' ';
            for (size_t i = 0; i < length; ++i)
                out[at++] = content[i];
            out[at++] = '\n';
        };
        (line(lines.text, lines.length), ...);
        for (size_t i = 0; i < indent; ++i)
            out[at++] = ' ';
        out[at] = '\0';
        return out;
    }();
};

// Whom a documentation belongs to: a method's signature names the receiver ($self),
// a module function's does not.
enum class Owner { method, function };

template <Owner who, const auto& chars> struct Doc {
    static constexpr Owner owner = who;
    static constexpr const char* text = chars.data();
    constexpr operator const char*() const { return text; }
};

// A row without documentation: the signature alone.
struct NoDoc {
    static constexpr Owner owner = Owner::method;
    static constexpr const char* text = nullptr;
};

template <Text line> struct Verbatim {
    static constexpr std::array<char, line.length + 1> text = [] {
        std::array<char, line.length + 1> out{};
        std::copy_n(line.text, line.length + 1, out.begin());
        return out;
    }();
};

// Methods and __init__: lines indented by eight spaces.
template <Text... lines> constexpr Doc<Owner::method, Documentation<8, lines...>::text> doc{};
// A method's text as it stands, without the layout.
template <Text line> constexpr Doc<Owner::method, Verbatim<line>::text> plainDoc{};
// Classes and module functions: lines indented by four spaces.
template <Text... lines> constexpr const char* classDoc = Documentation<4, lines...>::text.data();
template <Text... lines>
constexpr Doc<Owner::function, Documentation<4, lines...>::text> functionDoc{};

} // namespace py
