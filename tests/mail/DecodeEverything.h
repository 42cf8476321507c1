#pragma once

#include <QString>

#include <string_view>

// Runs a raw message through every step that reads outside input: header and body decoding,
// split-message detection and reassembly, attachment naming and extraction into folder; and checks
// that a message the structure scan lets through is one GMime builds within the caps. Shared by
// the fuzz target and the test that replays the inputs the fuzzer found.
void DecodeEverything(std::string_view raw, const QString& folder);
