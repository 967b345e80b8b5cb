"""The user manual and the README: every example runs against the built engine, and
every link leads somewhere."""
import os
import re
import pytest

from . import manual_runner

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
MANUAL = os.path.join(ROOT, "docs", "manual")
INDEX = os.path.join(ROOT, "docs", "MANUAL.md")
README = os.path.join(ROOT, "README.md")
PAGES = [README, INDEX] + sorted(os.path.join(MANUAL, name) for name in os.listdir(MANUAL)
                                 if name.endswith(".md"))
ASSET_PAGE = os.path.join(MANUAL, "example-files.md")


def run_examples(child, page, workdir, asset_page=None, timeout=300):
    code = f"""
        import sys
        sys.path.insert(0, {os.path.dirname(manual_runner.__file__)!r})
        import manual_runner
        sys.exit(1 if manual_runner.run_page({page!r}, {str(workdir)!r}, {asset_page!r}) else 0)
    """
    return child(code, timeout=timeout)


@pytest.mark.parametrize("page", PAGES, ids=lambda page: os.path.relpath(page, ROOT))
def test_examples_run(child, page, tmp_path):
    result = run_examples(child, page, tmp_path, ASSET_PAGE)
    assert result.returncode == 0, result.stdout[-4000:] + result.stderr[-8000:]


LINK = re.compile(r"\[[^\]]*\]\(([^)\s]+)\)")


def anchors(path):
    """The anchors of a Markdown file's headings, as GitHub makes them."""
    found = set()
    in_code = False
    with open(path, encoding="utf-8") as file:
        for line in file:
            if line.startswith("```"):
                in_code = not in_code
            elif not in_code and line.startswith("#"):
                title = line.lstrip("#").strip().lower()
                slug = re.sub(r"[^\w\- ]", "", title).replace(" ", "-")
                found.add(slug)
    return found


@pytest.mark.parametrize("page", PAGES, ids=lambda page: os.path.relpath(page, ROOT))
def test_links_resolve(page):
    with open(page, encoding="utf-8") as file:
        text = re.sub(r"```.*?```", "", file.read(), flags=re.S)
    for target in LINK.findall(text):
        if re.match(r"[a-z]+:", target):
            continue
        path, _, anchor = target.partition("#")
        resolved = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
        assert os.path.exists(resolved), f"{page}: {target}"
        if anchor:
            assert anchor in anchors(resolved), f"{page}: {target}"


def test_index_links_every_page():
    with open(INDEX, encoding="utf-8") as file:
        linked = {os.path.normpath(os.path.join(os.path.dirname(INDEX), target.partition("#")[0]))
                  for target in LINK.findall(file.read())}
    assert set(PAGES) - {README, INDEX} <= linked
    with open(README, encoding="utf-8") as file:
        assert "docs/MANUAL.md" in file.read()


# The runner itself: a page that fails must fail the test, in whatever way it fails.
RUNNER_CASES = {
    "passes": ("```python\nx = 1\n```\n\n```pycon\n>>> x + 1\n2\n```\n", True, "2 blocks"),
    "error": ("```python\nraise ValueError('boom')\n```\n", False, "ValueError: boom"),
    "wrong printed result": ("```pycon\n>>> 1 + 1\n3\n```\n", False, "Expected"),
    "names from earlier blocks": ("```python\nx = 2\n```\n```python\nassert x == 2\n```\n",
                                  True, "2 blocks"),
    "fragment is not run": ("```python fragment\nraise ValueError\n```\n", True, "0 blocks"),
    "shell is not run": ("```sh\nexit 1\n```\n", True, "0 blocks"),
    "unknown mark": ("```python fragmnet\npass\n```\n", False, "unknown marks"),
    "unclosed block": ("```python\npass\n", False, "never closed"),
    "names from sessions": ("```pycon\n>>> y = 3\n```\n```python\nassert y == 3\n```\n",
                            True, "2 blocks"),
    "error in a thread": ("```python\nimport threading\nt = threading.Thread(target=lambda: 1 / 0)\n"
                          "t.start()\nt.join()\n```\n", False, "ZeroDivisionError"),
    "error in a handler during input": (
        "```python\nimport quorvelin\nengine = quorvelin.Engine()\nengine.init('t', (64, 48))\n"
        "def on_key(event):\n    raise KeyError('handler')\n"
        "engine.subscribeEvent(quorvelin.KeyEvent, on_key)\nengine.run()\n```\n", False, "swallowed"),
    "main loop ends": (
        "```python\nimport quorvelin\nengine = quorvelin.Engine()\nengine.init('t', (64, 48))\n"
        "seen = []\nengine.subscribeEvent(quorvelin.KeyEvent, lambda e: seen.append(e.key))\n"
        "engine.run()\nassert seen == [quorvelin.KEY_SPACE]\n"
        "assert not engine.isRunning()\n```\n", True, "1 blocks"),
    "the mouse moves in the loop": (
        "```python\nimport quorvelin\nengine = quorvelin.Engine()\nengine.init('t', (64, 48))\n"
        "moved = []\nengine.addTask(lambda t, d: moved.append(engine.getMouseDist()))\n"
        "engine.run()\nassert (3, 0) in moved\n```\n", True, "1 blocks"),
    "keys are held in the loop": (
        "```python\nimport quorvelin\nengine = quorvelin.Engine()\nengine.init('t', (64, 48))\n"
        "held = []\nengine.addTask(lambda t, d: held.append(engine.isKeyPressed(quorvelin.KEY_UP)))\n"
        "engine.run()\nassert 1 in held\n```\n", True, "1 blocks"),
}


@pytest.mark.parametrize("text,passes,output", RUNNER_CASES.values(), ids=RUNNER_CASES.keys())
def test_runner_fails_failing_pages(child, tmp_path, text, passes, output):
    page = tmp_path / "page.md"
    page.write_text(text, encoding="utf-8")
    workdir = tmp_path / "work"
    workdir.mkdir()
    result = run_examples(child, str(page), workdir, timeout=60)
    assert (result.returncode == 0) == passes, result.stdout + result.stderr
    assert output in result.stdout + result.stderr


def test_assets_run_before_other_pages(child, tmp_path):
    assets = tmp_path / "assets.md"
    assets.write_text("```python assets\nopen('made.txt', 'w').write('x')\nname = 1\n```\n")
    page = tmp_path / "page.md"
    page.write_text("```python\nassert open('made.txt').read() == 'x'\n"
                    "assert 'name' not in globals()\n```\n")
    workdir = tmp_path / "work"
    workdir.mkdir()
    result = run_examples(child, str(page), workdir, str(assets), timeout=60)
    assert result.returncode == 0, result.stdout + result.stderr

