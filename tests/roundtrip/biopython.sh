#!/usr/bin/env bash
# Biopython (Debian's python3-biopython) reads the sample, with LF and with
# CRLF line ends, as tarvelo does: the FASTA of -l a holds each record under
# its accession (less its underscores) with its sequence (tarvelo keeps the
# letters' case, Biopython upper-cases them), and the rows of -t -l oaicb
# hold organism, accession, taxon id, country ("UNKNOWN" when missing) and
# the empty letter b.
source "$(dirname "$0")/common.sh"
/usr/bin/python3 -c 'import Bio' 2>/dev/null ||
  { echo "SKIP: python3-biopython is not installed"; exit 77; }
sed 's/$/\r/' "$sample" >"$work/crlf.gb"
for gb in "$sample" "$work/crlf.gb"; do
  "$tarvelo" -l a "$gb" >"$work/fa" && "$tarvelo" -t -l oaicb "$gb" >"$work/rows" ||
    fail "tarvelo on $gb"
  /usr/bin/python3 - "$gb" "$work/fa" "$work/rows" <<'END' || fail "Biopython disagrees on $gb"
import csv, sys
from Bio import SeqIO
gb, fa, rows = (open(path, encoding="latin-1") for path in sys.argv[1:])
fasta, table = [], []
for r in SeqIO.parse(gb, "genbank"):
    a, q = r.annotations["accessions"][0].replace("_", ""), r.features[0].qualifiers
    taxa = [x[6:] for x in q.get("db_xref", []) if x.startswith("taxon:")] + [""]
    fasta.append((a, str(r.seq)))
    table.append([r.annotations["organism"], a, taxa[0], q.get("country", ["UNKNOWN"])[0], ""])
assert fasta and [(r.id, str(r.seq).upper()) for r in SeqIO.parse(fa, "fasta")] == fasta
assert list(csv.reader(rows, delimiter="\t", quoting=csv.QUOTE_NONE)) == table, table
END
done
exit $status
