"""Probe files through probe_tools under load: the figures of appends, streaming and threads.

append   600 probes appended by pt.append beside `probetool import` of the same 600 (wall time,
         best of 5 each, into a fresh file every time).
iter     a 100,000-probe file (made here) walked by pt.iter, in a process of its own: its peak
         resident size and that size's rise over the module's import, beside those of pt.read.
threads  two threads reading the sample file and two appending to one file, for 60 seconds (or
         the seconds given after the word): rounds done, probes written, the file checked.

    PYTHONPATH=build/python /usr/bin/python3 python/bench_files.py append|iter|threads [seconds]
"""
import json
import pathlib
import resource
import subprocess
import sys
import tempfile
import threading
import time

import probe_tools as pt

ROOT = pathlib.Path(__file__).resolve().parents[1]
BIN = ROOT / "build" / "bin"
SAMPLE = ROOT / "examples" / "probes.dt"


def best_of(runs, work):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        work()
        times.append(time.perf_counter() - start)
    return min(times)


def bench_append(folder):
    probes = pt.read(SAMPLE) * 100
    document = folder / "600.json"
    document.write_text(json.dumps({"header": {"format": "probe-descriptions", "version": 1},
                                    "probes": probes}, ensure_ascii=False), encoding="utf-8")
    counter = iter(range(1000))

    def by_module():
        pt.append(folder / f"m{next(counter)}.dt", probes)

    def by_probetool():
        subprocess.run([str(BIN / "probetool"), "import", str(document),
                        str(folder / f"p{next(counter)}.dt")], check=True, capture_output=True)

    module, tool = best_of(5, by_module), best_of(5, by_probetool)
    print(f"600 probes: pt.append {module * 1000:.1f} ms, probetool import {tool * 1000:.1f} ms "
          f"(ratio {module / tool:.2f})")


def peak_rise(script, big):
    # VmHWM, the peak of this process's own memory: ru_maxrss would carry over the parent's peak
    # at the fork.
    code = ("import probe_tools as pt\n"
            "def peak():\n"
            "    for line in open('/proc/self/status'):\n"
            "        if line.startswith('VmHWM:'):\n"
            "            return int(line.split()[1])\n"
            "before = peak()\n"
            f"{script}\n"
            "print(peak() - before, peak())\n")
    done = subprocess.run([sys.executable, "-c", code.replace("BIG", repr(str(big)))],
                          check=True, capture_output=True, text=True)
    rise, top = done.stdout.split()
    return int(rise) / 1024, int(top) / 1024


def bench_iter(folder):
    big = folder / "100000.dt"
    probes = pt.read(SAMPLE)
    start = time.perf_counter()
    pt.append(big, probes * (100_000 // len(probes)) + probes[:100_000 % len(probes)])
    made = time.perf_counter() - start
    size = big.stat().st_size / 2**20
    walk = peak_rise("n = sum(1 for _ in pt.iter(BIG))\nassert n == 100000", big)
    whole = peak_rise("n = len(pt.read(BIG))\nassert n == 100000", big)
    print(f"100,000 probes ({size:.0f} MiB, appended in {made:.1f} s): peak resident size "
          f"(its rise over the import) pt.iter {walk[1]:.0f} MiB ({walk[0]:.1f} MiB), "
          f"pt.read {whole[1]:.0f} MiB ({whole[0]:.0f} MiB)")


def bench_threads(folder, seconds):
    target = folder / "threads.dt"
    expected = pt.read(SAMPLE)
    stop = time.monotonic() + seconds
    rounds, failures = [0, 0], []

    def reader():
        while time.monotonic() < stop:
            try:
                assert pt.read(SAMPLE) == expected
                rounds[0] += 1
            except Exception as error:  # noqa: BLE001 - counted and shown at the end
                failures.append(error)

    def writer():
        while time.monotonic() < stop:
            try:
                pt.append(target, expected)
                rounds[1] += 1
            except Exception as error:  # noqa: BLE001
                failures.append(error)

    threads = [threading.Thread(target=f) for f in (reader, reader, writer, writer)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    written = pt.count(target)
    print(f"{seconds} s, 2 readers + 2 writers: {rounds[0]} reads, {rounds[1]} appends, "
          f"{written} probes in the file (expected {rounds[1] * 6}), damaged "
          f"{len(pt.check(target))}, failures {len(failures)} {failures[:3]}")


def main():
    what = sys.argv[1] if len(sys.argv) > 1 else "append"
    with tempfile.TemporaryDirectory() as temp:
        folder = pathlib.Path(temp)
        if what == "append":
            bench_append(folder)
        elif what == "iter":
            bench_iter(folder)
        else:
            bench_threads(folder, float(sys.argv[2]) if len(sys.argv) > 2 else 60.0)
    print(f"peak resident size of this process: "
          f"{resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024:.0f} MiB")


main()
