"""Vector2 speed against a plain slotted Python class of the same shape and against
pygame-ce's pygame.math.Vector2, reported as ratios from one run.

    python benchmarks/bench_vector2.py [--rounds R] [--seconds S]

The three implementations run interleaved round by round (see rounds.py): each round
times every implementation once per operation, a sample lasting about S seconds; a
figure is the median of the rounds. Ratios are ours / other (below 1: quorvelin is
faster), the median of the rounds' ratios with the lowest and highest. pygame-ce
is a benchmark-only dependency (pip install pygame-ce); without it its column is left
out. Also runs under pytest-benchmark: pytest benchmarks/bench_vector2.py --benchmark-only
"""
import argparse
import math
import os
import statistics
import sys
import timeit

# The engine starts SDL at import; headless drivers keep this runnable anywhere.
os.environ.setdefault("SDL_VIDEODRIVER", "dummy")
os.environ.setdefault("SDL_AUDIODRIVER", "dummy")
os.environ.setdefault("PYGAME_HIDE_SUPPORT_PROMPT", "1")

import quorvelin  # noqa: E402
from rounds import interleaved, per_execution, show_ratio  # noqa: E402

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
    """quorvelin.Vector2 written in Python: same methods, same results, with x and y as
    plain slots (no converting properties), the fastest attributes Python has."""

    __slots__ = ("x", "y")

    def __init__(self, x, y):
        x, y = _to_double(x), _to_double(y)
        self.x, self.y = x, y

    @property
    def length(self):
        return math.sqrt(self.x * self.x + self.y * self.y)

    def normalize(self):
        length = self.length
        if length != 0.0:
            self.x /= length
            self.y /= length

    def copy(self):
        return PyVector2(self.x, self.y)

    def getDegrees(self):
        return math.atan2(self.y, self.x) * RAD2DEG

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
        self.x, self.y = other.x, other.y

    def add(self, other):
        _check_other(other)
        self.x += other.x
        self.y += other.y

    def sub(self, other):
        _check_other(other)
        self.x -= other.x
        self.y -= other.y

    def scale(self, factor):
        self.x = self.x * factor
        self.y = self.y * factor

    def rotate(self, degrees):
        radians = _to_double(degrees * DEG2RAD)
        c, s = math.cos(radians), math.sin(radians)
        x, y = self.x, self.y
        self.x = c * x - s * y
        self.y = c * y + s * x

    def negate(self):
        self.x = -self.x
        self.y = -self.y

    def __add__(self, other):
        _check_other(other)
        return PyVector2(self.x + other.x, self.y + other.y)

    def __sub__(self, other):
        _check_other(other)
        return PyVector2(self.x - other.x, self.y - other.y)

    def __mul__(self, other):
        if type(other) is PyVector2:
            return self.x * other.x + self.y * other.y
        return PyVector2(self.x * other, self.y * other)

    def __repr__(self):
        return "Vector2(%s, %s)" % (format(self.x, "f"), format(self.y, "f"))

    __str__ = __repr__

    def __reduce__(self):
        raise TypeError("no default __reduce__ due to non-trivial __cinit__")


# (name, statement for quorvelin and the pure-Python class, statement for pygame)
CASES = [
    ("construct", "V(1.5, 2.5)", "V(1.5, 2.5)"),
    ("add", "a + b", "a + b"),
    ("dot", "a * b", "a * b"),
    ("scale by number", "a * 2.0", "a * 2.0"),
    ("add in place", "a.add(b)", "v = a; v += b"),
    ("rotate in place", "a.rotate(1.0)", "a.rotate_ip(1.0)"),
    ("attribute read", "a.x", "a.x"),
    ("attribute write", "a.x = 2.0", "a.x = 2.0"),
    ("length", "a.length", "a.length()"),
    ("copy", "a.copy()", "a.copy()"),
]

IMPLEMENTATIONS = {"quorvelin": quorvelin.Vector2, "python": PyVector2}
if pygame_math is not None:
    IMPLEMENTATIONS["pygame-ce"] = pygame_math.Vector2


def statement_of(implementation, case):
    return case[2] if implementation == "pygame-ce" else case[1]


def namespace_of(implementation):
    cls = IMPLEMENTATIONS[implementation]
    return {"V": cls, "a": cls(1.5, -2.5), "b": cls(0.25, 4.0)}


def timer(implementation, case):
    return timeit.Timer(statement_of(implementation, case), globals=namespace_of(implementation))


def outcome(implementation, case):
    namespace = namespace_of(implementation)
    code = statement_of(implementation, case)
    try:
        result = eval(code, namespace)
    except SyntaxError:  # an assignment
        exec(code, namespace)
        result = None
    return repr(result), repr(namespace["a"])


def check_same_results():
    """The pure-Python class must compute what the engine computes, or the race is unfair."""
    for case in CASES:
        outcomes = [outcome(implementation, case) for implementation in ("quorvelin", "python")]
        if outcomes[0] != outcomes[1]:
            raise AssertionError("%s differs: %r" % (case[0], outcomes))


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=15, help="rounds; the median counts")
    parser.add_argument("--seconds", type=float, default=0.01, help="length of one sample")
    args = parser.parse_args(argv)

    check_same_results()
    against = "plain Python" + ("" if pygame is None else " and pygame-ce " + pygame.version.ver)
    print("Python %s, quorvelin vs %s; median of %d rounds"
          % (sys.version.split()[0], against, args.rounds))
    if pygame is None:
        print("pygame-ce is not installed: its column is left out (pip install pygame-ce)")
    header = "%-16s %10s %10s %12s %18s %18s" % ("operation", "ours ns", "python ns",
                                                "pygame-ce ns", "ours / python",
                                                "ours / pygame-ce")
    print(header)
    print("-" * len(header))
    for case in CASES:
        timers = {name: timer(name, case) for name in IMPLEMENTATIONS}
        rounds = interleaved(timers, args.rounds, args.seconds, per_execution)
        times = {name: statistics.median(figures) * 1e9 for name, figures in rounds.items()}
        print("%-16s %10.1f %10.1f %12s %18s %18s" % (
            case[0], times["quorvelin"], times["python"],
            "%.1f" % times["pygame-ce"] if "pygame-ce" in times else "-",
            show_ratio(rounds["quorvelin"], rounds["python"]),
            show_ratio(rounds["quorvelin"], rounds["pygame-ce"]) if "pygame-ce" in rounds
            else "-"))
    # Every figure includes the timing loop itself; it matters for the cheapest operations.
    loop = interleaved({"loop": timeit.Timer("a", globals={"a": 1})}, args.rounds, args.seconds,
                       per_execution)["loop"]
    print("\ntiming loop (loading a name), included in every figure: %.1f ns"
          % (statistics.median(loop) * 1e9))
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
