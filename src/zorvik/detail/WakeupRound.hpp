#pragma once

#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

namespace zorvik::detail {

// Wakes put off while a reactor thread handles one round of readiness
// events: a waiter that several completions of the round concern is woken
// once, at the round's end, instead of once per completion (and does not
// wake to take one completion while the reactor still delivers the next).
class WakeupRound {
public:
    WakeupRound() : outer_(current_) { current_ = this; }
    ~WakeupRound() {
        current_ = outer_;
        for (auto& entry : wakes_) {
            try {
                entry.second();
            } catch (...) {
                // A wake must not take the reactor thread down, nor the wakes after it.
            }
        }
    }
    WakeupRound(const WakeupRound&) = delete;
    WakeupRound& operator=(const WakeupRound&) = delete;

    // Outside a round, wakes now; inside one, keeps the first wake asked
    // for under `key` for the round's end. What `wake` captures must keep
    // alive what it wakes.
    template <typename Wake>
    static void wake(const void* key, Wake&& wake) {
        WakeupRound* const round = current_;
        if (round == nullptr) {
            wake();
            return;
        }
        for (const auto& entry : round->wakes_) {
            if (entry.first == key) {
                return;
            }
        }
        round->wakes_.emplace_back(key, std::forward<Wake>(wake));
    }

    // Wakes put off so far by the calling thread's innermost round.
    static std::size_t pendingCount() { return current_ != nullptr ? current_->wakes_.size() : 0; }

private:
    static inline thread_local WakeupRound* current_ = nullptr;
    WakeupRound* outer_;
    std::vector<std::pair<const void*, std::function<void()>>> wakes_;
};

}  // namespace zorvik::detail
