#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Reads what the service stand-in recorded. Each function throws
// std::runtime_error when a record or a variable it needs is missing.
namespace pushnote::testing {

// The wire test environment, set by pushnote_add_wire_test.
std::filesystem::path RecordsDirectory();  // PUSHNOTE_TEST_RECORDS
std::filesystem::path PkiDirectory();      // PUSHNOTE_TEST_PKI
std::uint16_t ServicePort();               // PUSHNOTE_TEST_SERVICE_PORT
std::uint16_t ExpiredServicePort();        // PUSHNOTE_TEST_EXPIRED_PORT

struct RecordedRequest {
    std::string method;
    std::string target;
    std::string version;
    // In record order (sorted by name; repeated names in the order received).
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The first value of the header, its name compared case-insensitively.
    std::optional<std::string> Header(std::string_view name) const;
    std::size_t HeaderCount(std::string_view name) const;
};

// One line of a multipart record's .fields file.
struct RecordedField {
    std::string name;
    std::string filename;
    std::string contentType;
    std::uintmax_t size = 0;
};

class RecordedRequests {
public:
    RecordedRequests();  // in RecordsDirectory()
    explicit RecordedRequests(std::filesystem::path directory);

    // Records are numbered from 1 in arrival order; Count() is the newest number.
    std::size_t Count() const;
    RecordedRequest Read(std::size_t number) const;
    RecordedRequest Newest() const;
    // The parts of a multipart request, in body order.
    std::vector<RecordedField> Fields(std::size_t number) const;
    // The bytes of part NAME; a repeated name's later parts are NAME-2, NAME-3...
    std::string Part(std::size_t number, std::string_view name) const;

private:
    std::filesystem::path File(std::size_t number, std::string_view suffix) const;

    std::filesystem::path directory_;
};

}  // namespace pushnote::testing
