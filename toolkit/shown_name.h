// A name the user gave, fit to print on a line of a terminal: a name with a
// control byte (a newline, an escape sequence), a line or paragraph
// separator or a byte that is not valid UTF-8 comes back quoted as a shell would take it back, the way coreutils show
// such names ('a'$'\n''b'); every other name comes back as it is.
#pragma once

#include <string>

namespace toolkit {

std::string shown_name(const std::string& name);

}  // namespace toolkit
