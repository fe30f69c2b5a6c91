// Where transfers running side by side may be held, so that the program stops between pieces.
#pragma once

#include <condition_variable>
#include <mutex>

namespace orlup {

/// A process-wide stop wakes every thread that waits in a printer write, and the write is then
/// lost (see UsblpDeviceFiles.cpp): so a stop is only taken once every transfer holds here,
/// between two of its pieces.
class TransferGate {
public:
    /// A transfer that passes the gate begins and ends.
    void Enter();
    void Leave();
    /// Before each piece: holds while the gate is closed; true when it held.
    bool Pass();
    /// Closes the gate and returns once every transfer holds at it or has ended.
    void Close();
    void Open();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int active_ = 0;
    int holding_ = 0;
    bool closed_ = false;
};

/// Enter and Leave around one transfer.
class GatePass {
public:
    explicit GatePass(TransferGate* gate) : gate_(gate) {
        if (gate_ != nullptr) gate_->Enter();
    }
    ~GatePass() {
        if (gate_ != nullptr) gate_->Leave();
    }
    GatePass(const GatePass&) = delete;
    GatePass& operator=(const GatePass&) = delete;

private:
    TransferGate* gate_;
};

}  // namespace orlup
