#pragma once

#include <optional>

// Answers --help and --version on stdout without a display, before any window
// exists, and gives the exit code. Any other command line (Qt's own options such
// as -platform included) is left to the application object: nullopt.
std::optional<int> AnswerHelpOrVersion(int argc, char** argv);
