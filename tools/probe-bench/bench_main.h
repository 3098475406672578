#pragma once

#include <string>
#include <vector>

namespace pigeonet {

// The body of one benchmark program: its command-line arguments (UTF-8, without the program's name) in, the exit
// status out. bench_main.cpp holds the entry point that calls it, the same for every benchmark and both platforms.
int RunBench(const std::vector<std::string>& args);

}  // namespace pigeonet
