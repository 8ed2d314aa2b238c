#!/usr/bin/python3
"""The JSON Schema that probetool prints against what export writes and import reads.

Every probe exported from the sample probe file satisfies the schema; the file the build wrote is
the schema probetool prints; and a value that import refuses, the schema refuses too.

Arguments: the probetool program, the sample probe file, the schema file the build wrote.
"""
import copy
import json
import pathlib
import subprocess
import sys
import tempfile

import jsonschema


def run(*args):
    return subprocess.run(args, check=False, capture_output=True)


def main():
    probetool, sample, built = sys.argv[1:4]
    printed = run(probetool, "schema")
    assert printed.returncode == 0, printed.stderr
    schema = json.loads(printed.stdout)
    assert json.loads(pathlib.Path(built).read_bytes()) == schema, "the build's file is stale"
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)

    exported = run(probetool, "export", sample)
    assert exported.returncode == 0, exported.stderr
    document = json.loads(exported.stdout)
    assert document["probes"], "the sample exported no probe"
    for number, probe in enumerate(document["probes"], 1):
        for error in validator.iter_errors({"header": document["header"], "probes": [probe]}):
            raise AssertionError(f"probe {number}: {error.json_path}: {error.message}")

    # Faults import names, one per document: the schema must refuse each as well.
    faults = {
        "unknown key": lambda p: p.update(colour="red"),
        "code beyond its bits": lambda p: p["focusing"]["lens_count"].update(code=4),
        "box code 2": lambda p: p["scanning"]["drive_control_circuit"].update(code=2),
        "text instead of code": lambda p: p["piezo_elements"]["frequency_class"].update(code="1"),
        "other bits not hexadecimal": lambda p: p["deflection"].update(other_bits="0xZZ"),
        "price with a fraction": lambda p: p["identification"].update(price=1.5),
        "price beyond 32 bits": lambda p: p["identification"].update(price=2**31),
        "lines not strings": lambda p: p.update(preprocessing=[1]),
        "quantity as a word": lambda p: p["parameters"].update(frequency_hz="fast"),
        "malformed date": lambda p: p["identification"]["date"].update(iso="15.03.2024"),
        "too many reserved bytes": lambda p: p["reserved"].update(bytes_0_7="00" * 9),
        "odd reserved digits": lambda p: p["reserved"].update(bytes_32_111="0"),
        "unknown key in a group": lambda p: p["model_objects"].update(colour="red"),
    }
    with tempfile.TemporaryDirectory() as folder:
        for name, change in faults.items():
            probe = copy.deepcopy(document["probes"][0])
            change(probe)
            broken = {"header": document["header"], "probes": [probe]}
            assert not validator.is_valid(broken), f"the schema takes: {name}"
            source = pathlib.Path(folder, "broken.json")
            source.write_text(json.dumps(broken, ensure_ascii=False), encoding="utf-8")
            imported = run(probetool, "import", str(source), str(pathlib.Path(folder, "out.dt")))
            assert imported.returncode == 1, f"import takes: {name}: {imported.stderr!r}"
        # A header of another version is refused by both.
        other = {"header": {"format": "probe-descriptions", "version": 2}, "probes": []}
        assert not validator.is_valid(other), "the schema takes version 2"
    print(f"{len(document['probes'])} probes valid, {len(faults)} faults refused")


if __name__ == "__main__":
    main()
