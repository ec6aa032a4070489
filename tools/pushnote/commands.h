#pragma once

#include "command_line.h"

namespace pushnote::command {

// Each runs one subcommand to its end; a failure is thrown as CommandFailure.
void RunSend(const SendRequest& request);
void RunFetch(const FetchRequest& request);

}  // namespace pushnote::command
