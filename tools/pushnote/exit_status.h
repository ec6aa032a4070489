#pragma once

namespace pushnote::command {

// What the command tells its caller through the exit status.
enum ExitStatus : int {
    kSucceeded = 0,
    kFailed = 1,      // a result code, or a token that cannot be read or is refused
    kUsageError = 2,  // the command line is wrong; the usage has been printed
};

}  // namespace pushnote::command
