"""What the module's tests share: the built program, the examples, and the
program run as a user runs it, to hold the module's results against."""

import os
import subprocess
import sys

import numpy
import pytest

PROGRAM = os.environ["NOCTURNIA_PROGRAM"]
EXAMPLES = os.environ["NOCTURNIA_EXAMPLES"]
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "farm"))

import exr_pixels  # noqa: E402  (the farm test's standard-library EXR reader)


def example_documents():
    return sorted(os.path.join(EXAMPLES, name) for name in os.listdir(EXAMPLES) if name.endswith(".json"))


def run_program(*arguments, check=True):
    """The program's run: (exit status, standard output, standard error)."""
    done = subprocess.run([PROGRAM, *arguments], capture_output=True, text=True, timeout=600,
                          stdin=subprocess.DEVNULL)
    if check and done.returncode != 0:
        raise AssertionError(f"nocturnia {' '.join(arguments)} exited {done.returncode}: {done.stderr}")
    return done.returncode, done.stdout, done.stderr


def exr_rgb(path):
    """An EXR float file's pixels as an (H, W, 3) float32 array (the file keeps B, G, R planes per line)."""
    image = exr_pixels.read_exr(path)
    x_min, y_min, x_max, y_max = image["data_window"]
    width, height = x_max - x_min + 1, y_max - y_min + 1
    names = [name for name, _ in image["channels"]]
    planes = numpy.frombuffer(image["pixels"], dtype="<f4").reshape(height, len(names), width)
    return numpy.stack([planes[:, names.index(c), :] for c in "RGB"], axis=-1)


@pytest.fixture(scope="session")
def nocturnia():
    import nocturnia as module
    return module
