"""Type hints of probe_tools: probe files and wave sets of the probe tool set."""
import os
from typing import Any, Sequence, Union

Probe = dict[str, Any]
PathLike = Union[str, "os.PathLike[str]"]

def read(path: PathLike) -> list[Probe]:
    """Every record of a probe file that loads, as dicts in the probe JSON form."""

def append(path: PathLike, probes: Sequence[Probe]) -> None:
    """Check every probe, then append them all to a probe file through the probe store."""

def check(path: PathLike) -> list[int]:
    """The numbers (from 1) of the records of a probe file that do not load."""
