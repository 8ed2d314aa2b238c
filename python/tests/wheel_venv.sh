#!/bin/sh
# The wheel built from the build folder installs into a fresh virtual environment that sees the
# system's site packages, and the module it installs imports and reads the sample probe file (run
# outside the build folder, with no PYTHONPATH: what runs is the installed module and the
# libraries packed beside it).
#   wheel_venv.sh PYTHON SOURCE_DIR BUILD_DIR
set -eu
python=$1 source=$2 build=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset PYTHONPATH
PROBE_BUILD_DIR=$build "$python" -m build --wheel --no-isolation --outdir "$work/dist" \
    "$source/python" >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
"$python" -m venv --system-site-packages "$work/venv"
"$work/venv/bin/python" -m pip install --quiet --no-index --no-build-isolation "$work"/dist/*.whl
cd "$work"
"$work/venv/bin/python" - "$source/examples/probes.dt" "$work/venv" <<'PY'
import sys
import probe_tools as pt
assert pt.__file__.startswith(sys.argv[2]), pt.__file__
assert len(pt.read(sys.argv[1])) == 6 and pt.count(sys.argv[1]) == 6
with pt.WaveSet(2) as s:
    assert s.count == 2
loaded = open("/proc/self/maps").read()
for name in ("probestore", "wavelib2", "wavelib"):  # the wheel's own, not the build folder's
    assert f"{sys.argv[2]}/lib/" in loaded and f"probe_tools.libs/{name}.so" in loaded, name
print("probe_tools", pt.__version__, "from", pt.__file__)
PY
