"""Writes the Python examples of the README and the manual for the type checker: the
package FOLDER/manual_pages with one module per page that uses the engine, holding the
blocks a reader runs in their order (the interactive sessions without their prompts,
and without the examples that show an exception), as tests/docs runs them.

    python tools/manual_examples.py FOLDER
"""
import doctest
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "docs"))

import manual_runner  # noqa: E402

PAGES = [os.path.join(ROOT, "README.md"), os.path.join(ROOT, "docs", "MANUAL.md")] + sorted(
    os.path.join(ROOT, "docs", "manual", name)
    for name in os.listdir(os.path.join(ROOT, "docs", "manual")) if name.endswith(".md"))


def page_code(path):
    parts = []
    for block in manual_runner.blocks(path):
        if not block.runs:
            continue
        if block.language == "pycon":
            # An example that shows an exception is wrong on purpose.
            parts += [example.source for example in
                      doctest.DocTestParser().get_examples(block.code) if example.exc_msg is None]
        else:
            parts.append(block.code)
    return "".join(parts)


def main(folder):
    package = os.path.join(folder, "manual_pages")
    os.makedirs(package, exist_ok=True)
    open(os.path.join(package, "__init__.py"), "w").close()
    for path in PAGES:
        code = page_code(path)
        if "quorvelin" in code:
            name = os.path.splitext(os.path.basename(path))[0].replace("-", "_").lower()
            with open(os.path.join(package, f"page_{name}.py"), "w", encoding="utf-8") as file:
                file.write(code)


if __name__ == "__main__":
    main(sys.argv[1])
