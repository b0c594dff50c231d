#!/usr/bin/env bash
# The Snakemake workflow of workflow/ converts a folder of plain and
# gzip-compressed files, one job per file, into the bytes that one sequential
# run over the files in name order writes: the FASTA and the definitions.
source "$(dirname "$0")/common.sh"
command -v snakemake >/dev/null || { echo "SKIP: snakemake is not installed"; exit 77; }
export LC_ALL=C  # the shell's file name order is the workflow's byte order
release=$work/release
mkdir "$release"
cp "$sample" "$release/a.gb"
gzip -c "$sample" >"$release/b.seq.gz"
cp "$source_dir/sample/homologs.gb" "$release/c.gb"
gzip -c "$source_dir/sample/homologs.gb" >"$release/d 1.gb.gz"
options="-l afoi -r 2"
"$tarvelo" $options -m "$work/all.m4" "$release"/* >"$work/all.fa" || fail "sequential run"
snakemake -s "$source_dir/workflow/Snakefile" --cores 1 -d "$work/run" \
  --config release="$release" tarvelo="$tarvelo" options="$options" >"$work/log" 2>&1 ||
  { cat "$work/log"; fail "snakemake"; }
cmp "$work/run/release.fa" "$work/all.fa" && cmp "$work/run/release.m4" "$work/all.m4" ||
  fail "the workflow's outputs differ from one run"
exit $status
