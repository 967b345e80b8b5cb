"""Vector2: the engine's mutable pair of doubles.

The build forbids fused multiply-adds, so every expected coordinate below is computed in
Python with the engine's order of operations and compared bit for bit."""
import math
import struct
import sys
from decimal import Decimal
from fractions import Fraction
from types import SimpleNamespace

import pytest

import quorvelin
from quorvelin import Vector2

DEG2RAD = 0.017453292519943295
RAD2DEG = 57.29577951308232
INF = math.inf
NAN = math.nan


def wrong_other(value):
    cls = type(value)
    name = cls.__name__ if cls.__module__ == "builtins" else cls.__module__ + "." + cls.__name__
    return "Argument 'other' has incorrect type (expected quorvelin.Vector2, got %s)" % name


def bits(*values):
    """The exact bit patterns: tells 0.0 from -0.0 and compares NaN with itself."""
    return struct.pack("<%dd" % len(values), *values)


def assert_coords(vector, x, y):
    assert type(vector.x) is float and type(vector.y) is float
    assert bits(vector.x, vector.y) == bits(x, y), (vector.x, vector.y, x, y)


class Plain(Vector2):
    """Overrides nothing: must behave exactly like the base type."""


def tracked(name):
    """A coordinate property that logs its reads and writes and stores in the field."""
    field = "_" + name

    def get(self):
        self.log.append("get " + name)
        return getattr(self, field)

    def put(self, value):
        self.log.append("set " + name)
        setattr(self, field, value)

    return property(get, put)


class Tracked(Vector2):
    """Overrides the coordinates and records every access through them."""

    x = tracked("x")
    y = tracked("y")

    def __init__(self, x, y):
        super().__init__(x, y)
        self.log = []


class Shifted(Vector2):
    """Reports x one higher than stored: shows which paths use the property."""

    @property
    def x(self):
        return self._x + 1

    @x.setter
    def x(self, value):
        self._x = value


# --- expected values, in the engine's order of operations -------------------------------

def length_of(x, y):
    return math.sqrt(x * x + y * y)


def normalized(x, y):
    length = length_of(x, y)
    return (x, y) if length == 0.0 else (x / length, y / length)


def rotated(x, y, degrees):
    radians = float(degrees * DEG2RAD)
    if math.isinf(radians):  # C's cos and sin answer NaN where Python's math raises
        c = s = INF * 0
    else:
        c, s = math.cos(radians), math.sin(radians)
    return c * x - s * y, c * y + s * x


# --- construction ------------------------------------------------------------------------

class Floaty:
    def __init__(self, value):
        self.value = value

    def __float__(self):
        return self.value


@pytest.mark.parametrize("args, kwargs, expected", [
    ((1, 2), {}, (1.0, 2.0)),
    ((), {"x": 1, "y": 2}, (1.0, 2.0)),
    ((), {"y": -2.5, "x": 0.5}, (0.5, -2.5)),
    ((3,), {"y": 4}, (3.0, 4.0)),
    ((True, False), {}, (1.0, 0.0)),
    ((Fraction(1, 3), Floaty(-0.0)), {}, (1 / 3, -0.0)),
    ((2**53 + 1, -(2**63)), {}, (float(2**53 + 1), -(2.0**63))),
    ((INF, NAN), {}, (INF, NAN)),
])
def test_constructor_converts_numbers_to_doubles(args, kwargs, expected):
    assert_coords(Vector2(*args, **kwargs), *expected)


@pytest.mark.parametrize("args, kwargs, error, message", [
    ((), {}, TypeError, "__init__() takes exactly 2 positional arguments (0 given)"),
    ((1,), {}, TypeError, "__init__() takes exactly 2 positional arguments (1 given)"),
    ((1, 2, 3), {}, TypeError, "__init__() takes exactly 2 positional arguments (3 given)"),
    ((), {"x": 1}, TypeError, "__init__() takes exactly 2 positional arguments (1 given)"),
    ((1, 2), {"z": 3}, TypeError, "__init__() got an unexpected keyword argument 'z'"),
    ((1,), {"x": 2, "y": 3}, TypeError, "__init__() got multiple values for keyword argument 'x'"),
    (("1", 2), {}, TypeError, "must be real number, not str"),
    ((1, None), {}, TypeError, "must be real number, not NoneType"),
    ((1, b"2"), {}, TypeError, "must be real number, not bytes"),
    ((Decimal(1), 10**400), {}, OverflowError, "int too large to convert to float"),
])
def test_constructor_errors(args, kwargs, error, message):
    with pytest.raises(error) as caught:
        Vector2(*args, **kwargs)
    assert str(caught.value) == message


def test_non_string_keyword_is_reported_by_the_constructor():
    with pytest.raises(TypeError, match=r"^__init__\(\) keywords must be strings$"):
        Vector2(1, 2, **{1: 3})


def test_failed_init_converts_x_first_and_leaves_the_vector_unchanged():
    order = []

    class Recording:
        def __init__(self, name, value):
            self.name, self.value = name, value

        def __float__(self):
            order.append(self.name)
            if self.value is None:
                raise ValueError(self.name)
            return self.value

    v = Vector2(1, 2)
    with pytest.raises(ValueError, match="^y$"):
        v.__init__(Recording("x", 5.0), Recording("y", None))
    assert order == ["x", "y"]
    assert_coords(v, 1.0, 2.0)
    with pytest.raises(TypeError):
        v.__init__(7, "8")
    assert_coords(v, 1.0, 2.0)


@pytest.mark.parametrize("cls", [Vector2, Plain])
def test_new_ignores_its_arguments_and_attaches_the_length_operation(cls):
    v = cls.__new__(cls, 1, 2, z=3)
    assert type(v) is cls
    assert_coords(v, 0.0, 0.0)
    assert v.length == 0.0
    v._x, v._y = 3, 4
    assert v.length == 5.0


@pytest.mark.parametrize("cls", [Vector2, Plain])
def test_instances_hold_their_class_until_released(cls):
    before = sys.getrefcount(cls)
    vectors = [cls(i, -i) for i in range(300)]
    assert sys.getrefcount(cls) == before + 300
    results = [v.copy() + v * 2 for v in vectors]
    del vectors, results
    assert sys.getrefcount(cls) == before


def test_new_vectors_start_at_zero_after_others_were_released():
    for _ in range(3):
        released = [Vector2(i + 1, NAN) * 2 for i in range(300)]
        del released
        fresh = [Vector2.__new__(Vector2) for _ in range(300)]
        assert all(bits(v._x, v._y) == bits(0.0, 0.0) and v.length == 0.0 for v in fresh)


# --- the class itself ---------------------------------------------------------------------

def test_class_has_no_documentation_string():
    # Instance layout, collection, pickling refusal: see test_classes.py.
    assert Vector2.__doc__ is None


@pytest.mark.parametrize("cls", [Vector2, Plain, Tracked])
def test_copy_method_gives_a_distinct_base_vector_with_identical_bits(cls):
    v = cls(-0.0, NAN)
    c = v.copy()
    assert type(c) is Vector2 and c is not v
    assert_coords(c, -0.0, NAN)
    c.x = 5
    assert bits(v._x) == bits(-0.0)
    assert sys.getrefcount(c) == 2


# --- properties ----------------------------------------------------------------------------

@pytest.mark.parametrize("written, read", [("x", "_x"), ("_x", "x"), ("y", "_y"), ("_y", "y")])
def test_property_pairs_share_storage_and_convert(written, read):
    v = Vector2(1, 2)
    setattr(v, written, 3)
    assert getattr(v, read) == 3.0 and type(getattr(v, read)) is float
    setattr(v, written, True)
    assert getattr(v, read) == 1.0
    setattr(v, written, Floaty(-0.0))
    assert bits(getattr(v, read)) == bits(-0.0)


@pytest.mark.parametrize("name", ["x", "y", "_x", "_y"])
@pytest.mark.parametrize("value, error", [("3", TypeError), (None, TypeError),
                                          (10**400, OverflowError)])
def test_property_rejects_non_numbers_and_keeps_the_value(name, value, error):
    v = Vector2(1, 2)
    with pytest.raises(error):
        setattr(v, name, value)
    assert_coords(v, 1.0, 2.0)


@pytest.mark.parametrize("name", ["x", "y", "_x", "_y"])
def test_deleting_a_coordinate_is_refused(name):
    v = Vector2(1, 2)
    with pytest.raises(NotImplementedError) as caught:
        delattr(v, name)
    assert str(caught.value) == "__del__"
    assert_coords(v, 1.0, 2.0)


def test_length_is_read_only():
    v = Vector2(3, 4)
    with pytest.raises(AttributeError):
        v.length = 1
    with pytest.raises(AttributeError):
        del v.length
    assert v.length == 5.0


# --- length, normalize, negate, getDegrees ---------------------------------------------

VECTORS = [(3, 4), (-3, -4), (0.0, 0.0), (-0.0, 0.0), (1, 1), (0.1, 0.2), (1e-200, 0.0),
           (1e200, 1e200), (INF, 1), (-INF, INF), (NAN, 0), (2.5, -7.25)]


@pytest.mark.parametrize("x, y", VECTORS)
def test_length(x, y):
    assert bits(Vector2(x, y).length) == bits(length_of(x, y))


def test_length_examples():
    # Not hypot: the squares overflow and underflow.
    assert Vector2(3, 4).length == 5.0
    assert Vector2(1e200, 1e200).length == INF
    assert Vector2(1e-200, 0).length == 0.0


@pytest.mark.parametrize("x, y", VECTORS)
def test_normalize(x, y):
    v = Vector2(x, y)
    assert v.normalize() is None
    assert_coords(v, *normalized(x, y))


@pytest.mark.parametrize("x, y, expected", [
    (3, 4, (0.6, 0.8)),
    (0, 0, (0.0, 0.0)),
    (-0.0, 0.0, (-0.0, 0.0)),
    (1e-200, 0, (1e-200, 0.0)),  # the squared length underflows to 0: left alone
    (1e200, 1e200, (0.0, 0.0)),  # the length overflows to inf
    (NAN, 1, (NAN, NAN)),
])
def test_normalize_examples(x, y, expected):
    v = Vector2(x, y)
    v.normalize()
    assert_coords(v, *expected)


@pytest.mark.parametrize("x, y, expected", [
    (1, -2, (-1.0, 2.0)),
    (0, 0, (-0.0, -0.0)),
    (-0.0, INF, (0.0, -INF)),
    (NAN, -NAN, (-NAN, NAN)),
])
def test_negate_flips_sign_bits(x, y, expected):
    v = Vector2(x, y)
    assert v.negate() is None
    assert_coords(v, *expected)


@pytest.mark.parametrize("x, y, expected", [
    (0, 1, 90.0), (-1, 0, 180.0), (0, 0, 0.0), (1, 0, 0.0), (0, -1, -90.0),
    (-1, -0.0, -180.0), (1, 1, 45.0), (3, -4, None), (INF, INF, 45.0), (NAN, 1, NAN),
])
def test_get_degrees(x, y, expected):
    degrees = Vector2(x, y).getDegrees()
    assert bits(degrees) == bits(math.atan2(y, x) * RAD2DEG)
    if expected is not None:
        assert bits(degrees) == bits(expected)


# --- angleTo and angleToInDegrees ----------------------------------------------------------

@pytest.mark.parametrize("a, b, radians", [
    ((1, 0), (0, 1), math.pi / 2),
    ((3, 4), (3, 4), 0.0),
    ((1, 0), (-1, 0), math.pi),
    ((2, 3), (2, 3), 0.0),      # cosine rounds to 1.0000000000000002: clamped
    ((2, 3), (-2, -3), math.pi),  # cosine rounds to -1.0000000000000002: clamped
    ((1, 2), (-3, 0.5), None),
])
def test_angle_to(a, b, radians):
    va, vb = Vector2(*a), Vector2(*b)
    cosine = (a[0] * b[0] + a[1] * b[1]) / (length_of(*a) * length_of(*b))
    expected = math.acos(max(-1, min(1, cosine)))
    if radians is not None:
        assert expected == radians
    assert bits(va.angleTo(vb)) == bits(expected)
    assert bits(va.angleToInDegrees(vb)) == bits(expected * RAD2DEG)


def test_angle_to_in_degrees_examples():
    assert Vector2(1, 0).angleToInDegrees(Vector2(-1, 0)) == 180.0
    assert Vector2(1, 0).angleToInDegrees(Vector2(0, 1)) == 90.0
    assert math.isnan(Vector2(NAN, 0).angleTo(Vector2(1, 0)))


@pytest.mark.parametrize("a, b, cosine", [
    ((2, 3), (2, 3), 1),
    ((2, 3), (-2, -3), -1),
    ((1, 0), (0, 1), 0.0),
    ((NAN, 0), (1, 0), NAN),
])
def test_angle_to_clamps_to_integer_bounds_and_looks_up_math_acos_per_call(monkeypatch, a, b,
                                                                             cosine):
    monkeypatch.setattr(quorvelin, "math", SimpleNamespace(acos=lambda c: c))
    result = Vector2(*a).angleTo(Vector2(*b))
    assert type(result) is type(cosine) and bits(result) == bits(cosine)


@pytest.mark.parametrize("a, b", [((0, 0), (1, 0)), ((1, 0), (0, 0)), ((0, 0), (0, 0))])
@pytest.mark.parametrize("method", ["angleTo", "angleToInDegrees"])
def test_angle_to_zero_vector(a, b, method):
    with pytest.raises(ZeroDivisionError, match="^float division by zero$"):
        getattr(Vector2(*a), method)(Vector2(*b))


@pytest.mark.parametrize("other, error, message", [
    (2, AttributeError, "'int' object has no attribute 'length'"),
    (None, TypeError, "unsupported operand type(s) for *: 'float' and 'NoneType'"),
    ((1, 2), TypeError, "can't multiply sequence by non-int of type 'float'"),
    ((), TypeError, "can't multiply sequence by non-int of type 'float'"),
    (Plain(1, 0), AttributeError, "'float' object has no attribute 'x'"),
])
@pytest.mark.parametrize("method", ["angleTo", "angleToInDegrees"])
def test_angle_to_needs_an_exact_vector(other, error, message, method):
    with pytest.raises(error) as caught:
        getattr(Vector2(1, 2), method)(other)
    assert str(caught.value) == message


def test_angle_to_uses_the_multiplication_operator_and_length_attribute():
    class Custom(Vector2):
        def __mul__(self, other):
            return 0.0

        @property
        def length(self):
            return 2

    assert Custom(1, 0).angleTo(Vector2(1, 0)) == math.pi / 2


def test_angle_to_in_degrees_calls_an_overridden_angle_to_with_the_argument_as_is():
    calls = []

    class Overriding(Vector2):
        def angleTo(self, other):
            calls.append(other)
            return other

    assert Overriding(1, 0).angleToInDegrees(2) == 2 * RAD2DEG
    with pytest.raises(TypeError, match="can't multiply sequence by non-int of type 'float'"):
        Overriding(1, 0).angleToInDegrees((1, 2))
    assert calls == [2, (1, 2)]


@pytest.mark.parametrize("method", ["angleTo", "angleToInDegrees", "set", "add", "sub",
                                    "scale", "rotate"])
def test_single_argument_methods_take_one_positional_argument(method):
    v = Vector2(1, 2)
    with pytest.raises(TypeError, match="takes no keyword arguments"):
        getattr(v, method)(other=Vector2(1, 0))
    with pytest.raises(TypeError, match=r"takes exactly one argument \(0 given\)"):
        getattr(v, method)()
    with pytest.raises(TypeError, match=r"takes exactly one argument \(2 given\)"):
        getattr(v, method)(1, 2)
    assert_coords(v, 1.0, 2.0)


# --- set, add, sub ---------------------------------------------------------------------------

@pytest.mark.parametrize("method, expected", [
    ("set", lambda a, b: b),
    ("add", lambda a, b: a + b),
    ("sub", lambda a, b: a - b),
])
@pytest.mark.parametrize("start, other", [
    ((1, 2), (3, 4)), ((0.1, 0.2), (0.7, -0.3)), ((-0.0, 0.0), (0.0, -0.0)),
    ((INF, 1), (INF, NAN)), ((1e308, -1e308), (1e308, 1e308)),
])
@pytest.mark.parametrize("cls", [Vector2, Plain, Shifted])
def test_in_place_arithmetic_reads_the_fields_directly(method, expected, start, other, cls):
    v, w = Vector2(*start), cls(*other)
    assert getattr(v, method)(w) is None
    assert_coords(v, expected(float(start[0]), float(other[0])),
                  expected(float(start[1]), float(other[1])))
    assert bits(w._x, w._y) == bits(*other)


@pytest.mark.parametrize("method", ["set", "add", "sub"])
@pytest.mark.parametrize("other", [None, 1, 2.5, (1, 2), "v", SimpleNamespace(_x=1, _y=2)])
def test_in_place_arithmetic_type_errors_leave_the_vector_unchanged(method, other):
    v = Vector2(1, 2)
    with pytest.raises(TypeError) as caught:
        getattr(v, method)(other)
    assert str(caught.value) == wrong_other(other)
    assert_coords(v, 1.0, 2.0)


@pytest.mark.parametrize("method, expected", [("set", (1.0, 2.0)), ("add", (2.0, 4.0)),
                                              ("sub", (0.0, 0.0))])
def test_in_place_arithmetic_with_itself(method, expected):
    v = Vector2(1, 2)
    getattr(v, method)(v)
    assert_coords(v, *expected)


def test_subclass_instances_are_changed_in_place_too():
    s = Tracked(1, 2)
    s.add(Vector2(1, 1))
    s.negate()
    s.rotate(0)
    s.normalize()
    assert s.log == []
    assert bits(s._x, s._y) == bits(*normalized(-2.0, -3.0))


# --- scale -----------------------------------------------------------------------------------

class RightMultiplier:
    def __rmul__(self, value):
        return value * 10


@pytest.mark.parametrize("start, factor, expected", [
    ((1, 2), 2, (2.0, 4.0)),
    ((1, 2), 0.5, (0.5, 1.0)),
    ((1, -2), 0, (0.0, -0.0)),
    ((1, -2), -1, (-1.0, 2.0)),
    ((1, 2), True, (1.0, 2.0)),
    ((0.1, 0.7), 3, (0.1 * 3, 0.7 * 3)),
    ((0.1, 0.7), 2**60 + 1, (0.1 * (2**60 + 1), 0.7 * (2**60 + 1))),
    ((1, 2), Fraction(1, 3), (1.0 * Fraction(1, 3), 2.0 * Fraction(1, 3))),
    ((1, 2), RightMultiplier(), (10.0, 20.0)),
    ((1e308, 1), 10, (INF, 10.0)),
    ((INF, 1), 0, (INF * 0, 0.0)),
])
def test_scale(start, factor, expected):
    v = Vector2(*start)
    assert v.scale(factor) is None
    assert_coords(v, *expected)


def test_scale_goes_through_the_coordinate_attributes():
    s = Tracked(1, 2)
    s.scale(3)
    assert s.log == ["get x", "set x", "get y", "set y"]
    assert_coords(Vector2(s._x, s._y), 3.0, 6.0)
    shifted = Shifted(1, 2)
    shifted.scale(2)
    assert_coords(Vector2(shifted._x, shifted._y), 4.0, 4.0)


class FailsSecondTime:
    def __init__(self, second):
        self.calls = 0
        self.second = second

    def __rmul__(self, value):
        self.calls += 1
        if self.calls == 1:
            return value * 2
        if isinstance(self.second, type):
            raise self.second("second product")
        return self.second


@pytest.mark.parametrize("second, error", [(ValueError, ValueError), ("text", TypeError)])
def test_scale_keeps_x_scaled_when_y_fails(second, error):
    v = Vector2(1, 2)
    with pytest.raises(error):
        v.scale(FailsSecondTime(second))
    assert_coords(v, 2.0, 2.0)


# --- rotate ----------------------------------------------------------------------------------

def test_rotate_quarter_turn_is_not_exactly_zero():
    v = Vector2(1, 0)
    assert v.rotate(90) is None
    assert_coords(v, 6.123233995736766e-17, 1.0)


@pytest.mark.parametrize("start", [(1, 0), (0.3, -2.5), (-0.0, 0.0), (1e300, 1e300), (INF, 0)])
@pytest.mark.parametrize("degrees", [0, 90, -90, 180, 45, 360, 30.5, 1e10, True, 2**70,
                                     Fraction(1, 3), INF, NAN])
def test_rotate(start, degrees):
    v = Vector2(*start)
    v.rotate(degrees)
    assert_coords(v, *rotated(float(start[0]), float(start[1]), degrees))


def test_rotate_multiplies_the_argument_on_the_left():
    seen = []

    class Angle:
        def __mul__(self, factor):
            seen.append(factor)
            return math.pi / 2

    v, expected = Vector2(1, 0), Vector2(1, 0)
    v.rotate(Angle())
    expected.rotate(90)
    assert seen == [DEG2RAD] and type(seen[0]) is float
    assert_coords(v, expected.x, expected.y)


@pytest.mark.parametrize("method, argument, error, message", [
    ("scale", "a", TypeError, "can't multiply sequence by non-int of type 'float'"),
    ("scale", None, TypeError, "unsupported operand type(s) for *: 'float' and 'NoneType'"),
    ("scale", Decimal(2), TypeError,
     "unsupported operand type(s) for *: 'float' and 'decimal.Decimal'"),
    ("scale", 10**400, OverflowError, "int too large to convert to float"),
    ("rotate", "90", TypeError, "can't multiply sequence by non-int of type 'float'"),
    ("rotate", None, TypeError, "unsupported operand type(s) for *: 'NoneType' and 'float'"),
    ("rotate", Decimal(90), TypeError,
     "unsupported operand type(s) for *: 'decimal.Decimal' and 'float'"),
    ("rotate", 10**400, OverflowError, "int too large to convert to float"),
    ("rotate", SimpleNamespace(), TypeError,
     "unsupported operand type(s) for *: 'types.SimpleNamespace' and 'float'"),
])
@pytest.mark.parametrize("cls", [Vector2, Plain])
def test_scale_and_rotate_errors_leave_the_vector_unchanged(method, argument, error, message, cls):
    v = cls(1, 2)
    with pytest.raises(error) as caught:
        getattr(v, method)(argument)
    assert str(caught.value) == message
    assert_coords(v, 1.0, 2.0)


def test_rotate_product_must_convert_to_a_double():
    class Angle:
        def __mul__(self, factor):
            return "ninety"

    v = Vector2(1, 2)
    with pytest.raises(TypeError, match="must be real number, not str"):
        v.rotate(Angle())
    assert_coords(v, 1.0, 2.0)


# --- text forms ------------------------------------------------------------------------------

@pytest.mark.parametrize("x, y, text", [
    (1, 2, "Vector2(1.000000, 2.000000)"),
    (-0.0, 0.5, "Vector2(-0.000000, 0.500000)"),
    (INF, -INF, "Vector2(inf, -inf)"),
    (NAN, -NAN, "Vector2(nan, nan)"),
    (1e20, 1.23456789, "Vector2(100000000000000000000.000000, 1.234568)"),
    (-1e-7, 2.5e-6, "Vector2(-0.000000, 0.000003)"),
    (1e300, 0, "Vector2(%s, 0.000000)" % format(1e300, "f")),
])
@pytest.mark.parametrize("cls", [Vector2, Plain])
def test_str_and_repr(x, y, text, cls):
    v = cls(x, y)
    assert str(v) == repr(v) == text == "Vector2(%s, %s)" % (format(v.x, "f"), format(v.y, "f"))


# --- operators -------------------------------------------------------------------------------

@pytest.mark.parametrize("symbol, combine", [("+", lambda a, b: a + b), ("-", lambda a, b: a - b)])
@pytest.mark.parametrize("a, b", [((1, 2), (3, 4)), ((0.1, 0.2), (0.2, 0.1)),
                                  ((-0.0, 0.0), (0.0, -0.0)), ((INF, 1e308), (-INF, 1e308))])
@pytest.mark.parametrize("right_cls", [Vector2, Plain, Shifted])
def test_add_and_subtract_build_new_base_vectors(symbol, combine, a, b, right_cls):
    va, vb = Vector2(*a), right_cls(*b)
    result = eval("va %s vb" % symbol)
    assert type(result) is Vector2 and result is not va and result is not vb
    # The right operand's fields are read directly, so Shifted's x is not consulted.
    assert_coords(result, combine(float(a[0]), float(b[0])), combine(float(a[1]), float(b[1])))
    assert_coords(va, float(a[0]), float(a[1]))


def test_add_reads_the_left_operand_through_its_attributes():
    s = Tracked(1, 2)
    result = s + Vector2(10, 20)
    assert s.log == ["get x", "get y"]
    assert type(result) is Vector2
    assert_coords(result, 11.0, 22.0)
    assert_coords(Shifted(1, 2) - Vector2(1, 1), 1.0, 1.0)


class TextX(Tracked):
    """x reads as text, so arithmetic on it fails."""

    @property
    def x(self):
        self.log.append("get x")
        return "text"


@pytest.mark.parametrize("operation, message, reads", [
    (lambda t: t + Vector2(1, 1), 'can only concatenate str (not "float") to str', ["get x"]),
    (lambda t: t - Vector2(1, 1), "unsupported operand type(s) for -: 'str' and 'float'",
     ["get x"]),
    (lambda t: t * Vector2(1, 1), "can't multiply sequence by non-int of type 'float'", ["get x"]),
    (lambda t: t * 2.5, "can't multiply sequence by non-int of type 'float'", ["get x"]),
    (lambda t: t.scale(2.5), "can't multiply sequence by non-int of type 'float'", ["get x"]),
    # Both products exist before the new vector converts them.
    (lambda t: t * 2, "must be real number, not str", ["get x", "get y"]),
])
def test_attribute_paths_stop_at_the_first_failing_coordinate(operation, message, reads):
    t = TextX(1, 2)
    with pytest.raises(TypeError) as caught:
        operation(t)
    assert str(caught.value) == message
    assert t.log == reads
    assert_coords(Vector2(t._x, t._y), 1.0, 2.0)


@pytest.mark.parametrize("symbol", ["+", "-"])
@pytest.mark.parametrize("other", [1, None, (1, 2), "s", 2.5])
def test_add_and_subtract_need_a_vector_on_the_right(symbol, other):
    v = Vector2(1, 2)
    with pytest.raises(TypeError) as caught:
        eval("v %s other" % symbol)
    assert str(caught.value) == wrong_other(other)


@pytest.mark.parametrize("expression, message", [
    ("1 + v", "'int' object has no attribute 'x'"),
    ("1.5 - v", "'float' object has no attribute 'x'"),
    ("2 * v", "'int' object has no attribute 'x'"),
    ("None * v", "'NoneType' object has no attribute 'x'"),
    ("[1] * v", "'list' object has no attribute 'x'"),
])
def test_number_on_the_left_raises_attribute_error(expression, message):
    v = Vector2(1, 2)
    with pytest.raises(AttributeError) as caught:
        eval(expression)
    assert str(caught.value) == message


@pytest.mark.parametrize("a, b", [((1, 2), (3, 4)), ((0.1, 0.2), (0.3, 0.4)), ((1e308, 1), (10, 1)),
                                  ((-0.0, 0.0), (1, 1)), ((INF, 0), (0, 1))])
@pytest.mark.parametrize("left_cls", [Vector2, Plain])
def test_dot_product_with_an_exact_vector(a, b, left_cls):
    product = left_cls(*a) * Vector2(*b)
    assert type(product) is float
    assert bits(product) == bits(float(a[0]) * b[0] + float(a[1]) * b[1])


def test_dot_product_examples():
    assert Vector2(1, 2) * Vector2(3, 4) == 11.0
    s = Tracked(1, 2)
    assert s * Vector2(3, 4) == 11.0
    assert s.log == ["get x", "get y"]


@pytest.mark.parametrize("factor, expected", [
    (2, (2.0, 4.0)),
    (0.1, (0.1, 2 * 0.1)),
    (-0.0, (-0.0, -0.0)),
    (True, (1.0, 2.0)),
    (Fraction(1, 3), (1 / 3, 2 / 3)),
    (RightMultiplier(), (10.0, 20.0)),
    (2**60 + 1, (float(2**60 + 1), 2.0 * (2**60 + 1))),
])
@pytest.mark.parametrize("left_cls", [Vector2, Plain])
def test_multiplying_by_anything_else_scales(factor, expected, left_cls):
    v = left_cls(1, 2)
    result = v * factor
    assert type(result) is Vector2 and result is not v
    assert_coords(result, *expected)
    assert_coords(v, 1.0, 2.0)


@pytest.mark.parametrize("factor, error, message", [
    (Plain(3, 4), AttributeError, "'float' object has no attribute 'x'"),
    (None, TypeError, "unsupported operand type(s) for *: 'float' and 'NoneType'"),
    ("a", TypeError, "can't multiply sequence by non-int of type 'float'"),
    (10**400, OverflowError, "int too large to convert to float"),
])
@pytest.mark.parametrize("left_cls", [Vector2, Plain])
def test_multiplication_errors(factor, error, message, left_cls):
    with pytest.raises(error) as caught:
        left_cls(1, 2) * factor
    assert str(caught.value) == message


def test_multiplication_reads_the_left_operand_through_its_attributes():
    assert_coords(Shifted(1, 2) * 2, 4.0, 4.0)
    assert Shifted(1, 2) * Vector2(1, 1) == 4.0


@pytest.mark.parametrize("expression", ["-v", "+v", "abs(v)", "~v", "v / 2", "v // 2", "v % 2",
                                        "v ** 2", "v @ v", "len(v)", "iter(v)", "v[0]",
                                        "v < v", "tuple(v)", "divmod(v, 2)"])
def test_no_other_operations(expression):
    v = Vector2(1, 2)
    with pytest.raises(TypeError):
        eval(expression)


def test_identity_comparison_hashing_and_truth():
    a, b = Vector2(1, 2), Vector2(1, 2)
    assert a != b and not (a == b) and a == a
    assert hash(a) == hash(a) and {a: 1}[a] == 1
    assert bool(Vector2(0, 0)) and bool(Vector2(NAN, 0))
    with pytest.raises(TypeError):
        x, y = a


@pytest.mark.parametrize("statement, expected", [
    ("v += Vector2(1, 1)", (2.0, 3.0)),
    ("v -= Vector2(1, 1)", (0.0, 1.0)),
    ("v *= 2", (2.0, 4.0)),
])
def test_augmented_assignment_rebinds_and_leaves_a_shared_vector_alone(statement, expected):
    namespace = {"Vector2": Vector2, "v": Vector2(1, 2)}
    shared = namespace["v"]
    exec(statement, namespace)
    assert namespace["v"] is not shared and type(namespace["v"]) is Vector2
    assert_coords(namespace["v"], *expected)
    assert_coords(shared, 1.0, 2.0)


def test_operators_hold_no_references():
    a, b = Vector2(1, 2), Plain(3, 4)
    before = sys.getrefcount(a), sys.getrefcount(b)
    for _ in range(1000):
        a + b
        b - a
        a * Vector2(1, 1)
        b * 2
        a.add(b)
        a.copy()
        a.angleTo(Vector2(1, 0))
    assert (sys.getrefcount(a), sys.getrefcount(b)) == before


# --- fast paths against attribute-access paths --------------------------------------------

VALUES = [1, -2, 0.1, 1 / 3, -0.0, 1e308, 5e-324, INF, NAN, 2**53 + 1, True]

OPERATIONS = {
    "scale": lambda v, k: (v.scale(k), v)[1],
    "mul": lambda v, k: v * k,
    "dot": lambda v, k: v * Vector2(k, 0.75),
    "add": lambda v, k: v + Vector2(k, -k),
    "sub": lambda v, k: v - Plain(k, k),
    "rotate": lambda v, k: (v.rotate(k), v)[1],
    "normalize": lambda v, k: (v.normalize(), v)[1],
    "length": lambda v, k: v.length,
    "degrees": lambda v, k: v.getDegrees(),
    "copy": lambda v, k: v.copy(),
}


def outcome(operation, cls, x, y, k):
    try:
        result = OPERATIONS[operation](cls(x, y), k)
    except Exception as error:  # the same failure is expected on both paths
        return type(error), str(error)
    return bits(result) if isinstance(result, float) else bits(result._x, result._y)


@pytest.mark.parametrize("operation", OPERATIONS)
def test_plain_subclass_matches_the_base_type_bit_for_bit(operation):
    for x in VALUES:
        for k in VALUES + [10**400, Fraction(1, 7)]:
            assert outcome(operation, Plain, x, 0.3, k) == outcome(operation, Vector2, x, 0.3, k), \
                (operation, x, k)
