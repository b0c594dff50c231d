# Shared by the round-trip scripts, which ctest starts as
#   bash SCRIPT TARVELO_BINARY SOURCE_DIR
# A script exits 77 (reported as skipped) when a tool it needs is missing, 1
# when a case failed (each failure is listed), 0 otherwise.
set -uo pipefail
tarvelo=$1
source_dir=$2
sample=$source_dir/sample/sample.gb
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

# need COMMAND NAME: skip unless COMMAND --version names NAME.
need() {
  "$1" --version 2>/dev/null | grep -q "$2" || { echo "SKIP: $2 is not installed"; exit 77; }
}
fail() { echo "FAIL: $*"; status=1; }
# rec ACCESSION ORGANISM: a record of both, taxon 1.
rec() {
  printf '%s\n' "LOCUS       $1" 'DEFINITION  x' "ACCESSION   $1" 'SOURCE      x' \
    "  ORGANISM  $2" '            E.' 'REFERENCE   1' '  AUTHORS   A.' '  JOURNAL   U' \
    '                     /db_xref="taxon:1"' 'ORIGIN' '        1 acgt' '//'
}
