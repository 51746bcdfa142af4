# Sourced by the tools/*.sh scripts and .ci/run (bash).
#
# ensure_packages GROUP...
#   Checks that the Debian packages of the named groups of tools/packages.txt
#   are installed. When some are missing: as root, runs apt-get update and
#   installs only those (non-interactive, without recommended packages);
#   otherwise prints the apt-get line to run and returns 1. On a system
#   without dpkg it says so and returns 0 (the build then finds out).
#   Environment:
#     BOXMODEL_PACKAGE_LIST     another list file (default tools/packages.txt)
#     BOXMODEL_ASSUME_NOT_ROOT  1: behave as a user without root rights
#     BOXMODEL_APT_UPDATED      1: the package index is fresh, skip apt-get update
#
# python_with MODULE...
#   Prints the interpreter that imports every MODULE: Debian's /usr/bin/python3
#   first (python3-* packages install there), else python3 on PATH. When none
#   does, says on standard error which interpreter lacked which module and
#   returns 1.

boxmodel_tools_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# The packages of the named groups, one per line, in list order.
packages_of_groups() {
  local list=${BOXMODEL_PACKAGE_LIST:-$boxmodel_tools_dir/packages.txt}
  [ -r "$list" ] || { echo "$list: cannot read the package list" >&2; return 1; }
  awk -v wanted="$*" -v file="$list" '
    BEGIN { n = split(wanted, w, " "); for (i = 1; i <= n; i++) want[w[i]] = 1 }
    { sub(/#.*/, ""); gsub(/^[ \t]+|[ \t]+$/, "") }
    $0 == "" { next }
    /^\[[A-Za-z0-9_-]+\]$/ { group = substr($0, 2, length($0) - 2); seen[group] = 1; next }
    NF != 1 || group == "" {
      printf "%s: line %d: expected a package name or a [group] line, found \"%s\"\n", file, NR, $0 > "/dev/stderr"
      bad = 1; exit 1
    }
    (group in want) && !printed[$1]++ { print $1 }
    END {
      if (bad) exit 1
      for (g in want) if (!(g in seen)) {
        printf "%s: no group [%s]\n", file, g > "/dev/stderr"; exit 1
      }
    }' "$list"
}

ensure_packages() {
  local wanted missing=() pkg
  wanted=$(packages_of_groups "$@") || return 1
  if ! command -v dpkg-query >/dev/null 2>&1; then
    echo "Not a Debian system (no dpkg-query): cannot check for the packages" \
         "of tools/packages.txt [$*]; the build will say what it lacks." >&2
    return 0
  fi
  for pkg in $wanted; do
    [ "$(dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null)" = installed ] ||
      missing+=("$pkg")
  done
  [ ${#missing[@]} -gt 0 ] || return 0

  local install=(apt-get install -y --no-install-recommends "${missing[@]}")
  if [ "$(id -u)" != 0 ] || [ "${BOXMODEL_ASSUME_NOT_ROOT:-0}" = 1 ]; then
    {
      echo "Missing Debian packages: ${missing[*]}"
      echo "Install them as root (for example with sudo), then run this again:"
      echo "  ${install[*]}"
    } >&2
    return 1
  fi
  echo "Installing the missing Debian packages: ${missing[*]}"
  if [ "${BOXMODEL_APT_UPDATED:-0}" != 1 ]; then
    apt-get update || return 1
  fi
  DEBIAN_FRONTEND=noninteractive "${install[@]}" || return 1
}

python_with() {
  local candidates=() python found lacking=() module tried=""
  [ -x /usr/bin/python3 ] && candidates+=(/usr/bin/python3)
  python=$(command -v python3 2>/dev/null) && [ "$python" != /usr/bin/python3 ] &&
    candidates+=("$python")
  for python in "${candidates[@]}"; do
    found=1
    for module in "$@"; do
      if ! "$python" -c "import $module" >/dev/null 2>&1; then
        found=0
        lacking+=("$python lacks the Python package $module")
      fi
    done
    [ "$found" = 1 ] && { echo "$python"; return 0; }
    tried=1
  done
  if [ -z "$tried" ]; then
    echo "No Python interpreter: neither /usr/bin/python3 nor python3 on PATH" >&2
  else
    printf '%s\n' "${lacking[@]}" >&2
  fi
  return 1
}
