#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ and writes their seed corpora,
# made from the project's own records, to build-fuzz/seeds/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
out=build-fuzz
cxx=$(command -v clang++ || command -v clang++-14)

cmake -S . -B "$out" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARVELO_FUZZ=ON -DTARVELO_TESTS=OFF >/dev/null
cmake --build "$out" -j2 --target genbank_fuzzer arguments_fuzzer

rm -rf "$out/seeds"
mkdir -p "$out/seeds/genbank_fuzzer" "$out/seeds/arguments_fuzzer"

# genbank_fuzzer: an option line, a line feed, then a record file.
records=(sample/sample.gb fuzz/records/*.gb)
options=("" "t" "lfoaidshcljptu" "m lia" "m q r5 lao" "- o" "M t" "r0 s/ urun7"
         "r2 ldjp" "r3 lsu" "r4" "lX" "i i" "m t lai -" "o ltch")
n=0
for record in "${records[@]}"; do
  for line in "${options[@]}"; do
    { printf '%s\n' "$line"; cat "$record"; } >"$out/seeds/genbank_fuzzer/seed$((n += 1))"
  done
done
# Compressed input in each format: whole, and cut short.
for compress in "gzip -c" "zstd -qc" "bzip2 -c" "xz -c"; do
  for record in sample/sample.gb fuzz/records/minimal.gb; do
    { printf '\n'; $compress "$record"; } >"$out/seeds/genbank_fuzzer/seed$((n += 1))"
    { printf 'M\n'; $compress "$record" | head -c 300; } >"$out/seeds/genbank_fuzzer/seed$((n += 1))"
  done
done
# Each record of the sample alone.
awk -v dir="$out/seeds/genbank_fuzzer" \
  '/^LOCUS/ { f = dir "/record" ++k; printf "\n" > f } { print >> f }' sample/sample.gb

# arguments_fuzzer: argument lists, each argument ended by a NUL byte. The
# working directory holds a.gb and d/x.y.gb; standard input holds a record.
n=0
args() { printf '%s\0' "$@" >"$out/seeds/arguments_fuzzer/seed$((n += 1))"; }
args a.gb
args -
args -l oaf a.gb d/x.y.gb
args -m d.m4 a.gb
args -m d.m4 -l ia -q -
args -t -l adsotpjihclfu -u "x y" a.gb -
args -r 5 -s / a.gb
args -r 2 -r 9 -s ab a.gb
args -o -o - -
args -m "" a.gb
args -m a.gb a.gb
args a.gb missing.gb a.gb
args d -x -- -lao
args -l
args -u
args ""
args -u "$(printf 'long value %.0s' {1..30})" -l "$(printf 'ua%.0s' {1..60})" a.gb
args -r 3 "$(printf 'no/such/dir/%.0s' {1..20})x.gb"
printf 'a.gb\0-l\0\377\001\0-s\0\t\0-' >"$out/seeds/arguments_fuzzer/seed$((n += 1))"
echo "built $out/fuzz/genbank_fuzzer and $out/fuzz/arguments_fuzzer; seeds in $out/seeds"
