#pragma once

#include <QString>

#include <string_view>

// Runs a raw message through every step that reads outside input: header and body decoding,
// split-message detection and reassembly, attachment naming and extraction into folder. Shared by
// the fuzz target and the test that replays the inputs the fuzzer found.
void DecodeEverything(std::string_view raw, const QString& folder);
