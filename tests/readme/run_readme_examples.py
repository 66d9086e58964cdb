#!/usr/bin/env python3
"""Runs the commands that README.md shows in its usage section, as written.

A README whose examples fail is a fault like any other: this takes every
command of the fenced code blocks under the heading given with --section
(a line ending in a backslash joined with the next, pipes and all), runs each
with `bash -o pipefail -c` in a fresh temporary folder, one after the other,
with the built program first on PATH as `nocturnia`, and fails when one exits
non-zero, printing the command, its exit status and its standard error. An
option the program does not know fails too, since its parser refuses it.

It also checks the section's command summaries (list items that start with
`` `COMMAND [...] --option ...` ``): every option shown must appear in the
program's `COMMAND --help`.

Relative paths that the commands use and that exist in the repository
(`examples/milky-band.json`) are copied into the temporary folder first, so a
command that writes there cannot change the repository.

Blocks fenced as ```python are Python scripts: with --python they are run
whole, one after the other in the same folder as the commands (after them),
by that interpreter with --python-path on PYTHONPATH; a section with such
blocks and no --python fails.

Marker: a command that cannot end by itself or reaches outside this machine
(a server, a submission to a render farm) is shown in the README with the
comment

    # not run by the README test: <why>

at the end of its line (or of its last continued line); it is then reported
as skipped with that reason and not run.
"""

import argparse
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import time

MARKER = "# not run by the README test"
NOT_COPIED = {"build", "dist", "out", ".git"}


def section_lines(readme_text, heading):
    """The lines under `## <heading>` up to the next heading of that level or higher."""
    lines = readme_text.splitlines()
    start = None
    for index, line in enumerate(lines):
        if re.match(r"^##\s+", line) and line.lstrip("#").strip() == heading:
            start = index + 1
            break
    if start is None:
        raise SystemExit(f"run_readme_examples: README has no section '## {heading}'")
    end = len(lines)
    for index in range(start, len(lines)):
        if re.match(r"^#{1,2}\s+", lines[index]):
            end = index
            break
    return lines[start:end]


def code_block_commands(lines):
    """Every command of the section's fenced code blocks, continuation lines joined."""
    commands, in_block, pending, python = [], False, "", False
    for line in lines:
        if line.lstrip().startswith("```"):
            if in_block and pending:
                raise SystemExit(f"run_readme_examples: code block ends inside a continued line: {pending}")
            in_block = not in_block
            python = in_block and line.strip() == "```python"
            continue
        if not in_block or python:
            continue
        if line.rstrip().endswith("\\"):
            pending += line.rstrip()[:-1].rstrip() + " "
            continue
        command = (pending + line.strip()).strip()
        pending = ""
        if command and not command.startswith("#"):
            commands.append(command)
    return commands


def python_blocks(lines):
    """The source of every ```python block of the section."""
    blocks, current = [], None
    for line in lines:
        stripped = line.strip()
        if current is None and stripped == "```python":
            current = []
        elif current is not None and stripped.startswith("```"):
            blocks.append("\n".join(current) + "\n")
            current = None
        elif current is not None:
            current.append(line)
    return blocks


def python_paths(blocks):
    """Relative paths that the Python blocks name in quotes, as commands would on their line."""
    return ["  ".join(re.findall(r"[\"']([\w.-]+/[^\"']*)[\"']", block)) for block in blocks]


def run_python_blocks(blocks, arguments, folder, environment):
    """(passed, failed) of the Python blocks, each run whole as a script."""
    passed = failed = 0
    environment = dict(environment)
    environment["PYTHONPATH"] = os.path.abspath(arguments.python_path)
    for number, block in enumerate(blocks, 1):
        started = time.monotonic()
        result = subprocess.run([arguments.python, "-c", block], cwd=folder, env=environment,
                                stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=arguments.timeout)
        seconds = time.monotonic() - started
        first = block.strip().splitlines()[0] if block.strip() else ""
        if result.returncode == 0:
            passed += 1
            print(f"ok   {seconds:7.2f} s  python block {number} ({first} ...)")
        else:
            failed += 1
            print(f"FAIL {seconds:7.2f} s  python block {number} ({first} ...)\n     exit status: {result.returncode}")
            print("     standard error:\n" + tail(result.stderr))
    return passed, failed


def command_summaries(lines):
    """(command, [options]) for each list item `` - `COMMAND ...` `` of the section."""
    summaries = []
    for line in lines:
        match = re.match(r"^\s*-\s+`([a-z][\w-]*)\s([^`]*)`", line)
        if match:
            options = re.findall(r"(?<![\w-])(--?[A-Za-z][\w-]*)", match.group(2))
            summaries.append((match.group(1), sorted(set(options))))
    return summaries


def skip_reason(command):
    position = command.find(MARKER)
    if position < 0:
        return None
    return command[position + len(MARKER):].lstrip(" :") or "marked in the README"


def copy_referenced_paths(commands, repository, folder):
    """Copies the repository's top-level entries that the commands name by relative path."""
    copied = set()
    for command in commands:
        try:
            words = shlex.split(command, comments=True)
        except ValueError:
            words = command.split()
        for word in words:
            word = word.split("=", 1)[-1] if word.startswith("--") else word
            if "/" not in word or word.startswith("/"):
                continue
            top = word.split("/", 1)[0]
            source = os.path.join(repository, top)
            if top in copied or top in NOT_COPIED or not top or not os.path.exists(source):
                continue
            if os.path.isdir(source):
                shutil.copytree(source, os.path.join(folder, top), symlinks=True)
            else:
                shutil.copy2(source, os.path.join(folder, top))
            copied.add(top)
    return sorted(copied)


def missing_options(program, required, environment):
    """The 'COMMAND --OPTION' (or 'COMMAND') of `required` that the program's help does not show."""
    missing = []
    for item in required:
        command, _, option = item.partition(" ")
        words = [program, command, "--help"] if option else [program, "--help"]
        shown = subprocess.run(words, env=environment, stdin=subprocess.DEVNULL, capture_output=True,
                               text=True, timeout=60).stdout
        wanted = option or command
        if not re.search(r"(?<![\w-])" + re.escape(wanted) + r"(?![\w-])", shown):
            missing.append(item)
    return missing


def tail(text, count=40):
    return "\n".join(text.rstrip().splitlines()[-count:])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--readme", required=True)
    parser.add_argument("--section", required=True, help="heading text without the ##")
    parser.add_argument("--program", required=True, help="the built `nocturnia`")
    parser.add_argument("--timeout", type=float, default=300, help="seconds per command")
    parser.add_argument("--requires-option", action="append", default=[], metavar="'COMMAND --OPTION'",
                        help="skip (exit 77) unless `nocturnia COMMAND --help` shows the option "
                             "(or `nocturnia --help` the command, for 'COMMAND' alone)")
    parser.add_argument("--python", help="the interpreter for the section's ```python blocks")
    parser.add_argument("--python-path", default="", help="put on PYTHONPATH for the Python blocks")
    arguments = parser.parse_args()

    program = os.path.abspath(arguments.program)
    if os.path.basename(program) != "nocturnia":
        raise SystemExit(f"run_readme_examples: the program must be named nocturnia: {program}")
    with open(arguments.readme, encoding="utf-8") as readme:
        lines = section_lines(readme.read(), arguments.section)
    commands = code_block_commands(lines)
    blocks = python_blocks(lines)
    if blocks and not arguments.python:
        raise SystemExit(f"run_readme_examples: the section '{arguments.section}' has Python blocks: give --python")
    if not commands and not blocks:
        raise SystemExit(f"run_readme_examples: no command in the section '{arguments.section}'")

    environment = dict(os.environ)
    environment["PATH"] = os.path.dirname(program) + os.pathsep + environment.get("PATH", "")
    environment.pop("NOCTURNIA_PLUGINS", None)
    missing = missing_options(program, arguments.requires_option, environment)
    if missing:
        print(f"SKIPPED: the program has no {', '.join(missing)} yet, which this section uses")
        return 77
    passed = failed = skipped = 0

    with tempfile.TemporaryDirectory(prefix="nocturnia-readme-") as folder:
        repository = os.path.dirname(os.path.abspath(arguments.readme))
        runnable = [c for c in commands if skip_reason(c) is None]
        copied = copy_referenced_paths(runnable + python_paths(blocks), repository, folder)
        if copied:
            print(f"copied from the repository: {', '.join(copied)}")
        for command in commands:
            reason = skip_reason(command)
            if reason is not None:
                skipped += 1
                print(f"skip            {command}\n                ({reason})")
                continue
            started = time.monotonic()
            try:
                result = subprocess.run(["bash", "-o", "pipefail", "-c", command], cwd=folder,
                                        env=environment, stdin=subprocess.DEVNULL,
                                        capture_output=True, text=True, timeout=arguments.timeout)
                status, stderr = result.returncode, result.stderr
            except subprocess.TimeoutExpired as expired:
                status = f"timeout after {arguments.timeout:g} s"
                stderr = expired.stderr.decode(errors="replace") if expired.stderr else ""
            seconds = time.monotonic() - started
            if status == 0:
                passed += 1
                print(f"ok   {seconds:7.2f} s  {command}")
            else:
                failed += 1
                print(f"FAIL {seconds:7.2f} s  {command}\n     exit status: {status}")
                if stderr.strip():
                    print("     standard error:\n" + tail(stderr))

        python_passed, python_failed = run_python_blocks(blocks, arguments, folder, environment)
        passed, failed = passed + python_passed, failed + python_failed

        for name, options in command_summaries(lines):
            help_run = subprocess.run([program, name, "--help"], cwd=folder, env=environment,
                                      stdin=subprocess.DEVNULL, capture_output=True, text=True,
                                      timeout=arguments.timeout)
            unknown = [o for o in options
                       if not re.search(r"(?<![\w-])" + re.escape(o) + r"(?![\w-])", help_run.stdout)]
            if help_run.returncode != 0 or unknown:
                failed += 1
                print(f"FAIL            summary of `{name}`: "
                      + (f"`nocturnia {name} --help` exited {help_run.returncode}" if help_run.returncode
                         else f"options not in `nocturnia {name} --help`: {' '.join(unknown)}"))
            else:
                passed += 1
                print(f"ok              summary of `{name}`: {' '.join(options) or '(no options)'}")

    print(f"README examples: {passed} passed, {failed} failed, {skipped} skipped")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
