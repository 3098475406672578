#pragma once

#include <windows.h>

#include "notify/envelope_motion.h"
#include "util/gdiplus_win32.h"
#include "util/handles_win32.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pigeonet {

// What the envelope needs of the rest of the program and of the system. Members left empty get the default noted.
struct EnvelopeSeams {
    std::function<void(int milliseconds)> sleep;  // default: Sleep
    std::function<ScreenSize()> screenSize;       // default: the primary screen's full size in pixels
    std::function<void()> processMessages;        // default: ProcessPendingMessages
    std::function<int()> animationSpeed;          // the live animation speed, 0..10; default 3
    std::function<int()> displayTime;             // seconds: StoredDisplayTime(store), read at every tick; default 8
    std::function<void()> stopTrayFlashing;       // tray cycle interval 0, then icon index 0; default nothing
    std::function<void()> openMail;               // the open-mail command (N6Click); default nothing
    std::function<void(bool enabled)> setTimer2Enabled;  // default nothing
    // The screen's resolution, which picks the picture's size (EnvelopeSizeForDpi); default: ScreenDpi().
    std::function<int()> screenDpi;
    // The PNG bytes of the picture for `envelopeSize` pixels; default: the image resource of type "PNG" drawn for
    // that size: PG (135), PG150 (203) or PG200 (270) ("Resource PG not found").
    std::function<std::vector<std::uint8_t>(int envelopeSize)> pictureBytes;
    // The temporary folder with its trailing "\" (UTF-8); default: TempFolderPath().
    std::function<std::string()> tempFolderPath;
    // Shows a modal message (UTF-8) captioned "Pigeonet" with an OK button; default: a message box owned by the
    // window's owner (the application window).
    std::function<void(const std::string& text)> showMessage;
};

// The envelope popup drawn on the main window: the picture with the count, pushed to the window as a layered
// window with per-pixel alpha, its slide animations, its display timer and the click on it. The window must be a
// WS_POPUP, top-most, and outlive the envelope or tell it of its end through FormDestroy.
class Envelope {
  public:
    Envelope(HWND window, EnvelopeSeams seams);
    ~Envelope();
    Envelope(const Envelope&) = delete;
    Envelope& operator=(const Envelope&) = delete;

    // Draws the picture with `count` (> 0) into a new bitmap, sets the hint to `email` (UTF-8) and pushes the result
    // to the window where it stands; neither shows nor moves it. A missing picture resource or a temporary file
    // that cannot be written fails with an AppError before anything is drawn.
    void ShowEnvelope(std::int32_t count, const std::string& email);
    void SlideIn();
    void SlideOut();
    // The tick handler of the main window's Timer2 (1000 ms).
    void Timer2Timer();
    // A click on the popup: flashing stops, the envelope sinks at once, the mail program opens.
    void FormClick();
    // The main window's destroy handler: releases the bitmap and its device context.
    void FormDestroy();

    std::int32_t DisplayCounter() const { return motion_.DisplayCounter; }
    // The picture's side in pixels on this screen: 135 below 150 % of 96 DPI.
    int EnvelopeSize() const { return envelopeSize_; }
    // The window's hint, shown as its tooltip: the address of the latest show (UTF-8).
    const std::string& Hint() const { return hint_; }

    // For tests: the bitmap of the latest show (null before the first and after FormDestroy), and the tooltip.
    HBITMAP EnvelopeBitmap() const { return envelopeBitmap_.get(); }
    HWND Tooltip() const { return tooltip_.get(); }

  private:
    void SetHint(const std::string& hint);
    void ReleaseEnvelopeGraphics();
    std::string WritePictureFile();

    // First member: GDI+ starts before any drawing and shuts down after everything else. The main window's envelope
    // lives for the whole run, so the program keeps GDI+ started from start-up to exit.
    GdiplusSession gdiplus_;
    HWND window_;
    EnvelopeSeams seams_;
    int envelopeSize_;
    EnvelopeMotion motion_;
    // The bitmap is declared before its context so that the context, which holds it selected, goes first.
    UniqueBitmap envelopeBitmap_;
    UniqueMemoryDc envelopeDc_;
    UniqueWindow tooltip_;
    std::string hint_;
};

}  // namespace pigeonet
