#include "support/recorded_requests.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace pushnote::testing {
namespace {

namespace fs = std::filesystem;

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) {
        throw std::runtime_error(std::string(name) +
                                 " is not set: register the test with "
                                 "pushnote_add_wire_test");
    }
    return value;
}

std::uint16_t PortVariable(const char* name) {
    const std::string text = Variable(name);
    std::uint16_t port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc{} || end != text.data() + text.size() || port == 0) {
        throw std::runtime_error(std::string(name) + " is not a port: " + text);
    }
    return port;
}

std::string ReadWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("no record file " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
        return std::tolower(x) == std::tolower(y);
    });
}

// The text between marker and the next marker (or the end), for a line of
// "name=... filename=... content_type=... size=..." whose values may hold spaces.
std::string Between(const std::string& line, std::string_view marker, std::string_view next) {
    const std::size_t start = line.find(marker);
    if (start == std::string::npos) throw std::runtime_error("malformed fields line: " + line);
    const std::size_t from = start + marker.size();
    const std::size_t end = next.empty() ? line.size() : line.rfind(next);
    if (end == std::string::npos || end < from) {
        throw std::runtime_error("malformed fields line: " + line);
    }
    return line.substr(from, end - from);
}

}  // namespace

fs::path RecordsDirectory() {
    return fs::path(Variable("PUSHNOTE_TEST_RECORDS"));
}
fs::path PkiDirectory() {
    return fs::path(Variable("PUSHNOTE_TEST_PKI"));
}
std::uint16_t ServicePort() {
    return PortVariable("PUSHNOTE_TEST_SERVICE_PORT");
}
std::uint16_t ExpiredServicePort() {
    return PortVariable("PUSHNOTE_TEST_EXPIRED_PORT");
}

std::optional<std::string> RecordedRequest::Header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (EqualsIgnoringCase(key, name)) return value;
    }
    return std::nullopt;
}

std::size_t RecordedRequest::HeaderCount(std::string_view name) const {
    return static_cast<std::size_t>(std::count_if(
        headers.begin(), headers.end(),
        [name](const auto& header) { return EqualsIgnoringCase(header.first, name); }));
}

RecordedRequests::RecordedRequests() : RecordedRequests(RecordsDirectory()) {}

RecordedRequests::RecordedRequests(fs::path directory) : directory_(std::move(directory)) {}

fs::path RecordedRequests::File(std::size_t number, std::string_view suffix) const {
    char stem[24];
    std::snprintf(stem, sizeof stem, "%06zu", number);
    return directory_ / (stem + std::string(suffix));
}

std::size_t RecordedRequests::Count() const {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(directory_)) {
        const std::string name = entry.path().filename().string();
        // Skips the stand-in's partial files, which start with '.'.
        if (name.size() > 8 && name.ends_with(".request") &&
            std::isdigit(static_cast<unsigned char>(name.front())))
            ++count;
    }
    return count;
}

RecordedRequest RecordedRequests::Read(std::size_t number) const {
    const std::string text = ReadWhole(File(number, ".request"));
    RecordedRequest request;
    const std::size_t headEnd = text.find("\r\n\r\n");
    if (headEnd == std::string::npos) throw std::runtime_error("record without a header end");
    request.body = text.substr(headEnd + 4);

    std::size_t at = text.find("\r\n");
    const std::string line = text.substr(0, at);
    const std::size_t firstSpace = line.find(' ');
    const std::size_t lastSpace = line.rfind(' ');
    if (firstSpace == std::string::npos || firstSpace == lastSpace) {
        throw std::runtime_error("malformed request line: " + line);
    }
    request.method = line.substr(0, firstSpace);
    request.target = line.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    request.version = line.substr(lastSpace + 1);

    while (at < headEnd) {
        const std::size_t end = text.find("\r\n", at + 2);
        const std::string header = text.substr(at + 2, end - at - 2);
        const std::size_t colon = header.find(": ");
        if (colon == std::string::npos) throw std::runtime_error("malformed header: " + header);
        request.headers.emplace_back(header.substr(0, colon), header.substr(colon + 2));
        at = end;
    }
    return request;
}

RecordedRequest RecordedRequests::Newest() const {
    const std::size_t count = Count();
    if (count == 0) throw std::runtime_error("no request recorded in " + directory_.string());
    return Read(count);
}

std::vector<RecordedField> RecordedRequests::Fields(std::size_t number) const {
    std::vector<RecordedField> fields;
    std::istringstream lines(ReadWhole(File(number, ".fields")));
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("error="))
            throw std::runtime_error("multipart body: " + line.substr(6));
        RecordedField field;
        field.name = Between(line, "name=", " filename=");
        field.filename = Between(line, " filename=", " content_type=");
        field.contentType = Between(line, " content_type=", " size=");
        field.size = std::stoull(Between(line, " size=", ""));
        fields.push_back(std::move(field));
    }
    return fields;
}

std::string RecordedRequests::Part(std::size_t number, std::string_view name) const {
    return ReadWhole(File(number, ".part-" + std::string(name)));
}

}  // namespace pushnote::testing
