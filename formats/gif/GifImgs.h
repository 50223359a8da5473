// TGifImage: the picture component the display control loads GIF files with.
// It keeps the loaded TGifFile (and so every decoded image) until the next
// load and shows image 1's bitmap. Invariant: one load at a time; a load
// asked for while one runs (from an event the hook lets run) is refused.
#pragma once

#include "GifUnit.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace quorvane {

class TGifImage {
  public:
    using TNotifyEvent = std::function<void(TGifImage& sender)>;

    TGifImage() = default;
    TGifImage(const TGifImage&) = delete;
    TGifImage& operator=(const TGifImage&) = delete;

    // Loads the file: raises OnImageLoading, lets pending events run, parses
    // and decodes the file, takes image 1's bitmap, raises OnImageLoaded. A
    // failure (EGifException and the pixel store errors) passes out, and
    // neither the picture nor OnImageLoaded follows.
    void LoadFromFile(const std::string& path);

    // The bitmap of image 1 of the last file loaded, or none.
    std::shared_ptr<const TIndexedBitmap> Picture() const { return FPicture; }
    const TGifFile* GifFile() const { return FGifFile.get(); }
    // The image the animation shows (1 after a load).
    std::size_t CurrentImage() const { return FCurrentImage; }
    // Milliseconds between animation steps: the file's animation delay x 10
    // for a file without exactly one image, else 0. The display never starts
    // the animation, so no timer runs here.
    unsigned AnimationInterval() const { return FAnimationInterval; }
    bool Busy() const { return FBusy; }

    // Lets pending interface events run (QCoreApplication::processEvents).
    void SetProcessEventsHook(std::function<void()> hook) { FProcessEvents = std::move(hook); }
    // Least time between two hook calls during a decode (0: every row).
    void SetProcessEventsInterval(std::chrono::microseconds interval) { FEventsInterval = interval; }

    bool StartImmediately = false;
    TNotifyEvent OnImageLoading;
    TNotifyEvent OnImageLoaded;

  private:
    void LoadWhileBusy(const std::string& path);

    std::unique_ptr<TGifFile> FGifFile;
    std::shared_ptr<const TIndexedBitmap> FPicture;
    std::size_t FCurrentImage = 0;
    unsigned FAnimationInterval = 0;
    bool FBusy = false;
    std::function<void()> FProcessEvents;
    std::chrono::microseconds FEventsInterval{10000};
};

} // namespace quorvane
