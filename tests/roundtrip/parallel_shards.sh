#!/usr/bin/env bash
# Converting a set of files in shards with GNU parallel, one definitions file
# per shard, gives byte for byte the FASTA and the definitions of one
# sequential run over the same files, once the shards are concatenated in
# input order (parallel -k keeps the order of standard output).
source "$(dirname "$0")/common.sh"
need parallel "GNU parallel"
parallel --version 2>/dev/null | grep -q 'GNU parallel' ||
  { echo "SKIP: parallel is not GNU parallel"; exit 77; }

# Seven inputs; their names differ so that the file-name component does too.
mkdir "$work/release" "$work/defs"
for i in 1 2 3 4 5 6 7; do
  if [ $((i % 2)) -eq 1 ]; then cp "$records" "$work/release/gb$i.seq"
  else cp "$sample" "$work/release/gb$i.seq"; fi
done
files=("$work"/release/gb?.seq)
options=(-l afoi -r 2)

"$tarvelo" "${options[@]}" -m "$work/all.m4" "${files[@]}" >"$work/all.fa" ||
  fail "sequential run failed"

# shards SIZE: SIZE files per job, two jobs at a time.
shards() {
  rm -f "$work"/defs/*
  parallel --will-cite -k -j2 -N "$1" \
    "$tarvelo" "${options[@]}" -m "$work/defs/shard{#}.m4" {} ::: "${files[@]}" \
    >"$work/shards.fa" || fail "parallel run failed for $1 file(s) per shard"
  local count=$(( (${#files[@]} + $1 - 1) / $1 )) n
  for ((n = 1; n <= count; n++)); do cat "$work/defs/shard$n.m4"; done >"$work/shards.m4"
  cmp "$work/shards.fa" "$work/all.fa" || fail "FASTA of shards of $1 differs"
  cmp "$work/shards.m4" "$work/all.m4" || fail "definitions of shards of $1 differ"
}
shards 1
shards 3

finish
