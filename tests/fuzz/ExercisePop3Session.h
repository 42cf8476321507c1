#pragma once

#include <string>
#include <string_view>

// Plays arbitrary bytes as everything a POP3 server on 127.0.0.1 says, to a session that connects,
// logs in (with APOP when the first byte is odd), asks a size, retrieves, deletes and quits. The
// session must neither crash nor wait: each call fails or succeeds at once. Returns what did not
// hold, or an empty string.
std::string ExercisePop3Session(std::string_view serverSays);
