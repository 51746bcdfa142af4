#!/usr/bin/env bash
# Tests of tools/lib/ensure-packages.sh on lists of its own: groups are
# chosen by name, an installed package is left alone, a missing one stops a
# user without root rights with the apt-get line for it alone, and a broken
# list names its line. Skipped (77) without dpkg.
set -u
here=$(cd "$(dirname "$0")/../.." && pwd)
command -v dpkg-query >/dev/null || { echo "no dpkg-query: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# bash is installed wherever this runs; the other name is no package at all.
cat > "$work/list" <<'LIST'
# comment line
[present]   # a group with a comment
bash        # installed
[absent]
bash
boxmodel-no-such-package   # missing

[other]
coreutils
LIST

check() {  # check GROUPS... : runs ensure_packages, sets out and status
  out=$(BOXMODEL_PACKAGE_LIST="$work/list" BOXMODEL_ASSUME_NOT_ROOT=1 bash -c \
    'source "$1/tools/lib/ensure-packages.sh"; shift; ensure_packages "$@"' _ "$here" "$@" 2>&1)
  status=$?
}

check present other
[ "$status" = 0 ] && [ -z "$out" ] || fail "installed packages: status $status, output '$out'"

check present absent
[ "$status" = 1 ] || fail "a missing package: status $status, expected 1"
grep -qx "  apt-get install -y --no-install-recommends boxmodel-no-such-package" <<<"$out" ||
  fail "a missing package: no apt-get line for it alone in '$out'"

check nosuchgroup
[ "$status" = 1 ] && grep -q "$work/list: no group \[nosuchgroup\]" <<<"$out" ||
  fail "an unknown group: status $status, output '$out'"

echo "bash" > "$work/list"  # a package before any group
check present
[ "$status" = 1 ] && grep -q "$work/list: line 1: expected a package name or a \[group\] line" <<<"$out" ||
  fail "a package outside a group: status $status, output '$out'"

printf '[a]\ntwo names\n' > "$work/list"
check a
[ "$status" = 1 ] && grep -q "line 2: expected a package name" <<<"$out" ||
  fail "two names on a line: status $status, output '$out'"

# The project's own list: every group the scripts ask for exists.
out=$(bash -c 'source "$1/tools/lib/ensure-packages.sh"
  packages_of_groups build plot python-tests features hardening' _ "$here" 2>&1) ||
  fail "tools/packages.txt: $out"
grep -qx "libgtest-dev" <<<"$out" || fail "tools/packages.txt: no libgtest-dev in [build]"

[ "$failures" = 0 ] && echo "ensure_packages: all checks passed"
exit $((failures > 0))
