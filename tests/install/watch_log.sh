# What the test plug-in (startup_watch) must have written of an editor that came up, loaded the
# sample probe file and showed a surface: sourced by the start tests, which define `fail`.
#
# check_watch_log <log> <folder the libraries must come from> <library file ending: so | dll>
check_watch_log() {
  local log=$1 folder=$2 ending=$3 case=()
  # Windows file names are compared without regard to case.
  [ "$ending" = dll ] && case=(-i)
  if grep '^watch: box' "$log"; then fail "the editor showed boxes"; fi
  grep -qx 'watch: window «Редактор ЖУВ» icon=yes' "$log" ||
    fail "the editor's window did not come up with its icon"
  grep -Eqx 'watch: records [1-9][0-9]*' "$log" || fail "no records listed"
  grep -qx 'watch: probes loaded' "$log" || fail "the sample probes were not loaded"
  grep -q '^watch: viewer' "$log" || fail "no surface was shown"
  grep -qx 'watch: done' "$log" || fail "the watch did not finish"
  local library
  for library in probestore surfstore surfarch surfview1; do
    grep -Fqx "${case[@]}" "watch: library $folder/$library.$ending" "$log" ||
      fail "$library.$ending not bound from $folder"
  done
  if grep '^watch: library' "$log" | grep -Fv "${case[@]}" "$folder/"; then
    fail "a library was bound from outside $folder"
  fi
}
