#!/bin/bash
# Puts each deliberate fault of tools/faults.txt, alone, into a scratch copy of this tree,
# rebuilds it and runs the tests, to see whether the tests catch it. A developer's tool: not
# part of ./test.sh or CI. The working tree is never written to, so stopping this at any moment
# leaves the checkout as it was; the scratch copy is removed on the way out.
#
# usage: tools/fault_check.sh [-f FAULTS] [-b BUILD_DIR] [-t TARGETS] [-R REGEX] [-L LABEL] [-o RESULTS] [N...]
#   N...        fault numbers (1 is the first entry of the list); default: all of them
#   -f FAULTS   the fault list (default: tools/faults.txt of this tree)
#   -b DIR      its own build tree, kept between runs so rebuilds are incremental
#               (default: /tmp/larkspill-faults-build)
#   -t TARGETS  build only these targets (space separated), for a quick look with -R or -L
#   -R, -L      only the tests ctest selects with this regex or label; default: the whole suite,
#               in stages (unit, dialog, integration, e2e, the rest) that stop at the first failure
#   -o FILE     the machine-readable results (default: BUILD_DIR/fault-results.tsv), one line per
#               fault: number, verdict, seconds, failed tests, file, description
#
# A verdict is "caught" (a test failed or timed out), "NOT caught" (every test passed), "did not
# build", or "bad entry" (the line to replace is not in the file exactly once). A fault that does
# not build proves nothing about the tests: choose faults that build.
set -u

root=$(cd "$(dirname "$0")/.." && pwd)
faults=$root/tools/faults.txt
build=/tmp/larkspill-faults-build
regex=
label=
targets=
results=
while getopts "f:b:t:R:L:o:h" opt; do
  case $opt in
    f) faults=$(realpath "$OPTARG") ;;
    b) build=$(realpath -m "$OPTARG") ;;
    t) targets=$OPTARG ;;
    R) regex=$OPTARG ;;
    L) label=$OPTARG ;;
    o) results=$(realpath -m "$OPTARG") ;;
    *) sed -n '2,/^set -u/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
results=${results:-$build/fault-results.tsv}

# Entries: file <TAB> line as it stands (leading and trailing blanks aside) <TAB> its
# replacement <TAB> what the fault is. '#' lines and blank lines are not entries.
mapfile -t entries < <(grep -v -e '^#' -e '^[[:space:]]*$' "$faults")
if [ $# -eq 0 ]; then
  set -- $(seq 1 ${#entries[@]})
fi
for n in "$@"; do
  if ! [[ $n =~ ^[0-9]+$ ]] || [ "$n" -lt 1 ] || [ "$n" -gt ${#entries[@]} ]; then
    echo "fault_check: no fault $n in $faults (it has ${#entries[@]})" >&2
    exit 2
  fi
done

# The copy sits at a fixed path beside the build tree, as CMake ties a build tree to its source.
scratch=$build.src
cleanup() { rm -rf "$scratch"; }
trap cleanup EXIT
trap 'exit 130' INT TERM HUP
mkdir -p "$build"
rm -rf "$scratch" && mkdir -p "$scratch"
# Tracked and new files of the tree as they stand now, with their times, so the kept build tree
# rebuilds only what changed since its last run.
(cd "$root" && git ls-files -z --cached --others --exclude-standard |
  xargs -0 -r sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' sh |
  tar --null -T - -cf -) | tar -C "$scratch" -xf -
# The build tree knows files by their times, which say nothing across copies of different trees
# (a file of an older checkout may be newer than the objects built from this tree's): a file
# whose content differs from what the build tree last built, and every file the list touches
# (a run stopped with a fault in place), is made newer than anything built before.
manifest=$build/fault-sources.sha1
(cd "$scratch" && find . -type f -print0 | sort -z | xargs -0 sha1sum) > "$manifest.new"
if [ -f "$manifest" ]; then
  changed=$(diff "$manifest" "$manifest.new" | sed -n 's/^> [0-9a-f]*  //p')
else
  changed=$(cut -c43- "$manifest.new")
fi
for e in "${entries[@]}"; do
  changed+=$'\n'${e%%$'\t'*}
done
# Files a run of another list left faulted in the build tree (it is not rebuilt after the last one).
touched=$build/fault-touched
[ -f "$touched" ] && changed+=$'\n'$(cat "$touched")
while IFS= read -r f; do
  [ -n "$f" ] && [ -f "$scratch/$f" ] && touch "$scratch/$f"
done <<< "$changed"
rm -f "$manifest"  # kept only once the build below has succeeded

log=$build/fault-check.log
: > "$log"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$scratch" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_INSTALL_PREFIX=/usr -DLARKSPILL_WERROR=ON -DLARKSPILL_BENCH=OFF \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >> "$log" 2>&1 ||
    { echo "fault_check: cannot configure $build (see $log)" >&2; exit 1; }
fi
if ! nice cmake --build "$build" -j2 ${targets:+--target $targets} >> "$log" 2>&1; then
  echo "fault_check: the tree does not build without faults (see $log)" >&2
  exit 1
fi
mv "$manifest.new" "$manifest"
: > "$touched"

# Puts the entry's replacement in place of its line; says why not when it cannot.
apply() {
  python3 - "$scratch/$1" "$2" "$3" <<'EOF'
import sys
path, find, replace = sys.argv[1], sys.argv[2].strip(), sys.argv[3].strip()
try:
    lines = open(path, encoding="utf-8").read().split("\n")
except OSError as e:
    sys.exit(f"cannot read {path}: {e.strerror}")
hits = [i for i, line in enumerate(lines) if line.strip() == find]
if len(hits) != 1:
    sys.exit(f"the line is in the file {len(hits)} times, not once")
line = lines[hits[0]]
lines[hits[0]] = line[: len(line) - len(line.lstrip())] + replace
open(path, "w", encoding="utf-8").write("\n".join(lines))
EOF
}

# Runs the tests; prints the failed ones and returns 1 when any failed.
run_tests() {
  local stages=()
  if [ -n "$regex$label" ]; then
    stages=("${regex:+-R $regex}${label:+ -L $label}")
  else
    stages=("-L ^unit$" "-L ^dialog$" "-L ^integration$" "-L ^e2e$"
            "-LE ^(unit|dialog|integration|e2e)$")
  fi
  local stage
  for stage in "${stages[@]}"; do
    rm -f "$build/Testing/Temporary/LastTestsFailed.log"
    # shellcheck disable=SC2086  # a stage is several words
    if ! nice ctest --test-dir "$build" -j2 --stop-on-failure --timeout 120 --output-on-failure \
        --no-tests=ignore $stage >> "$log" 2>&1; then
      if [ -f "$build/Testing/Temporary/LastTestsFailed.log" ]; then
        cut -d: -f2- "$build/Testing/Temporary/LastTestsFailed.log" | paste -sd, -
      else
        echo "?"
      fi
      return 1
    fi
  done
  return 0
}

printf '#\tverdict\tseconds\tfailed\tfile\tfault\n' > "$results"
caught=0 missed=0 unbuilt=0 bad=0
pass_start=$(date +%s)
for n in "$@"; do
  # Split by hand: read would merge the two tabs around an empty replacement.
  entry=${entries[$((n - 1))]}
  file=${entry%%$'\t'*} entry=${entry#*$'\t'}
  find=${entry%%$'\t'*} entry=${entry#*$'\t'}
  replace=${entry%%$'\t'*} what=${entry#*$'\t'}
  start=$(date +%s)
  failed=
  echo "=== fault $n: $file: $what" >> "$log"
  kept=$build/fault-original
  cp "$scratch/$file" "$kept" 2>/dev/null
  echo "$file" >> "$touched"
  if ! why=$(apply "$file" "$find" "$replace" 2>&1); then
    verdict="bad entry"; failed=$why; bad=$((bad + 1))
  elif ! nice cmake --build "$build" -j2 ${targets:+--target $targets} >> "$log" 2>&1; then
    verdict="did not build"; unbuilt=$((unbuilt + 1))
  elif failed=$(run_tests); then
    verdict="NOT caught"; missed=$((missed + 1))
  else
    verdict="caught"; caught=$((caught + 1))
  fi
  # Back to the line as it was, with a new time so the next build compiles it again.
  [ -f "$kept" ] && cp "$kept" "$scratch/$file" && rm -f "$kept"
  seconds=$(($(date +%s) - start))
  printf '%3d  %-13s %4ds  %s: %s%s\n' "$n" "$verdict" "$seconds" "$file" "$what" \
    "${failed:+  [$failed]}"
  printf '%d\t%s\t%d\t%s\t%s\t%s\n' "$n" "$verdict" "$seconds" "$failed" "$file" "$what" \
    >> "$results"
done
echo "$# faults: $caught caught, $missed NOT caught, $unbuilt did not build, $bad bad entries;" \
  "$(($(date +%s) - pass_start)) s; results in $results"
[ $((missed + unbuilt + bad)) -eq 0 ]
