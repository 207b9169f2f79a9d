// tolbex-publish: the publisher's tool for signed installer releases. main() only picks
// the subcommand from the table below; each one lives in its own file.
#include <cstdio>
#include <cstring>

#include "subcommands.h"

namespace {

struct Subcommand {
    const char* name;
    int (*run)(const Args&);
    const char* summary;
};

constexpr Subcommand kSubcommands[] = {
    {"keygen", RunKeygen, "keygen KEYFILE           new P-256 key; prints its public blob"},
    {"sign", RunSign, "sign KEYFILE MANIFEST    writes MANIFEST.sig"},
    {"release", RunRelease,
     "release --version X.Y.Z --key KEYFILE --out DIR FILE...\n"
     "                           a signed release in DIR/update/"},
    {"check", RunCheck,
     "check DIR|URL [DIR|URL] --key HEX...\n"
     "                           verifies a release or a live server as the installer would"},
};

int Usage(std::FILE* out, int code) {
    std::fputs("usage: tolbex-publish SUBCOMMAND ARGS...   (SUBCOMMAND --help for details)\n\n",
               out);
    for (const Subcommand& sub : kSubcommands) std::fprintf(out, "  %s\n", sub.summary);
    return code;
}

}  // namespace

bool WantsHelp(const Args& args) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h")
            return true;
    }
    return false;
}

int Fail(const char* name, const std::string& message, int code) {
    std::fprintf(stderr, "tolbex-publish %s: %s\n", name, message.c_str());
    return code;
}

std::string FillIn(const std::string& text,
                   const std::vector<std::pair<std::string, std::string>>& values) {
    std::string filled = text;
    for (const auto& [name, value] : values) {
        const std::string mark = "{" + name + "}";
        for (std::size_t at = filled.find(mark); at != std::string::npos;
             at = filled.find(mark, at + value.size())) {
            filled.replace(at, mark.size(), value);
        }
    }
    return filled;
}

int main(int argc, char** argv) {
    if (argc < 2)
        return Usage(stderr, 2);
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        return Usage(stdout, 0);
    }
    const Args rest(argv + 2, argv + argc);
    for (const Subcommand& sub : kSubcommands) {
        if (std::strcmp(argv[1], sub.name) == 0)
            return sub.run(rest);
    }
    std::fprintf(stderr, "tolbex-publish: unknown subcommand '%s'\n", argv[1]);
    return Usage(stderr, 2);
}
