#pragma once

#include "command_line.h"

namespace pushnote::command {

// Each runs one subcommand to its end; a failure is thrown as CommandFailure
// with the exit status it calls for.
void RunSend(const SendRequest& request);
void RunFlush(const FlushRequest& request);
void RunListOutbox(const OutboxRequest& request);
void RunFetch(const FetchRequest& request);

}  // namespace pushnote::command
