// "-" as a file name: standard input in, standard output out.
#pragma once

#include <string>

namespace zod::cli {

inline bool IsStandardStream(const std::string& name) {
    return name == "-";
}

// A path that reads standard input from where it stands, for readers that seek: standard
// input itself when it is a file not yet read from, else a copy of the rest of it in an
// unnamed temporary file that lives as long as the process. Empty with a reason when the
// copy fails.
std::string StandardInputPath(std::string* reason);

// Whether standard output is a terminal, which binary image data would only garble.
bool StandardOutputIsTerminal();

// How a file is named in messages: "standard input" for "-".
std::string InputName(const std::string& name);

} // namespace zod::cli
