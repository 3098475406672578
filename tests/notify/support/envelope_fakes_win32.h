#pragma once

// Recording stand-ins for what the envelope is given: the system's part and the program's part.
#include "notify/envelope_win32.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pigeonet::testing {

// The system as the envelope sees it: sleeps and message boxes are recorded instead of done; the screen, the
// message queue and the resolution are the real ones. The picture comes from `pictureBytes` when it is set, else
// from the program's resources; the temporary folder is `tempFolder` when it is not empty, else the real one.
class RecordingEnvelopePlatform final : public EnvelopePlatform {
  public:
    void Sleep(int milliseconds) override { sleeps.push_back(milliseconds); }
    void ProcessMessages() override { system_.ProcessMessages(); }
    ScreenSize PrimaryScreenSize() override { return system_.PrimaryScreenSize(); }
    int ScreenDpi() override { return system_.ScreenDpi(); }
    std::vector<std::uint8_t> PictureBytes(int envelopeSize) override {
        return pictureBytes ? pictureBytes(envelopeSize) : system_.PictureBytes(envelopeSize);
    }
    std::string TempFolderPath() override { return tempFolder.empty() ? system_.TempFolderPath() : tempFolder; }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }

    std::function<std::vector<std::uint8_t>(int envelopeSize)> pictureBytes;
    std::string tempFolder;
    std::vector<int> sleeps;  // milliseconds
    std::vector<std::string> messages;

  private:
    Win32EnvelopePlatform system_{nullptr};
};

// The rest of the program as the envelope sees it: the live speed, display time and language are fields, and what the
// envelope does to the tray, the mail program and Timer2 is recorded in words.
class RecordingEnvelopeHost final : public EnvelopeHost {
  public:
    int AnimationSpeed() override { return speed; }
    int DisplayTime() override { return displayTime; }
    void SetTimer2Enabled(bool enabled) override { events.push_back(enabled ? "timer2 on" : "timer2 off"); }
    void StopTrayFlashing() override { events.push_back("stop flashing"); }
    void OpenMail() override { events.push_back("open mail"); }
    LanguageIndex InterfaceLanguage() override { return language; }

    int speed = 3;
    int displayTime = 8;
    LanguageIndex language = LanguageIndex::Russian;
    std::vector<std::string> events;
};

}  // namespace pigeonet::testing
