#!/usr/bin/env bash
# Converting files in shards with GNU parallel, one definitions file per
# shard, gives byte for byte the FASTA and the definitions of one sequential
# run once the shards are put together in input order (-k keeps that order).
source "$(dirname "$0")/common.sh"
need parallel 'GNU parallel'
mkdir "$work/defs"
for i in 1 2 3 4 5; do cp "$sample" "$work/gb$i.seq"; done  # the file-name component differs
files=("$work"/gb?.seq)
options=(-l afoi -r 2)
"$tarvelo" "${options[@]}" -m "$work/all.m4" "${files[@]}" >"$work/all.fa" || fail "sequential run"
for size in 1 3; do
  rm -f "$work"/defs/*
  parallel --will-cite -k -j2 -N "$size" "$tarvelo" "${options[@]}" -m "$work/defs/{#}.m4" {} \
    ::: "${files[@]}" >"$work/shards.fa" || fail "parallel run, $size file(s) per shard"
  cat "$work"/defs/*.m4 | cmp -s - "$work/all.m4" && cmp -s "$work/shards.fa" "$work/all.fa" ||
    fail "shards of $size file(s) differ from one run"
done
exit $status
