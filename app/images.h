// Where the demo finds its images: the current directory, then beside the executable, then the
// installed data folder (share/nembra-demo next to the executable's bin folder).
#pragma once

#include <string>

namespace demo {

// The path of FILE in the first of those folders that has it: the bare name when it is in the
// current directory, and also when no folder has it, so the loader's message names the file the
// program asked for.
std::string FINDIMAGE(const char* file);

// FINDIMAGE as seen by an executable in the folder EXEDIR (empty: no executable folder, so only
// the current directory is searched).
std::string FINDIMAGEIN(const char* file, const std::string& EXEDIR);

} // namespace demo
