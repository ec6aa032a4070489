#include "page_routes.h"

#include "json_answer.h"
#include "page_assets.h"

namespace pushnote::inbox {
namespace {

using httplib::Request;
using httplib::Response;

constexpr const char* kPagePolicy =
    "default-src 'self'; img-src 'self'; style-src 'self'; script-src 'self'; "
    "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

void ServeAsset(const std::string& path, Response& response) {
    const PageAsset* asset = FindPageAsset(path);
    if (!asset) return AnswerError(response, 404, "not found");
    const char* type = path.ends_with(".html")  ? "text/html; charset=utf-8"
                       : path.ends_with(".css") ? "text/css; charset=utf-8"
                       : path.ends_with(".svg") ? "image/svg+xml"
                                                : "text/javascript; charset=utf-8";
    response.set_header("Content-Security-Policy", kPagePolicy);
    response.set_header("Cache-Control", "no-cache");
    response.set_content(std::string(asset->bytes), type);
}

}  // namespace

void InstallPageRoutes(httplib::Server& server) {
    server.Get("/",
               [](const Request&, Response& response) { ServeAsset("/index.html", response); });
    server.Get(
        R"(/(inbox\.css|inbox\.js|favicon\.svg))",
        [](const Request& request, Response& response) { ServeAsset(request.path, response); });
}

}  // namespace pushnote::inbox
