#include "command_line_main.h"

#ifdef _WIN32
#include "util/unicode_win32.h"

// Windows hands the arguments over in UTF-16; the tools take them as UTF-8 like the rest of the program.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(pigeonet::Narrow(argv[i]));
    }
    return pigeonet::RunCommandLine(args);
}
#else
int main(int argc, char** argv) {
    return pigeonet::RunCommandLine(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
