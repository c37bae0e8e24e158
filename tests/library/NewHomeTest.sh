#!/usr/bin/env bash
# scripts/new-home: a new home, by --home DIR or --home=DIR, gets the starter velocity
# library as save/tableku.tku; an existing home is left exactly as it was.
# Usage: NewHomeTest.sh SCRIPTS/new-home DATA/tableku.tku
set -uo pipefail
new_home="$(realpath "$1")"
starter="$(realpath "$2")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Every file below a folder with its contents' checksum, to compare before and after.
snapshot() {
    (cd "$1" && find . | sort && find . -type f -exec sha256sum {} + | sort)
}

has_starter() {
    cmp -s "$starter" "$1/save/tableku.tku" || fail "$2: $1/save/tableku.tku is not the starter table"
}

[ -s "$starter" ] || fail "no starter table at $starter"

# A new home given as --home DIR, several levels deep, among the other options.
"$new_home" --port /dev/null --home "$work/a/b/home" --usb "$work/usb" || fail "--home DIR: exit status $?"
has_starter "$work/a/b/home" "--home DIR"
[ "$(ls -A "$work/a/b/home/save")" = tableku.tku ] || fail "--home DIR: save/ holds more than the table"
[ ! -e "$work/usb" ] || fail "--usb DIR was created"

# A new home given as --home=DIR, relative to the working folder as the program reads it.
(cd "$work" && "$new_home" --home=rel/home) || fail "--home=DIR: exit status $?"
has_starter "$work/rel/home" "--home=DIR"

# The last --home wins; an option's value is not an option.
"$new_home" --home "$work/first" --home="$work/last" || fail "two --home: exit status $?"
[ ! -e "$work/first" ] || fail "two --home: the first one was made"
has_starter "$work/last" "two --home"
"$new_home" --port --home "$work/not-a-home" || fail "--port --home: exit status $?"
[ ! -e "$work/not-a-home" ] || fail "--port --home: the port's value was taken for an option"

# An existing home without a table stays without one.
mkdir -p "$work/empty"
before="$(snapshot "$work/empty")"
"$new_home" --home "$work/empty" || fail "existing empty home: exit status $?"
[ "$before" = "$(snapshot "$work/empty")" ] || fail "an existing empty home was changed"

# An existing home with its own table and files is left exactly as it was.
mkdir -p "$work/used/save"
printf 'A\0\n\0001\0.\0005\0000\0000\0 \0\n\0' >"$work/used/save/tableku.tku"
printf '[KS-518]\n' >"$work/used/pel.ini"
touch -d '2001-02-03 04:05:06' "$work/used/save/tableku.tku"
before="$(snapshot "$work/used")"
stamp="$(stat -c %Y "$work/used/save/tableku.tku")"
"$new_home" --home="$work/used" || fail "existing home: exit status $?"
[ "$before" = "$(snapshot "$work/used")" ] || fail "an existing home was changed"
[ "$stamp" = "$(stat -c %Y "$work/used/save/tableku.tku")" ] || fail "an existing table was rewritten"

# An existing home without save/ gets none.
mkdir -p "$work/nosave"
"$new_home" --home "$work/nosave" || fail "home without save/: exit status $?"
[ ! -e "$work/nosave/save" ] || fail "save/ was made in an existing home"

# Without --home, or with an empty one, nothing is made.
(cd "$work/empty" && "$new_home" --port /dev/null && "$new_home" --home=) || fail "no home: exit status $?"
[ -z "$(ls -A "$work/empty")" ] || fail "something was made without a home"

if [ $failures -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "new-home: all checks passed"
