#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include <httplib.h>

namespace pushnote::stand_in {

// The codes an "interim=CODE" token directive may ask for.
std::optional<int> InterimCode(std::string_view key, std::optional<std::uint64_t> value);

// Writes one interim (1xx) answer head per code, each with a header of its
// own, straight to the client, pausing after each so that the client reads it
// apart from what follows. The server's own (final) answer comes after them.
void SendInterimAnswers(const httplib::Request& request, const std::vector<int>& codes);

// GET /chain?left=N: N redirects in a row, then the text "end of chain".
void AnswerRedirectChain(const httplib::Request& request, httplib::Response& response);
// GET /loop: a redirect to itself.
void AnswerRedirectLoop(const httplib::Request& request, httplib::Response& response);
// GET /plain-url: the text of an http:// URL of a plain-HTTP listener that
// answers every GET with "over plain http"; started on first use, on a port
// the system picks.
void AnswerPlainUrl(const httplib::Request& request, httplib::Response& response);
// GET /downgrade: a redirect to that plain-HTTP listener.
void AnswerDowngrade(const httplib::Request& request, httplib::Response& response);

}  // namespace pushnote::stand_in
