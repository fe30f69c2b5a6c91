// One firmware transfer, from the click of "&Update Flash" to its end, paced by the host's timer.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "update/FirmwareModel.h"
#include "update/ImageFileApi.h"
#include "usb/DeviceFileApi.h"
#include "usb/PrinterPortList.h"
#include "usb/UsbDevices.h"

namespace orlup {

/// How an attempt ended, or stands: what a front end reports and records of it.
struct AttemptOutcome {
    bool completed = false;
    /// The text the attempt ended with: the completion text, or the failure's message.
    std::string message;
    /// The system error code that message tells; 0 for a fixed sentence.
    uint32_t errorCode = 0;
    /// The claimed printer was opened for the transfer.
    bool portOpened = false;
    /// The printer was sent the update command: it was told a size and waits for its bytes.
    bool commandSent = false;
    /// The image's size once the attempt has read it, else 0.
    uint32_t imageSize = 0;
    /// Image bytes the printer took; 0 before the command went out.
    uint32_t bytesSent = 0;
    /// The printer the search settled on and claimed; empty when none was.
    std::optional<UsbDeviceRecord> printer;
};

/// What the flash update needs of the window that hosts it. Every call comes on the one
/// user-interface thread; ShowMessage may run a nested loop that delivers timer ticks.
class FlashUpdateHost {
public:
    virtual ~FlashUpdateHost() = default;
    /// The edit box's text, taken into the image path (the data exchange from the controls).
    virtual std::string TakeImagePath() = 0;
    /// A modal box with one OK button; returns when it is dismissed.
    virtual void ShowMessage(const std::string& text) = 0;
    /// The completion text, the one message that reports no failure; a box like any other
    /// unless the host tells the two apart.
    virtual void ShowCompletion(const std::string& text) { ShowMessage(text); }
    /// The progress bar's position; its range is 0 to 100, so more shows a full bar.
    virtual void SetProgress(uint32_t position) = 0;
    /// Starts a periodic timer whose ticks reach FlashUpdate::OnTimer; returns its id, 0 on failure.
    virtual uint32_t SetTimer(uint32_t id, uint32_t periodMs) = 0;
    virtual void KillTimer(uint32_t id) = 0;
    /// Enables or disables "Select File" and "&Update Flash" together.
    virtual void EnableButtons(bool enable) = 0;
    /// Once for every attempt that ends on its own, just before its last message is shown, so
    /// that a host can keep a record of it; an attempt cut short by the flash update's
    /// destruction is not told.
    virtual void AttemptEnded(const AttemptOutcome& /*outcome*/) {}
};

/// What the flash update reaches the system through.
struct FlashSystem {
    UsbDeviceSource& devices;
    DeviceFileApi& ports;
    ImageFileApi& images;
};

class FlashUpdate {
public:
    static constexpr uint32_t TimerId = 1;
    static constexpr uint32_t TimerPeriodMs = 10;
    static constexpr uint32_t PieceSize = 1024;
    /// The update command's size field is 32 bits wide, and a size query that answers
    /// 0xFFFFFFFF has failed, so the largest image is one byte less.
    static constexpr uint64_t LargestImage = 0xFFFFFFFEu;

    FlashUpdate(FlashUpdateHost& host, const FlashSystem& system);
    /// A transfer cut short (the dialog closed) closes its image and its port here.
    ~FlashUpdate();
    FlashUpdate(const FlashUpdate&) = delete;
    FlashUpdate& operator=(const FlashUpdate&) = delete;

    /// Starts an attempt: checks the path, finds the one printer, sends the update command.
    void OnUpdateFlash();
    /// Sends the next piece while busy; the first tick after the end stops the timer.
    void OnTimer(uint32_t id);

    const std::string& imagePath() const { return imagePath_; }
    bool busy() const { return busy_; }
    /// True once the last attempt sent every byte; cleared when the next one starts.
    bool completed() const { return completed_; }
    uint32_t imageSize() const { return imageSize_; }
    uint32_t bytesSent() const { return bytesSent_; }
    int printersFound() const { return printersFound_; }
    /// Printers of the model that the last search left out because they could not be opened.
    const std::vector<SkippedPrinter>& skippedPrinters() const { return skipped_; }
    /// The last attempt as it ended, or as it stands while it runs.
    AttemptOutcome outcome() const;
    bool HasPortList() const { return portList_ != nullptr; }
    bool HasImageOpen() const { return imageFile_ != InvalidFileHandle; }

private:
    void SendNextPiece();
    bool OpenClaimedPort(const FirmwareModel& model);
    bool StartTransfer();
    void FailTransfer(const std::string& text, uint32_t code);
    /// The attempt's last message: the host hears how it ended, then sees the text.
    void EndWith(const std::string& text, uint32_t code);
    void CloseImage();
    void DestroyPortList();
    uint32_t ProgressPosition() const;

    FlashUpdateHost& host_;
    FlashSystem system_;

    std::string imagePath_;
    uint32_t timerId_ = 0;
    uint32_t imageSize_ = 0;
    FileHandle imageFile_ = InvalidFileHandle;
    uint32_t bytesSent_ = 0;
    bool busy_ = false;
    bool completed_ = false;
    std::unique_ptr<PrinterPortList> portList_;
    PrinterPort* claimedPort_ = nullptr;
    int printersFound_ = 0;
    std::vector<SkippedPrinter> skipped_;
    // What outcome() tells of the current attempt's end: nothing while it runs.
    struct End {
        std::string text;
        uint32_t code = 0;
    } end_;
    bool sizeKnown_ = false;
    bool portOpened_ = false;
    bool commandSent_ = false;
    std::optional<UsbDeviceRecord> claimedPrinter_;
    std::array<uint8_t, PieceSize> piece_{};
};

}  // namespace orlup
