#!/usr/bin/env bash
# Biopython (Debian's python3-biopython) parses the FASTA and the rows that
# tarvelo writes and agrees with them; the records are read as written and
# with CRLF line ends.
source "$(dirname "$0")/common.sh"
python=/usr/bin/python3
[ -x "$python" ] || { echo "SKIP: $python is not installed"; exit 77; }
"$python" -c 'import Bio' 2>/dev/null || { echo "SKIP: python3-biopython is not installed"; exit 77; }

sed 's/$/\r/' "$records" >"$work/crlf.gb"
"$python" "$source_dir/tests/roundtrip/biopython_check.py" "$tarvelo" \
  "$records" "$sample" "$work/crlf.gb"
