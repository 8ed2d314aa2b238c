"""Wave sets through probe_tools: the record layout, the split against the closed form, the other
operations of the version 1.1 table, and the misuse that must raise instead of crashing."""
import math

import numpy as np
import pytest

import probe_tools as pt

WATER = pt.Medium(1.48, 1.0)
STEEL = pt.Medium(5.9, 7.8)


def test_dtypes_have_the_offsets_of_the_records_and_views_write_the_set():
    ray = {"direction": 0, "origin": 24, "edge1": 48, "edge2": 72, "length": 96, "flags": 104}
    wave = {"step_length": 4, "cos_incidence": 12, "cos_refraction": 20, "time1": 52, "time2": 60,
            "attenuation_factor": 68, "phase": 76, "amplitude": 84, "energy": 92, "carried1": 100,
            "carried2": 108, "path_length": 116, "angular_width": 124}
    assert pt.RAY_DTYPE.itemsize == 108 and pt.WAVE_DTYPE.itemsize == 144
    assert {k: pt.RAY_DTYPE.fields[k][1] for k in ray} == ray
    assert {k: pt.WAVE_DTYPE.fields[k][1] for k in wave} == wave

    s = pt.WaveSet(3)
    s.rays["origin"] = [[1, 2, 3], [4, 5, 6], [7, 8, 9]]
    s.rays["flags"][1] = 0x10
    s.waves["energy"] = [0.5, 0.25, 0.125]
    s.source = (1.0, 0.0, -2.0)
    s.reference_length = 4.0
    s.scale(10.0)  # through wavelib2: it must see what the views wrote
    assert s.rays["origin"].tolist() == [[10, 20, 30], [40, 50, 60], [70, 80, 90]]
    assert s.rays["flags"].tolist() == [0, 0x10, 0]
    assert s.waves["energy"].tolist() == [0.5, 0.25, 0.125]
    assert s.source == (10.0, 0.0, -20.0) and s.reference_length == 40.0


def single_ray_split(incident_medium, other, degrees, phase=0.0):
    interface = pt.WaveSet.plane(point=(0, 0, 0), normal=(0, 0, 1), first=incident_medium,
                                 second=other, reference_length=2.0)
    s = pt.WaveSet(1)
    s.medium = incident_medium
    a = math.radians(degrees)
    s.rays["origin"] = [0, 0, 10]
    s.rays["direction"] = [math.sin(a), 0, -math.cos(a)]
    s.waves["energy"] = 1.0
    s.waves["amplitude"] = 1.0
    s.waves["phase"] = phase
    return s.split(interface)


@pytest.mark.parametrize("first, second, degrees", [
    (WATER, STEEL, 0.0), (WATER, STEEL, 7.0), (WATER, STEEL, 14.0), (WATER, STEEL, 30.0),
    (STEEL, WATER, 0.0), (STEEL, WATER, 40.0)])
def test_split_agrees_with_the_closed_form(first, second, degrees):
    reflected, transmitted = single_ray_split(first, second, degrees, phase=0.3)
    c1 = math.cos(math.radians(degrees))
    s2 = math.sin(math.radians(degrees)) * second.speed / first.speed
    z1, z2 = first.density * first.speed, second.density * second.speed
    assert reflected.medium == first
    if s2 >= 1:  # beyond the critical angle: reflected whole, nothing crosses
        assert transmitted.count == 0 and transmitted.dropped == 1 and reflected.dropped == 0
        assert reflected.waves["energy"][0] == pytest.approx(1.0, abs=1e-15)
        return
    c2 = math.sqrt(1 - s2 * s2)
    r = (z2 * c1 - z1 * c2) / (z2 * c1 + z1 * c2)
    assert reflected.waves["energy"][0] == pytest.approx(r * r, rel=1e-12)
    w = transmitted.waves[0]
    assert w["energy"] * w["cos_refraction"] / w["cos_incidence"] == pytest.approx(1 - r * r,
                                                                                   rel=1e-12)
    assert transmitted.medium == second
    assert reflected.waves["phase"][0] == pytest.approx(math.pi - 0.3 if r < 0 else 0.3)
    # The new sets start a quarter reference length off the interface, times counted.
    assert w["time1"] == pytest.approx(10 / c1 / first.speed + 0.5 / second.speed, rel=1e-12)


def test_point_source_replication_and_filters():
    s = pt.WaveSet(2)
    s.rays["origin"] = [[0, 0, 1], [0, 3, 0]]
    s.point_source(energy=8.0, impedance=(1.0, 1.0))
    assert s.waves["energy"].tolist() == [2.0, 6.0]
    assert s.flags & pt.SET_FROM_SOURCE
    s.waves["energy"] = [0.0, 0.0]
    s.point_source(energy=8.0)  # built once: a second call changes nothing
    assert s.waves["energy"].tolist() == [0.0, 0.0]

    pattern = pt.WaveSet(2)
    pattern.rays["direction"] = [[0, 0, 1], [0, 0, 1]]
    pattern.rays["origin"] = [[0, 0, 0], [1, 0, 0]]
    collection = s.replicate(pattern)
    assert collection.count == 4 and collection.source == s.source

    m = pt.WaveSet(4)
    m.waves["energy"] = [1, 2, 3, 4]
    m.rays["flags"][1] = pt.RAY_REMOVE
    m.remove_marked()
    assert m.waves["energy"].tolist() == [1, 4, 3]
    m.remove_weak(3.0)
    assert sorted(m.waves["energy"].tolist()) == [3, 4]


def test_misuse_raises_instead_of_crashing():
    s = pt.WaveSet(2)
    view = s.rays
    with pytest.raises(BufferError):
        s.resize(5)  # the arrays would move under the view
    with pytest.raises(BufferError):
        s.release()
    interface = pt.WaveSet.plane((0, 0, 0), (0, 0, 1), WATER, STEEL, 1.0)
    incident = pt.WaveSet(1)
    incident.medium = WATER
    with pytest.raises(BufferError):
        incident.split(interface, reflected=s, transmitted=pt.WaveSet())
    with pytest.raises(ValueError):
        incident.split(interface, reflected=incident, transmitted=pt.WaveSet())
    del view
    s.resize(5)
    assert s.count == 5

    with pytest.raises(ValueError, match="dtype"):
        pt.WaveSet.from_arrays(np.zeros((2, 13)))
    with pytest.raises(ValueError, match="dtype"):
        s.point_source(template=np.zeros(1, dtype=pt.RAY_DTYPE))
    with pytest.raises(RuntimeError) as failed:
        s.propagate(-1.0)  # wavelib refuses a negative step
    assert failed.value.args[0]
    lost = pt.WaveSet(1)
    lost.medium = pt.Medium(1.0, 1.0)
    with pytest.raises(RuntimeError):
        lost.split(interface)  # its medium is on neither side
    with pytest.raises(TypeError, match="point"):
        pt.WaveSet.plane("abc", (0, 0, 1), WATER, STEEL, 1.0)
    with pytest.raises(ValueError, match="normal"):
        pt.WaveSet.plane((0, 0, 0), (0, 1), WATER, STEEL, 1.0)

    s.release()
    assert s.released
    for call in (lambda: s.rays, lambda: s.count, lambda: s.scale(2.0), lambda: s.split(interface),
                 lambda: incident.split(s)):
        with pytest.raises(ValueError, match="освобождён"):
            call()
    s.release()  # a second release does nothing


def test_propagation_reuse_of_split_outputs_and_copies():
    s = pt.WaveSet.from_arrays(np.zeros(2, dtype=pt.RAY_DTYPE))
    s.medium = pt.Medium(2.0, 1.0, attenuation=0.1)
    s.rays["direction"] = [[0, 0, 1], [3, 4, 0]]
    s.waves["amplitude"], s.waves["energy"], s.waves["attenuation_factor"] = 2.0, 4.0, 1.0
    s.propagate(5.0)
    w = s.waves
    assert s.rays["origin"].tolist() == [[0, 0, 5], [3, 4, 0]]
    assert w["time1"].tolist() == [2.5, 2.5] and w["path_length"].tolist() == [5.0, 5.0]
    assert w["amplitude"] == pytest.approx(2 * math.exp(-0.5))
    assert w["energy"] / w["amplitude"] ** 2 == pytest.approx(1.0)

    source = np.zeros(1, dtype=pt.RAY_DTYPE)
    copy = pt.WaveSet.from_arrays(source)
    source["length"] = 7.0
    assert copy.rays["length"][0] == 0.0  # a copy, not a view of the caller's array

    # Splits into reused sets give what splits into fresh sets give.
    fresh = single_ray_split(WATER, STEEL, 5.0)
    interface = pt.WaveSet.plane((0, 0, 0), (0, 0, 1), WATER, STEEL, 2.0)
    r, t = pt.WaveSet(), pt.WaveSet()
    for _ in range(2):
        incident = pt.WaveSet(1)
        incident.medium = WATER
        incident.rays["origin"] = [0, 0, 10]
        incident.rays["direction"] = [math.sin(math.radians(5.0)), 0, -math.cos(math.radians(5.0))]
        incident.waves["energy"], incident.waves["amplitude"] = 1.0, 1.0
        got = incident.split(interface, reflected=r, transmitted=t)
        assert got[0] is r and got[1] is t
        assert r.waves.tobytes() == fresh[0].waves.tobytes()
        assert t.rays.tobytes() == fresh[1].rays.tobytes()


def test_a_with_block_releases_what_it_can_and_keeps_the_bodys_exception():
    with pt.WaveSet(3) as s:
        rays = s.rays
    assert s.released and rays["length"].tolist() == [0, 0, 0]  # the view keeps the records
    with pytest.raises(ValueError):
        s.count
    del rays  # the set goes with its last view

    with pytest.raises(KeyError, match="mine"):
        with pt.WaveSet(2) as s:
            waves = s.waves
            raise KeyError("mine")
    assert s.released and waves.shape == (2,)


def test_splits_in_threads_agree_with_one_thread():
    import threading

    def run(results, index):
        for _ in range(20):
            reflected, transmitted = single_ray_split(WATER, STEEL, 14.0)
            results[index] = (reflected.waves["energy"][0], transmitted.waves["energy"][0])

    alone = [None]
    run(alone, 0)
    results = [None] * 4
    threads = [threading.Thread(target=run, args=(results, i)) for i in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert results == alone * 4
