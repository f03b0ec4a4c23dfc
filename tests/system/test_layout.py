# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""The README's Layout table against the tree: its folders, every built folder, the names in backticks."""
import os
import re
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


class Layout(unittest.TestCase):
    def test_the_readme_names_what_the_tree_holds(self):
        with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as f:
            section = f.read().split("\n## Layout\n", 1)[1].split("\n## ", 1)[0]
        rows = [[re.findall(r"`([^`]+)`", cell) for cell in line.split("|")[1:3]]
                for line in section.splitlines() if line.startswith("| `")]
        folders, names = [f for listed, _ in rows for f in listed], set()
        for top, dirs, found in os.walk(ROOT):
            dirs[:] = [d for d in dirs if not d.startswith((".", "build"))]  # build trees hold copies
            here = os.path.relpath(top, ROOT) + "/"
            if "CMakeLists.txt" in found and top != ROOT:  # listed, or inside or around a listed folder
                self.assertTrue(any(here.startswith(f) or f.startswith(here) for f in folders), here)
            for name in found:
                names.add(os.path.splitext(name)[0])
                if name.endswith((".h", ".cpp")):
                    with open(os.path.join(top, name), encoding="utf-8") as f:
                        found_here = re.findall(r"\b(?:class|struct)\s+(\w+)|\b(\w+)\(", f.read())
                    names.update(n for pair in found_here for n in pair)
        for name in folders + [name for _, named in rows for name in named]:
            if re.fullmatch(r"\w+", name):  # a file, a type or a function
                self.assertTrue(name in names, name)
            elif not name.startswith("/") and "/" in name:  # a path in the tree
                self.assertTrue(os.path.exists(os.path.join(ROOT, name)), name)


if __name__ == "__main__":
    unittest.main()
