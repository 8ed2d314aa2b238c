"""Probe files through probe_tools: the round trip against probetool, damaged records, refusals."""
import json
import struct
import subprocess

import pytest

import probe_tools
from conftest import BIN_DIR, SAMPLE_PROBES


def export(path):
    done = subprocess.run([str(BIN_DIR / "probetool"), "export", str(path)], capture_output=True,
                          check=False)
    return done.returncode, json.loads(done.stdout)["probes"]


def test_sample_goes_through_read_and_append_byte_for_byte_and_equals_export(tmp_path,
                                                                             sample_bytes):
    probes = probe_tools.read(SAMPLE_PROBES)
    status, exported = export(SAMPLE_PROBES)
    assert status == 0 and len(probes) == 6
    for mine, theirs in zip(probes, exported):
        assert json.dumps(mine, ensure_ascii=False) == json.dumps(theirs, ensure_ascii=False)

    copy = tmp_path / "копия.dt"
    probe_tools.append(copy, probes[:2])
    probe_tools.append(str(copy), probes[2:])
    assert copy.read_bytes() == sample_bytes
    assert probe_tools.check(copy) == []


def test_a_damaged_record_is_named_by_check_and_left_out_of_read(tmp_path, sample_bytes):
    data = bytearray(sample_bytes)
    frames, at = [], 24
    while at + 16 <= len(data):
        frames.append(at)
        at += 16 + struct.unpack_from("<I", data, at + 4)[0]
    data[frames[2] + 100] ^= 0x04  # inside record 3's payload
    damaged = tmp_path / "damaged.dt"
    damaged.write_bytes(bytes(data))

    assert probe_tools.check(damaged) == [3]
    with pytest.warns(RuntimeWarning, match="Запись 3"):
        probes = probe_tools.read(damaged)
    _, exported = export(damaged)
    assert probes == exported and len(probes) == 5


@pytest.mark.parametrize("fault, message", [
    ({"identification": {"price": "4800"}}, "датчик 2, /1/identification/price: "),
    ({"identification": {"model": "☃"}}, "датчик 2, /1/identification/model: "),
    ({"parameters": {"weight": 1.0}}, "датчик 2, /1/parameters/weight: "),
    ({"preprocessing": ["a", 5]}, "датчик 2, /1/preprocessing/1: "),
    ({"focusing": {"lens_count": {"code": 4}}}, "датчик 2, /1/focusing/lens_count/code: "),
    ({"reserved": {"bytes_0_7": "00" * 9}}, "датчик 2, /1/reserved/bytes_0_7: "),
    ({"identification": {"date": {"iso": "2024-02-30"}}}, "датчик 2, /1/identification/date/iso"),
    ({"model_objects": {"surface_file": b"x"}}, "датчик 2, /1/model_objects/surface_file: "),
])
def test_a_faulty_probe_raises_naming_probe_and_key_and_nothing_is_written(tmp_path, sample_bytes,
                                                                           fault, message):
    good = probe_tools.read(SAMPLE_PROBES)[0]
    existing = tmp_path / "existing.dt"
    existing.write_bytes(sample_bytes)
    fresh = tmp_path / "fresh.dt"
    for target in (existing, fresh):
        with pytest.raises(ValueError, match=message) as raised:
            probe_tools.append(target, [good, fault, good])
        assert "Ничего не добавлено" in str(raised.value)
    assert existing.read_bytes() == sample_bytes
    assert not fresh.exists()


def test_faults_beyond_those_shown_are_counted_exactly(tmp_path):
    # One probe of more faulty keys than the reader keeps, one more faulty probe after it.
    many = {"k%d" % i: 0 for i in range(2500)}
    with pytest.raises(ValueError) as raised:
        probe_tools.append(tmp_path / "x.dt", [many, {"identification": {"price": "1"}}])
    text = str(raised.value)
    assert text.startswith("датчик 1, /0/k0: неизвестный ключ «k0»\n")
    assert text.endswith("… и ещё ошибок: 2401\nНичего не добавлено: ошибок: 2501")
    assert not (tmp_path / "x.dt").exists()


def test_files_that_are_no_probe_files_are_refused(tmp_path):
    other = tmp_path / "other.dt"
    other.write_bytes(b"not a probe file at all, longer than a header")
    for call in (probe_tools.read, probe_tools.check, lambda p: probe_tools.append(p, [{}])):
        with pytest.raises(ValueError, match="не файл датчиков"):
            call(other)
    assert other.read_bytes() == b"not a probe file at all, longer than a header"
    with pytest.raises(FileNotFoundError, match="не найден"):
        probe_tools.read(tmp_path / "missing.dt")
    with pytest.raises(ValueError, match="кодовой странице 1251"):
        probe_tools.append(tmp_path / "☃.dt", [{}])
    with pytest.raises(TypeError):
        probe_tools.append(tmp_path / "x.dt", {"identification": {}})
    with pytest.raises(ValueError, match="нулевой знак"):
        probe_tools.append(str(tmp_path / "x.dt") + "\0.txt", [{}])
    looped = []
    looped.append(looped)
    with pytest.raises(ValueError, match="датчик 1, /0/preprocessing/0/0/0"):
        probe_tools.append(tmp_path / "x.dt", [{"preprocessing": looped}])
    assert not (tmp_path / "x.dt").exists()


def test_a_long_file_comes_back_whole_and_in_order(tmp_path, sample_bytes):
    # More records than the reader hands over at once, with a damaged one among them.
    probes = probe_tools.read(SAMPLE_PROBES)
    long_file = tmp_path / "long.dt"
    probe_tools.append(long_file, probes * 20)
    data = bytearray(long_file.read_bytes())
    at, frames = 24, []
    while at + 16 <= len(data):
        frames.append(at)
        at += 16 + struct.unpack_from("<I", data, at + 4)[0]
    data[frames[69] + 100] ^= 0x04
    long_file.write_bytes(bytes(data))

    assert probe_tools.check(long_file) == [70]
    with pytest.warns(RuntimeWarning, match="Запись 70 "):
        read = probe_tools.read(long_file)
    _, exported = export(long_file)
    assert len(read) == 119 and read == exported
