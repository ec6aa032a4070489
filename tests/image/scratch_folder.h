#pragma once

#include <filesystem>
#include <set>
#include <string>

namespace pushnote::testing {

// A fresh, empty folder for one test, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The path of name inside the folder, as the library takes it.
    std::string PathOf(const std::string& name) const;
    std::string Write(const std::string& name, const std::string& bytes) const;
    std::string Read(const std::string& name) const;
    // The names of all entries, hidden ones included.
    std::set<std::string> Names() const;

private:
    std::filesystem::path path_;
};

}  // namespace pushnote::testing
