#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "base/failure.h"
#include "http/http_client.h"
#include "http/service_endpoint.h"
#include "image/working_path.h"

// The command's own text: UTF-8 on Windows, whose command line is read as
// UTF-16, and the locale's bytes elsewhere, as the arguments arrive. These
// hand it on in the form each platform's calls take; one file per platform.
namespace pushnote::command {

// The command line's arguments, program name first, in the command's text.
std::vector<std::string> CommandArguments(int argc, char** argv);

// A file name given to the command as a path, and back.
std::filesystem::path PathFromText(const std::string& text);
std::string TextFromPath(const std::filesystem::path& path);

// The core's senders, reached in the form of text that keeps every character
// of the command's text. A CommandFailure (bad input) for text that is not
// the command's (on Windows, bytes that are no UTF-8).
ResultCode SendFormText(const std::string& formText, const ServiceEndpoint& service,
                        http::Client& client);
ResultCode SendWithImage(const std::string& message, const std::string& imagePath,
                         const ServiceEndpoint& service, http::Client& client);

// The image path as the core's file calls take it: false when it cannot be.
bool AssignWorkingPath(WorkingPath& path, const std::string& text) noexcept;

}  // namespace pushnote::command
