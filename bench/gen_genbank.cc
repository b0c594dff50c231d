// gen_genbank: deterministic generator of realistic GenBank flat-file text
// for the benchmark.
//
//   gen_genbank mixed BYTES OUT   records of 1 to 50 kbp until OUT holds about BYTES
//   gen_genbank huge BASES OUT    one record with a sequence of BASES bases
//   gen_genbank tiny COUNT OUT    COUNT records of a few hundred bases each
//
// The same arguments always give the same bytes (fixed-seed splitmix64). Every
// record is well formed for a strict reader: LOCUS, DEFINITION, ACCESSION,
// VERSION, KEYWORDS, SOURCE, ORGANISM with its taxonomy lines, one or more
// REFERENCE blocks that each have AUTHORS before JOURNAL, FEATURES with one
// source feature holding exactly one taxon cross-reference, ORIGIN, sequence
// lines of six blocks of ten with a right-aligned position, and "//". No line
// is longer than 79 characters, and every accession is a valid m4 macro name
// (letters, then digits). OUT is written under a temporary name and renamed
// when complete, so an interrupted run never leaves a truncated corpus behind.
//
// Build: g++ -std=c++20 -O2 -o gen_genbank gen_genbank.cc

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

// ---------------------------------------------------------------- randomness

class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}

  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }

  // Uniform in [lo, hi].
  std::uint64_t range(std::uint64_t lo, std::uint64_t hi) {
    return lo + next() % (hi - lo + 1);
  }

  // True with probability percent/100.
  bool chance(unsigned percent) { return next() % 100 < percent; }

  template <typename T, std::size_t N>
  const T& pick(const T (&items)[N]) {
    return items[next() % N];
  }

 private:
  std::uint64_t state_;
};

// ---------------------------------------------------------------- output

// Buffered writer; any failed write ends the program with a message.
class Out {
 public:
  explicit Out(const std::string& path) : path_(path), tmp_(path + ".tmp") {
    file_ = std::fopen(tmp_.c_str(), "wb");
    if (!file_) die("cannot create");
    buf_.reserve(kChunk + 4096);
  }

  void put(std::string_view s) {
    buf_.append(s);
    if (buf_.size() >= kChunk) flush();
  }
  void put(char c) { buf_.push_back(c); }
  void line(std::string_view s) {
    put(s);
    put('\n');
  }
  std::string& raw() { return buf_; }
  void maybe_flush() {
    if (buf_.size() >= kChunk) flush();
  }

  std::uint64_t written() const { return written_ + buf_.size(); }
  std::uint64_t records() const { return records_; }
  void count_record() { ++records_; }

  void finish() {
    flush();
    if (std::fclose(file_) != 0) die("cannot close");
    file_ = nullptr;
    if (std::rename(tmp_.c_str(), path_.c_str()) != 0) die("cannot rename");
  }

 private:
  static constexpr std::size_t kChunk = 1 << 20;

  void flush() {
    if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), file_) != buf_.size())
      die("cannot write");
    written_ += buf_.size();
    buf_.clear();
  }
  [[noreturn]] void die(const char* what) {
    std::fprintf(stderr, "gen_genbank: %s %s: %s\n", what, tmp_.c_str(), std::strerror(errno));
    std::exit(1);
  }

  std::string path_, tmp_;
  std::FILE* file_ = nullptr;
  std::string buf_;
  std::uint64_t written_ = 0;
  std::uint64_t records_ = 0;
};

// ---------------------------------------------------------------- vocabulary

struct Organism {
  const char* name;
  const char* common;  // empty when the SOURCE line has no common name
  const char* lineage;
  unsigned taxon;
  const char* division;
  const char* mol_type;
};

const Organism kOrganisms[] = {
    {"Homo sapiens", "human",
     "Eukaryota; Metazoa; Chordata; Craniata; Vertebrata; Euteleostomi; Mammalia; "
     "Eutheria; Euarchontoglires; Primates; Haplorrhini; Catarrhini; Hominidae; Homo.",
     9606, "PRI", "genomic DNA"},
    {"Mus musculus", "house mouse",
     "Eukaryota; Metazoa; Chordata; Craniata; Vertebrata; Euteleostomi; Mammalia; "
     "Eutheria; Euarchontoglires; Glires; Rodentia; Myomorpha; Muroidea; Muridae; "
     "Murinae; Mus; Mus.",
     10090, "ROD", "genomic DNA"},
    {"Escherichia coli str. K-12 substr. MG1655", "",
     "Bacteria; Proteobacteria; Gammaproteobacteria; Enterobacterales; "
     "Enterobacteriaceae; Escherichia.",
     511145, "BCT", "genomic DNA"},
    {"Yersinia pestis biovar Microtus str. 91001", "",
     "Bacteria; Proteobacteria; Gammaproteobacteria; Enterobacterales; Yersiniaceae; "
     "Yersinia.",
     229193, "BCT", "genomic DNA"},
    {"Arabidopsis thaliana", "thale cress",
     "Eukaryota; Viridiplantae; Streptophyta; Embryophyta; Tracheophyta; "
     "Spermatophyta; Magnoliopsida; eudicotyledons; Gunneridae; rosids; malvids; "
     "Brassicales; Brassicaceae; Camelineae; Arabidopsis.",
     3702, "PLN", "genomic DNA"},
    {"Oryza sativa Japonica Group", "Japanese rice",
     "Eukaryota; Viridiplantae; Streptophyta; Embryophyta; Tracheophyta; "
     "Spermatophyta; Magnoliopsida; Liliopsida; Poales; Poaceae; BOP clade; "
     "Oryzoideae; Oryzeae; Oryzinae; Oryza; Oryza sativa.",
     39947, "PLN", "genomic DNA"},
    {"Drosophila melanogaster", "fruit fly",
     "Eukaryota; Metazoa; Ecdysozoa; Arthropoda; Hexapoda; Insecta; Pterygota; "
     "Neoptera; Endopterygota; Diptera; Brachycera; Muscomorpha; Ephydroidea; "
     "Drosophilidae; Drosophila; Sophophora.",
     7227, "INV", "genomic DNA"},
    {"Ixodes scapularis", "black-legged tick",
     "Eukaryota; Metazoa; Ecdysozoa; Arthropoda; Chelicerata; Arachnida; Acari; "
     "Parasitiformes; Ixodida; Ixodoidea; Ixodidae; Ixodinae; Ixodes.",
     6945, "INV", "genomic DNA"},
    {"Saccharomyces cerevisiae S288C", "",
     "Eukaryota; Fungi; Dikarya; Ascomycota; Saccharomycotina; Saccharomycetes; "
     "Saccharomycetales; Saccharomycetaceae; Saccharomyces.",
     559292, "PLN", "genomic DNA"},
    {"Influenza A virus (A/California/07/2009(H1N1))", "",
     "Viruses; Riboviria; Orthornavirae; Negarnaviricota; Polyploviricotina; "
     "Insthoviricetes; Articulavirales; Orthomyxoviridae; Alphainfluenzavirus.",
     641809, "VRL", "viral cRNA"},
    {"Mycobacterium tuberculosis H37Rv", "",
     "Bacteria; Actinomycetota; Actinomycetes; Mycobacteriales; Mycobacteriaceae; "
     "Mycobacterium; Mycobacterium tuberculosis complex.",
     83332, "BCT", "genomic DNA"},
    {"Danio rerio", "zebrafish",
     "Eukaryota; Metazoa; Chordata; Craniata; Vertebrata; Euteleostomi; "
     "Actinopterygii; Neopterygii; Teleostei; Ostariophysi; Cypriniformes; "
     "Danionidae; Danioninae; Danio.",
     7955, "VRT", "genomic DNA"},
    {"Plasmodium falciparum 3D7", "",
     "Eukaryota; Sar; Alveolata; Apicomplexa; Aconoidasida; Haemosporida; "
     "Plasmodiidae; Plasmodium; Plasmodium (Laverania).",
     36329, "INV", "genomic DNA"},
    {"Bacillus subtilis subsp. subtilis str. 168", "",
     "Bacteria; Bacillota; Bacilli; Bacillales; Bacillaceae; Bacillus.",
     224308, "BCT", "genomic DNA"},
    {"uncultured bacterium", "",
     "Bacteria; environmental samples.",
     77133, "ENV", "genomic DNA"},
    {"Hepatitis B virus", "HBV",
     "Viruses; Riboviria; Pararnavirae; Artverviricota; Revtraviricetes; Blubervirales; "
     "Hepadnaviridae; Orthohepadnavirus.",
     10407, "VRL", "genomic DNA"},
};

const char* const kSurnames[] = {
    "Zhou", "Tong", "Song", "Han", "Pei", "Pang", "Zhai", "Li", "Cui", "Qi", "Jin", "Dai",
    "Du", "Wang", "Guo", "Huang", "Yang", "Smith", "Johnson", "Mueller", "Schmidt",
    "Garcia", "Martinez", "Rossi", "Bianchi", "Dubois", "Moreau", "Tanaka", "Suzuki",
    "Sato", "Kim", "Park", "Nguyen", "Ivanov", "Petrov", "Kowalski", "Nowak", "Silva",
    "Santos", "Oliveira", "Andersson", "Nilsson", "Hansen", "Jensen", "O'Brien",
    "Murphy", "Caler", "Hannick", "Bidwell", "Joardar", "Thiagarajan", "Amedeo",
    "Galinsky", "Schobel", "Inman", "Hostetler", "Alarcon-Chaidez", "Strausberg"};

const char* const kInitials[] = {"A.",   "B.",   "C.",   "D.",   "E.",   "F.",   "G.",
                                 "H.",   "J.",   "K.",   "L.",   "M.",   "N.",   "P.",
                                 "R.",   "S.",   "T.",   "V.",   "W.",   "Y.",   "Z.",
                                 "J.C.", "M.A.", "L.I.", "K.J.", "C.A.", "R.M.", "S.E."};

const char* const kWords[] = {
    "genome", "sequence", "analysis", "of", "the", "and", "a", "novel", "gene",
    "expression", "protein", "complete", "structure", "function", "evolution",
    "bacterial", "in", "from", "strain", "isolated", "characterization", "regulation",
    "population", "comparative", "genomic", "diversity", "transcription", "factor",
    "identification", "mitochondrial", "chloroplast", "phylogenetic", "resistance",
    "virulence", "metabolic", "pathway", "during", "infection", "host", "cell",
    "membrane", "binding", "domain", "family", "variation", "between", "natural",
    "species", "molecular", "insights", "into", "role", "high-throughput", "assembly"};

const char* const kJournals[] = {
    "J. Bacteriol.", "Nucleic Acids Res.", "Genome Res.", "DNA Res.", "J. Virol.",
    "Proc. Natl. Acad. Sci. U.S.A.", "Mol. Biol. Evol.", "Nature", "Science",
    "PLoS ONE", "BMC Genomics", "Plant Cell", "Gene", "Genetics", "Virology"};

const char* const kInstitutes[] = {
    "National Center for Biotechnology Information, NIH, Bethesda, MD 20894, USA",
    "The Institute of Microbiology and Epidemiology, Academy of Military Medical "
    "Sciences, No. 20, Dongdajie Street, Fengtai District, Beijing 100071, People's "
    "Republic of China",
    "J. Craig Venter Institute, 9704 Medical Center Drive, Rockville, MD 20850, USA",
    "Friedrich-Loeffler-Institut, Suedufer 10, Greifswald-Insel Riems 17493, Germany",
    "Department of Biology, University of Kyoto, Kitashirakawa, Sakyo-ku, Kyoto "
    "606-8502, Japan",
    "Wellcome Sanger Institute, Wellcome Genome Campus, Hinxton, Cambridgeshire CB10 "
    "1SA, United Kingdom",
    "Institut Pasteur, 25-28 rue du Docteur Roux, Paris 75015, France"};

const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                               "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

const char* const kCountries[] = {
    "Japan: Kyoto", "USA: California, San Diego", "China", "Germany: Greifswald",
    "Brazil: Sao Paulo", "Kenya: Kilifi", "France", "Viet Nam: Hanoi", "Australia",
    "Peru: Lima", "Sweden: Uppsala", "India: Pune", "Canada: British Columbia"};

const char* const kHosts[] = {"Homo sapiens",  "Sus scrofa",       "Gallus gallus",
                              "Bos taurus",    "Mus musculus",     "Anas platyrhynchos",
                              "Oryza sativa",  "Triticum aestivum", "Canis lupus familiaris",
                              "Apis mellifera"};

const char* const kGenePrefixes[] = {"dna", "rec", "rpo", "gyr", "lac", "trp", "his",
                                     "fts", "mur", "nuo", "atp", "sec", "pur", "pyr",
                                     "rps", "rpl", "cyt", "nad", "cox", "psb"};

const char* const kProducts[] = {
    "DNA polymerase III subunit beta", "recombinase A", "DNA-directed RNA polymerase "
    "subunit alpha", "DNA gyrase subunit B", "beta-galactosidase",
    "tryptophan synthase alpha chain", "ATP synthase subunit c",
    "NADH dehydrogenase subunit 4", "cytochrome c oxidase subunit I",
    "50S ribosomal protein L2", "30S ribosomal protein S12",
    "cell division protein FtsZ", "hypothetical protein", "putative transposase",
    "ABC transporter ATP-binding protein", "two-component sensor histidine kinase",
    "photosystem II protein D1", "neuraminidase", "hemagglutinin",
    "polymerase acidic protein"};

const char* const kNotes[] = {
    "similar to the corresponding protein of a related strain; identified by "
    "sequence similarity",
    "derived by automated computational analysis using gene prediction method: "
    "Protein Homology",
    "frameshift mutation relative to the reference sequence was corrected manually",
    "contains a putative signal peptide and two transmembrane helices",
    "lineage: swl"};

const char kAminoAcids[] = "ACDEFGHIKLMNPQRSTVWY";

// ---------------------------------------------------------------- text helpers

constexpr std::size_t kWidth = 79;

void append_uint(std::string& s, std::uint64_t v) {
  char tmp[24];
  int n = 0;
  do {
    tmp[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  while (n > 0) s.push_back(tmp[--n]);
}

std::string num(std::uint64_t v) {
  std::string s;
  append_uint(s, v);
  return s;
}

// Word-wraps `text` after `first` (the first line's prefix); continuation lines
// start with `indent` blanks. A word too long for a line is cut hard.
void wrap(Out& out, std::string_view first, std::size_t indent, std::string_view text) {
  std::string line(first);
  const std::string pad(indent, ' ');
  bool fresh = true;  // nothing of `text` on the current line yet
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t j = text.find(' ', i);
    if (j == std::string_view::npos) j = text.size();
    std::string_view word = text.substr(i, j - i);
    i = j + 1;
    std::size_t need = word.size() + (fresh ? 0 : 1);
    if (line.size() + need > kWidth && !fresh) {
      out.line(line);
      line = pad;
      fresh = true;
      need = word.size();
    }
    while (line.size() + need > kWidth) {  // a word longer than a whole line
      std::size_t room = kWidth - line.size();
      line.append(word.substr(0, room));
      word.remove_prefix(room);
      out.line(line);
      line = pad;
      need = word.size();
    }
    if (!fresh) line.push_back(' ');
    line.append(word);
    fresh = false;
  }
  out.line(line);
}

// A feature qualifier: /key="value" (or /key=value when unquoted), from column
// 22, wrapped at word boundaries or, with `hard`, every 58 characters.
void qualifier(Out& out, std::string_view key, std::string_view value, bool quoted = true,
               bool hard = false) {
  std::string text = "/";
  text.append(key);
  text.push_back('=');
  if (quoted) text.push_back('"');
  text.append(value);
  if (quoted) text.push_back('"');
  const std::string pad(21, ' ');
  if (!hard) {
    wrap(out, pad, 21, text);
    return;
  }
  for (std::size_t i = 0; i < text.size(); i += kWidth - 21) {
    std::string line = pad;
    line.append(text.substr(i, kWidth - 21));
    out.line(line);
  }
}

std::string sentence(Rng& rng, unsigned lo, unsigned hi) {
  std::string s;
  unsigned n = static_cast<unsigned>(rng.range(lo, hi));
  for (unsigned k = 0; k < n; ++k) {
    if (k) s.push_back(' ');
    s.append(rng.pick(kWords));
  }
  if (!s.empty() && s[0] >= 'a' && s[0] <= 'z') s[0] = static_cast<char>(s[0] - 32);
  return s;
}

std::string date(Rng& rng) {
  std::string s;
  unsigned day = static_cast<unsigned>(rng.range(1, 28));
  if (day < 10) s.push_back('0');
  append_uint(s, day);
  s.push_back('-');
  s.append(rng.pick(kMonths));
  s.push_back('-');
  append_uint(s, rng.range(1990, 2023));
  return s;
}

// Two upper-case letters and six digits, or one letter and five digits.
std::string accession(Rng& rng) {
  std::string s;
  unsigned letters = rng.chance(80) ? 2 : 1;
  for (unsigned k = 0; k < letters; ++k) s.push_back(static_cast<char>('A' + rng.next() % 26));
  unsigned digits = letters == 2 ? 6 : 5;
  for (unsigned k = 0; k < digits; ++k) s.push_back(static_cast<char>('0' + rng.next() % 10));
  return s;
}

std::string authors(Rng& rng, unsigned lo, unsigned hi) {
  unsigned n = static_cast<unsigned>(rng.range(lo, hi));
  std::string s;
  for (unsigned k = 0; k < n; ++k) {
    if (k) s.append(k + 1 == n ? " and " : ", ");
    s.append(rng.pick(kSurnames));
    s.push_back(',');
    s.append(rng.pick(kInitials));
  }
  return s;
}

// ---------------------------------------------------------------- sequence

// Four bases per byte of randomness.
struct BaseTable {
  char quad[256][4];
  BaseTable() {
    static const char acgt[] = "acgt";
    for (unsigned b = 0; b < 256; ++b)
      for (unsigned k = 0; k < 4; ++k) quad[b][k] = acgt[(b >> (2 * k)) & 3];
  }
};
const BaseTable kBases;

// Writes the ORIGIN line, the sequence lines of `length` bases and "//".
// Bases in [gap_begin, gap_end) are 'n', as in assembly gaps.
void sequence(Out& out, Rng& rng, std::uint64_t length, std::uint64_t gap_begin,
              std::uint64_t gap_end) {
  out.line("ORIGIN");
  char bases[64];
  for (std::uint64_t pos = 0; pos < length; pos += 60) {
    std::uint64_t n = length - pos < 60 ? length - pos : 60;
    for (unsigned k = 0; k < 64; k += 32) {
      std::uint64_t r = rng.next();
      for (unsigned b = 0; b < 8; ++b) std::memcpy(bases + k + 4 * b, kBases.quad[(r >> (8 * b)) & 255], 4);
    }
    if (gap_end > pos && gap_begin < pos + n) {
      for (std::uint64_t k = 0; k < n; ++k)
        if (pos + k >= gap_begin && pos + k < gap_end) bases[k] = 'n';
    }
    std::string& buf = out.raw();
    char number[9];
    std::memset(number, ' ', 9);
    std::uint64_t v = pos + 1;
    for (int c = 8; c >= 0 && v != 0; --c, v /= 10) number[c] = static_cast<char>('0' + v % 10);
    buf.append(number, 9);
    for (std::uint64_t k = 0; k < n; k += 10) {
      buf.push_back(' ');
      buf.append(bases + k, n - k < 10 ? n - k : 10);
    }
    buf.push_back('\n');
    out.maybe_flush();
  }
  out.line("//");
  out.count_record();
}

// ---------------------------------------------------------------- records

struct Shape {
  unsigned min_refs, max_refs;
  unsigned max_genes;
  bool comments;
};

std::string location(Rng& rng, std::uint64_t begin, std::uint64_t end) {
  std::string loc;
  if (end - begin > 600 && rng.chance(15)) {  // a spliced CDS
    std::uint64_t mid = begin + (end - begin) / 2;
    loc = "join(" + num(begin) + ".." + num(mid) + "," + num(mid + 80) + ".." + num(end) + ")";
  } else {
    loc = num(begin) + ".." + num(end);
  }
  if (rng.chance(40)) loc = "complement(" + loc + ")";
  return loc;
}

// A feature line: key at column 6, location from column 22; a long location
// is broken after a comma onto continuation lines from column 22.
void feature_key(Out& out, std::string_view key, std::string_view loc) {
  std::string line = "     ";
  line.append(key);
  line.resize(21, ' ');
  while (line.size() + loc.size() > kWidth) {
    std::size_t cut = loc.rfind(',', kWidth - line.size() - 1);
    if (cut == std::string_view::npos) break;
    line.append(loc.substr(0, cut + 1));
    out.line(line);
    loc.remove_prefix(cut + 1);
    line.assign(21, ' ');
  }
  line.append(loc);
  out.line(line);
}

void record(Out& out, Rng& rng, std::uint64_t length, const Shape& shape) {
  const Organism& org = rng.pick(kOrganisms);
  const std::string acc = accession(rng);
  const std::string len = num(length);

  // LOCUS: name in columns 13-28, length right-aligned to column 40.
  std::string locus = "LOCUS       " + acc;
  locus.resize(28, ' ');
  std::string lenfield = std::string(12 > len.size() ? 12 - len.size() : 0, ' ') + len;
  locus += lenfield + " bp    DNA     ";
  locus += rng.chance(10) ? "circular " : "linear   ";
  locus += org.division;
  locus += " " + date(rng);
  out.line(locus);

  std::string def = org.name;
  def += rng.chance(50) ? " " + std::string(rng.pick(kGenePrefixes)) + "A gene, complete cds."
                        : " " + sentence(rng, 3, 12) + ", complete sequence.";
  wrap(out, "DEFINITION  ", 12, def);

  std::string accs = acc;
  if (rng.chance(5)) accs += " " + accession(rng);
  out.line("ACCESSION   " + accs);
  std::string version = "VERSION     " + acc + "." + num(rng.range(1, 3));
  if (rng.chance(40)) version += "  GI:" + num(rng.range(10000000, 999999999));
  out.line(version);
  if (rng.chance(30)) out.line("DBLINK      BioProject: PRJNA" + num(rng.range(10000, 999999)));
  out.line(rng.chance(70) ? "KEYWORDS    ." : "KEYWORDS    WGS; RefSeq.");
  std::string source = org.name;
  if (org.common[0]) source += std::string(" (") + org.common + ")";
  wrap(out, "SOURCE      ", 12, source);
  wrap(out, "  ORGANISM  ", 12, org.name);  // a name fits on one line
  wrap(out, std::string(12, ' '), 12, org.lineage);

  unsigned refs = static_cast<unsigned>(rng.range(shape.min_refs, shape.max_refs));
  for (unsigned r = 1; r <= refs; ++r) {
    std::string head = "REFERENCE   " + num(r);
    head.resize(15, ' ');
    head += "(bases 1 to " + len + ")";
    out.line(head);
    wrap(out, "  AUTHORS   ", 12, authors(rng, 1, 30));
    if (r > 1 && rng.chance(15)) out.line("  CONSRTM   NCBI Genome Project");
    bool submission = r == refs && refs > 1;
    if (submission) {
      out.line("  TITLE     Direct Submission");
      wrap(out, "  JOURNAL   ", 12,
           "Submitted (" + date(rng) + ") " + std::string(rng.pick(kInstitutes)));
    } else {
      wrap(out, "  TITLE     ", 12, sentence(rng, 5, 25));
      std::string journal = rng.pick(kJournals);
      unsigned first_page = static_cast<unsigned>(rng.range(1, 9000));
      journal += " " + num(rng.range(1, 200)) + " (" + num(rng.range(1, 24)) + "), " +
                 num(first_page) + "-" + num(first_page + rng.range(3, 20)) + " (" +
                 num(rng.range(1990, 2023)) + ")";
      wrap(out, "  JOURNAL   ", 12, journal);
      out.line("   PUBMED   " + num(rng.range(1000000, 39999999)));
    }
  }
  if (shape.comments && rng.chance(40))
    wrap(out, "COMMENT     ", 12,
         "PROVISIONAL REFSEQ: This record has not yet been subject to final NCBI review. "
         "The reference sequence was derived from " + accession(rng) + ". " + sentence(rng, 10, 60) + ".");

  // FEATURES: the source feature, then genes with their CDS.
  out.line("FEATURES             Location/Qualifiers");
  feature_key(out, "source", "1.." + len);
  qualifier(out, "organism", org.name);
  qualifier(out, "mol_type", org.mol_type);
  if (rng.chance(40)) qualifier(out, "strain", num(rng.range(1, 99999)));
  if (rng.chance(20)) qualifier(out, "specific_host", rng.pick(kHosts));
  qualifier(out, "db_xref", "taxon:" + num(org.taxon));
  if (rng.chance(35)) qualifier(out, "country", rng.pick(kCountries));
  if (rng.chance(15)) {
    std::string ll = num(rng.range(0, 89)) + "." + num(rng.range(10, 99)) +
                     (rng.chance(50) ? " N " : " S ") + num(rng.range(0, 179)) + "." +
                     num(rng.range(10, 99)) + (rng.chance(50) ? " E" : " W");
    qualifier(out, "lat_lon", ll);
  }
  if (rng.chance(30)) qualifier(out, "collection_date", date(rng));

  unsigned genes = static_cast<unsigned>(length / 2000 + rng.range(0, 1));
  if (genes > shape.max_genes) genes = shape.max_genes;
  if (length < 150) genes = 0;
  std::uint64_t span = genes ? length / genes : length;
  for (unsigned g = 0; g < genes; ++g) {
    std::uint64_t lo = 1 + g * span + rng.range(0, span / 8);
    std::uint64_t longest = span * 3 / 4 < 6000 ? span * 3 / 4 : 6000;
    std::uint64_t hi = lo + rng.range(longest / 2, longest);
    if (hi > length) hi = length;
    std::string gene = std::string(rng.pick(kGenePrefixes)) +
                       static_cast<char>('A' + rng.next() % 26);
    std::string tag = "B" + acc.substr(0, 2) + "_" + num(10000 + g * 5);
    std::string loc = location(rng, lo, hi);
    feature_key(out, "gene", loc);
    qualifier(out, "gene", gene);
    qualifier(out, "locus_tag", tag);
    if (rng.chance(50)) qualifier(out, "db_xref", "GeneID:" + num(rng.range(100000, 9999999)));
    feature_key(out, "CDS", loc);
    qualifier(out, "gene", gene);
    qualifier(out, "locus_tag", tag);
    if (rng.chance(40)) qualifier(out, "note", rng.pick(kNotes));
    qualifier(out, "codon_start", "1", false);
    qualifier(out, "transl_table", "11", false);
    qualifier(out, "product", rng.pick(kProducts));
    std::string protein_id;
    for (unsigned k = 0; k < 3; ++k) protein_id.push_back(static_cast<char>('A' + rng.next() % 26));
    qualifier(out, "protein_id", protein_id + num(rng.range(10000, 99999)) + ".1");
    qualifier(out, "db_xref", "GI:" + num(rng.range(10000000, 999999999)));
    std::uint64_t aa = (hi - lo + 1) / 3;
    if (aa > 1200) aa = 1200;
    if (aa < 10) aa = 10;
    std::string protein = "M";
    for (std::uint64_t k = 1; k < aa; ++k) protein.push_back(kAminoAcids[rng.next() % 20]);
    qualifier(out, "translation", protein, true, true);
  }

  std::uint64_t gap_begin = 0, gap_end = 0;
  if (length > 2000 && rng.chance(8)) {
    gap_begin = rng.range(0, length - 1000);
    gap_end = gap_begin + rng.range(100, 1000);
  }
  sequence(out, rng, length, gap_begin, gap_end);
}

std::uint64_t parse_count(const char* s) {
  char* end = nullptr;
  errno = 0;
  unsigned long long v = std::strtoull(s, &end, 10);
  if (errno != 0 || end == s || *end != '\0' || v == 0) {
    std::fprintf(stderr, "gen_genbank: not a positive count: %s\n", s);
    std::exit(2);
  }
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr,
                 "usage: gen_genbank mixed BYTES OUT | huge BASES OUT | tiny COUNT OUT\n");
    return 2;
  }
  const std::string_view mode = argv[1];
  const std::uint64_t count = parse_count(argv[2]);
  Out out(argv[3]);
  if (mode == "mixed") {
    Rng rng(0x7A12BE10C0FFEEULL);
    const Shape shape{1, 4, 30, true};
    while (out.written() < count) {
      // Log-uniform lengths from 1 to 50 kbp: many short records, some long ones.
      double u = static_cast<double>(rng.next() >> 11) / 9007199254740992.0;
      std::uint64_t length = static_cast<std::uint64_t>(1000.0 * std::exp(u * 3.912023005428146));
      record(out, rng, length, shape);
    }
  } else if (mode == "huge") {
    Rng rng(0x4855474501ULL);
    record(out, rng, count, Shape{3, 4, 400, true});
  } else if (mode == "tiny") {
    Rng rng(0x54494E5902ULL);
    const Shape shape{1, 2, 1, false};
    for (std::uint64_t k = 0; k < count; ++k) record(out, rng, rng.range(200, 600), shape);
  } else {
    std::fprintf(stderr, "gen_genbank: unknown mode: %s\n", argv[1]);
    return 2;
  }
  out.finish();
  std::printf("records=%llu bytes=%llu\n", static_cast<unsigned long long>(out.records()),
              static_cast<unsigned long long>(out.written()));
  return 0;
}
