#!/usr/bin/env bash
# The Snakemake workflow of workflow/ converts the GenBank files of a release
# folder, plain and compressed, one job per file, into the bytes that one
# sequential run over them in name order writes: the FASTA and the
# definitions. The other files of the folder (a README, checksums, release
# notes) are listed as skipped, not converted. Without a tarvelo setting it
# runs build/tarvelo of its source tree when that exists, else the tarvelo
# on PATH.
source "$(dirname "$0")/common.sh"
command -v snakemake >/dev/null || { echo "SKIP: snakemake is not installed"; exit 77; }
export LC_ALL=C  # the shell's file name order is the workflow's byte order
release=$work/release
mkdir "$release"
cp "$sample" "$release/a.gb"
gzip -c "$sample" >"$release/gbbct1.seq.gz"
cp "$source_dir/sample/homologs.gb" "$release/c.gbff"
gzip -c "$source_dir/sample/homologs.gb" >"$release/d 1.gbk.bgz"
skipped=(GB_Release_Number README.genbank gbrel.txt md5sum.txt)
for name in "${skipped[@]}"; do echo "not GenBank" >"$release/$name"; done
options="-l afoi -r 2"
pattern=$(sed -n 's/^pattern: "\(.*\)"$/\1/p' "$source_dir/workflow/config.yaml")
"$tarvelo" $options -m "$work/all.m4" "$release"/{a.gb,c.gbff,'d 1.gbk.bgz',gbbct1.seq.gz} \
  >"$work/all.fa" || fail "sequential run"

# A copy of the workflow in a tree of its own, with a program on PATH that
# notes each of its runs and hands over to tarvelo.
mkdir -p "$work/tree/build" "$work/path"
cp -r "$source_dir/workflow" "$work/tree/"
printf '#!/bin/sh\necho run >>"%s"\nexec "%s" "$@"\n' "$work/path.runs" "$tarvelo" >"$work/path/tarvelo"
chmod +x "$work/path/tarvelo"
ln -s "$tarvelo" "$work/tree/build/tarvelo"

# run NAME [SETTING...]: the workflow into $work/NAME, equal to the sequential run.
run() {
  local name=$1; shift
  PATH=$work/path:$PATH snakemake -s "$work/tree/workflow/Snakefile" --cores 1 -d "$work/$name" \
    --config release="$release" options="$options" "$@" >"$work/$name.log" 2>&1 ||
    { cat "$work/$name.log"; fail "snakemake $name"; return; }
  cmp "$work/$name/release.fa" "$work/all.fa" && cmp "$work/$name/release.m4" "$work/all.m4" ||
    fail "$name: the workflow's outputs differ from one run"
  grep -qxF "skipped, as the pattern '$pattern' does not take them, in $release: $(
    IFS=,; echo "${skipped[*]}" | sed 's/,/, /g')" "$work/$name.log" || fail "$name: skipped files not listed"
}
run given tarvelo="$tarvelo"
run built
[ -e "$work/path.runs" ] && fail "the tarvelo on PATH ran though build/tarvelo exists"
rm "$work/tree/build/tarvelo"
run path
[ "$(wc -l <"$work/path.runs" 2>/dev/null)" = 4 ] || fail "the tarvelo on PATH did not run once a file"
exit $status
