"""Probe files through probe_tools from the side of a script's author: threads, numbers that must
not be written, all-or-nothing appends, warnings turned into errors, large files one probe at a
time, and the exceptions' classes."""
import errno
import os
import resource
import signal
import subprocess
import sys
import threading
import warnings

import pytest

import probe_tools as pt
from conftest import SAMPLE_PROBES


def damage_record(path, number):
    """Flips a bit inside record `number` (from 1) of a probe file."""
    data = bytearray(path.read_bytes())
    at = 24
    for _ in range(number - 1):
        at += 16 + int.from_bytes(data[at + 4:at + 8], "little")
    data[at + 100] ^= 0x04
    path.write_bytes(bytes(data))


def test_threads_reading_and_appending_at_once_end_cleanly(tmp_path):
    expected = pt.read(SAMPLE_PROBES)
    failures = []

    def reader():
        try:
            for _ in range(40):
                assert pt.read(SAMPLE_PROBES) == expected
                assert sum(1 for _ in pt.iter(SAMPLE_PROBES)) == 6
        except Exception as error:  # noqa: BLE001 - the failure is reported by the main thread
            failures.append(error)

    def writer(name):
        try:
            for _ in range(20):
                pt.append(tmp_path / name, expected[:3])
        except Exception as error:  # noqa: BLE001
            failures.append(error)

    threads = [threading.Thread(target=reader) for _ in range(3)]
    threads += [threading.Thread(target=writer, args=(n,)) for n in ("a.dt", "a.dt", "b.dt")]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert failures == []
    assert pt.count(tmp_path / "a.dt") == 120 and pt.count(tmp_path / "b.dt") == 60
    assert pt.read(tmp_path / "b.dt", [60]) == [expected[2]]


@pytest.mark.parametrize("key, value, says", [
    ("parameters/frequency_hz", 10**400, "вне диапазона"),
    ("parameters/frequency_hz", float("inf"), "бесконечность"),
    ("parameters/frequency_hz", -float("inf"), "бесконечность"),
    ("parameters/frequency_hz", float("nan"), "NaN"),
    ("identification/price", 10**400, "вне диапазона"),
    ("identification/price", 2**31, ""),
    ("identification/price", 2**70, ""),
], ids=["huge-quantity", "inf", "-inf", "nan", "huge-price", "2**31-price", "2**70-price"])
def test_numbers_no_field_holds_are_refused_and_nothing_is_written(tmp_path, sample_bytes, key,
                                                                   value, says):
    good = pt.read(SAMPLE_PROBES)[0]
    existing = tmp_path / "existing.dt"
    existing.write_bytes(sample_bytes)
    group, field = key.split("/")
    with pytest.raises(pt.ProbeValueError, match=f"датчик 2, /1/{key}: .*{says}"):
        pt.append(existing, [good, {group: {field: value}}])
    assert existing.read_bytes() == sample_bytes


def test_a_quantity_given_as_an_int_or_a_numpy_number_reads_back_as_a_float(tmp_path):
    np = pytest.importorskip("numpy")
    target = tmp_path / "numbers.dt"
    pt.append(target, [{"parameters": {"frequency_hz": 5_000_000},
                        "identification": {"price": np.int64(4800)}},
                       {"parameters": {"frequency_hz": np.float64(2.5e6)}}])
    first, second = pt.read(target)
    assert type(first["parameters"]["frequency_hz"]) is float
    assert first["parameters"]["frequency_hz"] == 5e6 and first["identification"]["price"] == 4800
    assert second["parameters"]["frequency_hz"] == 2.5e6


def write_limited(target, probes, limit):
    """Appends in a child process whose files may not grow beyond `limit` bytes."""
    script = ("import probe_tools as pt, json, sys\n"
              "try:\n"
              f"    pt.append({str(target)!r}, json.loads(sys.stdin.read()))\n"
              "except pt.ProbeWriteError as e:\n"
              "    print(type(e).__name__, isinstance(e, OSError), e.errno)\n")

    def limit_size():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

    import json
    return subprocess.run([sys.executable, "-c", script], input=json.dumps(probes), text=True,
                          capture_output=True, preexec_fn=limit_size, check=True).stdout


def test_a_write_that_fails_part_way_leaves_the_file_as_it_was(tmp_path, sample_bytes):
    target = tmp_path / "probes.dt"
    target.write_bytes(sample_bytes)
    probes = pt.read(SAMPLE_PROBES) * 20
    said = write_limited(target, probes, len(sample_bytes) * 8)
    assert said.split() == ["ProbeWriteError", "True", str(errno.EFBIG)]
    assert target.read_bytes() == sample_bytes
    assert [p.name for p in tmp_path.iterdir()] == ["probes.dt"]


def test_a_killed_append_leaves_all_or_none(tmp_path, sample_bytes):
    target = tmp_path / "probes.dt"
    target.write_bytes(sample_bytes)
    script = ("import probe_tools as pt, sys\n"
              f"p = pt.read({str(SAMPLE_PROBES)!r}) * 4000\n"
              "print('ready', flush=True)\n"
              f"pt.append({str(target)!r}, p)\n")
    child = subprocess.Popen([sys.executable, "-c", script], stdout=subprocess.PIPE, text=True)
    assert child.stdout.readline() == "ready\n"
    child.send_signal(signal.SIGKILL)
    child.wait()
    assert pt.count(target) in (6, 6 + 24000)


def test_a_warning_turned_into_an_error_comes_as_that_error(tmp_path, sample_bytes):
    damaged = tmp_path / "damaged.dt"
    damaged.write_bytes(sample_bytes)
    damage_record(damaged, 2)
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        with pytest.raises(RuntimeWarning, match="Запись 2"):
            pt.read(damaged)
        with pytest.raises(RuntimeWarning, match="Запись 2"):
            list(pt.iter(damaged))
    with pytest.warns(RuntimeWarning, match="Запись 2"):
        chosen = pt.read(damaged, [3, 2, 1])
    assert chosen[1] is None and chosen[0]["identification"] == pt.read(SAMPLE_PROBES, [3])[0][
        "identification"]


def test_count_iter_and_numbers_agree_with_read():
    everything = pt.read(SAMPLE_PROBES)
    assert pt.count(SAMPLE_PROBES) == 6
    assert list(pt.iter(SAMPLE_PROBES)) == everything
    assert pt.read(SAMPLE_PROBES, [6, 1, 1]) == [everything[5], everything[0], everything[0]]
    assert pt.read(SAMPLE_PROBES, []) == []
    for wrong in (7, 10**30):
        with pytest.raises(IndexError, match="записей: 6"):
            pt.read(SAMPLE_PROBES, [wrong])
    for wrong in (0, -1):
        with pytest.raises(IndexError, match="нумеруются с 1"):
            pt.read(SAMPLE_PROBES, [wrong])
    with pytest.raises(TypeError):
        pt.read(SAMPLE_PROBES, ["1"])


def test_files_the_system_or_the_format_refuse_raise_their_own_classes(tmp_path, sample_bytes):
    with pytest.raises(IsADirectoryError) as raised:
        pt.read(tmp_path)
    assert raised.value.errno == errno.EISDIR and raised.value.filename == str(tmp_path)
    with pytest.raises(FileNotFoundError) as raised:
        pt.append(tmp_path / "no folder" / "x.dt", [{}])
    assert raised.value.errno == errno.ENOENT and "no folder" in raised.value.filename
    with pytest.raises(pt.NotAProbeFileError, match="— не файл"):
        pt.count(os.devnull)
    # A header cut short is what an interrupted first append leaves: no records, and the next
    # append begins the file again.
    cut = tmp_path / "cut.dt"
    cut.write_bytes(sample_bytes[:12])
    assert pt.read(cut) == [] and pt.count(cut) == 0 and list(pt.iter(cut)) == []
    pt.append(cut, pt.read(SAMPLE_PROBES, [1]))
    assert pt.count(cut) == 1 and sample_bytes.startswith(cut.read_bytes())
    with pytest.raises(ValueError) as raised:
        pt.append(tmp_path / "x.dt", [{"identification": {"price": "1"}}, {"nothing": 1}])
    assert isinstance(raised.value, pt.ProbeError) and raised.value.count == 2
    assert [f[:2] for f in raised.value.faults] == [(1, "/0/identification/price"),
                                                   (2, "/1/nothing")]


def test_reading_needs_no_numpy_and_wave_sets_name_it():
    script = ("import sys; sys.modules['numpy'] = None\n"
              "import probe_tools as pt\n"
              f"assert len(pt.read({str(SAMPLE_PROBES)!r})) == 6\n"
              "assert pt.__version__\n"
              "try:\n"
              "    pt.WaveSet(2).rays\n"
              "except ImportError as e:\n"
              "    print(e)\n")
    said = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                          check=True).stdout
    assert "numpy" in said and sys.executable in said and "/usr/bin/python3" in said
