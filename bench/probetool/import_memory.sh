#!/bin/sh
# Peak memory (maximum resident set, /usr/bin/time -v) of `probetool import` for three document
# shapes that stress different parts of it, and the size of the probe file each one writes:
#   empty    1,000,000 probes `{}`          (a 3 MB document: the batch of many tiny probes)
#   lists    3,000,000 `[]` inside one probe (a 9 MB document: one probe's nesting)
#   keys     3,000,000 unknown header keys   (a 38 MB document: the problems of a refused one)
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
PY

printf '%-6s %12s %14s %14s %6s\n' shape document_kB peak_rss_kB written_kB exit
for shape in empty lists keys; do
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
