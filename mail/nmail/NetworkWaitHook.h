#pragma once

#include <functional>

// What the caller of the mail library does while a call waits on a server: it is called before
// every POP3 command and every few milliseconds of every wait, so the caller's window stays alive
// although the call blocks it. It returns true once the user wants the operation stopped: a POP3
// call then drops its connection without QUIT and returns NMailApi::ResultStoppedByUser. A QUIT
// once sent and a message being sent are never cut off; they finish or reach their time-out.
using NetworkWaitHook = std::function<bool()>;
