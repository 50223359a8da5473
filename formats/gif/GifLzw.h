// The LZW decoder of GIF image data, with interlace support, and the throttled
// "let pending events run" hook it calls as pixel rows complete.
// Invariant: every write lands inside the pixel store, whatever the input.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace quorvane {

class TByteArray2D;
class TByteBuffer;

// Lets pending interface events run while a long decode goes on. The hook is
// set by the widgets (to QCoreApplication::processEvents); the core never
// knows what it does. Calls after completed rows are spaced by Interval, so a
// decode pays one clock read per row at most and nothing without a hook.
class TGifEventPump {
  public:
    using THook = std::function<void()>;

    void SetHook(THook hook) { FHook = std::move(hook); }
    bool HasHook() const { return static_cast<bool>(FHook); }
    // Zero calls the hook after every completed row.
    void SetInterval(std::chrono::microseconds interval) { FInterval = interval; }
    std::chrono::microseconds Interval() const { return FInterval; }

    // Calls the hook now (before a load).
    void RunNow();
    // A pixel row is complete: calls the hook if the interval has passed.
    void RowCompleted()
    {
        if (FHook) RowCompletedSlow();
    }

  private:
    void RowCompletedSlow();

    THook FHook;
    std::chrono::microseconds FInterval{10000};
    std::chrono::steady_clock::time_point FLast{};
};

struct TGifDecodeInput {
    const TByteBuffer* Data = nullptr; // the compressed sub-blocks
    std::uint8_t MinCodeSize = 0;      // the image's LZW minimum code size
    bool Interlaced = false;
};

// Decodes one image's data into its pixel store (RowLength() = width,
// RowCount() = height). Fails with "Bad code Size", "Bad code"
// (EGifException), "Dynamic array index out of bounds" for pixel data beyond
// the last row, and the list-index error for an image without data. Once the
// table is full, 12-bit codes go on without new entries until a clear code. Data that runs out before the end
// code ends decoding quietly; rows never completed keep colour index 0.
void DecodeGifImage(const TGifDecodeInput& input, TByteArray2D& pixels, TGifEventPump& pump);

} // namespace quorvane
