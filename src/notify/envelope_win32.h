#pragma once

#include <windows.h>

#include "i18n/language.h"
#include "notify/envelope_motion.h"
#include "util/gdiplus_win32.h"
#include "util/handles_win32.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pigeonet {

// The system's part of the envelope: besides the motion's, the screen's resolution, the picture, the temporary
// folder and a message box.
class EnvelopePlatform : public MotionPlatform {
  public:
    // The screen's resolution, which picks the picture's size (EnvelopeSizeForDpi).
    virtual int ScreenDpi() = 0;
    // The PNG bytes of the picture drawn for `envelopeSize` pixels.
    virtual std::vector<std::uint8_t> PictureBytes(int envelopeSize) = 0;
    // The temporary folder with its trailing "\" (UTF-8).
    virtual std::string TempFolderPath() = 0;
    // Shows a modal message (UTF-8) captioned "Pigeonet" with an OK button.
    virtual void ShowMessage(const std::string& text) = 0;
};

// The real system: Sleep, the thread's message queue, the primary screen, the image resources of type "PNG" (PG
// for 135 pixels, PG150 for 203, PG200 for 270; "Resource PG not found" when missing), GetTempPathW and a message
// box owned by `messageOwner` (the application window).
class Win32EnvelopePlatform final : public EnvelopePlatform {
  public:
    explicit Win32EnvelopePlatform(HWND messageOwner) : messageOwner_(messageOwner) {}

    void Sleep(int milliseconds) override;
    void ProcessMessages() override;
    ScreenSize PrimaryScreenSize() override;
    int ScreenDpi() override;
    std::vector<std::uint8_t> PictureBytes(int envelopeSize) override;
    std::string TempFolderPath() override;
    void ShowMessage(const std::string& text) override;

  private:
    HWND messageOwner_;
};

// What the rest of the program gives the envelope: besides the motion's, the tray's flashing and open mail.
class EnvelopeHost : public MotionHost {
  public:
    // Tray cycle interval 0, then icon index 0.
    virtual void StopTrayFlashing() = 0;
    // The open-mail command (N6Click).
    virtual void OpenMail() = 0;
    // The interface language in effect, which the captions are written in; read at every show.
    virtual LanguageIndex InterfaceLanguage() = 0;
};

// The envelope popup drawn on the main window: the picture with the count, pushed to the window as a layered
// window with per-pixel alpha, its slide animations, its display timer and the click on it. The window must be a
// WS_POPUP, top-most, and outlive the envelope or tell it of its end through FormDestroy.
class Envelope final : private MotionWindow {
  public:
    Envelope(HWND window, EnvelopePlatform& platform, EnvelopeHost& host);
    ~Envelope() override;
    Envelope(const Envelope&) = delete;
    Envelope& operator=(const Envelope&) = delete;

    // Draws the picture with its captions in the interface language and `count` (> 0) into a new bitmap, sets the hint
    // to `email` (UTF-8) and pushes the result to the window where it stands; neither shows nor moves it. A missing
    // picture resource or a temporary file that cannot be written fails with an AppError before anything is drawn.
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
    // MotionWindow: the window itself.
    WindowOrigin Origin() override;
    void MoveTo(WindowOrigin origin) override;
    void Show() override;

    void SetHint(const std::string& hint);
    void ReleaseEnvelopeGraphics();
    std::string WritePictureFile();

    // First member: GDI+ starts before any drawing and shuts down after everything else. The main window's envelope
    // lives for the whole run, so the program keeps GDI+ started from start-up to exit.
    GdiplusSession gdiplus_;
    HWND window_;
    EnvelopePlatform& platform_;
    EnvelopeHost& host_;
    int envelopeSize_;
    EnvelopeMotion motion_;
    // The bitmap is declared before its context so that the context, which holds it selected, goes first.
    UniqueBitmap envelopeBitmap_;
    UniqueMemoryDc envelopeDc_;
    UniqueWindow tooltip_;
    std::string hint_;
};

}  // namespace pigeonet
