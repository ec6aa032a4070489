#include "login_routes.h"

#include <semaphore>
#include <string>

#include "client_address.h"
#include "json_answer.h"
#include "page_assets.h"
#include "request_guards.h"

namespace pushnote::inbox {
namespace {

using httplib::Request;
using httplib::Response;

constexpr std::string_view kCookie = "pushnote_session";
constexpr const char* kLoginPolicy =
    "default-src 'none'; img-src 'self'; style-src 'self'; form-action 'self'; "
    "base-uri 'none'; frame-ancestors 'none'";

std::string CookieValue(const Request& request) {
    const std::string header = request.get_header_value("Cookie");
    std::string_view rest = header;
    while (!rest.empty()) {
        const std::size_t end = rest.find(';');
        std::string_view pair = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
        if (pair.starts_with(kCookie) && pair.size() > kCookie.size() &&
            pair[kCookie.size()] == '=') {
            return std::string(pair.substr(kCookie.size() + 1));
        }
    }
    return {};
}

std::string SetCookie(const std::string& value, std::chrono::seconds maxAge) {
    return std::string(kCookie) + "=" + value +
           "; Path=/; Max-Age=" + std::to_string(maxAge.count()) +
           "; HttpOnly; Secure; SameSite=Strict";
}

void ServeLoginForm(Response& response, int status) {
    const PageAsset* form = FindPageAsset("/login.html");
    response.status = status;
    response.set_header("Content-Security-Policy", kLoginPolicy);
    response.set_header("Cache-Control", "no-store");
    response.set_content(std::string(form->bytes), "text/html; charset=utf-8");
}

// A form of another site may post here; only the inbox's own page may.
bool FromThisOrigin(const Request& request) {
    if (!request.has_header("Origin")) return true;
    const std::string origin = request.get_header_value("Origin");
    const std::string host = request.get_header_value("Host");
    return origin == "https://" + host || origin == "http://" + host;
}

// One of the few password checks that may run at once, while it lasts.
class CheckSlot {
public:
    explicit CheckSlot(std::counting_semaphore<PageLock::kConcurrentChecks>& slots)
        : slots_(slots), held_(slots.try_acquire()) {}
    ~CheckSlot() {
        if (held_) slots_.release();
    }
    CheckSlot(const CheckSlot&) = delete;
    CheckSlot& operator=(const CheckSlot&) = delete;
    bool Held() const { return held_; }

private:
    std::counting_semaphore<PageLock::kConcurrentChecks>& slots_;
    bool held_;
};

bool PasswordHolds(PageLock& lock, const std::string& name, const std::string& password) {
    return lock.users && UserStore::IsValidName(name) && password.size() <= 1024 &&
           lock.users->Check(name, password);
}

void LogIn(Inbox& inbox, const Request& request, Response& response) {
    PageLock& lock = *inbox.pageLock;
    if (!FromThisOrigin(request)) return AnswerError(response, 403, "log in from the inbox's page");
    const CheckSlot slot(lock.checks);
    if (!slot.Held()) {
        response.set_header("Retry-After", "1");
        return AnswerError(response, 503, "too many logins at once: try again");
    }
    const std::string address = AddressBlock(ClientAddress(request, inbox.trustedProxy));
    if (const auto wait = lock.throttle.Begin(address, LoginThrottle::Clock::now())) {
        response.set_header("Retry-After", std::to_string(wait->count()));
        return AnswerError(response, 429, "too many failed logins: try again later");
    }
    const std::string name = request.get_param_value("name");
    bool holds = false;
    try {
        holds = PasswordHolds(lock, name, request.get_param_value("password"));
    } catch (...) {
        lock.throttle.Failed(address, LoginThrottle::Clock::now());
        throw;
    }
    if (!holds) {
        lock.throttle.Failed(address, LoginThrottle::Clock::now());
        return ServeLoginForm(response, 401);
    }
    lock.throttle.Succeeded(address);
    response.set_header("Set-Cookie", SetCookie(lock.sessions.Start(name), Sessions::kLifetime));
    response.status = 303;
    response.set_header("Location", "/");
}

bool NeedsNoLogin(const Request& request) {
    return (request.path == "/api/notify" && request.method == "POST") ||
           (request.path == "/api/health" && request.method == "GET");
}

}  // namespace

void InstallLoginRoutes(httplib::Server& server, Inbox& inbox) {
    server.Get("/login", [](const Request&, Response& response) { ServeLoginForm(response, 200); });
    server.Post("/login", [&inbox](const Request& request, Response& response) {
        LogIn(inbox, request, response);
    });
    server.Post("/logout", [&inbox](const Request& request, Response& response) {
        if (!CarriesInboxMark(request) && !FromThisOrigin(request)) {
            return RefuseUnmarked(response);
        }
        inbox.pageLock->sessions.End(CookieValue(request));
        response.set_header("Set-Cookie", SetCookie("", std::chrono::seconds(0)));
        response.status = 303;
        response.set_header("Location", "/login");
    });
}

bool PassesPageLock(const Request& request, Response& response, Inbox& inbox) {
    if (!inbox.pageLock || NeedsNoLogin(request)) return true;
    PageLock& lock = *inbox.pageLock;
    if (lock.mode == PageMode::Off) {
        AnswerError(response, 404, "not found");
        return false;
    }
    const bool loginPage =
        request.path == "/login" || request.path == "/inbox.css" || request.path == "/favicon.svg";
    if (loginPage) return true;
    if (lock.mode == PageMode::Open && IsLocalRequest(request, inbox.trustedProxy)) return true;
    // A user removed while the inbox runs is logged out at once.
    if (const auto user = lock.sessions.UserOf(CookieValue(request));
        user && lock.users && lock.users->Exists(*user)) {
        return true;
    }
    if (request.method == "GET" && request.path == "/") {
        response.status = 303;
        response.set_header("Location", "/login");
    } else {
        AnswerError(response, 401, "log in first");
    }
    return false;
}

}  // namespace pushnote::inbox
