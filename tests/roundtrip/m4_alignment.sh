#!/usr/bin/env bash
# The README's recipe for an alignment (which the manual page shows too), run
# as the README writes it, hands m4 the header lines only: on a protein
# alignment whose gaps cut out words that m4 takes for its own (dnl deletes
# the rest of a line, sysval and divnum become 0), every sequence line comes
# back byte for byte and every header as tarvelo writes it without -m. A tree
# whose names are accessions may go through m4 whole: its branch lengths,
# support values and node labels such as 95/100 come back unchanged, the
# accessions relabelled.
source "$(dirname "$0")/common.sh"
need m4 'GNU M4'
# The README's command that writes aligned.labelled.fa, with the lines it
# continues on (after a trailing | or \).
recipe=$(awk '/^\$ / { c = substr($0, 3); while (c ~ /[|\\]$/ && (getline l) > 0) c = c "\n" l
                       if (c ~ /aligned\.labelled\.fa/) print c }' "$source_dir/README.md")
[ -n "$recipe" ] || { echo "FAIL: README.md shows no command that writes aligned.labelled.fa"; exit 1; }
# The manual page shows the same command.
if command -v groff >/dev/null; then
  page=$(groff -man -Tascii -P-cbou "$source_dir/doc/tarvelo.1" 2>/dev/null | sed 's/^ *//')
  while read -r line; do
    grep -qxF -- "$line" <<<"$page" || fail "the manual page lacks the README's line: $line"
  done <<<"$recipe"
fi

{
  rec AB000001 "Homo sapiens (O'Brien), #1"
  rec AB000002 'dnl sysval `define'"'"
  rec AB000003 'Mus musculus: [x] 1e-05'
} >"$work/p.gb"
accessions=(AB000001 AB000002 AB000003)
# Each record's aligned sequence lines.
lines=('mkt-dnl-aaagg' '-sysval-len--eval-' '-index-incr-decr-' '-shift-format--' 'mkt-divnum-unix-'
       '---------------')

# newick NAME NAME NAME: a tree of the forms FastTree writes, with node
# labels of support values.
newick() { printf '((%s:0.013764680,%s:1e-05)0.763:0.000000005,%s:2.5E-3)95/100:0.1;\n' "$@"; }

# check LIST OPTION...: the recipe and a tree, relabelled, for tarvelo -l LIST
# OPTION... The labels are those written without -m, each backquote an
# apostrophe, and a T before a taxon id that begins the label.
check() {
  local t='' i
  [[ $1 == i* ]] && t=T
  set -- -l "$@"
  rm -f "$work"/{labels.m4,aligned.fa,aligned.labelled.fa}
  "$tarvelo" "$@" "$work/p.gb" | grep '^>' | tr '`' "'" | sed "s/^>\('\{0,1\}\)/>\1$t/" >"$work/headers" &&
    "$tarvelo" "$@" -m "$work/labels.m4" "$work/p.gb" >/dev/null || { fail "tarvelo $*"; return; }
  mapfile -t headers <"$work/headers"
  for i in 0 1 2; do
    printf '>%s\n%s\n%s\n' "${accessions[i]}" "${lines[2 * i]}" "${lines[2 * i + 1]}"
  done >"$work/aligned.fa"
  for i in 0 1 2; do
    printf '%s\n%s\n%s\n' "${headers[i]}" "${lines[2 * i]}" "${lines[2 * i + 1]}"
  done >"$work/expected.fa"
  (cd "$work" && bash -o pipefail -c "$recipe") && cmp -s "$work/aligned.labelled.fa" "$work/expected.fa" ||
    fail "the README's recipe relabels the alignment wrongly for: $*"
  newick "${accessions[@]}" >"$work/tree.nwk"
  newick "${headers[@]#>}" >"$work/expected.nwk"
  (cd "$work" && m4 labels.m4 tree.nwk) | cmp -s - "$work/expected.nwk" ||
    fail "m4 relabels a tree wrongly for: $*"
}
check oa -r 3
check ioa -r 0
check ias -r 5
exit $status
