#pragma once

namespace pushnote::command {

// What the command tells its caller through the exit status; the numbers
// above 2 follow the mail system's sysexits.h, which scripts already know.
enum ExitStatus : int {
    kSucceeded = 0,     // delivered (or, for flush, nothing left waiting)
    kRefused = 1,       // refused for good: bad token, a 4xx answer, an unusable token file
    kUsageError = 2,    // the command line is wrong; the usage has been printed
    kBadInput = 65,     // the note itself cannot be sent: message too long, image unusable
    kCannotQueue = 73,  // failed for now, and the outbox could not take the note: nothing queued
    kTryLater = 75,     // queued in the outbox, or failed for now (no connection, 429, 5xx)
};

}  // namespace pushnote::command
