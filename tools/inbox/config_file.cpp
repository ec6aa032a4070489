#include "config_file.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "destination.h"
#include "private_file.h"
#include "public_name.h"

namespace pushnote::inbox {
namespace {

using Handler = std::function<void(const toml::node&)>;

// No control characters: a value or key may reach a terminal or a log line.
bool IsPlainText(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f;
    });
}

class Reader {
public:
    // Relative paths in the file are taken from the file's own folder, not the working one.
    Reader(std::string file, std::filesystem::path folder)
        : file_(std::move(file)), folder_(std::move(folder)) {}

    [[noreturn]] void Fail(const toml::source_region& where, const std::string& what) const {
        throw ConfigError(file_ + ":" + std::to_string(where.begin.line) + ":" +
                          std::to_string(where.begin.column) + ": " + what);
    }

    std::int64_t Integer(const toml::node& node, const std::string& key, std::int64_t min,
                         std::int64_t max) const {
        const std::optional<std::int64_t> value = node.value_exact<std::int64_t>();
        if (!value || *value < min || *value > max) {
            Fail(node.source(), key + " must be an integer from " + std::to_string(min) + " to " +
                                    std::to_string(max));
        }
        return *value;
    }

    bool Boolean(const toml::node& node, const std::string& key) const {
        const std::optional<bool> value = node.value_exact<bool>();
        if (!value) Fail(node.source(), key + " must be true or false");
        return *value;
    }

    std::string String(const toml::node& node, const std::string& key) const {
        const std::optional<std::string> value = node.value_exact<std::string>();
        if (!value || value->empty()) Fail(node.source(), key + " must be a string, not empty");
        if (!IsPlainText(*value)) Fail(node.source(), key + " must not hold control characters");
        return *value;
    }

    std::string OneOf(const toml::node& node, const std::string& key,
                      std::initializer_list<const char*> choices) const {
        const std::string value = String(node, key);
        std::string names;
        for (const char* choice : choices) {
            if (value == choice) return value;
            names += std::string(names.empty() ? "" : ", ") + choice;
        }
        Fail(node.source(), key + " must be one of " + names);
    }

    std::string Path(const toml::node& node, const std::string& key) const {
        return (folder_ / String(node, key)).string();
    }

    std::string ExistingFile(const toml::node& node, const std::string& key) const {
        const std::string path = Path(node, key);
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error)) {
            Fail(node.source(), key + ": no such file: " + path);
        }
        return path;
    }

    std::vector<std::string> Strings(const toml::node& node, const std::string& key) const {
        const toml::array* array = node.as_array();
        if (!array) Fail(node.source(), key + " must be an array of strings");
        std::vector<std::string> values;
        for (const toml::node& item : *array) values.push_back(String(item, key + " item"));
        return values;
    }

    // Destination URLs; the message never repeats one, which may hold a secret.
    std::vector<std::string> Destinations(const toml::node& node, const std::string& key) const {
        const toml::array* array = node.as_array();
        if (!array) Fail(node.source(), key + " must be an array of destination URLs");
        std::vector<std::string> urls;
        for (const toml::node& item : *array) {
            const std::string url = String(item, key + " item");
            if (const std::string error = DestinationUrlError(url); !error.empty()) {
                Fail(item.source(), key + ": " + error);
            }
            urls.push_back(url);
        }
        return urls;
    }

    std::chrono::seconds Duration(const toml::node& node, const std::string& key) const {
        constexpr std::int64_t kMax = 366LL * 24 * 3600;
        if (node.is_integer()) return std::chrono::seconds(Integer(node, key, 1, kMax));
        const std::string text = String(node, key);
        const std::map<char, std::int64_t> units{{'s', 1}, {'m', 60}, {'h', 3600}};
        std::int64_t number = 0;
        std::size_t digits = 0;
        while (digits < text.size() && digits < 12 && text[digits] >= '0' && text[digits] <= '9') {
            number = number * 10 + (text[digits++] - '0');
        }
        const auto unit = text.size() == digits + 1 ? units.find(text.back()) : units.end();
        if (digits == 0 || unit == units.end() || number * unit->second < 1 ||
            number * unit->second > kMax) {
            Fail(node.source(), key + " must be a time like \"90s\", \"30m\" or \"24h\"");
        }
        return std::chrono::seconds(number * unit->second);
    }

    // Calls each key's handler; a key without one is a mistake.
    void Table(const toml::table& table, const std::string& where,
               const std::map<std::string, Handler>& handlers) const {
        for (const auto& [key, node] : table) {
            const auto handler = handlers.find(std::string(key.str()));
            if (handler == handlers.end()) {
                Fail(key.source(), IsPlainText(key.str())
                                       ? "unknown key \"" + std::string(key.str()) + "\"" + where
                                       : "an unknown key" + where);
            }
            handler->second(node);
        }
    }

private:
    std::string file_;
    std::filesystem::path folder_;
};

}  // namespace

void LoadConfigFile(const std::filesystem::path& file, Options& options) {
    const std::string name = file.string();
    std::string text;
    try {
        text = ReadPrivateFile(file);
    } catch (const std::runtime_error& e) {
        throw ConfigError(e.what());
    }
    toml::table root;
    try {
        root = toml::parse(text, name);
    } catch (const toml::parse_error& e) {
        throw ConfigError(name + ":" + std::to_string(e.source().begin.line) + ":" +
                          std::to_string(e.source().begin.column) + ": " +
                          std::string(e.description()));
    }
    const Reader read(name, std::filesystem::absolute(file).parent_path());
    ChaosSettings& chaos = options.chaos;
    const std::map<std::string, Handler> chaosKeys{
        {"status",
         [&](const toml::node& n) { chaos.status = read.Integer(n, "status", 100, 599); }},
        {"delay_ms",
         [&](const toml::node& n) { chaos.delayMs = read.Integer(n, "delay_ms", 0, 600000); }},
        {"silent", [&](const toml::node& n) { chaos.silent = read.Boolean(n, "silent"); }},
        {"trickle", [&](const toml::node& n) { chaos.trickle = read.Boolean(n, "trickle"); }},
        {"fail_every",
         [&](const toml::node& n) { chaos.failEvery = read.Integer(n, "fail_every", 1, 1000000); }},
        {"rate_limit",
         [&](const toml::node& n) { chaos.rateLimit = read.Integer(n, "rate_limit", 1, 1000000); }},
    };
    const auto readRoute = [&](const toml::node& node) {
        const toml::table* table = node.as_table();
        if (!table) read.Fail(node.source(), "each [[route]] must be a table");
        Route route;
        read.Table(
            *table, " in [[route]]",
            {{"tokens", [&](const toml::node& n) { route.tokens = read.Strings(n, "tokens"); }},
             {"forward",
              [&](const toml::node& n) { route.forward = read.Destinations(n, "forward"); }}});
        if (route.tokens.empty() || route.forward.empty()) {
            read.Fail(node.source(), "a [[route]] needs tokens and forward, neither empty");
        }
        options.routes.push_back(std::move(route));
    };
    read.Table(
        root, "",
        {
            {"data", [&](const toml::node& n) { options.data = read.Path(n, "data"); }},
            {"port",
             [&](const toml::node& n) {
                 options.service.port =
                     static_cast<std::uint16_t>(read.Integer(n, "port", 1, 65535));
             }},
            {"listen", [&](const toml::node& n) { options.listen = read.String(n, "listen"); }},
            {"trusted_proxy",
             [&](const toml::node& n) { options.trustedProxy = read.String(n, "trusted_proxy"); }},
            {"http", [&](const toml::node& n) { options.http = read.Boolean(n, "http"); }},
            {"cert",
             [&](const toml::node& n) { options.service.cert = read.ExistingFile(n, "cert"); }},
            {"key",
             [&](const toml::node& n) { options.service.key = read.ExistingFile(n, "key"); }},
            {"tokens", [&](const toml::node& n) { options.tokens = read.Strings(n, "tokens"); }},
            {"keep",
             [&](const toml::node& n) { options.keep = read.Integer(n, "keep", 1, INT64_MAX); }},
            {"max_image",
             [&](const toml::node& n) {
                 options.maxImageBytes =
                     static_cast<std::uint64_t>(read.Integer(n, "max_image", 1, INT64_MAX));
             }},
            {"notes_per_minute",
             [&](const toml::node& n) {
                 options.notesPerMinute =
                     static_cast<int>(read.Integer(n, "notes_per_minute", 1, 1000000));
             }},
            {"notes_per_minute_by_token",
             [&](const toml::node& n) {
                 const toml::table* table = n.as_table();
                 if (!table) {
                     read.Fail(n.source(), "notes_per_minute_by_token must be a table of numbers");
                 }
                 for (const auto& [name, value] : *table) {
                     options.notesPerMinuteByToken[std::string(name.str())] =
                         static_cast<int>(read.Integer(value, std::string(name.str()), 0, 1000000));
                 }
             }},
            {"forward",
             [&](const toml::node& n) { options.forward = read.Destinations(n, "forward"); }},
            {"forward_ca",
             [&](const toml::node& n) { options.forwardCa = read.ExistingFile(n, "forward_ca"); }},
            {"forward_give_up",
             [&](const toml::node& n) {
                 options.forwardGiveUp = read.Duration(n, "forward_give_up");
             }},
            {"public_url",
             [&](const toml::node& n) {
                 options.publicUrl = read.String(n, "public_url");
                 if (!ParsePublicUrl(options.publicUrl)) {
                     read.Fail(n.source(), "public_url must be https://NAME[:PORT]");
                 }
             }},
            {"page",
             [&](const toml::node& n) {
                 options.page = read.OneOf(n, "page", {"open", "password", "off"});
             }},
            {"log_level",
             [&](const toml::node& n) {
                 options.logLevel =
                     read.OneOf(n, "log_level", {"error", "warning", "info", "debug"});
             }},
            {"pid_file",
             [&](const toml::node& n) { options.lifetime.pidFile = read.Path(n, "pid_file"); }},
            {"max_seconds",
             [&](const toml::node& n) {
                 options.lifetime.maxSeconds =
                     static_cast<unsigned>(read.Integer(n, "max_seconds", 0, INT32_MAX));
             }},
            {"chaos",
             [&](const toml::node& n) {
                 const toml::table* table = n.as_table();
                 if (!table) read.Fail(n.source(), "chaos must be a table: [chaos]");
                 read.Table(*table, " in [chaos]", chaosKeys);
             }},
            {"route",
             [&](const toml::node& n) {
                 const toml::array* routes = n.as_array();
                 if (!routes) read.Fail(n.source(), "route must be tables: [[route]]");
                 for (const toml::node& route : *routes) readRoute(route);
             }},
        });
    if (options.service.cert.empty() != options.service.key.empty()) {
        throw ConfigError(name + ": cert and key go together");
    }
}

}  // namespace pushnote::inbox
