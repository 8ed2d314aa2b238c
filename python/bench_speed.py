"""Speed of probe_tools beside the C++ tools, measured in one run on one machine.

1. The interface split (OtrazitIPrelomit) of 10^6 incident elements called from Python, beside the
   C++ benchmark of the same split (wavelib2_interface_bench, BM_..._Loaded/1000000): incident
   elements per second of CPU time, the incident set restored outside the timing before every
   split, as the C++ benchmark does.
2. A probe file of 100,000 records read into dicts, beside `probetool export` of the same file
   (the program started as a user starts it), in wall time and in CPU time.

    PYTHONPATH=build/python python3 python/bench_speed.py [build/bin]
"""
import json
import math
import pathlib
import resource
import subprocess
import sys
import tempfile
import time

import numpy as np

import probe_tools as pt

BIN = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "build/bin").resolve()
SAMPLE = pathlib.Path(__file__).resolve().parents[1] / "examples" / "probes.dt"
N = 1_000_000
SPLITS = 12


def split_from_python():
    """The C++ benchmark's scene: rays from (0, 0, 10) down, 0 to 40 degrees from the vertical."""
    k = np.arange(N)
    angle, azimuth = np.radians(k % 41), (k // 41) * 1e-3
    rays = np.zeros(N, dtype=pt.RAY_DTYPE)
    rays["origin"][:, 2] = 10.0
    rays["direction"] = np.stack([np.sin(angle) * np.cos(azimuth), np.sin(angle) * np.sin(azimuth),
                                  -np.cos(angle)], axis=1)
    waves = np.zeros(N, dtype=pt.WAVE_DTYPE)
    waves["amplitude"], waves["energy"], waves["attenuation_factor"] = 1.0, 1.0 / N, 1.0
    water, steel = pt.Medium(1.48, 1.0), pt.Medium(5.9, 7.8)
    interface = pt.WaveSet.plane((0, 0, 0), (0, 0, 1), water, steel, reference_length=2.0)
    incident, reflected, transmitted = pt.WaveSet(N), pt.WaveSet(), pt.WaveSet()
    incident.medium = water

    def restore():
        incident.resize(N)
        incident.rays[:] = rays
        incident.waves[:] = waves

    restore()
    incident.split(interface, reflected=reflected, transmitted=transmitted)  # gives them room
    spent = 0.0
    for _ in range(SPLITS):
        restore()
        start = time.process_time()
        incident.split(interface, reflected=reflected, transmitted=transmitted)
        spent += time.process_time() - start
    return N * SPLITS / spent


def split_in_cpp():
    program = BIN / "wavelib2_interface_bench"
    done = subprocess.run([str(program), "--benchmark_filter=Loaded/1000000/",
                           "--benchmark_format=json"], capture_output=True, text=True, check=True)
    return json.loads(done.stdout)["benchmarks"][0]["items_per_second"]


def probe_files():
    """Seconds of wall time and of CPU time: read() (the CPU time of the interpreter's thread, which
    builds the dicts while a thread of the module reads the records) and probetool export."""
    probes = pt.read(SAMPLE)
    with tempfile.TemporaryDirectory() as folder:
        big = pathlib.Path(folder) / "big.dt"
        batch = probes * 1000
        for _ in range(100_000 // len(batch)):
            pt.append(big, batch)
        pt.append(big, probes * ((100_000 % len(batch)) // len(probes)))
        pt.append(big, probes[:100_000 % len(probes)])
        start, cpu = time.perf_counter(), time.thread_time()
        count = len(pt.read(big))
        python = (time.perf_counter() - start, time.thread_time() - cpu)
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        subprocess.run([str(BIN / "probetool"), "export", str(big)], stdout=subprocess.DEVNULL,
                       check=True)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        export = (time.perf_counter() - start, after.ru_utime + after.ru_stime -
                  before.ru_utime - before.ru_stime)
        return count, python, export


def main():
    cpp = split_in_cpp()
    python = split_from_python()
    print(f"split of {N} elements: from Python {python / 1e6:.2f} M/s, "
          f"C++ benchmark {cpp / 1e6:.2f} M/s: {100 * python / cpp:.0f} %")
    count, read, export = probe_files()
    print(f"{count} probes: read() into dicts {read[0]:.2f} s ({read[1]:.2f} s CPU), probetool "
          f"export {export[0]:.2f} s ({export[1]:.2f} s CPU): read takes {read[0] / export[0]:.2f} "
          f"times the export's time ({read[1] / export[1]:.2f} in CPU time)")

if __name__ == "__main__":
    main()
