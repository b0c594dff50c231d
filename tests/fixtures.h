// GenBank records shared by the end-to-end tests, and their default output.
#pragma once

#include <stdexcept>
#include <string>

namespace tarvelo_test {

// A record whose definition holds every character that some replacement mode
// changes; no host and no lat_lon qualifier.
inline const std::string kHuman = R"gb(LOCUS       AJ012345                  70 bp    mRNA    linear   PRI 12-MAR-2001
DEFINITION  TP53 (p53), clone 'x7'; a-b+c [1]/{2}\=*"`<>:.!
            second line of the definition.
ACCESSION   AJ012345
VERSION     AJ012345.1
KEYWORDS    .
SOURCE      Homo sapiens (human)
  ORGANISM  Homo sapiens
            Eukaryota; Metazoa; Chordata; Craniata; Vertebrata; Euteleostomi;
            Mammalia; Primates; Hominidae; Homo.
REFERENCE   1  (bases 1 to 70)
  AUTHORS   Meyer,A. and Braun,B.
            Third,C.
  TITLE     Cloning of a p53 cDNA
  JOURNAL   Gene 100, 1-10 (2001)
REFERENCE   2  (bases 1 to 70)
  AUTHORS   Vogel,D.
  TITLE     Direct Submission
  JOURNAL   Submitted (12-MAR-2001) Vogel D., Bonn, Germany
FEATURES             Location/Qualifiers
     source          1..70
                     /organism="Homo sapiens"
                     /mol_type="mRNA"
                     /db_xref="taxon:9606"
                     /country="Germany: Bonn"
ORIGIN      
        1 gatcctccat atacaacggt atctccacct caggtttaga tctcaacaac ggaaccattg
       61 ccgacatgag
//
)gb";
inline const std::string kHumanSeq =
    "gatcctccatatacaacggtatctccacctcaggtttagatctcaacaacggaaccattg\nccgacatgag\n";
inline const std::string kHumanOut = ">Homo_sapiens_AJ012345\n" + kHumanSeq;

// A record with host, country and lat_lon.
inline const std::string kDuck = R"gb(LOCUS       MK000002                  12 bp    RNA     linear   VRL 02-FEB-2019
DEFINITION  Influenza A virus (A/duck/Kyoto/1/2019(H5N1)) segment 4
            hemagglutinin (HA) gene, partial cds.
ACCESSION   MK000002
VERSION     MK000002.1
KEYWORDS    .
SOURCE      Influenza A virus (A/duck/Kyoto/1/2019(H5N1))
  ORGANISM  Influenza A virus (A/duck/Kyoto/1/2019(H5N1))
            Viruses; Riboviria; Orthornavirae; Negarnaviricota.
REFERENCE   1  (bases 1 to 12)
  AUTHORS   Sato,K.
  TITLE     Direct Submission
  JOURNAL   Submitted (01-FEB-2019) Kyoto University, Kyoto, Japan
FEATURES             Location/Qualifiers
     source          1..12
                     /organism="Influenza A virus (A/duck/Kyoto/1/2019(H5N1))"
                     /mol_type="genomic RNA"
                     /specific_host="Anas platyrhynchos"
                     /db_xref="taxon:2587390"
                     /country="Japan: Kyoto"
                     /lat_lon="35.01 N 135.77 E"
ORIGIN      
        1 agcaaaagca gg
//
)gb";
inline const std::string kDuckOut =
    ">Influenza_A_virus_(A/duck/Kyoto/1/2019(H5N1))_MK000002\nagcaaaagcagg\n";

// `text` with the first occurrence of `from` replaced by `to`; a fixture typo
// (no occurrence) fails loudly instead of silently testing the unchanged text.
inline std::string Replace(std::string text, const std::string& from, const std::string& to) {
  auto at = text.find(from);
  if (at == std::string::npos) throw std::logic_error("fixture lacks: " + from);
  return text.replace(at, from.size(), to);
}

}  // namespace tarvelo_test
