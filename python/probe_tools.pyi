"""Type hints of probe_tools: probe files and wave sets of the probe tool set."""
import os
from types import TracebackType
from typing import Any, Iterable, Iterator, Optional, Sequence, Tuple, Type, Union

import numpy as np
import numpy.typing as npt

Probe = dict[str, Any]
PathLike = Union[str, "os.PathLike[str]"]
Point = Union[Tuple[float, float, float], Sequence[float], npt.ArrayLike]

__version__: str

# ---- probe files ----

class ProbeError(Exception):
    """Base class of the errors of probe files."""

class NotAProbeFileError(ProbeError, ValueError):
    """The file is no probe file, or its header is damaged or of an unread version."""
    filename: str

class ProbeValueError(ProbeError, ValueError):
    """Probes given to append() were refused; nothing was written."""
    faults: list[Tuple[int, str, str]]
    """The faults shown: (probe number from 1, JSON pointer, message)."""
    count: int
    """Every fault found, shown or not."""

class ProbeWriteError(ProbeError, OSError):
    """The probe store did not write the probes; the file is as it was. With an errno it is also
    an instance of that errno's OSError subclass (PermissionError, FileNotFoundError, ...)."""

class ProbeLibraryError(ProbeError, RuntimeError):
    """The probe store library cannot be loaded or lacks what is needed."""

class ProbeIterator(Iterator[Probe]):
    """The probes of a file one at a time, as iter() gives them."""
    def __iter__(self) -> "ProbeIterator": ...
    def __next__(self) -> Probe: ...

def read(path: PathLike, numbers: Optional[Iterable[int]] = None) -> list[Optional[Probe]]:
    """The records of a probe file that load, as dicts in the probe JSON form
    (docs/probe_json.md); records that do not load are left out with a RuntimeWarning, and a
    damaged header is warned of. With `numbers` (from 1), those records in that order, None for
    one that does not load."""

def iter(path: PathLike) -> ProbeIterator:
    """The records of a probe file one at a time; memory does not grow with the file."""

def count(path: PathLike) -> int:
    """The number of records of a probe file, those that do not load included."""

def append(path: PathLike, probes: Sequence[Probe]) -> None:
    """Check every probe, then append them all to a probe file as one unit. Any fault raises
    ProbeValueError naming each faulty probe (from 1) and key, and nothing is written."""

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
    """Speed of sound, in the caller's length unit per time unit (e.g. mm/µs)."""
    density: float
    """Density, in the caller's unit (e.g. g/cm³); only ratios of impedances matter."""
    attenuation: float
    """Attenuation coefficient, per length unit of the caller's system."""
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
    def dropped(self) -> int:
        """For a set a split made: the elements that reached the interface but did not enter it
        (marked, past the grazing limit, or weaker than the threshold)."""
    @property
    def released(self) -> bool:
        """Whether the set was given back to wavelib (release() or the end of a with block)."""
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
