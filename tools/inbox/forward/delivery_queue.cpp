#include "delivery_queue.h"

#include <algorithm>

#include "thread_priority.h"

namespace pushnote::inbox {
namespace {

constexpr const char* kGone = "this destination is no longer configured";

}  // namespace

DeliveryQueue::DeliveryQueue(std::vector<NamedDestination> destinations, DeliveryLedger& ledger,
                             Settings settings)
    : destinations_(std::make_shared<const Destinations>(std::move(destinations))),
      ledger_(ledger),
      settings_(std::move(settings)) {
    for (int i = 0; i < settings_.workers; ++i) workers_.emplace_back([this] { Work(); });
}

DeliveryQueue::~DeliveryQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

std::chrono::milliseconds DeliveryQueue::Backoff(int attempt,
                                                 std::optional<std::chrono::seconds> retryAfter) {
    const int doublings = std::clamp(attempt - 1, 0, 20);
    const std::chrono::milliseconds backoff = std::min<std::chrono::milliseconds>(
        kFirstRetry * (std::int64_t{1} << doublings), kLongestRetry);
    if (!retryAfter) return backoff;
    return std::max<std::chrono::milliseconds>(backoff, *retryAfter);
}

void DeliveryQueue::Add(const std::vector<Delivery>& deliveries) {
    std::vector<Delivery> unknown;
    {
        std::lock_guard lock(mutex_);
        for (const Delivery& delivery : deliveries) {
            if (!Find(*destinations_, delivery.destinationKey)) {
                unknown.push_back(delivery);
                continue;
            }
            waiting_.emplace(delivery.nextAttemptMs.value_or(0), delivery);
        }
    }
    // One worker for each: more would wake only to wait again.
    for (std::size_t i = 0; i < deliveries.size() && i < workers_.size(); ++i) {
        changed_.notify_one();
    }
    // Left from a run that had a destination this one has not.
    for (Delivery& delivery : unknown) Fail(std::move(delivery), kGone);
}

void DeliveryQueue::ReplaceDestinations(std::vector<NamedDestination> destinations) {
    auto replaced = std::make_shared<const Destinations>(std::move(destinations));
    std::lock_guard lock(mutex_);
    destinations_ = std::move(replaced);
}

void DeliveryQueue::Fail(Delivery delivery, std::string why) {
    delivery.state = Delivery::State::Failed;
    delivery.nextAttemptMs.reset();
    delivery.lastAnswer = std::move(why);
    Record(std::move(delivery));
}

void DeliveryQueue::Record(Delivery delivery) {
    try {
        ledger_.Save(delivery);
    } catch (const std::exception&) {
        // The store cannot be written: the delivery stays queued here, with
        // its attempts counted, so that a receiver that took it is not sent
        // it again before its backoff.
        delivery.state = Delivery::State::Queued;
        const std::int64_t backoff =
            NowMs() + Backoff(std::max(delivery.attempts, 1), std::nullopt).count();
        delivery.nextAttemptMs = std::max(delivery.nextAttemptMs.value_or(0), backoff);
    }
    if (delivery.state != Delivery::State::Queued) return;
    {
        std::lock_guard lock(mutex_);
        waiting_.emplace(*delivery.nextAttemptMs, std::move(delivery));
    }
    changed_.notify_one();
}

const Destination* DeliveryQueue::Find(const Destinations& destinations, const std::string& key) {
    for (const NamedDestination& named : destinations) {
        if (named.key == key) return named.destination.get();
    }
    // A key written before keys held a digest: the shown URL alone, when
    // exactly one destination is shown so.
    const Destination* shownSo = nullptr;
    for (const NamedDestination& named : destinations) {
        if (named.destination->DisplayUrl() != key) continue;
        if (shownSo) return nullptr;
        shownSo = named.destination.get();
    }
    return shownSo;
}

void DeliveryQueue::Work() {
    LowerThreadPriority();
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        // The first due delivery whose destination has a worker to spare: a
        // receiver that stalls holds kWorkersPerDestination workers, not all.
        const std::int64_t now = NowMs();
        auto next = waiting_.begin();
        while (next != waiting_.end() && next->first <= now &&
               busy_[next->second.destinationKey] >= kWorkersPerDestination) {
            ++next;
        }
        if (next == waiting_.end()) {
            changed_.wait(lock);
            continue;
        }
        if (next->first > now) {
            changed_.wait_for(lock, std::chrono::milliseconds(next->first - now));
            continue;
        }
        Delivery delivery = std::move(next->second);
        waiting_.erase(next);
        const std::string key = delivery.destinationKey;
        ++busy_[key];
        const std::shared_ptr<const Destinations> destinations = destinations_;
        lock.unlock();
        try {
            Attempt(delivery, destinations);
        } catch (const std::exception&) {
            // The note could not be read: nothing was sent, and the
            // delivery tries again in a while.
            std::lock_guard relock(mutex_);
            waiting_.emplace(NowMs() + kFirstRetry.count(), std::move(delivery));
        }
        lock.lock();
        if (--busy_[key] == 0) busy_.erase(key);
        changed_.notify_one();
    }
}

void DeliveryQueue::Attempt(Delivery delivery,
                            const std::shared_ptr<const Destinations>& destinations) {
    const Destination* destination = Find(*destinations, delivery.destinationKey);
    if (!destination) return Fail(std::move(delivery), kGone);
    const std::optional<StoredNote> note = ledger_.LoadNote(delivery.noteId);
    if (!note) return;  // cleared while it waited

    const std::string deliveryId =
        std::to_string(delivery.id) + "-" + std::to_string(delivery.createdMs);
    const std::string link = settings_.publicUrl.empty() ? std::string()
                                                         : settings_.publicUrl + "/#note-" +
                                                               std::to_string(delivery.noteId);
    const OutgoingNote outgoing{delivery.noteId,  note->receivedMs,
                                note->message,    note->tokenFingerprint,
                                note->image,      note->imageType,
                                note->imageWidth, note->imageHeight,
                                deliveryId,       link};
    const SendResult result = destination->Send(outgoing, settings_.send);

    const std::int64_t now = NowMs();
    ++delivery.attempts;
    delivery.lastAnswer = result.answer;
    delivery.nextAttemptMs.reset();
    using Outcome = SendResult::Outcome;
    if (result.outcome == Outcome::Delivered) {
        delivery.state = Delivery::State::Delivered;
        delivery.deliveredMs = now;
    } else if (result.outcome == Outcome::Refused) {
        delivery.state = Delivery::State::Failed;
    } else {
        const std::int64_t next = now + Backoff(delivery.attempts, result.retryAfter).count();
        const std::int64_t giveUpAt =
            delivery.createdMs +
            std::chrono::duration_cast<std::chrono::milliseconds>(settings_.giveUp).count();
        if (next > giveUpAt) {
            delivery.state = Delivery::State::Failed;
            delivery.lastAnswer = "gave up after " + std::to_string(delivery.attempts) +
                                  " attempts: " + result.answer;
        } else {
            delivery.nextAttemptMs = next;
        }
    }
    Record(std::move(delivery));
}

}  // namespace pushnote::inbox
