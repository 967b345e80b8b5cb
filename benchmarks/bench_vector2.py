"""Vector2 speed against a pure-Python class of the same shape and against pygame's
pygame.math.Vector2, reported as ratios from one run.

    python benchmarks/bench_vector2.py [--number N] [--repeat R]

Each figure is the best of R timeit repeats of N executions (the minimum is the run
least disturbed by the rest of the machine). Ratios above 1 mean quorvelin is faster.
Also runs under pytest-benchmark: pytest benchmarks/bench_vector2.py --benchmark-only
"""
import argparse
import math
import os
import sys
import timeit

# The engine starts SDL at import; headless drivers keep this runnable anywhere.
os.environ.setdefault("SDL_VIDEODRIVER", "dummy")
os.environ.setdefault("SDL_AUDIODRIVER", "dummy")
os.environ.setdefault("PYGAME_HIDE_SUPPORT_PROMPT", "1")

import quorvelin  # noqa: E402

try:
    import pygame
    import pygame.math as pygame_math
except ImportError:  # a benchmark-only dependency
    pygame = pygame_math = None

DEG2RAD = 0.017453292519943295
RAD2DEG = 57.29577951308232


def _to_double(value):
    """The engine's float conversion: numbers and objects with __float__, never text."""
    if type(value) is float:
        return value
    cls = type(value)
    if hasattr(cls, "__float__") or hasattr(cls, "__index__"):
        return float(value)
    raise TypeError("must be real number, not %s" % cls.__name__)


def _check_other(other):
    if not isinstance(other, PyVector2):
        raise TypeError("Argument 'other' has incorrect type (expected quorvelin.Vector2, got %s)"
                        % type(other).__name__)


class PyVector2:
    """quorvelin.Vector2 written in Python: same methods, same semantics."""

    __slots__ = ("_fx", "_fy")

    def __init__(self, x, y):
        x, y = _to_double(x), _to_double(y)
        self._fx, self._fy = x, y

    def _get_x(self):
        return self._fx

    def _set_x(self, value):
        self._fx = _to_double(value)

    def _get_y(self):
        return self._fy

    def _set_y(self, value):
        self._fy = _to_double(value)

    def _refuse_delete(self):
        raise NotImplementedError("__del__")

    x = _x = property(_get_x, _set_x, _refuse_delete)
    y = _y = property(_get_y, _set_y, _refuse_delete)

    @property
    def length(self):
        return math.sqrt(self._fx * self._fx + self._fy * self._fy)

    def normalize(self):
        length = self.length
        if length != 0.0:
            self._fx /= length
            self._fy /= length

    def copy(self):
        return PyVector2(self._fx, self._fy)

    def getDegrees(self):
        return math.atan2(self._fy, self._fx) * RAD2DEG

    def angleTo(self, other):
        cosine = (self * other) / (self.length * other.length)
        if 1 < cosine:
            cosine = 1
        if -1 > cosine:
            cosine = -1
        return math.acos(cosine)

    def angleToInDegrees(self, other):
        return self.angleTo(other) * RAD2DEG

    def set(self, other):
        _check_other(other)
        self._fx, self._fy = other._fx, other._fy

    def add(self, other):
        _check_other(other)
        self._fx += other._fx
        self._fy += other._fy

    def sub(self, other):
        _check_other(other)
        self._fx -= other._fx
        self._fy -= other._fy

    def scale(self, factor):
        self.x = self.x * factor
        self.y = self.y * factor

    def rotate(self, degrees):
        radians = _to_double(degrees * DEG2RAD)
        c, s = math.cos(radians), math.sin(radians)
        x, y = self._fx, self._fy
        self._fx = c * x - s * y
        self._fy = c * y + s * x

    def negate(self):
        self._fx = -self._fx
        self._fy = -self._fy

    def __add__(self, other):
        _check_other(other)
        return PyVector2(self.x + other._fx, self.y + other._fy)

    def __sub__(self, other):
        _check_other(other)
        return PyVector2(self.x - other._fx, self.y - other._fy)

    def __mul__(self, other):
        if type(other) is PyVector2:
            return self.x * other.x + self.y * other.y
        return PyVector2(self.x * other, self.y * other)

    def __repr__(self):
        return "Vector2(%s, %s)" % (format(self._fx, "f"), format(self._fy, "f"))

    __str__ = __repr__

    def __reduce__(self):
        raise TypeError("no default __reduce__ due to non-trivial __cinit__")


# (name, statement for quorvelin and the pure-Python class, statement for pygame)
CASES = [
    ("construct", "V(1.5, 2.5)", "V(1.5, 2.5)"),
    ("add", "a + b", "a + b"),
    ("dot", "a * b", "a * b"),
    ("scale by number", "a * 2.0", "a * 2.0"),
    ("rotate in place", "a.rotate(1.0)", "a.rotate_ip(1.0)"),
    ("attribute read", "a.x", "a.x"),
    ("length", "a.length", "a.length()"),
    ("copy", "a.copy()", "a.copy()"),
]

IMPLEMENTATIONS = {"quorvelin": quorvelin.Vector2, "python": PyVector2}
if pygame_math is not None:
    IMPLEMENTATIONS["pygame"] = pygame_math.Vector2


def statement_of(implementation, case):
    return case[2] if implementation == "pygame" else case[1]


def namespace_of(implementation):
    cls = IMPLEMENTATIONS[implementation]
    return {"V": cls, "a": cls(1.5, -2.5), "b": cls(0.25, 4.0)}


def timer(implementation, case):
    return timeit.Timer(statement_of(implementation, case), globals=namespace_of(implementation))


def check_same_results():
    """The pure-Python class must compute what the engine computes, or the race is unfair."""
    for case in CASES:
        outcomes = []
        for implementation in ("quorvelin", "python"):
            namespace = namespace_of(implementation)
            result = eval(statement_of(implementation, case), namespace)
            outcomes.append((repr(result), repr(namespace["a"])))
        if outcomes[0] != outcomes[1]:
            raise AssertionError("%s differs: %r" % (case[0], outcomes))


def best_time(implementation, case, number, repeat):
    """Seconds per execution, the best of `repeat` runs."""
    return min(timer(implementation, case).repeat(repeat=repeat, number=number)) / number


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--number", type=int, default=200_000, help="executions per repeat")
    parser.add_argument("--repeat", type=int, default=7, help="repeats; the best one counts")
    args = parser.parse_args(argv)

    check_same_results()
    against = "pure Python" if pygame is None else "pure Python and pygame " + pygame.version.ver
    print("Python %s, quorvelin vs %s; best of %d x %d"
          % (sys.version.split()[0], against, args.repeat, args.number))
    if pygame is None:
        print("pygame is not installed: its column is skipped (pip install pygame)")
    header = "%-16s %10s %10s %10s %9s %9s" % ("operation", "ours ns", "python ns", "pygame ns",
                                              "py/ours", "pg/ours")
    print(header)
    print("-" * len(header))
    missed = []
    for case in CASES:
        times = {implementation: best_time(implementation, case, args.number, args.repeat) * 1e9
                 for implementation in IMPLEMENTATIONS}
        ours = times["quorvelin"]
        versus_python = times["python"] / ours
        versus_pygame = times["pygame"] / ours if "pygame" in times else None
        print("%-16s %10.1f %10.1f %10s %8.2fx %9s" % (
            case[0], ours, times["python"],
            "%.1f" % times["pygame"] if "pygame" in times else "-", versus_python,
            "%.2fx" % versus_pygame if versus_pygame is not None else "-"))
        if versus_python < 3.0:
            missed.append("%s: only %.2fx the pure-Python class" % (case[0], versus_python))
        # "On par": within 10 % of pygame, the noise of a run of this length.
        if versus_pygame is not None and versus_pygame < 0.9:
            missed.append("%s: %.2fx pygame" % (case[0], versus_pygame))
    # Every figure includes the timing loop itself; it matters for the cheapest operations.
    loop = best_time("quorvelin", ("loop", "a", "a"), args.number, args.repeat) * 1e9
    print("\ntiming loop (loading a name), included in every figure: %.1f ns" % loop)
    print("targets (>= 3x pure Python, on par with pygame): "
          + ("met" if not missed else "missed\n  " + "\n  ".join(missed)))
    return 0


# --- pytest-benchmark entry: one benchmark per operation and implementation ---------------

def _pytest_cases():
    import pytest

    return pytest.mark.parametrize("implementation", list(IMPLEMENTATIONS)), \
        pytest.mark.parametrize("case", CASES, ids=[case[0] for case in CASES])


if "pytest" in sys.modules:
    _by_implementation, _by_case = _pytest_cases()

    @_by_implementation
    @_by_case
    def test_vector2_speed(benchmark, implementation, case):
        benchmark.group = case[0]
        # 1000 executions per round keep the call overhead of the harness out of the figure.
        benchmark(timer(implementation, case).timeit, 1000)


if __name__ == "__main__":
    sys.exit(main())
