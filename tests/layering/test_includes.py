"""The order of src/ as its #include lines make it. A source file and the header of the
same name are one unit (src/ui/widget.cpp with src/ui/widget.hpp); a unit depends on
another when one of its files includes one of the other's. No unit may depend on itself
through others (an include circle), and none may depend on a unit of a higher level of
LEVELS, so every include points down the house or stays on its level."""
import os
import re

import pytest

SRC = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src")

# From the ground up: each level's units by their path below src/ without the
# extension; a name ending in "/" stands for every unit in that folder.
LEVELS = [
    ("the Python-free core", ["core/"]),
    ("the toolkit", ["py/"]),
    ("the engine core", ["engine", "events", "keys", "geometryMath", "colorprint"]),
    ("media, entities and levels", ["resources", "resources/"]),
    ("renderers and collision", ["renderer", "raycaster", "raycaster/", "collision",
                                 "collision/"]),
    ("the UI", ["gui", "ui/"]),
    ("the main module file: the Engine and the exception classes", ["quorvelin"]),
    ("the import: registration and start-up", ["quorvelin/"]),
]

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
SOURCES = (".cpp", ".hpp", ".inc")


def includes(src):
    """Every file below `src` with the files it includes, as paths below `src`; an
    include is read from src/ (the include folder) or, failing that, from the file's
    own folder."""
    files = {}
    for folder, _, names in os.walk(src):
        for name in names:
            if name.endswith(SOURCES):
                path = os.path.join(folder, name)
                with open(path, encoding="utf-8") as text:
                    files[os.path.relpath(path, src)] = INCLUDE.findall(text.read())
    return files


def unit(path):
    return os.path.splitext(path)[0].replace(os.sep, "/")


def level_of(name, levels):
    """The index of the level whose list holds the unit, or None."""
    found = None
    for index, (_, units) in enumerate(levels):
        for entry in units:
            if name == entry or (entry.endswith("/") and name.startswith(entry)):
                # the longest entry decides: "quorvelin/registry" is in "quorvelin/"
                if found is None or len(entry) > found[1]:
                    found = (index, len(entry))
    return found and found[0]


def problems(src, levels):
    """What breaks the order: includes of no file, units on no level, includes that
    point up, and circles of units."""
    files = includes(src)
    found = []
    edges = {}
    for path, included in sorted(files.items()):
        for name in included:
            local = os.path.normpath(os.path.join(os.path.dirname(path), name))
            target = name if name in files else local if local in files else None
            if target is None:
                found.append(f"{path} includes {name}, which is no file of src/")
            elif unit(target) != unit(path):
                edges.setdefault(unit(path), set()).add(unit(target))
    units = sorted({unit(path) for path in files})
    level = {name: level_of(name, levels) for name in units}
    found += [f"{name} stands on no level" for name in units if level[name] is None]
    for name in units:
        for target in sorted(edges.get(name, ())):
            if None not in (level[name], level[target]) and level[target] > level[name]:
                found.append(f"{name} ({levels[level[name]][0]}) includes {target}, "
                             f"which stands above it ({levels[level[target]][0]})")
    found += [" -> ".join(circle + [circle[0]]) for circle in circles(units, edges)]
    return found


def circles(units, edges):
    """One circle through each group of units that depend on each other."""
    state, path, found = {}, [], []

    def visit(name):
        state[name] = "open"
        path.append(name)
        for target in sorted(edges.get(name, ())):
            if state.get(target) == "open":
                found.append(path[path.index(target):])
            elif target not in state:
                visit(target)
        path.pop()
        state[name] = "done"

    for name in units:
        if name not in state:
            visit(name)
    return found


def test_every_include_points_down_and_none_closes_a_circle():
    assert includes(SRC), f"no sources in {SRC}"
    assert problems(SRC, LEVELS) == []


LOW, HIGH = ("low", ["low/"]), ("high", ["high/"])


@pytest.mark.parametrize("tree, expected", [
    ({"low/a.cpp": ["low/a.hpp", "low/b.hpp"], "low/a.hpp": [], "low/b.hpp": []}, []),
    ({"low/a.cpp": ["low/b.hpp"], "low/a.hpp": [], "low/b.cpp": ["low/a.hpp"],
      "low/b.hpp": []}, ["low/a -> low/b -> low/a"]),
    ({"low/a.cpp": ["high/b.hpp"], "high/b.hpp": []},
     ["low/a (low) includes high/b, which stands above it (high)"]),
    ({"high/b.cpp": ["low/a.hpp", "b.hpp"], "low/a.hpp": [], "high/b.hpp": []}, []),
    ({"low/a.cpp": ["low/gone.hpp"]}, ["low/a.cpp includes low/gone.hpp, which is no file of src/"]),
    ({"elsewhere/c.cpp": []}, ["elsewhere/c stands on no level"]),
], ids=["in order", "circle", "upward", "own folder", "no such file", "no level"])
def test_the_check_finds_each_fault(tmp_path, tree, expected):
    for path, included in tree.items():
        (tmp_path / path).parent.mkdir(parents=True, exist_ok=True)
        (tmp_path / path).write_text("".join(f'#include "{name}"\n' for name in included))
    assert problems(str(tmp_path), [LOW, HIGH]) == expected
