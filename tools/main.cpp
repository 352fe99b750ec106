#include "tools/cli_commands.h"

int main(int argc, char **argv) { return fpm::cli::runTool(argc, argv); }
