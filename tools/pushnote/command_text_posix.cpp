#include "command_text.h"
#include "notify/push_note.h"
#include "notify/push_note_with_image.h"

namespace pushnote::command {

// The bytes go on as they came: the core reads them in the locale's charset.
std::vector<std::string> CommandArguments(int argc, char** argv) {
    return {argv, argv + argc};
}

std::filesystem::path PathFromText(const std::string& text) {
    return text;
}

std::string TextFromPath(const std::filesystem::path& path) {
    return path.string();
}

ResultCode SendFormText(const std::string& formText, const ServiceEndpoint& service,
                        http::Client& client) {
    return PushNote(formText.c_str(), service, client);
}

ResultCode SendWithImage(const std::string& message, const std::string& imagePath,
                         const ServiceEndpoint& service, http::Client& client) {
    return PushNoteWithImage(message.c_str(), imagePath.c_str(), service, client);
}

bool AssignWorkingPath(WorkingPath& path, const std::string& text) noexcept {
    return path.Assign(text.c_str());
}

}  // namespace pushnote::command
