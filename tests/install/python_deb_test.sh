#!/usr/bin/env bash
# Looks into the Debian package python3-probe-tools that cpack made beside probe-tools: its name
# and architecture, its dependencies (probe-tools of the same version, whose libraries the module
# loads; the Python 3 it is built for and numpy), the module with its type hints, the example and
# the speed script among its documents with its own copyright file and changelog, nothing outside
# those folders, no file that probe-tools has too, no maintainer scripts. Then, both packages
# unpacked into one temporary folder, Debian's Python imports the module from there, reads the
# sample probes of probe-tools through the libraries of its program folder, and the installed
# example runs.
# Arguments: the python3-probe-tools .deb file, the probe-tools .deb file.
set -euo pipefail
deb=$1 tools_deb=$2
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
field() { dpkg-deb -f "$1" "$2"; }
[ "$(field "$deb" Package)" = python3-probe-tools ] || fail "package name"
[ "$(field "$deb" Architecture)" = "$(field "$tools_deb" Architecture)" ] || fail "architecture"
version=$(field "$tools_deb" Version)
depends=$(field "$deb" Depends)
items=$(sed 's/, */\n/g' <<<"$depends")
grep -Fqx "probe-tools (= $version)" <<<"$items" || fail "no probe-tools (= $version) in Depends: $depends"
names=$(sed 's/ (.*//' <<<"$items")
for package in python3 python3-numpy libc6 libstdc++6; do
  grep -Fqx "$package" <<<"$names" || fail "$package missing from Depends: $depends"
done

contents=$(dpkg-deb -c "$deb")
grep -Eq ' \./usr/lib/python3/dist-packages/probe_tools\.cpython-[0-9]+-[^ /]*\.so$' <<<"$contents" ||
  fail "the Python module is not in the package"
doc=share/doc/python3-probe-tools
for file in lib/python3/dist-packages/probe_tools.pyi $doc/copyright $doc/changelog.gz \
  $doc/examples/immersion.py $doc/examples/bench_speed.py; do
  grep -q " ./usr/$file\$" <<<"$contents" || fail "$file not in the package"
done
files() { dpkg-deb -c "$1" | grep -v '^d' | sed 's/^.* \.\//\//; s/ -> .*//' | sort; }
if files "$deb" | grep -Ev "^/usr/(lib/python3/dist-packages|$doc)/"; then
  fail "files outside the module's and the documents' folders"
fi
if comm -12 <(files "$deb") <(files "$tools_deb") | grep .; then fail "files in both packages"; fi
if dpkg-deb --info "$deb" | grep -Eq '^ .* (postinst|postrm|preinst|prerm|triggers)'; then
  fail "maintainer scripts in the package"
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$tools_deb" "$root"
dpkg-deb -x "$deb" "$root"
# The module of this package, not one installed on the machine, with the libraries of the other.
export PYTHONPATH=$root/usr/lib/python3/dist-packages PYTHONDONTWRITEBYTECODE=1
read -r module probes < <(/usr/bin/python3 -c \
  'import probe_tools, sys; print(probe_tools.__file__, len(probe_tools.read(sys.argv[1])))' \
  "$root/usr/share/probe-tools/examples/probes.dt") || fail "probe_tools does not work unpacked"
[[ "$module" == "$root/"* ]] || fail "imported $module, not the package's module"
[ "$probes" = 6 ] || fail "probe_tools read $probes probes of the sample file, not 6"
# The example finds the sample file of probe-tools and draws into the folder it is run in.
(cd "$root" && MPLBACKEND=Agg /usr/bin/python3 "$root/usr/$doc/examples/immersion.py" >/dev/null) ||
  fail "the installed example fails"
[ -s "$root/immersion.png" ] || fail "the installed example drew no picture"
echo "$deb: $(grep -c . <<<"$contents") entries; Depends: $depends"
