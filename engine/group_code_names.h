#pragma once
// German descriptions of the group codes a table commonly takes, for the
// column headings of a first velunt.ini and the window's code list.
#include <string>

namespace velunt {

// "Layer" for 8, "RW (X)" for 10 ...; "Code N" for a code not in the list.
// UTF-8.
std::string GroupCodeDescription(int code);

}  // namespace velunt
