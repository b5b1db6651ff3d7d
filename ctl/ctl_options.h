#pragma once
// kd36ctl's command line: GNU style (--opt=value and --opt value, -- ends
// the options, -h/--help, -V/--version, COMMAND --help), read with Qt's
// parser before anything else starts.
#include <string>
#include <vector>

#include "ctl/ctl_session.h"

namespace kd36::ctl {

// Fills `o` from the arguments after the program's name. Returns -1 to go
// on with the command, or the exit status after printing help or the
// version. Throws UsageError for anything it cannot take.
int readCommandLine(const std::vector<std::string>& args, Options& o);

} // namespace kd36::ctl
