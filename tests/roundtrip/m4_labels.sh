#!/usr/bin/env bash
# GNU m4 with the definitions written by -m turns texts that name records by
# accession (the FASTA or rows written with -m, and a tree) into the same
# texts written with the full labels, which are the labels tarvelo writes
# without -m, each backquote turned into an apostrophe.
source "$(dirname "$0")/common.sh"
need m4 "GNU m4"
m4 --version | grep -q 'GNU M4' || { echo "SKIP: m4 is not GNU m4"; exit 77; }

inputs=("$records" "$sample")
# Cleaned with the replacement mode given after it.
user="u's \`x' (1, 2) #3"

# names FILE: the header lines of FASTA without their '>', or every row.
names() {
  if [ "$(head -c1 "$1")" = ">" ]; then sed -n 's/^>//p' "$1"; else cat "$1"; fi
}

# tree: a nested tree text over the names read, one per line.
tree() {
  awk '{ t = NR == 1 ? $0 ":0.1" : "(" t "," $0 ":0." NR ")" } END { print t ";" }'
}

# relabel FILE: FILE after m4 has read the definitions. A definition that
# m4 rescans into itself never ends, so m4 gets 20 seconds and 4 MB of output;
# whatever m4 says on standard error is kept in m4.err.
relabel() {
  timeout 20 m4 "$work/defs.m4" "$1" 2>"$work/m4.err" | head -c 4000000
}

# check OPTION...: m4 relabels the -m output and a tree of its accessions,
# silently.
check() {
  "$tarvelo" "$@" "${inputs[@]}" | tr '`' "'" >"$work/labelled" &&
    "$tarvelo" "$@" -m "$work/defs.m4" "${inputs[@]}" >"$work/short" ||
    { fail "tarvelo failed for: $*"; return; }
  names "$work/labelled" | tree >"$work/tree.expected"
  names "$work/short" | tree >"$work/tree.nwk"
  local name expected
  for name in short tree.nwk; do
    expected=$work/labelled
    [ "$name" = tree.nwk ] && expected=$work/tree.expected
    if ! relabel "$work/$name" >"$work/relabelled" || [ -s "$work/m4.err" ]; then
      fail "m4 failed on $name for: $*"
      head -c 300 "$work/m4.err"
    elif ! cmp -s "$work/relabelled" "$expected"; then
      fail "m4 relabelled $name wrongly for: $*"
      diff "$work/relabelled" "$expected" | head -c 600
      echo
    fi
  done
}

# Double quoting (the default) protects any label: apostrophes, backquotes,
# commas, unbalanced parentheses, '#', and words that are m4 builtins
# (an organism "define len index", a source "eval(1+2) divert(-1) dnl ...").
for mode in 0 1 2 3 4 5; do
  check -l oa -r "$mode"
  check -l aodshcljptfu -u "$user" -r "$mode"
done
check -t -l aodshcljptfu -u "$user"
check -l ao -s , -r 2

# Single quoting: m4 rescans the expansion, so it suits labels that hold no
# macro name as a word of their own, such as those of replacement mode 4
# joined by '_' (the accession itself must not stand alone either).
check -q -l oa -r 4
check -q -l aodshcljptfu -u "$user" -r 4
check -q -t -l oict -r 4

finish
