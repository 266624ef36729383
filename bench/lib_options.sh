# shellcheck shell=bash
# Option parsing shared by the bench scripts, sourced by them. A script sets each option's
# default in a variable of the option's name and then calls
#
#   parse_options "[--build DIR] [--seconds S]" build seconds -- "$@"
#
# `--name VALUE` sets variable `name` (a dash in an option is an underscore in its variable);
# anything else prints the usage line and ends the script with status 2.
parse_options() {
  local usage="$1" names=() name found
  shift
  while [ $# -gt 0 ] && [ "$1" != -- ]; do names+=("$1"); shift; done
  shift
  while [ $# -gt 0 ]; do
    found=""
    for name in "${names[@]}"; do [ "$1" = "--${name//_/-}" ] && found="$name" && break; done
    if [ -z "$found" ] || [ $# -lt 2 ]; then
      echo "usage: $0 $usage" >&2
      exit 2
    fi
    printf -v "$found" '%s' "$2"
    shift 2
  done
}

# The saver in build folder $1, as an absolute path; ends the script when it has not been built.
saver_in() {
  local saver
  saver="$(cd "$1" 2>/dev/null && pwd)/larkspill"
  [ -x "$saver" ] || { echo "no saver at $1/larkspill (build the larkspill target)" >&2; exit 1; }
  echo "$saver"
}
