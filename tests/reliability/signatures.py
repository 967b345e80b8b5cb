"""Signatures against the calls they describe, run in a child process over the whole
API table of hostile.py (its valid constructions and arguments for every public method
and module function). For each constructor and method, with fresh receivers:
- the valid arguments bind to the signature;
- passing by keyword what the signature takes by keyword gives the same outcome;
- an optional parameter given its signature default gives what leaving it out gives;
- one positional argument too many, an unknown keyword, a missing required argument
  and a positional-only argument given by keyword are refused, as the signature says.
An outcome is the exception's type, or the result (for a constructor, the object's
public properties) reduced to plain values. `main(folder)` prints "BAD <case>: ..."
for every disagreement and "DONE <count>" at the end."""
import inspect
import math
import os
import sys
import threading

import quorvelin

from . import hostile

Parameter = inspect.Parameter
PLAIN = (bool, int, float, str, bytes, type(None))


def plain(value, depth=0):
    """The value as plain data that two equal outcomes share."""
    if isinstance(value, float) and math.isnan(value):
        return "nan"
    if isinstance(value, PLAIN):
        return value
    if isinstance(value, (tuple, list)):
        return type(value).__name__, tuple(plain(item, depth + 1) for item in value)
    if isinstance(value, quorvelin.Vector2):
        return "Vector2", value.x, value.y
    cls = type(value)
    if depth == 0 and cls.__module__ == "quorvelin":
        state = {}
        for name in dir(cls):
            if name.startswith("_") or not inspect.isgetsetdescriptor(inspect.getattr_static(cls, name)):
                continue
            try:
                state[name] = plain(getattr(value, name), depth + 1)
            except Exception as error:
                state[name] = type(error).__name__
        return cls.__name__, sorted(state.items())
    return cls.__name__


def outcome(call, *args, **kwargs):
    try:
        return "returns", plain(call()(*args, **kwargs))
    except Exception as error:
        return "raises", type(error).__name__


def refused(call, *args, **kwargs):
    """Whether the call is refused for its arguments (the host's or the engine's
    argument messages), not for what it does with them."""
    try:
        call()(*args, **kwargs)
    except TypeError as error:
        return "argument" in str(error)
    except Exception:
        return False
    return False


def cases(label, call, valid):
    """`call()` gives a fresh callable (a class or a bound method), `valid()` fresh
    valid positional arguments; yields (case, problem or None)."""
    signature = inspect.signature(call())
    parameters = list(signature.parameters.values())
    try:
        bound = signature.bind(*valid())
    except TypeError as error:
        yield f"{label} binds", f"the valid arguments do not bind: {error}"
        return
    varargs = next((p for p in parameters if p.kind is Parameter.VAR_POSITIONAL), None)
    named = [p for p in parameters if p.kind in (Parameter.POSITIONAL_ONLY,
                                                  Parameter.POSITIONAL_OR_KEYWORD)]

    def split(values):
        """The arguments with every one the signature takes by keyword given so."""
        args = [values[p.name] for p in named if p.kind is Parameter.POSITIONAL_ONLY
                and p.name in values]
        kwargs = {p.name: values[p.name] for p in named
                  if p.kind is Parameter.POSITIONAL_OR_KEYWORD and p.name in values}
        return args, kwargs

    def given():
        return dict(signature.bind(*valid()).arguments)

    if not (varargs and bound.arguments.get(varargs.name)):
        args, kwargs = split(given())
        if kwargs:
            expected = outcome(call, *valid())
            got = outcome(call, *args, **kwargs)
            yield f"{label} by keyword", None if got == expected else f"{got} != {expected}"

    for p in named:
        if p.default is Parameter.empty or p.kind is not Parameter.POSITIONAL_OR_KEYWORD:
            continue
        def without(values, name=p.name):
            values.pop(name, None)
            return split(values)
        args, kwargs = without(given())
        left_out = outcome(call, *args, **kwargs)
        kwargs[p.name] = p.default
        as_default = outcome(call, *args, **kwargs)
        yield f"{label} default {p.name}={p.default!r}", \
            None if left_out == as_default else f"{as_default} != {left_out} left out"

    if not varargs:
        full = list(valid())
        full += [None if p.default is Parameter.empty else p.default for p in named[len(full):]]
        yield f"{label} one too many", \
            None if refused(call, *full, None) else "takes one argument more"
    yield f"{label} unknown keyword", \
        None if refused(call, *valid(), unknownKeyword=None) else "takes an unknown keyword"
    required = [p for p in named if p.default is Parameter.empty]
    if required and len(valid()) >= len(required):
        yield f"{label} missing {required[-1].name}", \
            None if refused(call, *valid()[:len(required) - 1]) else "runs without it"
    for p in named:
        if p.kind is Parameter.POSITIONAL_ONLY and p.name in bound.arguments:
            args = [bound.arguments[q.name] for q in named if q is not p and q.name in bound.arguments]
            yield f"{label} {p.name} by keyword", \
                None if refused(call, *args, **{p.name: bound.arguments[p.name]}) \
                else "takes a positional-only argument by keyword"


def all_cases(context):
    for name, api in hostile.API.items():
        cls = getattr(quorvelin, name)
        for number, entry in enumerate([api.new, *api.alternatives]):
            yield from cases(f"{name}() #{number}", lambda cls=cls: cls,
                             lambda entry=entry: hostile.arguments(entry, context))
        for method, entry in api.methods.items():
            make = api.own_receiver.get(method) or (
                lambda c, name=name: hostile.valid_instance(name, c))
            yield from cases(f"{name}.{method}",
                             lambda make=make, method=method: getattr(make(context), method),
                             lambda entry=entry: hostile.arguments(entry, context))
    for name, entry in hostile.MODULE_FUNCTIONS.items():
        yield from cases(name, lambda name=name: getattr(quorvelin, name),
                         lambda entry=entry: hostile.arguments(entry, context))


def main(folder):
    sys.path.insert(0, hostile.TESTS)
    os.chdir(folder)
    sys.unraisablehook = lambda unraisable: None
    threading.excepthook = lambda args: None
    context = hostile.Context(folder)
    count = 0
    for label, problem in all_cases(context):
        count += 1
        if problem:
            print(f"BAD {label}: {problem}", flush=True)
        hostile.clear_engine_state()
    print("DONE", count, flush=True)
