"""sample() and render() against the program, bit for bit, on every example."""

import numpy
import pytest

from conftest import example_documents, exr_rgb, run_program

DOCUMENTS = example_documents()


def points_grid(count=97):
    rng = numpy.random.default_rng(20261209)
    points = rng.random((count, 2))
    points[:4] = [[0.0, 0.0], [1.0, 1.0], [0.5, 0.5], [0.999999, 1e-9]]
    return points


@pytest.mark.parametrize("document", DOCUMENTS, ids=lambda p: p.rsplit("/", 1)[-1])
def test_sample_is_what_the_program_prints(nocturnia, document, tmp_path):
    points = points_grid()
    listing = tmp_path / "points.txt"
    listing.write_text("".join(f"{u!r} {v!r}\n" for u, v in points))
    _, printed, _ = run_program("sample", document, "--points", str(listing))
    expected = numpy.array([[float(x) for x in line.split()] for line in printed.splitlines()])
    doc = nocturnia.Document.open(document)
    colors = doc.sample(points)
    assert colors.dtype == numpy.float64 and colors.shape == (len(points), 3)
    assert colors.tobytes() == expected.tobytes()
    # (N, 3) with w = 0, a list, and one Output per sample: the same bits.
    widened = numpy.column_stack([points, numpy.zeros(len(points))])
    assert doc.sample(widened.tolist(), sampler="output").tobytes() == expected.tobytes()


@pytest.mark.parametrize("document", DOCUMENTS, ids=lambda p: p.rsplit("/", 1)[-1])
def test_render_holds_the_exr_float_render(nocturnia, document, tmp_path):
    output = tmp_path / "frame.exr"
    run_program("render", document, "-o", str(output), "--width", "40", "--height", "24", "--samples", "2",
                "--compression", "none", "--quiet")
    pixels = nocturnia.Document.open(document).render(width=40, height=24, samples=2, threads=2)
    assert pixels.dtype == numpy.float32 and pixels.shape == (24, 40, 3)
    assert pixels.tobytes() == exr_rgb(output).tobytes()


def test_tiles_regions_frames_and_float64(nocturnia, tmp_path):
    document = [d for d in DOCUMENTS if d.endswith("rising-star.json")][0]  # animated
    doc = nocturnia.Document.open(document)
    cases = [(["--tile", "1/4"], {"tile": (1, 4)}), (["--region", "3,2,17,9"], {"region": "3,2,17,9"}),
             (["--frame", "12"], {"frame": 12})]
    for index, (options, keywords) in enumerate(cases):
        output = tmp_path / f"part{index}.exr"
        run_program("render", document, "-o", str(output), "--width", "36", "--height", "20", "--samples", "1",
                    "--compression", "none", "--quiet", *options)
        pixels = doc.render(width=36, height=20, samples=1, **keywords)
        assert pixels.tobytes() == exr_rgb(output).tobytes(), options
    wide = doc.render(width=36, height=20, samples=1, frame=12, dtype="float64")
    assert wide.dtype == numpy.float64 and (wide == pixels.astype(numpy.float64)).all()
    # Rendering at a frame leaves the document's stored values alone.
    assert doc.to_json() == nocturnia.Document.open(document).to_json()


def test_render_to_file_writes_what_render_writes(nocturnia, tmp_path):
    from conftest import exr_pixels
    document = [d for d in DOCUMENTS if d.endswith("crossing-star.json")][0]
    run_program("render", document, "--frames", "1-48x23", "-o", str(tmp_path / "cli.####.exr"), "--width", "32",
                "--height", "18", "--samples", "2", "--half", "--quiet")
    doc = nocturnia.Document.open(document)
    seen = []
    report = doc.render_to_file(str(tmp_path / "py.####.exr"), frames="1-48x23", width=32, height=18, samples=2,
                                half=True, progress=lambda done, total: seen.append((done, total)))
    assert report["status"] == "complete" and [f["frame"] for f in report["frames"]] == [1, 24, 47]
    for frame in (1, 24, 47):
        assert exr_pixels.same_pixels(tmp_path / f"cli.{frame:04d}.exr", tmp_path / f"py.{frame:04d}.exr") == ""
    assert seen[-1][0] == seen[-1][1] and seen == sorted(seen)
    again = doc.render_to_file(str(tmp_path / "py.####.exr"), frames=[1, 24], width=32, height=18, samples=2,
                               half=True, skip_existing=True)
    assert [f["status"] for f in again["frames"]] == ["skipped", "skipped"]


def png_chunks(path):
    """A PNG's chunks but its text: the codes and the colour chunks."""
    data, chunks, at = path.read_bytes(), [], 8
    while at < len(data):
        length, kind = int.from_bytes(data[at:at + 4], "big"), data[at + 4:at + 8]
        if kind != b"tEXt":
            chunks.append((kind, data[at + 8:at + 8 + length]))
        at += 12 + length
    return chunks


def colour_tags(path):
    from conftest import exr_pixels
    with open(path, "rb") as file:
        attributes, _ = exr_pixels._read_header(file.read())
    return {name: value for name, value in attributes.items() if "olor" in name or name == "chromaticities"}


def test_render_to_file_takes_the_colour_options(nocturnia, tmp_path):
    from conftest import exr_pixels
    document = [d for d in DOCUMENTS if d.endswith("milky-band.json")][0]
    size = ["--width", "24", "--height", "16", "--samples", "1", "--quiet"]
    run_program("render", document, "-o", str(tmp_path / "cli.exr"), "--colorspace", "ACEScg", *size)
    doc = nocturnia.Document.open(document)
    doc.render_to_file(str(tmp_path / "py.exr"), width=24, height=16, samples=1, colorspace="acescg")
    assert exr_pixels.same_pixels(tmp_path / "cli.exr", tmp_path / "py.exr") == ""
    tags = colour_tags(tmp_path / "py.exr")
    assert tags == colour_tags(tmp_path / "cli.exr") and b"ACEScg" in tags["nocturnia/colorSpace"][1]
    assert exr_rgb(tmp_path / "py.exr").tobytes() != doc.render(width=24, height=16, samples=1).tobytes()
    # A plain PNG is encoded for the config's default display, as the program's is.
    run_program("render", document, "-o", str(tmp_path / "cli.png"), *size)
    doc.render_to_file(str(tmp_path / "py.png"), width=24, height=16, samples=1)
    assert png_chunks(tmp_path / "py.png") == png_chunks(tmp_path / "cli.png")
    # Unknown names and configs: the program's error kinds and messages.
    missing = str(tmp_path / "nowhere.ocio")
    cases = [({"colorspace": "ACEScc"}, [], ["--colorspace", "ACEScc"], "x.exr", nocturnia.UsageError),
             ({"display": "Nowhere"}, [], ["--display", "Nowhere"], "x.png", nocturnia.UsageError),
             ({"view": "Nowhere"}, [], ["--view", "Nowhere"], "x.png", nocturnia.UsageError),
             ({"working_space": "Nowhere"}, ["--working-space", "Nowhere"], [], "x.exr", nocturnia.UsageError),
             ({"ocio": missing}, ["--ocio", missing], [], "x.exr", nocturnia.InputError),
             ({"display": "sRGB"}, [], ["--display", "sRGB"], "x.exr", nocturnia.UsageError)]
    for keywords, before, after, name, error_class in cases:
        with pytest.raises(error_class) as raised:
            doc.render_to_file(str(tmp_path / name), width=4, height=4, **keywords)
        code, _, stderr = run_program(*before, "render", document, "-o", str(tmp_path / name), *after, check=False)
        assert code == raised.value.exit_status and stderr.strip().endswith(str(raised.value)), (keywords, stderr)
    assert not (tmp_path / "x.exr").exists() and not (tmp_path / "x.png").exists()
