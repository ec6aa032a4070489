#pragma once

#include <httplib.h>

#include "inbox.h"

namespace pushnote::inbox {

// POST /api/notify: checks the request strictly, stores the note with the
// answer chaos chose, tells the listening pages and answers.
void InstallNotifyRoute(httplib::Server& server, Inbox& inbox);

// The longest body a note may have with images of up to maxImageBytes: the
// server must let the notify route read that much, and no other route.
std::uint64_t LargestNoteBody(std::uint64_t maxImageBytes);

}  // namespace pushnote::inbox
