// pushnote: sends notifications and fetches text from the command line.
#include <cstdio>
#include <exception>
#include <string>
#include <variant>
#include <vector>

#include "command_failure.h"
#include "command_line.h"
#include "command_text.h"
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
    try {
        std::vector<std::string> arguments = CommandArguments(argc, argv);
        std::vector<char*> pointers;
        for (std::string& argument : arguments) pointers.push_back(argument.data());
        pointers.push_back(nullptr);
        int exitStatus = kSucceeded;
        const auto request =
            ParseCommandLine(static_cast<int>(arguments.size()), pointers.data(), exitStatus);
        if (!request) return exitStatus;
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
