#include "notify/notify_exchange.h"

#include <chrono>

#include "http/progress_watch.h"
#include "http/transport_config.h"

namespace pushnote {

ResultCode NotifyExchange(const ServiceEndpoint& service, const char* headers,
                          std::uint32_t headersLength, const void* body, std::uint32_t bodyLength,
                          http::HandleSlots& handles) noexcept {
    http::Client& client = handles.client;
    handles.session = client.OpenSession(kSenderAgent, http::ProxyMode::System);
    if (!handles.session) return -1;
    handles.connection = client.Connect(handles.session, service.host, service.port);
    if (!handles.connection) return -2;
    handles.request = client.OpenRequest(handles.connection, "POST", kNotifyPath);
    if (!handles.request) return -3;
    if (!client.SendRequest(handles.request, headers, headersLength, body, bodyLength)) return -4;
    std::uint32_t status = 0;
    if (!client.QueryStatusCode(handles.request, status)) return -5;
    if (status != 200) return -6;

    // The body is read only to end the exchange cleanly. It must keep moving,
    // and one still arriving a whole period after the status (a body that
    // never ends) is given up as a failed read too.
    using Clock = http::ProgressWatch::Clock;
    http::ProgressWatch watch(std::chrono::milliseconds(config::kTimeoutMs), Clock::now());
    char drain[4096];
    for (;;) {
        std::uint32_t count = 0;
        if (!client.ReadBody(handles.request, drain, sizeof drain, count)) return -7;
        if (count == 0) return 0;
        const Clock::time_point now = Clock::now();
        if (!watch.Moving(count, now) || watch.PeriodPassed(now)) return -7;
    }
}

}  // namespace pushnote
