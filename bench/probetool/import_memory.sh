#!/bin/sh
# Peak memory (maximum resident set, /usr/bin/time -v) of `probetool import` for document shapes
# that stress different parts of it, and the size of the probe file each one writes:
#   empty    1,000,000 probes `{}`               (3 MB: the batch of many tiny probes)
#   lists    3,000,000 `[]` inside one probe      (9 MB: one probe's many values)
#   keys     3,000,000 unknown header keys        (39 MB: refused at the object's 4,097th key)
#   reals    3,000,000 `0.1` inside one probe     (11 MB: numbers held as their short text)
#   nested   1,000,000 `[[[[[]]]]]` in one probe  (10 MB: levels below a probe's deepest field)
#   wide     500 probes of 4,000 unknown keys     (20 MB: the key index of large objects)
# The whole document is in memory while it is read, so the floor is its own size plus about
# 5 MB of program.
#
# Figures (2 cores, RelWithDebInfo; peak RSS in kB), before: a tree of the JSON library's values
# per probe and every key of an object kept as text; after: a compact tape of tagged values per
# probe, containers below the deepest field kept empty, keys past an object's 16th as hashes.
#   shape   document_kB   before   after
#   empty          2929     9048    8964
#   lists          8789   106660   16012
#   keys          39930    50828   44300
#   reals         11718   109704   24844
#   nested        10742   108776   21864
#   wide          20950    26156   25484
# The price: reading the 100,000-probe document of probetool_bench takes about 12% more
# instructions (callgrind), a container's members being found by walking the tape.
#
# Usage: bench/probetool/import_memory.sh [path/to/probetool] [scratch folder]
set -eu
tool=${1:-build/bin/probetool}
scratch=${2:-$(mktemp -d)}
py=/usr/bin/python3
mkdir -p "$scratch"

"$py" - "$scratch" <<'PY'
import sys
d = sys.argv[1]
head = '{"header": {"format": "probe-descriptions", "version": 1}'
with open(d + "/empty.json", "w") as f:
    f.write(head + ', "probes": [' + ",".join(["{}"] * 1000000) + "]}\n")
with open(d + "/lists.json", "w") as f:
    f.write(head + ', "probes": [{"preprocessing": [' + ",".join(["[]"] * 3000000) + "]}]}\n")
with open(d + "/keys.json", "w") as f:
    keys = ",".join('"k%d": 0' % i for i in range(3000000))
    f.write('{"header": {"format": "probe-descriptions", "version": 1, ' + keys +
            '}, "probes": []}\n')
with open(d + "/reals.json", "w") as f:
    f.write(head + ', "probes": [{"preprocessing": [' + ",".join(["0.1"] * 3000000) + "]}]}\n")
with open(d + "/nested.json", "w") as f:
    f.write(head + ', "probes": [{"preprocessing": [' + ",".join(["[[[[[]]]]]"] * 1000000) +
            "]}]}\n")
with open(d + "/wide.json", "w") as f:
    probe = '{"reserved": {' + ",".join('"k%d": 0' % i for i in range(4000)) + "}}"
    f.write(head + ', "probes": [' + ",".join([probe] * 500) + "]}\n")
PY

printf '%-6s %12s %14s %14s %6s\n' shape document_kB peak_rss_kB written_kB exit
for shape in empty lists keys reals nested wide; do
    rm -f "$scratch/$shape.dt"
    set +e
    /usr/bin/time -v "$tool" import "$scratch/$shape.json" "$scratch/$shape.dt" \
        >/dev/null 2>"$scratch/$shape.time"
    status=$?
    set -e
    rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$scratch/$shape.time")
    doc=$(($(stat -c %s "$scratch/$shape.json") / 1024))
    out=0
    [ -f "$scratch/$shape.dt" ] && out=$(($(stat -c %s "$scratch/$shape.dt") / 1024))
    printf '%-6s %12s %14s %14s %6s\n' "$shape" "$doc" "$rss" "$out" "$status"
done
