#!/usr/bin/env python3
"""Runs the Windows build of the program and plug-in under Wine next to the
native Linux build and compares what they do.

    wine_compare.py start-wine  --config FILE
    wine_compare.py program     --config FILE
    wine_compare.py sample DOC  --config FILE [--expect-sunspots]
    wine_compare.py stop-wine   --config FILE

The config file (JSON, written by CMake) names the two programs and their
plug-in folders and the file that holds the Wine prefix of this test run.

Sampled colours must agree exactly, or to 1e-12 relative to max(1, |value|)
where the platforms' mathematics libraries may round differently: the shader
calls sin and cos (rotations, flares), pow (gamma, saturation, gradient bias),
log (gradient bias) on the C runtime of its platform (glibc on Linux, msvcrt
and MinGW-w64's libm on Windows). Square root and floor are exact everywhere.
Sunspot offsets are drawn in the same order on Windows and Linux, so the
sunspot pattern must match as well.
"""
import argparse
import json
import math
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import texture_points  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)
    print("ok:   " + message)


# ---- running the two programs ------------------------------------------------

class Programs:
    def __init__(self, config_path):
        with open(config_path) as f:
            self.config = json.load(f)
        self.prefix_file = self.config["wine_prefix_file"]

    def wine_environment(self, prefix):
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        env.update({
            "WINEPREFIX": prefix,
            "WINEDEBUG": "-all",
            "WINEARCH": "win64",
            # no Mono or Gecko installer on prefix creation
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
        })
        return env

    def prefix(self):
        try:
            with open(self.prefix_file) as f:
                return f.read().strip()
        except FileNotFoundError:
            raise Failure("no Wine prefix: the start-wine step did not run")

    def windows(self, *args, stdin=None, cwd=None, prefix=None, timeout=600, extra_env=None):
        command = ["wine", self.config["windows_program"], "--plugins", self.config["windows_plugins"], *args]
        env = self.wine_environment(prefix or self.prefix())
        env.update(extra_env or {})
        return self._run(command, env, stdin, cwd, timeout)

    def native(self, *args, stdin=None, cwd=None, timeout=600):
        command = [self.config["native_program"], "--plugins", self.config["native_plugins"], *args]
        env = dict(os.environ)
        env.pop("NOCTURNIA_PLUGINS", None)
        return self._run(command, env, stdin, cwd, timeout)

    @staticmethod
    def _run(command, env, stdin, cwd, timeout):
        result = subprocess.run(command, env=env, input=stdin, capture_output=True, text=True, cwd=cwd,
                                timeout=timeout)
        # Wine's own start-up remarks are not the program's output.
        result.stderr_lines = [line for line in result.stderr.splitlines() if not line.startswith("wine: ")]
        return result


def show(label, result):
    print(f"--- {label}: exit {result.returncode}")
    for line in result.stderr_lines[:5]:
        print(f"    stderr: {line}")


# ---- Wine prefix of one test run ----------------------------------------------

def start_wine(programs):
    prefix = tempfile.mkdtemp(prefix="nocturnia-wine-")
    started = time.monotonic()
    first = programs.windows("--help", prefix=prefix)
    first_seconds = time.monotonic() - started
    started = time.monotonic()
    second = programs.windows("--help", prefix=prefix)
    second_seconds = time.monotonic() - started
    print(f"Wine prefix {prefix}: first start (creates the prefix) {first_seconds:.1f} s, "
          f"second start {second_seconds:.1f} s")
    show("first nocturnia.exe --help", first)
    check(first.returncode == 0 and "Usage: nocturnia" in first.stdout, "nocturnia.exe --help runs under Wine")
    check(second.returncode == 0 and second.stdout == first.stdout, "a second start answers the same")
    with open(programs.prefix_file, "w") as f:
        f.write(prefix)


def stop_wine(programs):
    prefix = programs.prefix()
    server = shutil.which("wineserver") or "/usr/lib/wine/wineserver"
    subprocess.run([server, "-k"], env=programs.wine_environment(prefix), capture_output=True)
    shutil.rmtree(prefix, ignore_errors=True)
    os.remove(programs.prefix_file)
    print(f"Wine prefix {prefix} stopped and removed")


# ---- comparing sampled colours ---------------------------------------------------

def parse_colours(text, count, who):
    lines = text.splitlines()
    check(len(lines) == count, f"{who}: one line per texture point ({len(lines)} of {count})")
    colours = []
    for line in lines:
        fields = line.split()
        if len(fields) != 3:
            raise Failure(f"{who}: not three numbers: {line!r}")
        colours.append(fields)
    return colours


def compare_colours(native, windows, points):
    """Counts identical channels; fails on any difference, however small."""
    exact = 0
    largest = 0.0
    problems = []
    for index, (a_line, b_line) in enumerate(zip(native, windows)):
        for a_text, b_text in zip(a_line, b_line):
            if a_text == b_text:
                exact += 1
                continue
            try:
                a, b = float(a_text), float(b_text)
            except ValueError:
                problems.append(f"point {points[index]}: {a_text} vs {b_text} (not a number)")
                continue
            if math.isnan(a) and math.isnan(b):
                problems.append(f"point {points[index]}: NaN written as {a_text} and {b_text}")
            elif a == b:
                problems.append(f"point {points[index]}: same value written as {a_text} and {b_text}")
            else:
                # The two builds must agree bit for bit: any difference fails,
                # its size is only reported.
                largest = max(largest, abs(a - b))
                problems.append(f"point {points[index]}: {a_text} (Linux) vs {b_text} (Windows)")
    total = 3 * len(native)
    print(f"{total} channels: {exact} identical (largest difference {largest:.3g})")
    for problem in problems[:10]:
        print("    " + problem)
    check(not problems, f"Windows and Linux agree at every point ({len(problems)} differences)")


KERNEL_VARIANTS = ("scalar", "sse2", "sse41", "avx2", "avx512")


def sample_every_variant(programs, document, points, text, expected):
    """The Windows program forced to each sampling kernel this CPU runs, with
    both samplers, against the Linux program's own choice: MinGW builds the
    wide kernels with a stack it does not align for their vectors, so each is
    proved under Wine, not only the one the CPU picks."""
    ran, skipped = [], []
    for variant in KERNEL_VARIANTS:
        for sampler in ("batch", "output"):
            windows = programs.windows("sample", document, "--points", "-", "--sampler", sampler, stdin=text,
                                       extra_env={"NOCTURNIA_SIMD": variant})
            if any("cannot run it" in line for line in windows.stderr_lines):
                skipped.append(variant)
                break
            check(windows.returncode == 0, f"Windows, {variant} {sampler}: sample succeeds")
            compare_colours(expected, parse_colours(windows.stdout, len(points), f"Windows {variant} {sampler}"),
                            points)
            ran.append(f"{variant}/{sampler}")
    print(f"kernel variants under Wine: ran {', '.join(ran)}; this CPU cannot run {', '.join(skipped) or 'none'}")
    check(len(ran) >= 6, "at least scalar, SSE2 and SSE4.1 ran with both samplers")


def sample(programs, document, expect_sunspots, every_variant=False):
    with open(document) as f:
        doc = json.load(f)
    points = texture_points.texture_points(doc)
    text = texture_points.points_text(points)
    native = programs.native("sample", document, "--points", "-", stdin=text)
    show("Linux sample", native)
    check(native.returncode == 0, "Linux: sample succeeds")
    windows = programs.windows("sample", document, "--points", "-", stdin=text)
    show("Windows sample", windows)
    check(windows.returncode == 0, "Windows: sample succeeds")
    check(windows.stderr_lines == native.stderr_lines, "same console lines on both platforms")
    a = parse_colours(native.stdout, len(points), "Linux")
    b = parse_colours(windows.stdout, len(points), "Windows")
    distinct = len({tuple(c) for c in a})
    check(distinct >= 5, f"the document shows something: {distinct} distinct colours")
    compare_colours(a, b, points)
    if every_variant:
        sample_every_variant(programs, document, points, text, a)
    if expect_sunspots:
        offset = texture_points.GRID ** 2 + 8
        for star in texture_points.single_stars(doc):
            core = texture_points.core_points(star)
            colours = {tuple(c) for c in a[offset:offset + len(core)]}
            check(len(colours) >= 3, f"sunspots vary the core of the star at {star[:2]} ({len(colours)} colours)")
            offset += len(core) + 3 * len(texture_points.RAY_RADII)


# ---- the program's commands ------------------------------------------------------

def edit_arguments():
    arguments = []
    with open(os.path.join(HERE, "data", "every-feature-edits.txt")) as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("press "):
                arguments += ["--press", line[len("press "):]]
            elif line.startswith("set "):
                arguments += ["--set", line[len("set "):]]
    return arguments


def load(path):
    with open(path) as f:
        return json.load(f)


def program(programs):
    windows_help = programs.windows("render", "--help")
    check(windows_help.returncode == 0 and "without image libraries" in windows_help.stdout,
          "Windows: render --help says the build cannot write images")

    work = tempfile.mkdtemp(prefix="nocturnia-cross-")
    try:
        docs = {}
        for who, run in (("linux", programs.native), ("windows", programs.windows)):
            path = os.path.join(work, f"{who}.json")
            created = run("new", "-o", path)
            check(created.returncode == 0 and os.path.exists(path), f"{who}: new writes a document")
            edited = run("edit", path, *edit_arguments())
            show(f"{who} edit", edited)
            check(edited.returncode == 0, f"{who}: edit applies every operation")
            docs[who] = path
        check(load(docs["linux"]) == load(docs["windows"]),
              "new + edit give the same document on both platforms")

        every_feature = os.path.join(HERE, "data", "every-feature.json")
        native = programs.native("describe", every_feature, "--json")
        windows = programs.windows("describe", every_feature, "--json")
        check(native.returncode == 0 and windows.returncode == 0, "describe --json succeeds on both")
        check(json.loads(native.stdout) == json.loads(windows.stdout), "describe --json agrees")
        native = programs.native("describe", every_feature)
        windows = programs.windows("describe", every_feature)
        check(native.stdout.splitlines() == windows.stdout.splitlines(), "describe (text) agrees")

        native = programs.native("edit", docs["linux"], "--press", "About", "-o", os.path.join(work, "a.json"))
        windows = programs.windows("edit", docs["windows"], "--press", "About", "-o", os.path.join(work, "b.json"))
        check(native.returncode == 0 and windows.returncode == 0 and native.stdout.strip() != "",
              "About prints its text")
        check(native.stdout.splitlines() == windows.stdout.splitlines(), "the About text agrees")

        before = open(docs["windows"], "rb").read()
        windows = programs.windows("edit", docs["windows"], "--set", "No Such Parameter=1")
        native = programs.native("edit", docs["linux"], "--set", "No Such Parameter=1")
        check(windows.returncode != 0 and len(windows.stderr_lines) == 1,
              "Windows: an unknown label fails with one line on standard error")
        check(windows.returncode == native.returncode, "the same exit status as on Linux")
        check(open(docs["windows"], "rb").read() == before, "Windows: the failed edit leaves the document as it was")
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("step", choices=["start-wine", "stop-wine", "program", "sample"])
    parser.add_argument("document", nargs="?")
    parser.add_argument("--config", required=True)
    parser.add_argument("--expect-sunspots", action="store_true")
    parser.add_argument("--every-variant", action="store_true",
                        help="also sample with each sampling kernel forced, both samplers")
    options = parser.parse_args()
    programs = Programs(options.config)
    try:
        if options.step == "start-wine":
            start_wine(programs)
        elif options.step == "stop-wine":
            stop_wine(programs)
        elif options.step == "program":
            program(programs)
        else:
            if not options.document:
                parser.error("sample needs a document")
            sample(programs, options.document, options.expect_sunspots, options.every_variant)
    except Failure as failure:
        print("FAIL: " + str(failure))
        sys.exit(1)


if __name__ == "__main__":
    main()
