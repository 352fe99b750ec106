// Runs the fpmodule tool in-process, as its main() would, on a command line.
#pragma once

#include <string>
#include <vector>

#include "tools/cli_commands.h"

namespace fpm::test {

inline int runTool(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), "fpmodule");
    std::vector<const char *> argv;
    for (const auto &a : arguments) argv.push_back(a.c_str());
    return cli::runTool(static_cast<int>(argv.size()), argv.data());
}

}  // namespace fpm::test
