#pragma once

namespace pushnote::inbox {

// Lets the calling thread yield the processor to the rest of the process:
// delivery workers use it so that a burst of notes is accepted first and
// carried on after. Does nothing where that cannot be done.
void LowerThreadPriority() noexcept;

}  // namespace pushnote::inbox
