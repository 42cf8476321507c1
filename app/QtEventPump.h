#pragma once

// Handles every pending window event, then sleeps until more arrive or a few milliseconds have
// passed, so a wait that calls it in a loop keeps the window alive without spinning a processor.
void ProcessWindowEvents();
