"""`cmake --install` lays out a program and a module that work where they land:
the installed module finds the installed plug-in and colour config by the path
from its own folder, so a prefix moved after installing works as well."""

import os
import subprocess
import sys

import numpy

from conftest import EXAMPLES, exr_pixels, exr_rgb

SCRIPT = """
import sys, numpy, nocturnia
doc = nocturnia.Document.open(sys.argv[1])
numpy.save(sys.argv[2], doc.render(width=24, height=16, samples=1, threads=2))
doc.render_to_file(sys.argv[3], width=24, height=16, samples=1, colorspace="ACEScg")
print(nocturnia.plugin_folder(), nocturnia.__file__)
"""


def test_installed_module_renders_what_the_installed_program_renders(tmp_path):
    installed, moved = tmp_path / "installed", tmp_path / "moved"
    subprocess.run([os.environ["NOCTURNIA_CMAKE"], "--install", os.environ["NOCTURNIA_BUILD"], "--prefix",
                    str(installed)], check=True, capture_output=True, timeout=300)
    installed.rename(moved)
    folder = moved / "bin"
    for item in ("nocturnia", "nocturnia.so", "nocturnia.ocio", "res/strings.json", "res/description"):
        assert (folder / item).exists(), item
    environment = {k: v for k, v in os.environ.items() if k not in ("NOCTURNIA_PLUGINS", "OCIO")}
    environment["PYTHONPATH"] = str(moved / "lib" / "python3" / "dist-packages")
    document = os.path.join(EXAMPLES, "milky-band.json")
    done = subprocess.run([sys.executable, "-c", SCRIPT, document, "py.npy", "py.exr"], cwd=tmp_path,
                          env=environment, capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    plugins, module = done.stdout.split()
    assert os.path.realpath(plugins) == os.path.realpath(folder) and module.startswith(str(moved))
    size = ["--width", "24", "--height", "16", "--samples", "1", "--quiet"]
    for output, options in (("cli.exr", ["--compression", "none"]), ("cli-acescg.exr", ["--colorspace", "ACEScg"])):
        subprocess.run([str(folder / "nocturnia"), "render", document, "-o", output, *size, *options],
                       cwd=tmp_path, env=environment, check=True, capture_output=True, timeout=300)
    assert numpy.load(tmp_path / "py.npy").tobytes() == exr_rgb(tmp_path / "cli.exr").tobytes()
    assert exr_pixels.same_pixels(tmp_path / "cli-acescg.exr", tmp_path / "py.exr") == ""
