"""The engine's extension classes as the module registers them. The tables that cover
every class (the class tree and pickling, hostile input, leaks, cycles) run their tests
once for each registered class: a class that a table leaves out fails the test that
names it, and a row that names no registered class fails too."""
import pytest

import quorvelin

IMMUTABLE_TYPE = 1 << 8  # engine classes are immutable; the Python-level ones are not


def engine_classes():
    """The names of the registered classes, in registration order: the import publishes
    each class as it registers it."""
    return [name for name, value in vars(quorvelin).items()
            if isinstance(value, type) and value.__module__ == "quorvelin"
            and value.__flags__ & IMMUTABLE_TYPE]


def picklable(name):
    """Whether the class pickles its state: the import binds an unpickle function for
    exactly those."""
    return hasattr(quorvelin, "__pyx_unpickle_" + name)


def row(table, key, table_name):
    """The row of a class (by name or the class itself) in a table, or a failure that
    names both."""
    if key not in table:
        pytest.fail(f"{getattr(key, '__name__', key)} has no row in {table_name}", pytrace=False)
    return table[key]


def stale_rows(names):
    """The names among `names` that the module registers no class under."""
    registered = set(engine_classes())
    return [name for name in names if name not in registered]
