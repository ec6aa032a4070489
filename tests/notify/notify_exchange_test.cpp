#include "notify/notify_exchange.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/recording_client.h"

namespace pushnote {
namespace {

using testing::RecordingClient;
using Step = RecordingClient::Step;

const ServiceEndpoint kService{"notify.example", 443};

struct StepCase {
    const char* name;
    Step failAt;
    std::uint32_t status;
    int result;
    std::vector<std::string> closed;
};

class NotifyExchangeStep : public ::testing::TestWithParam<StepCase> {};

TEST_P(NotifyExchangeStep, FirstFailingStepDecidesAndHandlesCloseInReverse) {
    const StepCase& c = GetParam();
    RecordingClient client;
    client.failAt = c.failAt;
    client.status = c.status;
    client.responseBody = std::string(10000, 'r');
    {
        http::HandleSlots handles(client);
        EXPECT_EQ(NotifyExchange(kService, "H", 1, "B", 1, handles), c.result);
        EXPECT_TRUE(client.CallsStartingWith("Close").empty()) << "the exchange closes nothing";
    }
    EXPECT_EQ(client.CallsStartingWith("Close"), c.closed);
    EXPECT_EQ(client.OpenHandles(), 0);
}

const std::vector<std::string> kAll = {"Close request", "Close connection", "Close session"};

INSTANTIATE_TEST_SUITE_P(
    Steps, NotifyExchangeStep,
    ::testing::Values(StepCase{"success", Step::None, 200, 0, kAll},
                      StepCase{"session", Step::Session, 200, -1, {}},
                      StepCase{"connect", Step::Connect, 200, -2, {"Close session"}},
                      StepCase{
                          "request", Step::Request, 200, -3, {"Close connection", "Close session"}},
                      StepCase{"send", Step::Send, 200, -4, kAll},
                      StepCase{"status_read", Step::Status, 200, -5, kAll},
                      StepCase{"status_401", Step::None, 401, -6, kAll},
                      StepCase{"status_204", Step::None, 204, -6, kAll},
                      StepCase{"status_302", Step::None, 302, -6, kAll},
                      StepCase{"body_read", Step::Read, 200, -7, kAll}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NotifyExchange, DrainsTheWholeResponseAndStopsAfterOtherStatus) {
    RecordingClient client;
    client.responseBody = std::string(10000, 'r');
    {
        http::HandleSlots handles(client);
        EXPECT_EQ(NotifyExchange(kService, "H", 1, "B", 1, handles), 0);
    }
    EXPECT_EQ(client.CallsStartingWith("ReadBody").size(), 4u);  // 3 pieces, then 0

    RecordingClient refused;
    refused.status = 500;
    {
        http::HandleSlots handles(refused);
        EXPECT_EQ(NotifyExchange(kService, "H", 1, "B", 1, handles), -6);
    }
    EXPECT_TRUE(refused.CallsStartingWith("ReadBody").empty());
}

}  // namespace
}  // namespace pushnote
