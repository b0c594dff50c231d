#!/usr/bin/env bash
# The manual page formats without a single groff warning, and names every
# failure that the program can report.
source "$(dirname "$0")/common.sh"
need groff
page=$source_dir/doc/tarvelo.1

if ! groff -ww -z -man -Tutf8 "$page" 2>"$work/groff.err" || [ -s "$work/groff.err" ]; then
  fail "groff warns about $page"
  cat "$work/groff.err"
fi

# Full names of failures as the sources spell them; the two string-library
# errors cannot arise in a run and an unopenable file is "Invalid filename.".
names=$(grep -rhoE '"(TARVELO|TEXTUTILS)\.[A-Z0-9_.]+"' "$source_dir/src" |
  tr -d '"' | sort -u |
  grep -vxE 'TARVELO\.INVALID_FILENAME|TEXTUTILS\.(LENGTH|PATTERN)_ERROR')
for name in $names "Invalid filename."; do
  grep -qF "$name" "$page" || fail "$page does not explain $name"
done

finish
