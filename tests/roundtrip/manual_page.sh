#!/usr/bin/env bash
# The manual page formats without a groff warning and explains every failure
# that the program can report.
source "$(dirname "$0")/common.sh"
need groff 'GNU groff'
page=$source_dir/doc/tarvelo.1
warnings=$(groff -ww -z -man -Tutf8 "$page" 2>&1) && [ -z "$warnings" ] ||
  fail "groff warns: $warnings"
names=$(grep -rhoE '"(TARVELO|TEXTUTILS)\.[A-Z0-9_.]+"' "$source_dir/src" | tr -d '"' | sort -u |
  grep -vx 'TARVELO\.INVALID_FILENAME')
for name in $names "Invalid filename." "Invalid argument." "Invalid label component."; do
  grep -qF "$name" "$page" || fail "$page does not explain $name"
done
exit $status
