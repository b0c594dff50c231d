"""Biopython reads what tarvelo writes and agrees with it on the same input.

Usage: biopython_check.py TARVELO GENBANK_FILE...

For each file: the FASTA written with -l a holds one record per GenBank
record, named by the accession (underscores removed), with the sequence that
Biopython reads from the GenBank file (tarvelo keeps the letters' case,
Biopython upper-cases them); and the rows written with -t load with the csv
module as one row of five fields per record: organism, accession, taxon id,
country ("UNKNOWN" when missing) and an empty field for the letter b.
"""

import csv
import io
import subprocess
import sys

from Bio import SeqIO

failures = 0


def fail(message):
    global failures
    failures += 1
    print("FAIL:", message)


def tarvelo(*args):
    """Standard output of a tarvelo run that must succeed, as text."""
    run = subprocess.run([TARVELO, *args], capture_output=True, check=False)
    if run.returncode != 0:
        raise SystemExit(f"tarvelo {' '.join(args)} failed: {run.stderr!r}")
    return run.stdout.decode("latin-1")


def expected_row(record):
    source = record.features[0].qualifiers if record.features else {}
    taxon = [x[len("taxon:"):] for x in source.get("db_xref", []) if x.startswith("taxon:")]
    return [
        record.annotations["organism"],
        record.annotations["accessions"][0].replace("_", ""),
        taxon[0] if taxon else "",
        source.get("country", ["UNKNOWN"])[0],
        "",
    ]


def check(path):
    with open(path, encoding="latin-1") as handle:
        records = list(SeqIO.parse(handle, "genbank"))
    if not records:
        fail(f"{path}: Biopython found no record")

    fasta = list(SeqIO.parse(io.StringIO(tarvelo("-l", "a", path)), "fasta"))
    if len(fasta) != len(records):
        fail(f"{path}: {len(fasta)} FASTA records for {len(records)} GenBank records")
    for ours, theirs in zip(fasta, records):
        accession = theirs.annotations["accessions"][0].replace("_", "")
        if ours.id != accession:
            fail(f"{path}: FASTA record {ours.id!r}, expected {accession!r}")
        if str(ours.seq).upper() != str(theirs.seq):
            fail(f"{path}: sequence of {accession} differs from Biopython's")

    text = tarvelo("-t", "-l", "oaicb", path)
    rows = list(csv.reader(io.StringIO(text, newline=""), delimiter="\t",
                           quoting=csv.QUOTE_NONE))
    expected = [expected_row(r) for r in records]
    if rows != expected:
        fail(f"{path}: rows {rows!r}, expected {expected!r}")


TARVELO, *PATHS = sys.argv[1:]
for p in PATHS:
    check(p)
if failures:
    raise SystemExit(f"{failures} case(s) failed")
print("all cases passed")
