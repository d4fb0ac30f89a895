#pragma once

namespace platform {

// Lets the calling thread give way to the others of the program: background work that must never
// slow the window down, yet still runs on a busy machine.
void YieldToForeground();

} // namespace platform
