#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>

#include <httplib.h>

namespace pushnote::stand_in {

// Writes each request to numbered files, in the order the requests complete.
class Recorder {
public:
    // An empty directory records nothing; print adds a summary line on stdout.
    Recorder(std::filesystem::path directory, bool print);

    // Records the request with its body before it is answered.
    void Record(const httplib::Request& request, const std::string& body);

private:
    void WriteFields(const std::string& stem, const httplib::Request& request,
                     const std::string& body) const;

    std::filesystem::path directory_;
    bool print_;
    std::mutex mutex_;
    std::uint64_t last_ = 0;
};

}  // namespace pushnote::stand_in
