// pushnote: sends notifications and fetches text from the command line.
#include <cstdio>
#include <exception>
#include <variant>

#include "command_failure.h"
#include "command_line.h"
#include "commands.h"
#include "exit_status.h"

namespace {

using namespace pushnote::command;

struct Dispatch {
    void operator()(const SendRequest& request) const { RunSend(request); }
    void operator()(const FlushRequest& request) const { RunFlush(request); }
    void operator()(const OutboxRequest& request) const { RunListOutbox(request); }
    void operator()(const FetchRequest& request) const { RunFetch(request); }
};

int Report(const char* what, int status) {
    std::fprintf(stderr, "pushnote: %s\n", what);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    int exitStatus = kSucceeded;
    const auto request = ParseCommandLine(argc, argv, exitStatus);
    if (!request) return exitStatus;
    try {
        std::visit(Dispatch{}, *request);
    } catch (const CommandFailure& failure) {
        return Report(failure.what(), failure.status());
    } catch (const std::exception& failure) {
        // Out of memory, or the outbox folder cannot be written: the note
        // may still go later.
        return Report(failure.what(), kTryLater);
    }
    return kSucceeded;
}
