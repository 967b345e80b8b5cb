"""The class toolkit (src/py) on its own: a probe extension module is built from the
toolkit's sources and tests/toolkit/probe.cpp, then imported here. It checks what
every engine class relies on without naming one: C++ members constructed and
destroyed exactly once and in order, no C++ exception ever reaching the interpreter,
and member rows that give __init__, properties and pickling their rules."""
import gc
import importlib.machinery
import importlib.util
import os
import pickle
import re
import subprocess
import sys
import sysconfig

import pytest

from cxx_build import ROOT, compiler_flags, sources

SANITIZED = "libasan" in os.environ.get("LD_PRELOAD", "")


@pytest.fixture(scope="module")
def probe(tmp_path_factory):
    folder = tmp_path_factory.mktemp("toolkit")
    suffix = importlib.machinery.EXTENSION_SUFFIXES[0]
    output = str(folder / f"toolkit_probe{suffix}")
    toolkit = sources(os.path.join(ROOT, "src", "py"), ".cpp")
    flags = compiler_flags(SANITIZED) + ["-Werror", "-fPIC", "-shared", "-fvisibility=hidden"]
    env = dict(os.environ)
    env.pop("LD_PRELOAD", None)
    built = subprocess.run(["g++"] + flags + ["-I", os.path.join(ROOT, "src"),
                                              "-I", sysconfig.get_paths()["include"], "-o", output]
                           + toolkit + [os.path.join(ROOT, "tests", "toolkit", "probe.cpp")],
                           capture_output=True, text=True, env=env)
    assert built.returncode == 0, built.stderr
    spec = importlib.util.spec_from_file_location("toolkit_probe", output)
    module = importlib.util.module_from_spec(spec)
    sys.modules["toolkit_probe"] = module  # where pickle finds the unpickle functions
    spec.loader.exec_module(module)
    module.takeLifeEvents()
    return module


def make(probe, **changes):
    arguments = dict(items=None, count=1, ratio=0.5, flag=True, anything=None, peer=None)
    arguments.update(changes)
    return probe.Probe(**arguments)


# --- C++ members ----------------------------------------------------------------------------

def test_cpp_members_live_exactly_as_long_as_the_object(probe):
    p = make(probe)
    assert [p.push(3), p.push(4)] == [1, 2]
    del p
    assert probe.takeLifeEvents() == ["+base", "*base", "-base"]


@pytest.mark.parametrize("subclass", [False, True])
def test_derived_classes_construct_base_members_first_and_destroy_them_last(probe, subclass):
    cls = probe.DerivedProbe
    if subclass:
        cls = type("PythonProbe", (cls,), {})
    instance = cls(None)
    assert probe.takeLifeEvents() == ["+base", "+derived", "*base", "*derived"]
    del instance
    assert probe.takeLifeEvents() == ["-derived", "-base"]


def test_cpp_members_of_an_object_in_a_cycle_are_destroyed_by_the_collector(probe):
    import gc
    a, b = make(probe), make(probe)
    a.peer, b.peer = b, a
    del a, b
    gc.collect()
    assert sorted(probe.takeLifeEvents()) == ["*base", "*base", "+base", "+base", "-base", "-base"]


@pytest.mark.parametrize("kind, error", [("error", RuntimeError), ("bad_alloc", MemoryError),
                                         ("runtime_error", SystemError)])
def test_a_failed_allocation_hook_fails_the_allocation_and_frees_the_object(probe, kind, error):
    """The hooks run after every C++ member exists, the base's first; when one fails the
    object is released at once, its members with it."""
    probe.takeLifeEvents()
    probe.failNextAllocation(kind)
    with pytest.raises(error):
        probe.DerivedProbe.__new__(probe.DerivedProbe)
    assert probe.takeLifeEvents() == ["+base", "+derived", "*base", "*derived", "-derived", "-base"]
    whole = probe.DerivedProbe(None)  # the next one is whole again
    assert probe.takeLifeEvents() == ["+base", "+derived", "*base", "*derived"]
    del whole


# --- the exception boundary ----------------------------------------------------------------

THROWN = [("bad_alloc", MemoryError, ""), ("runtime_error", SystemError, "it broke"),
          ("something else", SystemError, "unknown C++ exception")]


@pytest.mark.parametrize("kind, error, message", THROWN)
@pytest.mark.parametrize("entry", ["one argument", "keywords", "__init__"])
def test_cpp_exceptions_become_python_errors(probe, entry, kind, error, message):
    with pytest.raises(error) as raised:
        if entry == "one argument":
            make(probe).fail(kind)
        elif entry == "keywords":
            make(probe).failKeywords(kind=kind)
        else:
            probe.DerivedProbe(kind)
    assert str(raised.value) == message


def test_properties_and_slots_are_guarded_too(probe):
    p = make(probe)
    with pytest.raises(SystemError, match="getter broke"):
        p.broken
    with pytest.raises(MemoryError):
        str(p)


# --- member rows ----------------------------------------------------------------------------

def test_init_takes_one_parameter_per_row_by_its_public_name(probe):
    p = probe.Probe([1], 7.9, 2, 0, "x", None)
    assert (p.items, p.count, p.ratio, p.flag, p.anything, p.peer) == ([1], 7, 2.0, False, "x", None)
    with pytest.raises(TypeError, match=r"takes exactly 6 positional arguments \(1 given\)"):
        probe.Probe(1)


@pytest.mark.parametrize("changes, error, message", [
    # values are converted as the arguments are unpacked, objects tested afterwards
    (dict(items=5, count="x"), TypeError, "an integer is required"),
    (dict(items=5), TypeError, r"Argument 'items' has incorrect type \(expected list, got int\)"),
    (dict(items=5, peer=5), TypeError, "Argument 'items'"),
    (dict(peer=5), TypeError,
     r"Argument 'peer' has incorrect type \(expected toolkit_probe.Probe, got int\)"),
    (dict(count=2 ** 31), OverflowError, "value too large to convert to int"),
])
def test_init_conversion_errors(probe, changes, error, message):
    with pytest.raises(error, match=message):
        make(probe, **changes)


@pytest.mark.parametrize("name, value, error, message", [
    ("ratio", 1.0, AttributeError, "not writable"),
    ("count", "x", TypeError, "an integer is required"),
    ("items", (1,), TypeError, "Expected list, got tuple"),
    ("items", [], None, None),
    ("peer", 5, TypeError, "Cannot convert int to toolkit_probe.Probe"),
    ("_count", 9, None, None),
])
def test_property_writes_follow_the_row(probe, name, value, error, message):
    p = make(probe)
    if error is None:
        setattr(p, name, value)
        assert getattr(p, name) == value
    else:
        with pytest.raises(error, match=message):
            setattr(p, name, value)


def test_deleting_an_object_field_stores_none_and_a_value_field_refuses(probe):
    p = make(probe, anything="x")
    del p.anything
    assert p.anything is None
    with pytest.raises(NotImplementedError, match="__del__"):
        del p.count


def test_an_undeletable_object_field_keeps_its_value(probe):
    p = probe.DerivedProbe(None)
    p.kept = "x"
    with pytest.raises(NotImplementedError, match="__del__"):
        del p.kept
    assert p.kept == "x"


@pytest.mark.parametrize("value, accepted", [({}, True), (None, True), ([], False),
                                             (type("Mapping", (dict,), {})(), False)])
def test_a_dict_field_takes_exactly_a_dict(probe, value, accepted):
    p = probe.DerivedProbe(None)
    if accepted:
        p.mapping = value
        assert p.mapping is value
    else:
        with pytest.raises(TypeError, match="Expected dict, got"):
            p.mapping = value


def test_pickled_state_is_sorted_by_stored_name_and_checked(probe):
    other = make(probe)
    p = make(probe, items=[1, 2], count=3, anything="a", peer=other)
    function, (cls, checksum, state), *rest = p.__reduce__()
    assert (cls, checksum) == (probe.Probe, 0x1234567)
    assert rest[0][:2] == ("a", 3)  # _anything, _count, _flag, _items, _peer, _ratio
    copy = pickle.loads(pickle.dumps(p))
    assert (copy.items, copy.count, copy.anything, copy.peer.count) == ([1, 2], 3, "a", 1)
    with pytest.raises(pickle.PickleError, match=r"\(_anything, _count, _flag, _items, _peer, _ratio\)"):
        function(cls, 5, None)


def test_documentation_texts(probe):
    assert probe.Probe.__doc__ == "\n    A probe.\n    "
    assert probe.Probe.fail.__doc__ == "\n        @param(kind, str)\n        "
    assert probe.DerivedProbe.__init__.__doc__ == "\n        @param(kind, str)\n        "


# --- further field kinds ----------------------------------------------------------------------

def kinds(probe, **changes):
    arguments = dict(big=1, mode=1, entries={}, label="a", target=None)
    arguments.update(changes)
    return probe.KindsProbe(**arguments)


@pytest.mark.parametrize("changes, error, message", [
    (dict(big=2 ** 63), OverflowError, None),
    (dict(big=-2 ** 63 - 1), OverflowError, None),
    (dict(big="1"), TypeError, "an integer is required"),
    (dict(mode=-1), OverflowError, "^can't convert negative value to probe_mode_t$"),
    (dict(mode=2 ** 32), OverflowError, "^value too large to convert to probe_mode_t$"),
    (dict(entries=[]), TypeError, r"^Argument 'entries' has incorrect type \(expected dict, got list\)$"),
    (dict(label=b"a"), TypeError, r"^Argument 'label' has incorrect type \(expected str, got bytes\)$"),
    (dict(label=type("S", (str,), {})("a")), TypeError, "Argument 'label'"),
])
def test_further_kinds_refused_by_init(probe, changes, error, message):
    with pytest.raises(error, match=message):
        kinds(probe, **changes)


def test_further_kinds_hold_their_range(probe):
    p = kinds(probe, big=-2 ** 63, mode=2 ** 32 - 1, entries=None, label=None)
    assert (p.big, p.mode, p._entries) == (-2 ** 63, 2 ** 32 - 1, None)
    p.big = -7.9
    assert p.big == -7  # a float is truncated
    with pytest.raises(TypeError, match="Expected dict, got list"):
        p._entries = []
    with pytest.raises(TypeError, match="Expected unicode, got bytes"):
        p.__setstate__((0, None, b"x", 0, None))  # _big, _entries, _label, _mode, _target
    with pytest.raises(OverflowError, match="can't convert negative value to probe_mode_t"):
        p.mode = -1


def test_undeletable_public_property(probe):
    p = kinds(probe, target="kept")
    with pytest.raises(NotImplementedError, match="__del__"):
        del p.target
    assert p.target == "kept"
    del p._target  # the stored name still deletes to None
    assert p.target is None


def test_further_kinds_pickle(probe):
    p = kinds(probe, big=2 ** 40, mode=7, entries={"k": 1}, label="name", target=[1])
    assert p.__reduce__()[2] == (2 ** 40, {"k": 1}, "name", 7, [1])
    copy = pickle.loads(pickle.dumps(p))
    assert (copy.big, copy.mode, copy._entries, copy.target) == (2 ** 40, 7, {"k": 1}, [1])


# --- signatures ---------------------------------------------------------------------------------

@pytest.mark.parametrize("path, signature, doc", [
    ("Probe", "(items, count, ratio, flag, anything, peer)", "\n    A probe.\n    "),
    ("Probe.fail", "(self, kind, /)", "\n        @param(kind, str)\n        "),
    ("Probe.push", "(self, number, /)", None),
    ("Probe.failKeywords", "(self, /, kind)", None),
    ("Probe.describe", "(self, /, first, second=None)", "Tells what it was given."),
    ("Probe.gather", "(self, /, *values)", None),
    ("Probe.__init__", "(self, /, items, count, ratio, flag, anything, peer)",
     "Initialize self.  See help(type(self)) for accurate signature."),
    ("Probe.__reduce__", "(self, /)", None),
    ("Probe.__setstate__", "(self, state, /)", None),
    ("DerivedProbe", "(kind)", None),
    ("DerivedProbe.__init__", "(self, /, kind)", "\n        @param(kind, str)\n        "),
    ("KindsProbe", "(big, mode, entries, label, target)", None),
    ("takeLifeEvents", "()", "\n    What the C++ members saw since the last call.\n    "),
    ("failNextAllocation", "(kind, /)",
     "\n    What the next allocation of a DerivedProbe does in its hook.\n    "),
    ("__pyx_unpickle_Probe", "(__pyx_type, __pyx_checksum, __pyx_state)", None),
])
def test_signatures_stand_before_unchanged_documentation(probe, path, signature, doc):
    import inspect
    target = probe
    for name in path.split("."):
        target = getattr(target, name)
    assert str(inspect.signature(target)) == signature
    assert target.__doc__ == doc


def test_signatures_of_bound_methods_and_python_subclasses(probe):
    import inspect
    assert str(inspect.signature(make(probe).describe)) == "(first, second=None)"
    assert str(inspect.signature(make(probe).push)) == "(number, /)"
    subclass = type("Sub", (probe.DerivedProbe,), {"__doc__": "Its own."})
    assert str(inspect.signature(subclass)) == "(kind)"
    assert subclass.__doc__ == "Its own."


@pytest.mark.parametrize("args, kwargs, outcome", [
    ((1,), {}, (1, "missing")),
    ((1, 2), {}, (1, "given")),
    ((), {"first": 1, "second": None}, (1, "given")),
    ((), {}, "describe() takes at least 1 positional argument (0 given)"),
    ((1, 2, 3), {}, "describe() takes at most 2 positional arguments (3 given)"),
    ((1,), {"third": 3}, "describe() got an unexpected keyword argument 'third'"),
    ((1,), {"first": 1}, "describe() got multiple values for keyword argument 'first'"),
])
def test_a_row_parses_by_the_parameters_its_signature_shows(probe, args, kwargs, outcome):
    p = make(probe)
    if isinstance(outcome, str):
        with pytest.raises(TypeError, match=f"^{re.escape(outcome)}$"):
            p.describe(*args, **kwargs)
    else:
        assert p.describe(*args, **kwargs) == outcome


def test_further_positional_arguments_and_positional_only_rows(probe):
    p = make(probe)
    assert p.gather(1, 2, 3) == (1, 2, 3)
    with pytest.raises(TypeError, match=r"^push\(\) takes no keyword arguments$"):
        p.push(number=1)
    with pytest.raises(TypeError, match=r"^__init__\(\) takes exactly 1 positional argument \(0 given\)$"):
        probe.DerivedProbe()


# --- watched rows and the change log --------------------------------------------------------

@pytest.fixture
def notes(probe):
    probe.startNotes()
    yield probe.takeNotes
    probe.stopNotes()


def test_watched_rows_note_their_writes_and_the_hand_out_of_their_lists(probe, notes):
    watched = probe.WatchedProbe([], 1.0, None)
    changed, handed_out = (id(watched), False), (id(watched), True)
    assert notes() == [changed]  # __init__ made from the rows
    watched.level = 2.0
    watched._level = 3.0
    watched.other = object()  # not watched
    assert notes() == [changed, changed]
    assert watched.level == 3.0 and notes() == []  # a value read is no hand-out
    watched.members.append(1)
    assert notes() == [handed_out]
    state = watched.__reduce__()[2]
    assert notes() == [handed_out]
    watched.__setstate__(state)
    assert notes() == [changed] * 2  # each watched field that the state sets
    with pytest.raises(TypeError):
        watched.members = ()  # refused before anything is stored
    assert notes() == []


def test_the_collector_notes_what_it_clears_and_drops_the_log_when_it_hands_out(probe, notes):
    watched = probe.WatchedProbe([], 1.0, None)
    watched.other = watched  # a cycle of one object: the collector clears it
    watched_id = id(watched)
    notes()
    del watched
    gc.collect()  # the collector hands nothing out: it clears, which is a change
    assert (watched_id, False) in notes()
    gc.get_referents(probe.WatchedProbe([], 1.0, None))
    assert notes() is None  # the log was dropped: a reader reads afresh


def test_nothing_is_noted_while_nobody_reads(probe):
    watched = probe.WatchedProbe([], 1.0, None)
    watched.level = 5.0
    probe.startNotes()
    try:
        assert probe.takeNotes() == []
    finally:
        probe.stopNotes()
