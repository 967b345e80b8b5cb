// A minimal test harness for the engine's Python-free core: each NATIVE_TEST is a
// function that the test binary runs by name; CHECK failures print where and why and
// make the binary exit with 1. tests/native/test_native.py builds the binary and runs
// every test in it as one pytest case.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace native {

struct TestCase {
    const char* name;
    void (*run)();
    TestCase* next;
};

inline TestCase*& firstTest() {
    static TestCase* first = nullptr;
    return first;
}

struct Registrar {
    TestCase entry;
    Registrar(const char* name, void (*run)()) : entry{name, run, firstTest()} {
        firstTest() = &entry;
    }
};

inline int failures = 0;

} // namespace native

#define NATIVE_TEST(name)                                                                          \
    static void name();                                                                            \
    static native::Registrar name##Registrar(#name, name);                                         \
    static void name()

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: CHECK(%s) failed\n", __FILE__, __LINE__, #condition);     \
            ++native::failures;                                                                    \
            return;                                                                                \
        }                                                                                          \
    } while (0)

// CHECK with the two values shown, for integers.
#define CHECK_EQ(actual, expected)                                                                 \
    do {                                                                                           \
        auto checkActual = (actual);                                                               \
        auto checkExpected = (expected);                                                           \
        if (!(checkActual == checkExpected)) {                                                     \
            std::fprintf(stderr, "%s:%d: %s == %s failed: %lld != %lld\n", __FILE__, __LINE__,     \
                         #actual, #expected, (long long)checkActual, (long long)checkExpected);    \
            ++native::failures;                                                                    \
            return;                                                                                \
        }                                                                                          \
    } while (0)
