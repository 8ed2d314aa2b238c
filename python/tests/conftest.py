"""Shared paths for the probe_tools tests (set by CTest; defaults for a run from the tree)."""
import os
import pathlib

import pytest

SOURCE_DIR = pathlib.Path(os.environ.get("PROBE_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
BIN_DIR = pathlib.Path(os.environ.get("PROBE_BIN_DIR", SOURCE_DIR / "build" / "bin"))
SAMPLE_PROBES = SOURCE_DIR / "examples" / "probes.dt"


@pytest.fixture
def sample_bytes():
    return SAMPLE_PROBES.read_bytes()
