#pragma once

#include <string>
#include <string_view>

// Plays arbitrary bytes as everything a POP3 server on 127.0.0.1 says, to a session that connects,
// logs in (with APOP when the first byte is odd), asks a size, retrieves, deletes and quits. The
// session must neither crash nor wait for the time-out: each call ends as soon as the bytes say
// how. Returns what did not hold, or an empty string.
std::string ExercisePop3Session(std::string_view serverSays);
