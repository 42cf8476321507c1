#pragma once

#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

// What a fuzz target does with one input: a broken promise ends the run, so libFuzzer keeps the
// input as a crash.
inline void FailOnBrokenPromise(const std::string& failed)
{
    if (failed.empty())
        return;
    std::fprintf(stderr, "%s\n", failed.c_str());
    std::abort();
}

inline std::string_view FuzzInput(const unsigned char* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

// One folder for every input of a run: each input overwrites the files of the one before.
inline const QString& FuzzFolder()
{
    static const QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/nemuroa-fuzz-XXXXXX"));
    static const QString path = folder.path();
    return path;
}
