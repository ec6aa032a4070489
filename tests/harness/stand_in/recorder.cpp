#include "recorder.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string_view>

#include "multipart.h"

namespace pushnote::stand_in {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kRequestSuffix = ".request";

// Headers the server adds to each request for its handlers; not on the wire.
bool AddedByServer(const std::string& name) {
    return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
           name == "LOCAL_PORT";
}

std::string Stem(std::uint64_t number) {
    char text[24];
    std::snprintf(text, sizeof text, "%06llu", static_cast<unsigned long long>(number));
    return text;
}

// The highest record number already in the directory, so none is overwritten.
std::uint64_t LastNumber(const fs::path& directory) {
    std::uint64_t last = 0;
    for (const auto& entry : fs::directory_iterator(directory)) {
        const std::string name = entry.path().filename().string();
        if (name.size() <= kRequestSuffix.size() || !name.ends_with(kRequestSuffix)) continue;
        const std::string digits = name.substr(0, name.size() - kRequestSuffix.size());
        if (digits.find_first_not_of("0123456789") != std::string::npos) continue;
        last = std::max<std::uint64_t>(last, std::stoull(digits));
    }
    return last;
}

// Writes beside the target, then renames, so a reader never sees a partial file.
void WriteFile(const fs::path& path, std::string_view content) {
    std::string partialName = ".";
    partialName += path.filename().string();
    partialName += ".partial";
    fs::path partial = path;
    partial.replace_filename(partialName);
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        if (!out.flush()) throw std::runtime_error("cannot write " + partial.string());
    }
    fs::rename(partial, path);
}

// Part names become file name suffixes: anything but [A-Za-z0-9._-] turns into '_'.
std::string FileNameSafe(const std::string& name) {
    std::string safe = name;
    for (char& c : safe) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        if (!plain) c = '_';
    }
    return safe.empty() ? "_" : safe;
}

}  // namespace

Recorder::Recorder(std::filesystem::path directory, bool print)
    : directory_(std::move(directory)), print_(print) {
    if (directory_.empty()) return;
    fs::create_directories(directory_);
    last_ = LastNumber(directory_);
}

void Recorder::Record(const httplib::Request& request, const std::string& body) {
    std::lock_guard lock(mutex_);
    const std::string stem = Stem(++last_);
    if (!directory_.empty()) {
        // httplib keeps headers sorted by name (case-insensitively), with
        // repeated names in the order received; that is the order here.
        std::string text = request.method + " " + request.target + " " + request.version + "\r\n";
        for (const auto& [name, value] : request.headers) {
            if (!AddedByServer(name)) text += name + ": " + value + "\r\n";
        }
        text += "\r\n";
        text += body;
        if (request.is_multipart_form_data()) WriteFields(stem, request, body);
        // Last, so that a counted record is complete with its part files.
        WriteFile(directory_ / (stem + std::string(kRequestSuffix)), text);
    }
    if (print_) {
        std::printf("%s %s %s [port %d] %zu body bytes\n", stem.c_str(), request.method.c_str(),
                    request.target.c_str(), request.local_port, body.size());
        std::fflush(stdout);
    }
}

void Recorder::WriteFields(const std::string& stem, const httplib::Request& request,
                           const std::string& body) const {
    const request_reading::MultipartBody multipart =
        request_reading::ParseMultipart(request.get_header_value("Content-Type"), body);
    std::string lines;
    std::map<std::string, int> seen;
    for (const request_reading::Part& part : multipart.parts) {
        lines += "name=" + part.name + " filename=" + part.filename +
                 " content_type=" + part.contentType +
                 " size=" + std::to_string(part.content.size()) + "\n";
        // Every part's bytes, file or not; a repeated name gets "-2", "-3"...
        std::string suffix = FileNameSafe(part.name);
        if (const int count = ++seen[suffix]; count > 1) suffix += "-" + std::to_string(count);
        WriteFile(directory_ / (stem + ".part-" + suffix), part.content);
    }
    if (!multipart.error.empty()) lines += "error=" + multipart.error + "\n";
    WriteFile(directory_ / (stem + ".fields"), lines);
}

}  // namespace pushnote::stand_in
