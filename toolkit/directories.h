// Folders a command writes into, made on the way as `mkdir -p` makes them.
#pragma once

#include <string>

namespace toolkit {

// Every missing folder of path, the last one too ('/', and '\' on Windows,
// separate them). False with error set to "<folder>: <reason>" when one
// cannot be made, or when path names something that is no folder.
bool make_directories(const std::string& path, std::string& error);

}  // namespace toolkit
