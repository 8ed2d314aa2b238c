#!/bin/sh
# How long another program's save waits for a probe file's append lock while `probetool import`
# adds one probe to a large file (the file given, e.g. 460 MB of records, or one made here by
# repeating the records of the sample file). The longest wait over the import is printed with the
# import's own time; a save that waited the whole copy waits about as long as the import ran.
# Usage: bench/probetool/import_lock_wait.sh [path/to/probetool] [large.dt]
set -eu
tool=${1:-build/bin/probetool}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
if [ -n "${2:-}" ]; then
    cp "$2" "$scratch/large.dt"
else
    /usr/bin/python3 - "$scratch/large.dt" examples/probes.dt <<'PY'
import sys
sample = open(sys.argv[2], "rb").read()
frames = sample[24:]
with open(sys.argv[1], "wb") as f:
    f.write(sample[:24])
    for _ in range((512 << 20) // len(frames)):
        f.write(frames)
PY
fi
echo '{"header": {"format": "probe-descriptions", "version": 1}, "probes": [{}]}' \
    >"$scratch/one.json"
/usr/bin/python3 - "$tool" "$scratch" <<'PY'
import fcntl, os, struct, subprocess, sys, time
tool, d = sys.argv[1], sys.argv[2]
start = time.monotonic()
p = subprocess.Popen([tool, "import", d + "/one.json", d + "/large.dt"], stdout=subprocess.DEVNULL)
waits = []
time.sleep(0.05)
while p.poll() is None:
    fd = os.open(d + "/large.dt", os.O_RDWR)
    lock = struct.pack("hhqqi", fcntl.F_WRLCK, 0, 1 << 62, 1, 0)
    t = time.monotonic()
    fcntl.fcntl(fd, fcntl.F_OFD_SETLKW, lock)
    waits.append(time.monotonic() - t)
    os.close(fd)
    time.sleep(0.02)
total = time.monotonic() - start
print("import: %.2f s, saves tried: %d, longest wait for the lock: %.3f s"
      % (total, len(waits), max(waits) if waits else 0.0))
PY
