#include "image/scratch_folder.h"

#include <chrono>
#include <fstream>
#include <iterator>
#include <system_error>

namespace pushnote::testing {

ScratchFolder::ScratchFolder() {
    static int sequence = 0;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (;;) {
        path_ = std::filesystem::temp_directory_path() /
                ("pushnote-image-" + std::to_string(stamp) + "-" + std::to_string(++sequence));
        if (std::filesystem::create_directory(path_)) break;
    }
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ScratchFolder::PathOf(const std::string& name) const {
    return (path_ / name).string();
}

std::string ScratchFolder::Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path_ / name, std::ios::binary) << bytes;
    return PathOf(name);
}

std::string ScratchFolder::Read(const std::string& name) const {
    std::ifstream file(path_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::set<std::string> ScratchFolder::Names() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

}  // namespace pushnote::testing
