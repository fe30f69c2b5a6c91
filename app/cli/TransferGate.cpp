// Where transfers running side by side may be held, so that the program stops between pieces.
#include "TransferGate.h"

namespace orlup {

// One that begins while the gate is closed waits outside: Close counted it as holding nothing,
// and its first write would come while the program stops.
void TransferGate::Enter() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !closed_; });
    ++active_;
}

void TransferGate::Leave() {
    const std::lock_guard<std::mutex> lock(mutex_);
    --active_;
    changed_.notify_all();
}

bool TransferGate::Pass() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!closed_) return false;
    ++holding_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return !closed_; });
    --holding_;
    return true;
}

void TransferGate::Close() {
    std::unique_lock<std::mutex> lock(mutex_);
    closed_ = true;
    changed_.wait(lock, [this] { return holding_ == active_; });
}

void TransferGate::Open() {
    const std::lock_guard<std::mutex> lock(mutex_);
    closed_ = false;
    changed_.notify_all();
}

}  // namespace orlup
