#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

namespace pushnote::command {

// Temporary files of the spool are hidden and unique to their write, so a
// leftover of a crashed write never stands in the way of a later one.
constexpr std::string_view kTemporaryPrefix = ".tmp-";

// ".tmp-NAME.RANDOM": the temporary name for one write of NAME.
std::string TemporaryNameFor(const std::string& name);

// Removes the temporary files in folder that no writer holds and that were
// last written longer ago than age (a writer holds its file from a moment
// after it creates it): leftovers of a crash. Returns how many it removed;
// failures are left for the next run.
unsigned RemoveStaleTemporaries(const std::filesystem::path& folder,
                                std::chrono::seconds age) noexcept;

}  // namespace pushnote::command
