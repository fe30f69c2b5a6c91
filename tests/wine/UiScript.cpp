// Test steps run from a thread timer, so that they also run inside nested modal loops.
#include "UiScript.h"

namespace orlup::test {

namespace {
constexpr UINT TickMs = 15;
UiScript* running = nullptr;  // thread timers carry no context of their own

BOOL CALLBACK PostClose(HWND window, LPARAM) {
    if (IsWindowVisible(window)) PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}
}  // namespace

void CloseThreadWindows() { EnumThreadWindows(GetCurrentThreadId(), &PostClose, 0); }

UiScript::~UiScript() {
    if (timer_ != 0) KillTimer(nullptr, timer_);
    if (running == this) running = nullptr;
}

UiScript& UiScript::Do(std::function<void()> action) {
    steps_.push_back({"action", [action](DWORD) { return action(), true; }, 0});
    return *this;
}

UiScript& UiScript::WaitFor(std::string what, std::function<bool()> condition, DWORD timeoutMs) {
    steps_.push_back({std::move(what), [condition](DWORD) { return condition(); }, timeoutMs});
    return *this;
}

UiScript& UiScript::Pause(DWORD ms) {
    steps_.push_back({"pause", [ms](DWORD elapsed) { return elapsed >= ms; }, ms + 1000});
    return *this;
}

void UiScript::Start() {
    running = this;
    stepStart_ = GetTickCount();
    timer_ = SetTimer(nullptr, 0, TickMs, &UiScript::Tick);
}

void CALLBACK UiScript::Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (running != nullptr) running->RunStep();
}

void UiScript::RunStep() {
    if (!failure_.empty() || done()) {
        if (!failure_.empty()) CloseThreadWindows();
        return;
    }
    // A step that sends a message may re-enter through a nested loop; it finishes first.
    if (inStep_) return;
    inStep_ = true;
    const Step& step = steps_[next_];
    const DWORD elapsed = GetTickCount() - stepStart_;
    if (step.finished(elapsed)) {
        ++next_;
        stepStart_ = GetTickCount();
    } else if (elapsed > step.timeoutMs) {
        failure_ = "timed out waiting for " + step.what;
    }
    inStep_ = false;
}

}  // namespace orlup::test
