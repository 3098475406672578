#pragma once

#include <string>
#include <vector>

namespace pigeonet {

// The body of a command-line tool (pigeonet-probe, the benchmarks): its arguments (UTF-8, without the program's
// name) in, the exit status out. command_line_main.cpp holds the entry point that calls it, the same for every tool
// and both platforms.
int RunCommandLine(const std::vector<std::string>& args);

}  // namespace pigeonet
