#include "json_answer.h"

#include "inbox.h"

#include <utility>

namespace pushnote::inbox {

void AnswerJson(httplib::Response& response, int status, const nlohmann::ordered_json& value) {
    AnswerJsonText(response, status, Dump(value));
}

void AnswerJsonText(httplib::Response& response, int status, std::string text) {
    response.status = status;
    response.set_header("Cache-Control", "no-store");
    response.set_content(std::move(text), "application/json");
}

void AnswerError(httplib::Response& response, int status, const std::string& message) {
    AnswerJson(response, status, {{"status", status}, {"message", message}});
}

}  // namespace pushnote::inbox
