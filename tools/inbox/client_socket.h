#pragma once

namespace pushnote::inbox {

// Leaves the calling thread's request unanswered until the client leaves or a minute passes,
// then shuts the connection down, so that no answer at all is sent.
void HoldWithoutAnswer();

}  // namespace pushnote::inbox
