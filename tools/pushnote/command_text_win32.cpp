#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <memory>

#include "command_failure.h"
#include "command_text.h"
#include "notify/push_note.h"
#include "notify/push_note_with_image.h"

namespace pushnote::command {
namespace {

std::string Utf8FromWide(const wchar_t* text, int length) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), size, nullptr, nullptr);
    }
    return utf8;
}

std::wstring WideFromUtf8(const std::string& text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (size <= 0) throw CommandFailure("the text is no UTF-8: " + text, kBadInput);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(), size);
    return wide;
}

struct LocalFreer {
    void operator()(wchar_t** arguments) const noexcept { LocalFree(arguments); }
};

}  // namespace

// The ANSI argv would lose every character outside the code page.
std::vector<std::string> CommandArguments(int, char**) {
    int count = 0;
    const std::unique_ptr<wchar_t*, LocalFreer> wide(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!wide) throw CommandFailure("cannot read the command line", kUsageError);
    std::vector<std::string> arguments;
    for (int index = 0; index < count; ++index) {
        arguments.push_back(Utf8FromWide(wide.get()[index], -1).c_str());
    }
    return arguments;
}

std::filesystem::path PathFromText(const std::string& text) {
    return WideFromUtf8(text);
}

std::string TextFromPath(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    return Utf8FromWide(wide.c_str(), static_cast<int>(wide.size()));
}

ResultCode SendFormText(const std::string& formText, const ServiceEndpoint& service,
                        http::Client& client) {
    return PushNoteW(WideFromUtf8(formText).c_str(), service, client);
}

ResultCode SendWithImage(const std::string& message, const std::string& imagePath,
                         const ServiceEndpoint& service, http::Client& client) {
    return PushNoteWithImageW(WideFromUtf8(message).c_str(), WideFromUtf8(imagePath).c_str(),
                              service, client);
}

bool AssignWorkingPath(WorkingPath& path, const std::string& text) noexcept {
    try {
        return path.Assign(WideFromUtf8(text).c_str());
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace pushnote::command
