#!/usr/bin/env python3
"""Benchmark of tarvelo against floors and peer converters.

Builds the GenBank generator into bench/out/, creates the corpora there when
they are missing or were made by an older generator, warms the page cache, and
times, alternating the commands round-robin:

  tarvelo FILE                            (FASTA, the default mode)
  tarvelo -t FILE                         (table rows, no sequence output)
  tarvelo -m out.m4 -l oatcshlpj FILE     (m4 definitions, long label list)
  tarvelo FILE | cat                      (FASTA through a pipe)
  taskset -c 0 tarvelo FILE               (on one processor: one thread)
  cat FILE > /dev/null, wc -l FILE        (floors)
  cat FILE | cat                          (the floor of a pipe)
  floor FILE                              (bench/floor.cc: read, keep the
                                           letters and line feeds, write)
  EMBOSS seqret, Biopython SeqIO.convert  (peers, when installed)

With --compressed (for example --compressed gz,zst,bz2,xz), each corpus is
also compressed with those tools (kept beside it) and timed as
tarvelo FILE.EXT against the tool's own decompressor, DECOMPRESSOR -dc
FILE.EXT > /dev/null; MB/s there are of decompressed text.

Standard output of every command goes to /dev/null. The result is a Markdown
table (medians, MB/s of input, speed ratios, peak resident memory from
/usr/bin/time -f %M) on standard output, also kept in bench/out/results.md,
followed by tarvelo's speed as a fraction of the floors measured in the run.

The generated corpora are made by bench/gen_genbank.cc. With --real DIR, a
corpus of real records is made as well: the GenBank files of DIR that convert
on their own and twice in a row, concatenated and repeated to about 500 MB,
in a scratch folder (--scratch, default the system's temporary folder).

Standard library only; run with any python3:

  python3 bench/run.py                   full run (about 2.4 GB of corpora)
  python3 bench/run.py --quick           small corpora, for a smoke test
  python3 bench/run.py --corpus mixed --runs 7 --peer-runs 1
  python3 bench/run.py --corpus mixed --compressed zst,bz2,xz --no-peers
"""

import argparse
import datetime
import hashlib
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

BENCH = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(BENCH)
OUT = os.path.join(BENCH, "out")
GEN_SRC = os.path.join(BENCH, "gen_genbank.cc")
GEN_BIN = os.path.join(OUT, "gen_genbank")
FLOOR_SRC = os.path.join(BENCH, "floor.cc")
FLOOR_BIN = os.path.join(OUT, "floor")
REAL_BYTES = 500_000_000
TIME = "/usr/bin/time"
DEBIAN_PYTHON = "/usr/bin/python3"
LABELS = "oatcshlpj"

# name -> (generator mode, full-size argument, quick argument, what a record is)
CORPORA = {
    "mixed": ("mixed", 1_000_000_000, 20_000_000, "of 1-50 kbp"),
    "huge": ("huge", 200_000_000, 2_000_000, None),
    "tiny": ("tiny", 500_000, 5_000, "of 200-600 bp"),
}

# extension -> (compressor writing to standard output, decompressor)
COMPRESSORS = {
    "gz": (["gzip", "-c"], ["gzip", "-dc"]),
    "zst": (["zstd", "-qc"], ["zstd", "-dc"]),
    "bz2": (["bzip2", "-c"], ["bzip2", "-dc"]),
    "xz": (["xz", "-T0", "-c"], ["xz", "-dc"]),
}

BIOPYTHON_CODE = (
    "import sys; from Bio import SeqIO; "
    "SeqIO.convert(sys.argv[1], 'genbank', '/dev/null', 'fasta')"
)


def log(msg):
    print(msg, file=sys.stderr, flush=True)


def die(msg):
    log("run.py: " + msg)
    sys.exit(1)


# ------------------------------------------------------------------ corpora


def build_generator():
    os.makedirs(OUT, exist_ok=True)
    if os.path.exists(GEN_BIN) and os.path.getmtime(GEN_BIN) >= os.path.getmtime(GEN_SRC):
        return
    log("building the generator")
    cmd = ["g++", "-std=c++20", "-O2", "-Wall", "-Wextra", "-o", GEN_BIN, GEN_SRC]
    if subprocess.run(cmd).returncode != 0:
        die("cannot build " + GEN_SRC)


def build_floor():
    if os.path.exists(FLOOR_BIN) and os.path.getmtime(FLOOR_BIN) >= os.path.getmtime(FLOOR_SRC):
        return
    log("building the floor program")
    cmd = ["g++", "-std=c++20", "-O2", "-march=native", "-Wall", "-Wextra", "-o", FLOOR_BIN,
           FLOOR_SRC]
    if subprocess.run(cmd).returncode != 0:
        die("cannot build " + FLOOR_SRC)


def real_corpus(tarvelo, folder, scratch):
    """Concatenates the files of FOLDER that tarvelo converts on their own and
    twice in a row (so that they end cleanly), repeated to about REAL_BYTES, in
    SCRATCH/tarvelo-real.gb. Returns (path, size in bytes, number of records)."""
    texts = []
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        if not os.path.isfile(path):
            continue
        with open(path, "rb") as f:
            text = f.read()
        if text[:2] == b"\x1f\x8b" or not text.startswith(b"LOCUS"):
            continue
        once = subprocess.run([tarvelo, path], capture_output=True)
        twice = subprocess.run([tarvelo, path, path], capture_output=True)
        if once.returncode or twice.returncode or not once.stdout or \
                twice.stdout != once.stdout * 2:
            continue
        texts.append(text if text.endswith(b"\n") else text + b"\n")
    if not texts:
        die("no GenBank file in %s converts cleanly" % folder)
    unit = b"".join(texts)
    copies = max(1, REAL_BYTES // len(unit))
    path = os.path.join(scratch, "tarvelo-real.gb")
    stamp = path + ".stamp"
    want = "%s %d %d" % (hashlib.sha256(unit).hexdigest()[:16], copies, len(unit) * copies)
    if not (os.path.exists(path) and os.path.exists(stamp) and open(stamp).read().strip() == want
            and os.path.getsize(path) == len(unit) * copies):
        log("making %s: %d files, %d copies" % (path, len(texts), copies))
        with open(path + ".tmp", "wb") as f:
            for _ in range(copies):
                f.write(unit)
        os.replace(path + ".tmp", path)
        with open(stamp, "w") as f:
            f.write(want + "\n")
    return path, len(unit) * copies, unit.count(b"\nLOCUS ") * copies + copies * \
        (1 if unit.startswith(b"LOCUS") else 0)


def generator_digest():
    with open(GEN_SRC, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()[:16]


def make_corpus(file_name, mode, amount):
    """Creates OUT/file_name unless it exists from the current generator.

    Returns (path, size in bytes, number of records)."""
    path = os.path.join(OUT, file_name)
    stamp = path + ".stamp"
    digest = generator_digest()
    want = "%s %s %d" % (digest, mode, amount)
    if os.path.exists(path) and os.path.exists(stamp):
        with open(stamp) as f:
            fields = f.read().split()
        if " ".join(fields[:3]) == want and int(fields[4]) == os.path.getsize(path):
            return path, int(fields[4]), int(fields[3])
    log("generating %s (%s %d)" % (file_name, mode, amount))
    start = time.perf_counter()
    done = subprocess.run([GEN_BIN, mode, str(amount), path], capture_output=True, text=True)
    if done.returncode != 0:
        die("generator failed: " + done.stderr.strip())
    seconds = time.perf_counter() - start
    info = dict(item.split("=") for item in done.stdout.split())
    records, size = int(info["records"]), int(info["bytes"])
    log("  %d records, %.1f MB in %.1f s (%.0f MB/s)"
        % (records, size / 1e6, seconds, size / 1e6 / seconds))
    with open(stamp, "w") as f:
        f.write("%s %d %d\n" % (want, records, size))
    return path, size, records


def make_compressed(path, ext):
    """Creates path.ext with the compressor of ext unless it is newer than path."""
    target = path + "." + ext
    if os.path.exists(target) and os.path.getmtime(target) >= os.path.getmtime(path):
        return target
    log("compressing %s to .%s" % (os.path.basename(path), ext))
    partial = target + ".partial"
    with open(path, "rb") as source, open(partial, "wb") as out:
        if subprocess.run(COMPRESSORS[ext][0], stdin=source, stdout=out).returncode != 0:
            die("cannot compress %s with %s" % (path, COMPRESSORS[ext][0][0]))
    os.replace(partial, target)
    return target


def compressed_commands(tarvelo, ext):
    decompressor = COMPRESSORS[ext][1]
    shown = " ".join(decompressor)
    return [
        Command("tarvelo", "tarvelo FILE", [tarvelo, "FILE"], "tarvelo"),
        Command("tarvelo -t", "tarvelo -t FILE", [tarvelo, "-t", "FILE"], "tarvelo"),
        Command(shown, shown + " FILE > /dev/null", decompressor + ["FILE"], "floor"),
    ]


def warm(path):
    with open(path, "rb") as f:
        while f.read(1 << 24):
            pass


# ------------------------------------------------------------------ commands


class Command:
    def __init__(self, key, shown, argv, kind, version=None):
        self.key = key          # short name used in the table
        self.shown = shown      # the command as a reader would type it
        self.argv = argv        # list with FILE standing for the input
        self.kind = kind        # "tarvelo", "floor" or "peer"
        self.version = version  # shown after a peer's command
        self.times = []
        self.rss_kb = []
        self.failure = None

    def args_for(self, path):
        return [path if a == "FILE" else a for a in self.argv]


def seqret_version():
    done = subprocess.run(["seqret", "-version"], capture_output=True, text=True)
    return (done.stdout + done.stderr).strip().replace("EMBOSS:", "")


def biopython_version():
    done = subprocess.run([DEBIAN_PYTHON, "-c", "import Bio; print(Bio.__version__)"],
                          capture_output=True, text=True)
    return done.stdout.strip() if done.returncode == 0 else None


def commands(tarvelo, m4_path, peers):
    cmds = [
        Command("tarvelo", "tarvelo FILE", [tarvelo, "FILE"], "tarvelo"),
        Command("tarvelo -t", "tarvelo -t FILE", [tarvelo, "-t", "FILE"], "tarvelo"),
        Command("tarvelo -m", "tarvelo -m out.m4 -l %s FILE" % LABELS,
                [tarvelo, "-m", m4_path, "-l", LABELS, "FILE"], "tarvelo"),
        Command("tarvelo, 1 CPU", "taskset -c 0 tarvelo FILE",
                ["taskset", "-c", "0", tarvelo, "FILE"], "tarvelo"),
        Command("tarvelo | cat", "tarvelo FILE | cat > /dev/null",
                ["sh", "-c", 'exec "$0" "$1" | cat', tarvelo, "FILE"], "tarvelo"),
        Command("cat", "cat FILE > /dev/null", ["cat", "FILE"], "floor"),
        Command("cat | cat", "cat FILE | cat > /dev/null",
                ["sh", "-c", 'exec cat "$0" | cat', "FILE"], "floor"),
        Command("floor", "bench/floor.cc: floor FILE > /dev/null", [FLOOR_BIN, "FILE"], "floor"),
        Command("wc -l", "wc -l FILE", ["wc", "-l", "FILE"], "floor"),
    ]
    notes = []
    if not peers:
        notes.append("peers not run (--no-peers)")
        return cmds, notes
    if shutil.which("seqret"):
        version = seqret_version()
        cmds.append(Command(
            "seqret",
            "seqret -auto -sequence FILE -outseq /dev/null -sformat genbank -osformat fasta",
            ["seqret", "-auto", "-sequence", "FILE", "-outseq", "/dev/null",
             "-sformat", "genbank", "-osformat", "fasta"], "peer", "EMBOSS " + version))
    else:
        notes.append("EMBOSS seqret not installed (apt-get install emboss)")
    version = biopython_version() if os.path.exists(DEBIAN_PYTHON) else None
    if version:
        cmds.append(Command(
            "Biopython",
            "%s -c \"from Bio import SeqIO; SeqIO.convert(FILE,'genbank','/dev/null','fasta')\""
            % DEBIAN_PYTHON,
            [DEBIAN_PYTHON, "-c", BIOPYTHON_CODE, "FILE"], "peer", "Biopython " + version))
    else:
        notes.append("Biopython not installed for %s (apt-get install python3-biopython)"
                     % DEBIAN_PYTHON)
    return cmds, notes


def run_once(cmd, path):
    """Runs cmd on path once; returns (seconds, peak RSS in KiB) or raises RuntimeError."""
    with tempfile.NamedTemporaryFile("r", dir=OUT, suffix=".time") as rss, \
            tempfile.TemporaryFile("w+b", dir=OUT) as err:
        argv = [TIME, "-f", "%M", "-o", rss.name] + cmd.args_for(path)
        start = time.perf_counter()
        done = subprocess.run(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=err)
        seconds = time.perf_counter() - start
        if done.returncode != 0:
            err.seek(0)
            text = err.read().decode("latin-1").strip().splitlines()
            raise RuntimeError("exit status %d: %s" % (done.returncode,
                                                       text[0] if text else "(no message)"))
        lines = [l for l in rss.read().split("\n") if l.strip()]
        return seconds, int(lines[-1])


def time_corpus(name, path, cmds, runs, peer_runs):
    log("warming the page cache for %s" % name)
    warm(path)
    for cmd in cmds:
        cmd.times, cmd.rss_kb, cmd.failure = [], [], None
    for r in range(runs):
        order = cmds[r % len(cmds):] + cmds[:r % len(cmds)]
        for cmd in order:
            if cmd.failure or (cmd.kind == "peer" and r >= peer_runs):
                continue
            try:
                seconds, rss = run_once(cmd, path)
            except RuntimeError as e:
                cmd.failure = str(e)
                log("  %-10s FAILED: %s" % (cmd.key, e))
                continue
            cmd.times.append(seconds)
            cmd.rss_kb.append(rss)
            log("  run %d/%d  %-10s %8.3f s  %7.1f MiB" % (r + 1, runs, cmd.key, seconds,
                                                          rss / 1024))


# ------------------------------------------------------------------ report


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or platform.machine()


def memory_gib():
    try:
        with open("/proc/meminfo") as f:
            for line in f:
                if line.startswith("MemTotal:"):
                    return int(line.split()[1]) / 1024 / 1024
    except OSError:
        pass
    return None


def git_revision():
    try:
        done = subprocess.run(["git", "-C", REPO, "describe", "--always", "--dirty"],
                              capture_output=True, text=True)
        return done.stdout.strip() if done.returncode == 0 else None
    except OSError:
        return None


def fmt_ratio(x):
    return "%.2f×" % x if x < 10 else "%.1f×" % x if x < 100 else "%.0f×" % x


def report(results, notes, args):
    mem = memory_gib()
    rev = git_revision()
    lines = []
    lines.append("Machine: %s, %d logical cores, %s, Linux %s; %s."
                 % (cpu_model(), os.cpu_count() or 0,
                    "%.0f GiB RAM" % mem if mem else "RAM unknown",
                    platform.release(), datetime.date.today().isoformat()))
    lines.append("tarvelo: `%s`%s. Input page-cached, standard output to /dev/null; "
                 "median of %d run%s, commands alternated round-robin; MB = 10^6 bytes."
                 % (os.path.relpath(args.tarvelo, REPO) if args.tarvelo.startswith(REPO)
                    else args.tarvelo,
                    " (revision %s)" % rev if rev else "", args.runs,
                    "" if args.runs == 1 else "s"))
    if args.quick:
        lines.append("**Quick run on small corpora (smoke test): the numbers are not "
                     "representative.**")
    lines.append("")
    lines.append("| corpus | command | runs | median s | MB/s | peak RSS MiB "
                 "| `tarvelo` vs. row | `tarvelo -t` vs. row |")
    lines.append("|---|---|--:|--:|--:|--:|--:|--:|")
    for name, size, records, desc, cmds, skipped in results:
        corpus = "%s: %.0f MB, %s record%s %s" % (name, size / 1e6, format(records, ","),
                                                  "" if records == 1 else "s", desc)
        ref = {c.key: statistics.median(c.times) for c in cmds if c.times}
        for cmd in cmds:
            if cmd.failure:
                lines.append("| %s | %s | | failed: %s | | | | |"
                             % (corpus, cmd.key.replace("|", "\\|"), cmd.failure.replace("|", "\\|")))
            elif not cmd.times:
                if cmd.kind == "peer" and skipped:
                    lines.append("| %s | %s | 0 | not run on this corpus | | | | |"
                                 % (corpus, cmd.key.replace("|", "\\|")))
                continue
            else:
                med = statistics.median(cmd.times)
                r1 = fmt_ratio(med / ref["tarvelo"]) if "tarvelo" in ref else ""
                r2 = fmt_ratio(med / ref["tarvelo -t"]) if "tarvelo -t" in ref else ""
                lines.append("| %s | %s | %d | %.3f | %.0f | %.1f | %s | %s |"
                             % (corpus, cmd.key.replace("|", "\\|"), len(cmd.times), med, size / 1e6 / med,
                                max(cmd.rss_kb) / 1024, r1, r2))
            corpus = ""
    lines.append("")
    lines.append("The last two columns divide the speed of `tarvelo FILE` (FASTA) and of "
                 "`tarvelo -t FILE` by the row's speed: above 1, tarvelo is that many times "
                 "faster; below 1, it runs at that fraction of the row's speed. "
                 "Peak RSS is the largest of the runs (`/usr/bin/time -f %M`).")
    lines.append("")
    lines.append("tarvelo against the floors of the same run (speed of tarvelo / speed of the "
                 "floor; above 1 for a pipe means tarvelo's pipe is faster than cat's):")
    lines.append("")
    lines.append("| corpus | `tarvelo` / `cat` | `tarvelo -t` / `cat` | `floor` / `cat` "
                 "| `tarvelo` / `floor` | `tarvelo \\| cat` / `cat \\| cat` "
                 "| `tarvelo` × seqret | `tarvelo` × Biopython |")
    lines.append("|---|--:|--:|--:|--:|--:|--:|--:|")
    for name, size, records, desc, cmds, skipped in results:
        ref = {c.key: statistics.median(c.times) for c in cmds if c.times}

        def frac(a, b):
            return "%.2f" % (ref[b] / ref[a]) if a in ref and b in ref else ""
        lines.append("| %s | %s | %s | %s | %s | %s | %s | %s |"
                     % (name, frac("tarvelo", "cat"), frac("tarvelo -t", "cat"),
                        frac("floor", "cat"), frac("tarvelo", "floor"),
                        frac("tarvelo | cat", "cat | cat"), frac("tarvelo", "seqret"),
                        frac("tarvelo", "Biopython")))
    lines.append("")
    lines.append("Commands (FILE is the corpus):")
    lines.append("")
    seen = set()
    for _, _, _, _, cmds, _ in results:
        for cmd in cmds:
            if cmd.key not in seen:
                seen.add(cmd.key)
                lines.append("- %s: `%s`%s" % (cmd.key, cmd.shown,
                                               " (%s)" % cmd.version if cmd.version else ""))
    for note in notes:
        lines.append("- " + note)
    return "\n".join(lines) + "\n"


# ------------------------------------------------------------------ main


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--tarvelo", default=os.path.join(REPO, "build", "tarvelo"),
                   help="the program to time (default: build/tarvelo)")
    p.add_argument("--runs", type=int, default=5, help="timed runs per command (default 5)")
    p.add_argument("--peer-runs", type=int, default=3,
                   help="timed runs of each peer, at most --runs (default 3)")
    p.add_argument("--peer-corpora", default=",".join(["real"] + list(CORPORA)),
                   help="comma-separated corpora on which peers run (default: all); "
                        "e.g. --peer-corpora tiny skips them on the big ones")
    p.add_argument("--corpus", action="append", choices=sorted(CORPORA),
                   help="time only this corpus (repeatable)")
    p.add_argument("--quick", action="store_true",
                   help="small corpora, for a smoke test")
    p.add_argument("--no-peers", action="store_true", help="skip seqret and Biopython")
    p.add_argument("--compressed", default="",
                   help="comma-separated extensions among %s: also time each corpus "
                        "compressed so" % ",".join(COMPRESSORS))
    p.add_argument("--real", metavar="DIR",
                   help="also time a corpus of the real GenBank records in DIR, "
                        "repeated to about 500 MB")
    p.add_argument("--scratch", default=tempfile.gettempdir(),
                   help="folder for the corpus of real records (default: %(default)s)")
    args = p.parse_args()

    if args.runs < 1 or args.peer_runs < 1:
        die("--runs and --peer-runs must be at least 1")
    args.tarvelo = os.path.abspath(args.tarvelo) if os.sep in args.tarvelo \
        else (shutil.which(args.tarvelo) or args.tarvelo)
    if not os.access(args.tarvelo, os.X_OK):
        die("no executable at %s (build it first, or pass --tarvelo)" % args.tarvelo)
    if not os.access(TIME, os.X_OK):
        die("%s is missing; install it with: apt-get install time" % TIME)
    peer_corpora = set(filter(None, args.peer_corpora.split(",")))
    unknown = peer_corpora - set(CORPORA) - {"real"}
    if unknown:
        die("unknown corpus in --peer-corpora: " + ", ".join(sorted(unknown)))
    peer_runs = min(args.peer_runs, args.runs)
    compressed = list(filter(None, args.compressed.split(",")))
    unknown = set(compressed) - set(COMPRESSORS)
    if unknown:
        die("unknown extension in --compressed: " + ", ".join(sorted(unknown)))
    for ext in compressed:
        if not shutil.which(COMPRESSORS[ext][0][0]):
            die("%s is not installed (needed by --compressed %s)" % (COMPRESSORS[ext][0][0], ext))

    build_generator()
    build_floor()
    small, _, _ = make_corpus("small.gb", "tiny", 20)
    check = subprocess.run([args.tarvelo, small], capture_output=True)
    if check.returncode != 0:
        die("%s fails on %s: %s" % (args.tarvelo, small,
                                    check.stderr.decode("latin-1").strip()))

    m4_path = os.path.join(OUT, "out.m4")
    names = (["real"] if args.real else []) + (args.corpus or list(CORPORA))
    results = []
    all_notes = []
    for name in names:
        if name == "real":
            path, size, records = real_corpus(args.tarvelo, args.real, args.scratch)
            desc, file_name = "of %s, repeated" % os.path.basename(args.real.rstrip("/")), path
        else:
            mode, full, quick, desc = CORPORA[name]
            amount = quick if args.quick else full
            desc = desc or "of %s bp" % format(amount, ",")
            file_name = "%s%s.gb" % (name, "-quick" if args.quick else "")
            path, size, records = make_corpus(file_name, mode, amount)
        with_peers = not args.no_peers and name in peer_corpora
        cmds, notes = commands(args.tarvelo, m4_path, with_peers)
        if not with_peers and not args.no_peers:
            cmds_all, _ = commands(args.tarvelo, m4_path, True)
            cmds += [c for c in cmds_all if c.kind == "peer"]
            notes = ["peers not run on %s (--peer-corpora)" % name]
        for note in notes:
            if note not in all_notes:
                all_notes.append(note)
        log("timing %s (%s, %.1f MB)" % (name, file_name, size / 1e6))
        time_corpus(name, path, cmds, args.runs, peer_runs if with_peers else 0)
        results.append((name, size, records, desc, cmds, not with_peers))
        for ext in compressed:
            packed = make_compressed(path, ext)
            log("timing %s.%s (%.1f MB compressed)" % (name, ext, os.path.getsize(packed) / 1e6))
            cmds = compressed_commands(args.tarvelo, ext)
            time_corpus("%s.%s" % (name, ext), packed, cmds, args.runs, 0)
            results.append(("%s.%s" % (name, ext), size, records, desc, cmds, False))

    if not args.no_peers and peer_runs < args.runs:
        all_notes.append("peers were timed on %d of the %d runs (--peer-runs)"
                         % (peer_runs, args.runs))
    text = report(results, all_notes, args)
    with open(os.path.join(OUT, "results.md"), "w") as f:
        f.write(text)
    sys.stdout.write(text)


if __name__ == "__main__":
    main()
