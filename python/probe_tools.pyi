"""Type hints of probe_tools: probe files and wave sets of the probe tool set."""
import os
from types import TracebackType
from typing import Any, Optional, Sequence, Tuple, Type, Union

import numpy as np
import numpy.typing as npt

Probe = dict[str, Any]
PathLike = Union[str, "os.PathLike[str]"]
Point = Union[Tuple[float, float, float], Sequence[float], npt.ArrayLike]

# ---- probe files ----

def read(path: PathLike) -> list[Probe]:
    """Every record of a probe file that loads, as dicts in the probe JSON form
    (docs/probe_json.md); records that do not load are left out with a RuntimeWarning."""

def append(path: PathLike, probes: Sequence[Probe]) -> None:
    """Check every probe, then append them all to a probe file through the probe store. Any
    fault raises ValueError naming each faulty probe (from 1) and key, and nothing is written."""

def check(path: PathLike) -> list[int]:
    """The numbers (from 1) of the records of a probe file that do not load."""

# ---- wave sets ----

RAY_DTYPE: np.dtype
"""The ray record (108 bytes): direction, origin, edge1, edge2 (3 doubles each), length, flags."""
WAVE_DTYPE: np.dtype
"""The wave record (144 bytes): step_length, cos_incidence, cos_refraction, time1, time2,
attenuation_factor, phase, amplitude, energy, carried1, carried2, path_length, angular_width."""
RAY_REACHED: int
RAY_PHASE_ONLY: int
RAY_REMOVE: int
SET_FROM_SOURCE: int

class Medium:
    """A medium: speed of sound, density and attenuation coefficient."""
    speed: float
    density: float
    attenuation: float
    def __init__(self, speed: float = 0.0, density: float = 0.0,
                 attenuation: float = 0.0) -> None: ...
    @property
    def impedance(self) -> float:
        """Acoustic impedance: density times speed."""
    def __eq__(self, other: object) -> bool: ...

class WaveSet:
    """A wave set made by wavelib; rays and waves are numpy views of its own records."""
    def __init__(self, count: int = 0) -> None: ...
    @staticmethod
    def from_arrays(rays: np.ndarray, waves: Optional[np.ndarray] = None) -> "WaveSet": ...
    @staticmethod
    def plane(point: Point, normal: Point, first: Medium, second: Medium,
              reference_length: float, phase_only: bool = False) -> "WaveSet": ...
    @property
    def count(self) -> int: ...
    def __len__(self) -> int: ...
    @property
    def rays(self) -> np.ndarray: ...
    @property
    def waves(self) -> np.ndarray: ...
    medium: Medium
    second_medium: Medium
    source: Tuple[float, float, float]
    reference_length: float
    second_length: float
    flags: int
    @property
    def released(self) -> bool: ...
    def resize(self, count: int) -> None: ...
    def propagate(self, step: float) -> None: ...
    def scale(self, factor: float) -> None: ...
    def point_source(self, energy: float = 1.0, template: Optional[np.ndarray] = None,
                     impedance: Optional[Tuple[float, float]] = None) -> None: ...
    def replicate(self, pattern: "WaveSet") -> "WaveSet": ...
    def remove_weak(self, threshold: float) -> None: ...
    def remove_marked(self) -> None: ...
    def split(self, interface: "WaveSet", plane: int = 0, threshold: float = 0.0,
              reflected: Optional["WaveSet"] = None,
              transmitted: Optional["WaveSet"] = None) -> Tuple["WaveSet", "WaveSet"]: ...
    def release(self) -> None: ...
    def __enter__(self) -> "WaveSet": ...
    def __exit__(self, kind: Optional[Type[BaseException]], value: Optional[BaseException],
                 traceback: Optional[TracebackType]) -> bool: ...
