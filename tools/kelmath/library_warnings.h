// The library's warnings, caught on its output channel while the command computes, as plain
// sentences for the user instead of the library's raw texts.
#ifndef KELMATH_TOOLS_KELMATH_LIBRARY_WARNINGS_H
#define KELMATH_TOOLS_KELMATH_LIBRARY_WARNINGS_H

#include <string>
#include <vector>

namespace kelmath_cli {

// The texts of the warnings in what the library wrote to its channel (each written as
// "\nWarning!!\n" and the text, with kelWarningMode 0), in order.
std::vector<std::string> WarningTexts(const std::string& channelText);

// One line for the user, without the "kelmath: " prefix: "warning: " and a sentence for the
// warnings the command's analyses can give, "note: " and the text joined to one line otherwise.
std::string WarningSentence(const std::string& text);

// The lines of the warnings, each once, with the number of times when it came more than once.
std::vector<std::string> WarningLines(const std::string& channelText);

}  // namespace kelmath_cli

#endif
