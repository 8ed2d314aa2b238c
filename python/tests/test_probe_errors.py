"""The probe-file client's errors as the module's exceptions, one family at a time: the class a
caller catches, the file named, and a probe file left byte for byte as it was by a refused append."""
import errno
import os
import pickle
import subprocess
import sys
import tempfile

import pytest

import probe_tools as pt
from conftest import SAMPLE_PROBES


def test_a_missing_file_is_file_not_found_naming_the_file(tmp_path):
    missing = tmp_path / "missing.dt"
    for call in (pt.read, pt.count, pt.iter, pt.check):
        with pytest.raises(FileNotFoundError, match="не найден") as raised:
            call(missing)
        assert raised.value.errno == errno.ENOENT and raised.value.filename == str(missing)


def test_a_file_of_another_kind_is_not_a_probe_file_and_stays_as_it_was(tmp_path):
    other = tmp_path / "notes.dt"
    text = b"plain text, longer than a probe file's header"
    other.write_bytes(text)
    for call in (pt.read, pt.count, pt.check, lambda p: pt.append(p, [{}])):
        with pytest.raises(pt.NotAProbeFileError, match="не файл датчиков") as raised:
            call(other)
        assert raised.value.filename == str(other)
    assert other.read_bytes() == text


def test_an_append_whose_third_of_four_probes_is_refused_writes_nothing(tmp_path, sample_bytes):
    good = pt.read(SAMPLE_PROBES)
    existing = tmp_path / "existing.dt"
    existing.write_bytes(sample_bytes)
    probes = [good[0], good[1], {"parameters": {"frequency_hz": "fast"}}, good[3]]
    for target in (existing, tmp_path / "fresh.dt"):
        with pytest.raises(pt.ProbeValueError, match="датчик 3, /2/parameters/frequency_hz: ") \
                as raised:
            pt.append(target, probes)
        assert raised.value.count == 1
        assert [f[:2] for f in raised.value.faults] == [(3, "/2/parameters/frequency_hz")]
    assert existing.read_bytes() == sample_bytes
    assert not (tmp_path / "fresh.dt").exists()


def test_records_past_a_damaged_header_are_read_with_a_warning_but_take_no_append(tmp_path,
                                                                                sample_bytes):
    damaged = tmp_path / "damaged.dt"
    data = bytearray(sample_bytes)
    data[16] ^= 0x01  # the header's flags: its checksum no longer matches
    damaged.write_bytes(bytes(data))
    with pytest.warns(RuntimeWarning, match="Заголовок файла"):
        assert pt.read(damaged) == pt.read(SAMPLE_PROBES)
    with pytest.raises(pt.NotAProbeFileError, match="salvage") as raised:
        pt.append(damaged, pt.read(SAMPLE_PROBES, [1]))
    assert raised.value.filename == str(damaged) and damaged.read_bytes() == bytes(data)


def test_a_target_the_system_keeps_from_writing_raises_a_write_error_that_is_a_permission_error(
        sample_bytes):
    # Root writes anywhere: the append then runs as nobody, in a folder nobody may write to.
    # The error also crosses to another process (multiprocessing pickles it) as what it is.
    script = ("import pickle, probe_tools as pt, sys\n"
              "try:\n"
              "    pt.append(sys.argv[1], pt.read(sys.argv[2], [1]))\n"
              "except pt.ProbeWriteError as e:\n"
              "    print(isinstance(e, PermissionError), e.errno, e.filename == sys.argv[1],\n"
              "          pickle.dumps(e).hex())\n")

    def as_nobody():
        if os.geteuid() == 0:
            os.setgroups([])
            os.setgid(65534)
            os.setuid(65534)

    with tempfile.TemporaryDirectory() as folder:
        target = os.path.join(folder, "locked.dt")
        with open(target, "wb") as out:
            out.write(sample_bytes)
        os.chmod(target, 0o444)
        os.chmod(folder, 0o555)
        try:
            said = subprocess.run([sys.executable, "-c", script, target, str(SAMPLE_PROBES)],
                                  capture_output=True, text=True, preexec_fn=as_nobody,
                                  check=True).stdout
        finally:
            os.chmod(folder, 0o755)
        assert said.split()[:3] == ["True", str(errno.EACCES), "True"]
        back = pickle.loads(bytes.fromhex(said.split()[3]))
        assert isinstance(back, pt.ProbeWriteError) and isinstance(back, PermissionError)
        assert back.filename == target
        with open(target, "rb") as written:
            assert written.read() == sample_bytes
        assert os.listdir(folder) == ["locked.dt"]
