#include "json_answer.h"

#include "inbox.h"

namespace pushnote::inbox {

void AnswerJson(httplib::Response& response, int status, const nlohmann::ordered_json& value) {
    response.status = status;
    response.set_header("Cache-Control", "no-store");
    response.set_content(Dump(value), "application/json");
}

void AnswerError(httplib::Response& response, int status, const std::string& message) {
    AnswerJson(response, status, {{"status", status}, {"message", message}});
}

}  // namespace pushnote::inbox
