// Loading a GIF file into the picture component.
#include "GifImgs.h"

namespace quorvane {

void TGifImage::LoadFromFile(const std::string& path)
{
    if (FBusy) throw EGifException("A GIF file is already being loaded");
    if (OnImageLoading) OnImageLoading(*this);
    LoadWhileBusy(path);
    if (OnImageLoaded) OnImageLoaded(*this);
}

void TGifImage::LoadWhileBusy(const std::string& path)
{
    // The busy mark is cleared on every way out, so a failed load never
    // leaves the component refusing all later ones.
    struct TBusyScope {
        bool& Flag;
        explicit TBusyScope(bool& flag) : Flag(flag) { Flag = true; }
        ~TBusyScope() { Flag = false; }
    } busy(FBusy);
    if (FProcessEvents) FProcessEvents();

    FGifFile.reset();
    FGifFile = std::make_unique<TGifFile>();
    FGifFile->EventPump().SetHook(FProcessEvents);
    FGifFile->EventPump().SetInterval(FEventsInterval);
    FCurrentImage = 1;
    FGifFile->LoadFromFile(path);

    FAnimationInterval = FGifFile->ImageCount() != 1 ? FGifFile->AnimationDelay() * 10 : 0;
    FPicture = FGifFile->Image(1).Bitmap();
}

} // namespace quorvane
