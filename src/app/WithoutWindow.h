#pragma once

#include "app/CommandLine.h"

namespace lark {

// Carries out a command line that opens no window, and needs no display: prints the help or
// the version, refuses a command line it cannot take (one line on stderr, status 2), or renders
// the compiled-in clips. Returns the exit status.
int RunWithoutWindow(const CommandLine& line, int& argc, char** argv);

}  // namespace lark
