// The usage text, printed when no input is named.
#pragma once

#include <string>
#include <string_view>

// The whole text, 43 lines each ended by a line feed, naming the program as
// Command_Name (exactly as it was started).
std::string Usage_Text(std::string_view command_name);
