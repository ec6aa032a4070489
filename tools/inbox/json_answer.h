#pragma once

#include <httplib.h>

#include <string>

#include <nlohmann/json.hpp>

namespace pushnote::inbox {

// The answers of the JSON API: never cached, errors as {"status", "message"}.
void AnswerJson(httplib::Response& response, int status, const nlohmann::ordered_json& value);
void AnswerError(httplib::Response& response, int status, const std::string& message);

}  // namespace pushnote::inbox
