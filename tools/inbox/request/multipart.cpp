#include "multipart.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace pushnote::request_reading {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
        return std::tolower(x) == std::tolower(y);
    });
}

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The value of a "; key=value" parameter of a header value, unquoted.
std::string Parameter(std::string_view value, std::string_view key) {
    std::size_t start = value.find(';');
    while (start != std::string_view::npos) {
        const std::size_t end = value.find(';', start + 1);
        const std::string_view item = Trim(value.substr(start + 1, end - start - 1));
        const std::size_t equals = item.find('=');
        if (equals != std::string_view::npos &&
            EqualsIgnoringCase(Trim(item.substr(0, equals)), key)) {
            std::string_view text = Trim(item.substr(equals + 1));
            if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
                text = text.substr(1, text.size() - 2);
            }
            return std::string(text);
        }
        start = end;
    }
    return {};
}

// Fills name, filename and content type from the part's header block.
void ReadPartHeaders(std::string_view block, Part& part) {
    while (!block.empty()) {
        const std::size_t end = block.find("\r\n");
        const std::string_view line = block.substr(0, end);
        block = end == std::string_view::npos ? std::string_view{} : block.substr(end + 2);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view name = Trim(line.substr(0, colon));
        const std::string_view value = Trim(line.substr(colon + 1));
        if (EqualsIgnoringCase(name, "Content-Disposition")) {
            part.name = Parameter(value, "name");
            part.filename = Parameter(value, "filename");
        } else if (EqualsIgnoringCase(name, "Content-Type")) {
            part.contentType = value;
        }
    }
}

}  // namespace

// A note has two parts; a body of thousands of empty ones is no note.
constexpr std::size_t kMostParts = 16;

MultipartBody ParseMultipart(std::string_view contentType, std::string_view body) {
    MultipartBody result;
    const std::string boundary = Parameter(contentType, "boundary");
    if (boundary.empty()) {
        result.error = "no boundary in the Content-Type";
        return result;
    }
    const std::string delimiter = "--" + boundary;
    const std::string separator = "\r\n" + delimiter;

    // A preamble, if any, ends with the CRLF that leads the first delimiter.
    std::size_t at = body.substr(0, delimiter.size()) == delimiter ? 0 : body.find(separator);
    if (at == std::string_view::npos) {
        result.error = "no opening boundary";
        return result;
    }
    at += at == 0 ? delimiter.size() : separator.size();
    for (;;) {
        if (body.substr(at, 2) == "--") return result;
        if (body.substr(at, 2) != "\r\n") {
            result.error = "boundary not followed by CRLF";
            return result;
        }
        // Searching from the CRLF after the boundary also finds an empty header block.
        const std::size_t headersEnd = body.find("\r\n\r\n", at);
        const std::size_t contentEnd = headersEnd == std::string_view::npos
                                           ? headersEnd
                                           : body.find(separator, headersEnd + 4);
        if (contentEnd == std::string_view::npos) {
            result.error = "part without an end";
            return result;
        }
        if (result.parts.size() == kMostParts) {
            result.error = "more than " + std::to_string(kMostParts) + " parts";
            result.parts.clear();
            return result;
        }
        Part part;
        if (headersEnd > at) ReadPartHeaders(body.substr(at + 2, headersEnd - at - 2), part);
        part.content = body.substr(headersEnd + 4, contentEnd - headersEnd - 4);
        result.parts.push_back(std::move(part));
        at = contentEnd + separator.size();
    }
}

}  // namespace pushnote::request_reading
