#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "delivery.h"
#include "destination.h"

namespace pushnote::inbox {

// A note as a delivery needs it, read again for each attempt.
struct StoredNote {
    std::int64_t receivedMs = 0;
    std::string message;
    std::string tokenFingerprint;
    std::string image;
    std::string imageType;
    int imageWidth = 0;
    int imageHeight = 0;
};

// Where the queue reads notes and writes what became of each delivery.
class DeliveryLedger {
public:
    virtual ~DeliveryLedger() = default;
    // Nothing when the note is gone (cleared).
    virtual std::optional<StoredNote> LoadNote(std::int64_t noteId) = 0;
    virtual void Save(const Delivery& delivery) = 0;
};

struct NamedDestination {
    std::string key;  // see Delivery::destinationKey
    std::unique_ptr<Destination> destination;
};

// A few workers that deliver each queued delivery when it is due: at once,
// then after 1 s, doubling to at most 10 minutes, or what a 429 or 503 asked
// for; until delivered, refused for good, or the give-up time has passed.
class DeliveryQueue {
public:
    struct Settings {
        SendSettings send;
        std::chrono::seconds giveUp{24 * 3600};
        int workers = 4;
        std::string publicUrl;  // where notes link to; empty for no link
    };
    DeliveryQueue(std::vector<NamedDestination> destinations, DeliveryLedger& ledger,
                  Settings settings);
    ~DeliveryQueue();
    DeliveryQueue(const DeliveryQueue&) = delete;
    DeliveryQueue& operator=(const DeliveryQueue&) = delete;

    // Takes queued deliveries (new, requeued or left from the last run).
    void Add(const std::vector<Delivery>& deliveries);
    // The destinations from now on; an attempt under way ends with the old.
    // A waiting delivery whose destination is gone fails when it is due.
    void ReplaceDestinations(std::vector<NamedDestination> destinations);

    static constexpr int kWorkersPerDestination = 2;
    static constexpr std::chrono::milliseconds kFirstRetry{1000};
    static constexpr std::chrono::milliseconds kLongestRetry{10 * 60 * 1000};
    // How long after its attempt-th failed attempt a delivery is tried again.
    static std::chrono::milliseconds Backoff(int attempt,
                                             std::optional<std::chrono::seconds> retryAfter);

private:
    void Work();
    using Destinations = std::vector<NamedDestination>;
    void Attempt(Delivery delivery, const std::shared_ptr<const Destinations>& destinations);
    void Fail(Delivery delivery, std::string why);
    // Saves what became of a delivery and keeps it waiting while queued.
    void Record(Delivery delivery);
    static const Destination* Find(const Destinations& destinations, const std::string& key);

    std::shared_ptr<const Destinations> destinations_;
    DeliveryLedger& ledger_;
    Settings settings_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::multimap<std::int64_t, Delivery> waiting_;  // by when it is due
    std::map<std::string, int> busy_;                // attempts under way by destination key
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace pushnote::inbox
