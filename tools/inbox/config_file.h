#pragma once

#include <filesystem>
#include <stdexcept>

#include "options.h"

namespace pushnote::inbox {

// A mistake in a config file: "FILE:LINE:COLUMN: what is wrong", without the
// value when it may be a secret.
class ConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the TOML file into options: each key it has replaces the option's
// default. Throws ConfigError for an unknown key, a wrong type, a value out
// of range, a bad URL, a missing file, or a file others may read.
void LoadConfigFile(const std::filesystem::path& file, Options& options);

}  // namespace pushnote::inbox
