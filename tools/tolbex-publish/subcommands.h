// The subcommands of tolbex-publish. Each takes the arguments after its own name, prints
// its errors to stderr as "tolbex-publish NAME: ..." and returns the process exit code:
// 0 done, 1 failed, 2 wrong usage. Add one by writing NAME.cpp and a row in main.cpp.
#pragma once

#include <string>
#include <vector>

using Args = std::vector<std::string>;

int RunKeygen(const Args& args);
int RunSign(const Args& args);
int RunRelease(const Args& args);
int RunCheck(const Args& args);

// "--help" or "-h" among args.
bool WantsHelp(const Args& args);

// Prints "tolbex-publish NAME: message" to stderr and returns code.
int Fail(const char* name, const std::string& message, int code = 1);
