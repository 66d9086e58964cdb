"""Documents edited through Python are the documents `edit` makes, and read as `describe --json` reads them."""

import json
import warnings

import pytest

from conftest import EXAMPLES, run_program

GRADIENT = [{"color": [1, 1, 1], "position": 0.3}, {"color": [0, 0, 0], "position": 0.9}]


def test_python_edits_save_what_edit_saves(nocturnia, tmp_path):
    by_program, by_python = tmp_path / "program.json", tmp_path / "python.json"
    run_program("new", "-o", str(by_program))
    run_program("edit", str(by_program), "--press", "Add Layer", "--set", "Star Layer 1/Mode=Single Star",
                "--set", "Star Layer 1/Star Size=1.2", "--set", "Gamma=1.25", "--set", "Star Color=1,0.5,0.25",
                "--add-mask", "gradient", "--name", "Horizon", "--set", "Horizon/Axis=v",
                "--set", "Horizon/Gradient=" + json.dumps({"knots": GRADIENT}), "--set", "Mask=Horizon",
                "--key", "Gamma@1=1.2:smooth", "--key", "Gamma@24=2", "--key", "Density@5=3", "--unkey",
                "Density@5", "--render", "width=320", "--render", "fps=25")
    doc = nocturnia.Document.new()
    doc.press("Add Layer")
    doc["Star Layer 1/Mode"] = "Single Star"
    doc["Star Layer 1/Star Size"] = 1.2
    doc["Gamma"] = 1.25
    doc["Star Color"] = (1, 0.5, 0.25)
    doc.add_mask("gradient", name="Horizon")
    doc["Horizon/Axis"] = "v"
    doc["Horizon/Gradient"] = GRADIENT
    doc["Mask"] = "Horizon"
    doc.set_key("Gamma", 1, 1.2, interpolation="smooth")
    doc.set_key("Gamma", 24, 2)
    doc.set_key("Density", 5, 3)
    doc.remove_key("Density", 5)
    doc.set_render_setting("width", 320)
    doc.set_render_setting("fps", 25)
    doc.save(str(by_python))
    assert by_python.read_bytes() == by_program.read_bytes()
    # The values read back as a user assigns them.
    assert doc["Gamma"] == 1.25 and doc["Star Layer 1/Mode"] == "Single Star"
    colour = [r for r in doc.parameters() if r.label == "Star Color" and r.type_name == "colour"][0]
    assert colour.qualified_label == str(colour.id)  # a gradient of the same group shares the name
    assert doc[colour.qualified_label] == (1.0, 0.5, 0.25) and doc["Mask"] == "Horizon"
    # A mask's parameters read back by the labels that set them.
    assert doc["Horizon/Axis"] == "v" and doc["horizon/axis"] == "v"
    assert [(k["color"], k["position"]) for k in doc["Horizon/Gradient"]] == [([1, 1, 1], 0.3), ([0, 0, 0], 0.9)]
    doc.add_mask("color")
    assert doc["Mask 2/Color"] == (1.0, 1.0, 1.0)
    with pytest.raises(nocturnia.UsageError, match="has no parameter \"Color\""):
        doc["Horizon/Color"]
    # Setting a keyed parameter stores the value, as --set does, and warns.
    with pytest.warns(UserWarning, match="Gamma has a track"):
        doc["Gamma"] = 1.5
    assert doc["Gamma"] == 1.5


def test_parameters_are_what_describe_lists(nocturnia):
    document = f"{EXAMPLES}/rising-star.json"
    _, listing, _ = run_program("describe", document, "--json", "--frame", "12")
    described = json.loads(listing)
    records = nocturnia.Document.open(document).parameters(frame=12)
    assert [(r.id, r.label, r.type_name, r.hidden, r.enabled) for r in records] == \
        [(e["id"], e["name"], e["typeName"], e["hidden"], e["editable"]) for e in described]
    for record, entry in zip(records, described):
        assert (record.min, record.max, record.step, record.unit) == \
            (entry.get("min"), entry.get("max"), entry.get("step"), entry.get("unit")), record.label
        if entry["typeName"] == "real":
            assert record.value == entry["value"]["real"], record.label
    keyed = [r.qualified_label for r in records if r.keyed]
    assert keyed, "rising-star is animated"
    doc = nocturnia.Document.open(document)
    for record in records:
        if record.type_name in ("real", "bool", "cycle", "colour"):
            assert doc[record.qualified_label] is not None, record.qualified_label


def test_save_keeps_files_safe(nocturnia, tmp_path):
    target = tmp_path / "sky.json"
    doc = nocturnia.Document.new()
    with pytest.raises(nocturnia.UsageError):
        doc.save()  # never saved: no path
    doc.save(str(target))
    other = nocturnia.Document.new()
    with pytest.raises(nocturnia.OutputError, match="already exists"):
        other.save(str(target))
    other["Gamma"] = 2
    other.save(str(target), force=True)
    assert nocturnia.Document.open(str(target))["Gamma"] == 2
    reopened = nocturnia.Document.open(str(target))
    reopened["Gamma"] = 3
    reopened.save()  # in place
    assert nocturnia.Document.open(str(target))["Gamma"] == 3
