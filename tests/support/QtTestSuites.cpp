#include "QtTestSuites.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

// Filled while the program's statics are made, before main.
std::map<std::string, QtTestSuites::Run>& suites()
{
    static std::map<std::string, QtTestSuites::Run> added;
    return added;
}

} // namespace

bool QtTestSuites::add(const char* name, Run run) { return suites().emplace(name, run).second; }

int main(int argc, char* argv[])
{
    const auto suite = argc > 1 ? suites().find(argv[1]) : suites().end();
    if (suite == suites().end()) {
        std::fprintf(stderr, "usage: %s SUITE [QtTest options]; the suites:\n", argv[0]);
        for (const auto& [name, run] : suites())
            std::fprintf(stderr, "  %s\n", name.c_str());
        return 2;
    }
    // QtTest sees the program and its own options, as when the suite was a program of its own.
    std::vector<char*> arguments{argv[0]};
    arguments.insert(arguments.end(), argv + 2, argv + argc);
    arguments.push_back(nullptr);
    return suite->second(static_cast<int>(arguments.size()) - 1, arguments.data());
}
