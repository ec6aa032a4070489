#!/usr/bin/env bash
# Compiles the locales that the locale tests run under into OUTDIR, for
# LOCPATH=OUTDIR: the LOCALEs given, else the single-byte fr_FR.CP1252 and
# de_DE.ISO-8859-1. Keeps those already there.
set -euo pipefail

if [[ $# -lt 1 ]]; then
    echo "usage: $0 OUTDIR [LOCALE...]" >&2
    exit 2
fi
out=$1
shift
locales=("$@")
[[ ${#locales[@]} -gt 0 ]] || locales=(fr_FR.CP1252 de_DE.ISO-8859-1)
mkdir -p "$out"
for locale in "${locales[@]}"; do
    [[ -s $out/$locale/LC_CTYPE ]] && continue
    # localedef exits 1 for mere warnings about the source; the result decides.
    localedef -i "${locale%%.*}" -f "${locale#*.}" "$out/$locale" || true
    if [[ ! -s $out/$locale/LC_CTYPE ]]; then
        echo "$0: cannot compile $locale (are libc-bin and locales installed?)" >&2
        exit 1
    fi
done
