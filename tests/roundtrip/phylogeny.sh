#!/usr/bin/env bash
# A tree built with Debian's mafft and FastTree and read by Biopython's
# Bio.Phylo has one leaf per record, named exactly as tarvelo names the
# record's FASTA header without -m: the Newick-safe modes (-r 2, -r 3) go
# through the aligner and the tree program unchanged, and with -m the m4
# definitions put the labels back into a tree of accessions. The records
# (sample/homologs.gb, a dozen 200 bp variants of one sequence)
# hold blanks, parentheses, brackets, commas, colons and apostrophes.
source "$(dirname "$0")/common.sh"
for tool in mafft FastTree m4; do
  command -v $tool >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
/usr/bin/python3 -c 'import Bio' 2>/dev/null || { echo "SKIP: python3-biopython is not installed"; exit 77; }
gb=$source_dir/sample/homologs.gb

# leaves_are_headers TREE OPTION...: the leaves of TREE are the headers of tarvelo OPTION...
leaves_are_headers() {
  local tree=$1; shift
  "$tarvelo" "$@" "$gb" >"$work/long.fa" || { fail "tarvelo $*"; return; }
  /usr/bin/python3 - "$tree" "$work/long.fa" <<'END' || fail "leaves differ from the headers of: $*"
import sys
from Bio import Phylo
tree, fasta = sys.argv[1:]
leaves = sorted(leaf.name for leaf in Phylo.read(tree, "newick").get_terminals())
# A quoted Newick name is the text between the quotes, each '' one '; Bio.Phylo
# reports the text between the quotes (it ends a name at a doubled apostrophe,
# so the quoted mode is checked with labels that hold none).
names = [h[1:-1].replace("''", "'") if h[0] == "'" else h
         for h in (line[1:-1] for line in open(fasta, encoding="latin-1") if line[0] == ">")]
assert len(names) == 12 and leaves == sorted(names), sorted(set(leaves) ^ set(names))
END
}

# tree FASTA: align FASTA and make a tree of it in $work/tree.nwk
tree() { mafft --quiet "$1" >"$work/aln.fa" && FastTree -nt -quiet "$work/aln.fa" >"$work/tree.nwk"; }

for options in "-r 2 -l oaic" "-r 3 -l doaic"; do
  "$tarvelo" $options "$gb" >"$work/long.fa" && tree "$work/long.fa" || fail "tree of $options"
  leaves_are_headers "$work/tree.nwk" $options
done
for options in "-r 2 -l oai" "-r 3 -l doaic" "-r 4 -l oaic" "-r 5 -l dac" "-q -r 4 -l oai" "-q -r 4 -l aoc"; do
  "$tarvelo" $options -m "$work/labels.m4" "$gb" >"$work/short.fa" && tree "$work/short.fa" &&
    m4 "$work/labels.m4" "$work/tree.nwk" >"$work/labelled.nwk" || fail "tree of -m $options"
  leaves_are_headers "$work/labelled.nwk" $options
done
exit $status
