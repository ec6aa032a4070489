// pushnote: sends notifications and fetches text from the command line.
#include <cstdio>
#include <exception>
#include <variant>

#include "command_line.h"
#include "commands.h"
#include "exit_status.h"

namespace {

using namespace pushnote::command;

struct Dispatch {
    void operator()(const SendRequest& request) const { RunSend(request); }
    void operator()(const FetchRequest& request) const { RunFetch(request); }
};

}  // namespace

int main(int argc, char** argv) {
    int exitStatus = kSucceeded;
    const auto request = ParseCommandLine(argc, argv, exitStatus);
    if (!request) return exitStatus;
    try {
        std::visit(Dispatch{}, *request);
    } catch (const std::exception& failure) {  // CommandFailure, or out of memory
        std::fprintf(stderr, "pushnote: %s\n", failure.what());
        return kFailed;
    }
    return kSucceeded;
}
