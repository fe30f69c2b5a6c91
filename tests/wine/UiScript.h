// Test steps that run inside whatever modal loop the thread is in, one step per timer tick.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace orlup::test {

class UiScript {
public:
    UiScript() = default;
    ~UiScript();
    UiScript(const UiScript&) = delete;
    UiScript& operator=(const UiScript&) = delete;

    /// An action, run once. What it starts that is modal must be posted, not sent, so that
    /// the tick returns and the next steps run inside the new loop.
    UiScript& Do(std::function<void()> action);
    /// Waits tick by tick until the condition holds; gives up after timeoutMs.
    UiScript& WaitFor(std::string what, std::function<bool()> condition, DWORD timeoutMs = 10000);
    /// Lets the thread's loops run for a while.
    UiScript& Pause(DWORD ms);

    /// Starts ticking; the steps run once a message loop dispatches.
    void Start();
    bool done() const { return next_ == steps_.size(); }
    /// Empty, or what was waited for in vain; every window of the thread is then closed.
    const std::string& failure() const { return failure_; }

private:
    struct Step {
        std::string what;
        std::function<bool(DWORD elapsedMs)> finished;
        DWORD timeoutMs;
    };
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    void RunStep();

    std::vector<Step> steps_;
    std::size_t next_ = 0;
    DWORD stepStart_ = 0;
    UINT_PTR timer_ = 0;
    bool inStep_ = false;
    std::string failure_;
};

/// Posts WM_CLOSE to every visible top-level window of this thread.
void CloseThreadWindows();

}  // namespace orlup::test
