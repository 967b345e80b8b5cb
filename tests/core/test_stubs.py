"""The type stubs: installed with the module where type checkers and editors find them,
the same as the sources' own, and a one-line description for every name they declare.
(tools/check-types.sh holds them against the built module with mypy's stubtest.)"""
import ast
import importlib.util
import os

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
STUBS = os.path.join(ROOT, "src", "quorvelin.pyi")


def read(path):
    with open(path, encoding="utf-8") as file:
        return file.read()


@pytest.mark.parametrize("installed", [
    "quorvelin.pyi",                  # beside the module, where editors look
    "quorvelin-stubs/__init__.pyi",   # the stub-only package that type checkers find
])
def test_the_stubs_are_installed_with_the_module(installed):
    site = os.path.dirname(importlib.util.find_spec("quorvelin").origin)
    assert read(os.path.join(site, installed)) == read(STUBS)
    assert os.path.isfile(os.path.join(site, "quorvelin-stubs", "py.typed"))
    assert not os.path.exists(os.path.join(site, "py.typed"))  # it would mark all of site-packages


def undescribed(body, prefix=""):
    """Names declared in `body` that no one-line docstring follows."""
    missing = []
    for node, after in zip(body, body[1:] + [None]):
        described = isinstance(after, ast.Expr) and isinstance(after.value, ast.Constant) \
            and isinstance(after.value.value, str)
        if isinstance(node, ast.AnnAssign):
            name = node.target.id
            if not described or "\n" in after.value.value:
                missing.append(prefix + name)
        elif isinstance(node, (ast.FunctionDef, ast.ClassDef)):
            doc = ast.get_docstring(node, clean=False)
            dunder = node.name.startswith("__") and node.name.endswith("__")
            if not dunder and (doc is None or "\n" in doc.strip()):
                missing.append(prefix + node.name)
            if isinstance(node, ast.ClassDef):
                missing += undescribed(node.body, prefix + node.name + ".")
    return missing


def test_every_name_of_the_stubs_has_a_one_line_description():
    tree = ast.parse(read(STUBS))
    assert ast.get_docstring(tree)
    assert undescribed(tree.body) == []
