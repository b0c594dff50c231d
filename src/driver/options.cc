#include "driver/options.h"

#include <algorithm>

#include "genbank/line_primitives.h"
#include "support/phylo.h"

namespace {

// Replacement mode N of -r.
void Select_Replacement(char digit, Run_Configuration& config) {
  switch (digit) {
    case '0': config.Replacement_Map = Textutils::Identity; break;
    case '1': config.Replacement_Map = Phylo::No_Space; break;
    case '2': config.Replacement_Map = Phylo::Newick_Label_Map; break;
    case '3': config.Replacement_Map = Phylo::Nexus_Label_Map; break;
    case '4': config.Replacement_Map = Phylo::Word_Map; break;
    case '5':
      config.Replacement_Map = Textutils::Identity;
      config.Quote_Labels = true;
      config.Separator = ' ';
      break;
    default: throw Command_Line_Error();
  }
}

}  // namespace

void Parse_Arguments(std::vector<std::string>& args, Run_Configuration& config,
                     Label_Components& components) {
  // Arguments already scanned and kept, nearest last: an option's value is
  // the kept argument directly to its right.
  std::vector<std::string> kept;
  kept.reserve(args.size());
  auto value = [&kept] {
    if (kept.empty()) throw Command_Line_Error();
    std::string v = std::move(kept.back());
    kept.pop_back();
    return v;
  };
  for (auto it = args.rbegin(); it != args.rend(); ++it) {
    std::string& a = *it;
    if (a.size() != 2 || a[0] != '-') {
      kept.push_back(std::move(a));
      continue;
    }
    switch (a[1]) {
      case 'l': config.Label_List = value(); break;
      case 'm':
        config.M4_Mode = true;
        config.M4_File_Name = value();
        break;
      case 'o': config.Format_Check = false; break;
      case 'q': config.Macro_Quotes = Quote_Type::SINGLE; break;
      case 'r': {
        const std::string v = value();
        if (v.empty()) throw Command_Line_Error();
        Select_Replacement(v[0], config);
        break;
      }
      case 's': {
        const std::string v = value();
        if (v.size() != 1) throw Command_Line_Error();
        config.Separator = v[0];
        break;
      }
      case 't':
        config.Tab_Separated = true;
        config.Separator = '\t';
        config.Replacement_Map = Textutils::Identity;
        config.Quote_Labels = false;
        break;
      case 'u': To_Lc(value(), config, components['u']); break;
      default: kept.push_back(std::move(a)); break;
    }
  }
  std::reverse(kept.begin(), kept.end());
  args = std::move(kept);
}
