// The subcommands of tolbex-publish. Each takes the arguments after its own name, prints
// its errors to stderr as "tolbex-publish NAME: ..." and returns the process exit code:
// 0 done, 1 failed, 2 wrong usage. Add one by writing NAME.cpp and a row in main.cpp.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
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

// text with each "{name}" of values replaced by its value, so that a help text states
// the rules' own constants: FillIn("at least {floor} bytes", {{"floor", "1024"}}) gives
// "at least 1024 bytes". A name without a value stays as it is.
std::string FillIn(const std::string& text,
                   const std::vector<std::pair<std::string, std::string>>& values);

// The opening every subcommand shares. With "--help" or "-h" among args, prints help to
// stdout and returns 0. Otherwise parse reads args into a Parsed: on false it leaves the
// reason in its last argument, printed as "tolbex-publish NAME: REASON (see --help)" with
// the return code 2; on true, returns what run gives for it.
template <typename Parsed>
int RunSubcommand(const char* name, const std::string& help, const Args& args,
                  bool (*parse)(const Args&, Parsed&, std::string&), int (*run)(const Parsed&)) {
    if (WantsHelp(args)) {
        std::fputs(help.c_str(), stdout);
        return 0;
    }
    Parsed parsed;
    std::string error;
    if (!parse(args, parsed, error))
        return Fail(name, error + " (see --help)", 2);
    return run(parsed);
}
