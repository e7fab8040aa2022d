#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs the shell commands of README.md and docs/*.md as a reader pastes them:
every ```sh block, in order, page by page, each page in a folder of its own,
with the programs just built first on the PATH. A block that needs what a
test cannot have (an instrument, a display, systemd, the package installed)
is marked by a line `<!-- not run: why -->` just before it, and listed.

    check-commands.py SOURCE_DIR BUILD_DIR
"""
import os
import pathlib
import re
import subprocess
import sys
import tempfile

MARK = re.compile(r"<!-- not run: (.+) -->")


def blocks(page):
    """(line number, code, reason not run or None) for each ```sh block."""
    lines = page.read_text(encoding="utf-8").split("\n")
    i = 0
    while i < len(lines):
        if lines[i].strip() == "```sh":
            start = i + 1
            end = lines.index("```", start)
            mark = MARK.fullmatch(lines[i - 1].strip()) if i > 0 else None
            yield start, "\n".join(lines[start:end]), mark.group(1) if mark else None
            i = end
        i += 1


def main(source, build):
    source, build = pathlib.Path(source).resolve(), pathlib.Path(build).resolve()
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    env["PATH"] = os.pathsep.join([str(build / "src/recorder"), str(build / "src/app"), env["PATH"]])
    env.pop("STATE_DIRECTORY", None)
    failed = ran = 0
    for page in [source / "README.md"] + sorted((source / "docs").glob("*.md")):
        with tempfile.TemporaryDirectory() as folder:
            env["XDG_DATA_HOME"] = os.path.join(folder, ".data")
            for line, code, reason in blocks(page):
                where = f"{page.relative_to(source)}:{line}"
                if reason:
                    print(f"{where}: not run ({reason})")
                    continue
                ran += 1
                r = subprocess.run(["bash", "-euo", "pipefail", "-c", code], cwd=folder, env=env,
                                   capture_output=True, text=True, timeout=120)
                if r.returncode != 0:
                    failed += 1
                    print(f"{where}: exit {r.returncode}\n{code}\n--- output\n{r.stdout}{r.stderr}")
                else:
                    print(f"{where}: ran")
    print(f"{ran} blocks ran, {failed} failed")
    return 1 if failed or ran == 0 else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
