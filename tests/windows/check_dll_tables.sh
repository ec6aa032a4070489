#!/usr/bin/env bash
# Checks PushNote.dll's tables: the exports are exactly those the .def file
# lists, each undecorated and with its fixed ordinal, and every import is a
# system DLL (libgcc, libstdc++ and winpthread must be linked in statically).
# Usage: check_dll_tables.sh DLL DEF_FILE EXPECTED_FORMAT
set -euo pipefail
dll=$1 def=$2 format=$3

declare -A fixed_ordinals=([HttpReadFile]=1 [SetAccessToken]=2 [PushNote]=3 [PushNoteWithImage]=4
                          [PushNoteW]=5 [PushNoteWithImageW]=6)
allowed_imports='^(kernel32|msvcrt|wininet|ole32|oleaut32|windowscodecs|user32|advapi32)\.dll$'
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

objdump -f "$dll" | grep -q "file format $format" || fail "not a $format image"

# Exports as "ordinal name", from the name pointer table and the ordinal base.
base=$(objdump -p "$dll" | sed -n 's/^Export Address Table -- Ordinal Base \([0-9]*\).*/\1/p')
actual=$(objdump -p "$dll" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n "s/^\s*\[ *\([0-9]*\)\] \(.*\)$/\1 \2/p" |
    while read -r index name; do echo "$((base + index)) $name"; done | sort -n)
expected=$(sed -n 's/^\s*\([A-Za-z]*\)\s*@\([0-9]*\).*/\2 \1/p' "$def" | sort -n)

[ -n "$expected" ] || fail "no exports listed in $def"
[ "$actual" = "$expected" ] || fail "exports differ from $def: got [$actual], want [$expected]"
while read -r ordinal name; do
    [ -n "$name" ] || continue
    [ "${fixed_ordinals[$name]:-}" = "$ordinal" ] || fail "$name has ordinal $ordinal"
done <<<"$actual"

while read -r import; do
    echo "$import" | tr 'A-Z' 'a-z' | grep -Eq "$allowed_imports" || fail "imports $import"
done < <(objdump -p "$dll" | sed -n 's/^\s*DLL Name: //p')

echo "exports: $(echo $actual)"
echo "imports: $(objdump -p "$dll" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')"
exit $((failures > 0))
