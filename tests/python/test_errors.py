"""Errors carry the program's kinds and messages, and the program exits with the kind's status."""

import pytest

from conftest import run_program


def test_each_kind_of_error_matches_the_program(nocturnia, tmp_path):
    sky = tmp_path / "sky.json"
    run_program("new", "-o", str(sky))
    doc = nocturnia.Document.open(str(sky))
    broken = tmp_path / "broken.json"
    broken.write_text("{ not json")

    def set_label(label, value):
        doc[label] = value

    cases = [
        # (Python, its exception, Python base class, the program's arguments, the program's status)
        (lambda: set_label("Gamma Ray", 1), nocturnia.UnknownLabelError, KeyError,
         ["edit", str(sky), "--set", "Gamma Ray=1"], 2),
        (lambda: set_label("Gamma", "bright"), nocturnia.UsageError, ValueError,
         ["edit", str(sky), "--set", "Gamma=bright"], 2),
        (lambda: doc.press("Gamma"), nocturnia.UsageError, ValueError, ["edit", str(sky), "--press", "Gamma"], 2),
        (lambda: nocturnia.Document.open(str(broken)), nocturnia.InputError, OSError, ["describe", str(broken)], 3),
        (lambda: nocturnia.Document.open(str(tmp_path / "missing.json")), nocturnia.InputError, OSError,
         ["describe", str(tmp_path / "missing.json")], 3),
        (lambda: doc.save(str(tmp_path / "no" / "such" / "folder" / "x.json")), nocturnia.OutputError, OSError,
         ["edit", str(sky), "-o", str(tmp_path / "no" / "such" / "folder" / "x.json")], 4),
    ]
    for action, error_class, base, arguments, status in cases:
        with pytest.raises(error_class) as raised:
            action()
        assert isinstance(raised.value, base) and isinstance(raised.value, nocturnia.Error)
        assert raised.value.exit_status == status
        code, _, stderr = run_program(*arguments, check=False)
        assert code == status, arguments
        assert stderr.strip().endswith(str(raised.value)), (stderr, str(raised.value))
    kinds = {nocturnia.UsageError: "usage", nocturnia.InputError: "input", nocturnia.OutputError: "output",
             nocturnia.WorkError: "work", nocturnia.InternalError: "internal"}
    assert {c: c.kind for c in kinds} == kinds and nocturnia.InternalError.exit_status == 70


def test_bad_arguments_are_usage_errors(nocturnia):
    doc = nocturnia.Document.new()
    for action in (lambda: doc.sample([[0.5]]), lambda: doc.sample([[0.5, 0.5]], sampler="fast"),
                   lambda: doc.render(width=0, height=4), lambda: doc.render(width=8, height=4, dtype="int8"),
                   lambda: doc.render(width=8, height=4, tile=(5, 4)), lambda: doc.set_key("Gamma", "one", 1),
                   lambda: doc.__setitem__("Gamma", object())):
        with pytest.raises(nocturnia.UsageError):
            action()
