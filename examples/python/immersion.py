"""A probe's beam traced through an immersion tank with wavelib2, from Python.

Probe 1 of examples/probes.dt sends its beam as a point source down through 50 mm of water onto a
30 mm steel plate (water on both sides of it). The beam is split at the plate's top face, the
transmitted set is carried to the back wall and split there, and the back-wall echo is split again
at the top face and brought back up to the probe. The script prints the arrival time of the
central ray's echo and the energy that arrives, each beside its closed form, and draws the rays in
the section through the probe and the energy shares at each interface into a PNG. It ends with
status 1 when the time or the energies leave their closed forms by more than 1e-12.

    PYTHONPATH=build/python python3 examples/python/immersion.py [picture.png]

Installed from the package python3-probe-tools, it reads the sample file of probe-tools and draws
into the current folder:

    python3 /usr/share/doc/python3-probe-tools/examples/immersion.py [picture.png]

Units: millimetres, microseconds, g/cm^3 (speeds in mm/us). Both media are fluids (steel carries
only its longitudinal wave), as in wavelib2's model.
"""
import math
import pathlib
import sys

import numpy as np

import probe_tools

HERE = pathlib.Path(__file__).resolve().parent
if HERE.parent.name == "python3-probe-tools":
    # The installed copy (share/doc/python3-probe-tools/examples): the sample file of probe-tools
    # (share/probe-tools/examples); the picture where it is run from.
    PROBES = HERE.parents[2] / "probe-tools" / "examples" / "probes.dt"
    PICTURE = pathlib.Path("immersion.png")
else:
    PROBES = HERE.parent / "probes.dt"
    PICTURE = HERE / "immersion.png"

WATER = probe_tools.Medium(speed=1.48, density=1.0)
STEEL = probe_tools.Medium(speed=5.9, density=7.8)
H_WATER = 50.0  # probe above the plate's top face, mm
H_STEEL = 30.0  # thickness of the plate, mm
REFERENCE_LENGTH = 1.0  # new sets start a quarter of it off an interface
RINGS, AZIMUTHS = 200, 24  # rays on rings of equal solid angle, plus the central ray


def beam_of_probe(probe):
    """The cone of probe 1 and what is assumed where a field says nothing."""
    parameters = probe["parameters"]
    frequency = parameters["frequency_hz"]
    width = parameters["angular_width_deg"]
    if frequency == 0:
        frequency = 2.5e6
        print("частота не задана: принято 2,5 МГц")
    if width == 0:
        width = 20.0
        print("угловая ширина не задана: принято 20°")
    # The angular width of the directivity pattern is taken as the full angle of the cone.
    half_angle = math.radians(width / 2)
    # Radius of curvature 0 is a flat probe: its beam is taken as a point source at the probe's
    # centre. A curved one would focus; the example does not model that.
    if parameters["radius_plane1_m"] != 0 or parameters["radius_plane2_m"] != 0:
        print("датчик фокусирующий: фокусировка не моделируется, пучок — точечный источник")
    return frequency, half_angle


def source_set(half_angle):
    """Rays evenly over the solid angle of the cone, pointing down, tagged by number."""
    u = 1.0 - (np.arange(RINGS) + 0.5) * (1.0 - math.cos(half_angle)) / RINGS
    polar = np.concatenate(([0.0], np.repeat(np.arccos(u), AZIMUTHS)))
    azimuth = np.concatenate(([0.0], np.tile(np.arange(AZIMUTHS) * 2 * math.pi / AZIMUTHS, RINGS)))
    beam = probe_tools.WaveSet(len(polar))
    beam.medium = WATER
    beam.source = (0.0, 0.0, H_WATER)
    rays = beam.rays
    s, c = np.sin(polar), np.cos(polar)
    # Points one millimetre from the source: every ray carries the same share of the energy.
    rays["origin"] = np.stack([s * np.cos(azimuth), s * np.sin(azimuth), H_WATER - c], axis=1)
    rays["edge1"] = 0.01 * np.stack([c * np.cos(azimuth), c * np.sin(azimuth), s], axis=1)
    rays["edge2"] = 0.01 * np.stack([-np.sin(azimuth), np.cos(azimuth), 0 * s], axis=1)
    del rays
    beam.point_source(energy=1.0)
    beam.waves["carried1"] = np.arange(beam.count)  # the ray's number, carried through the splits
    return beam, polar, azimuth


def plane(z, upper, lower):
    return probe_tools.WaveSet.plane(point=(0, 0, z), normal=(0, 0, 1), first=upper, second=lower,
                                     reference_length=REFERENCE_LENGTH)


def hit_points(wave_set):
    """Where the rays of a new set met their interface: a quarter reference length back."""
    rays = wave_set.rays
    d = rays["direction"] / np.linalg.norm(rays["direction"], axis=1)[:, None]
    return rays["origin"] - 0.25 * REFERENCE_LENGTH * d


def reflected_share(c1, z1, z2, speed_ratio):
    """|r|^2 at a plane between fluids, by angle of incidence (cosine c1); 1 beyond critical."""
    s2 = np.sqrt(1 - c1**2) * speed_ratio
    c2 = np.sqrt(np.clip(1 - s2**2, 0, None))
    r = (z2 * c1 - z1 * c2) / (z2 * c1 + z1 * c2)
    return np.where(s2 >= 1, 1.0, r**2)


def round_trip(polar):
    """Share of a ray's energy that comes back into the water from the back wall: transmitted at
    the top face, reflected at the back wall, transmitted at the top face again."""
    zw, zs = WATER.density * WATER.speed, STEEL.density * STEEL.speed
    into_steel = 1 - reflected_share(np.cos(polar), zw, zs, STEEL.speed / WATER.speed)
    sin_steel = np.sin(polar) * STEEL.speed / WATER.speed
    back_wall = reflected_share(np.sqrt(1 - sin_steel**2), zs, zw, WATER.speed / STEEL.speed)
    return into_steel, back_wall, into_steel * back_wall * into_steel


def main():
    picture = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else PICTURE
    probe = probe_tools.read(PROBES)[0]
    frequency, half_angle = beam_of_probe(probe)
    print(f"датчик 1: {probe['identification']['name']}, {frequency / 1e6:g} МГц, "
          f"конус ±{math.degrees(half_angle):g}°; длина волны в воде "
          f"{WATER.speed / (frequency / 1e6):.3f} мм, в стали {STEEL.speed / (frequency / 1e6):.3f} мм")

    beam, polar, azimuth = source_set(half_angle)
    per_ray = beam.waves["energy"].copy()
    sent = beam.count
    top = plane(0.0, WATER, STEEL)
    back = plane(-H_STEEL, STEEL, WATER)

    _, in_steel = beam.split(top)
    at_top = in_steel.waves.copy()
    path_top = hit_points(in_steel)
    echo, _ = in_steel.split(back)
    at_back = echo.waves.copy()
    path_back = hit_points(echo)
    _, arrived = echo.split(top)
    path_out = hit_points(arrived)
    direction_out = arrived.rays["direction"].copy()
    # Up to the probe's height: the central ray is then back at the probe.
    arrived.propagate(H_WATER - 0.25 * REFERENCE_LENGTH)

    waves = arrived.waves
    ids = waves["carried1"].astype(int)
    central = np.flatnonzero(ids == 0)[0]
    time = waves["time1"][central]
    expected_time = 2 * (H_WATER / WATER.speed + H_STEEL / STEEL.speed)
    into_steel, back_wall, trip = round_trip(polar)
    share = waves["energy"][central] / per_ray[0]
    print(f"время прихода донного эхо центрального луча: {time:.12f} мкс, "
          f"по формуле 2·(h_в/c_в + h_с/c_с) = {expected_time:.12f} мкс "
          f"(относительная разность {abs(time / expected_time - 1):.1e})")
    print(f"доля энергии центрального луча: {share:.12f}, по формуле (1−R)²·R = {trip[0]:.12f} "
          f"(относительная разность {abs(share / trip[0] - 1):.1e})")
    arrived_energy = waves["energy"].sum()
    expected_rays = (per_ray[ids] * trip[ids]).sum()
    # The same over the continuous cone: Simpson's rule in u = cos(polar angle).
    u = np.linspace(math.cos(half_angle), 1.0, 100001)
    weights = np.ones_like(u)
    weights[1:-1:2], weights[2:-1:2] = 4, 2
    cone = (weights * round_trip(np.arccos(u))[2]).sum() * (u[1] - u[0]) / 3 / (1 - u[0])
    print(f"пришло энергии: {arrived_energy:.12f} из 1 (лучей {arrived.count} из {sent}); "
          f"по формуле для тех же лучей {expected_rays:.12f} (относительная разность "
          f"{abs(arrived_energy / expected_rays - 1):.1e}), для сплошного конуса {cone:.12f} "
          f"({abs(arrived_energy / cone - 1):.1e})")

    draw(picture, polar, azimuth, ids, waves["energy"] / per_ray[ids], path_top, path_back,
         path_out, direction_out, at_top, at_back, per_ray, into_steel, back_wall, trip,
         half_angle)
    print(f"рисунок: {picture}")
    # A status other than 0 when wavelib2's results leave the closed forms.
    agree = (math.isclose(time, expected_time, rel_tol=1e-12) and
             math.isclose(share, trip[0], rel_tol=1e-12) and
             math.isclose(arrived_energy, expected_rays, rel_tol=1e-12))
    return 0 if agree else 1


def draw(picture, polar, azimuth, ids, arrived_share, path_top, path_back, path_out,
         direction_out, at_top, at_back, per_ray, into_steel, back_wall, trip, half_angle):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    from matplotlib.collections import LineCollection

    figure, (section, shares) = plt.subplots(1, 2, figsize=(13, 5.5))
    # The section y = 0: the rays of azimuth 0 and 180 degrees, found by their numbers.
    in_section = (np.abs(np.sin(azimuth)) < 1e-9)[ids]
    lines, colours = [], []

    def by_id(points, wave_ids):
        return dict(zip(wave_ids.astype(int), points))

    tops = by_id(path_top, at_top["carried1"])
    backs = by_id(path_back, at_back["carried1"])
    outs = by_id(path_out, ids)
    ups = by_id(direction_out, ids)
    for k, share in zip(ids[in_section], arrived_share[in_section]):
        if k != 0 and ((k - 1) // AZIMUTHS) % 10 != 0:
            continue  # every tenth ring, for a picture that can be read
        out = outs[k]
        up = out + (H_WATER - out[2]) / ups[k][2] * ups[k]
        points = [(0, H_WATER), tops[k][[0, 2]], backs[k][[0, 2]], out[[0, 2]], up[[0, 2]]]
        lines.append(points)
        colours.append(share)
    collection = LineCollection(lines, array=np.array(colours), cmap="viridis", linewidths=0.8)
    section.add_collection(collection)
    figure.colorbar(collection, ax=section, label="доля энергии луча, пришедшая обратно")
    section.axhspan(-H_STEEL, 0, color="0.85", zorder=0)
    section.text(0.02, 0.03, "сталь", transform=section.transAxes)
    section.autoscale_view()
    section.set_ylim(-H_STEEL - 5, H_WATER + 5)
    section.set_xlabel("x, мм")
    section.set_ylabel("z, мм")
    section.set_title("Лучи в сечении y = 0: вниз, донное эхо, обратно к датчику")

    # Each ray's share at each interface, found by its number: the energy that crossed into the
    # steel (the transmitted wave's energy times the change of the tube's cross-section), and the
    # energy reflected at the back wall over the energy that reached it.
    top_ids, back_ids = at_top["carried1"].astype(int), at_back["carried1"].astype(int)
    crossed = at_top["energy"] * at_top["cos_refraction"] / at_top["cos_incidence"]
    shares.plot(np.degrees(polar[top_ids]), crossed / per_ray[top_ids], ".", ms=3,
                label="прошло в сталь (wavelib2)")
    in_steel = np.zeros(len(polar))
    in_steel[top_ids] = at_top["energy"]
    shares.plot(np.degrees(polar[back_ids]), at_back["energy"] / in_steel[back_ids], ".", ms=3,
                label="отразилось от дна (wavelib2)")
    shares.plot(np.degrees(polar[ids]), arrived_share, ".", ms=3, label="вернулось в воду (wavelib2)")
    order = np.argsort(polar)
    for values, name in ((into_steel, "1 − R"), (back_wall, "R на дне"), (trip, "(1 − R)²·R")):
        shares.plot(np.degrees(polar[order]), values[order], "-", lw=0.8, color="0.3")
        shares.annotate(name, (np.degrees(polar[order][-1]), values[order][-1]), fontsize=8)
    shares.set_yscale("log")
    shares.set_xlim(0, math.degrees(half_angle) + 1.5)
    shares.set_xlabel("угол падения в воде, °")
    shares.set_ylabel("доля энергии луча")
    shares.set_title("Доли энергии на границах: точки — wavelib2, линии — формулы")
    shares.legend(fontsize=8, loc="lower left")
    figure.tight_layout()
    figure.savefig(picture, dpi=110)


if __name__ == "__main__":
    sys.exit(main())
