#pragma once

#include <string>

namespace kivo {

// The whole command line, the program's name first, as the history of an exported file
// tells it: each argument quoted where a shell would need it, so that it runs again.
std::string CommandLineText(int argc, char** argv);

}  // namespace kivo
