#include "app/application_win32.h"
#include "app/main_form_win32.h"
#include "scripted-server/pop3_steps.h"
#include "scripted-server/scripted_server.h"
#include "settings/live_settings.h"
#include "support/main_form_fakes_win32.h"
#include "support/registry_fixture_win32.h"
#include "tray/support/tray_test_windows_win32.h"
#include "tray/tray_badge.h"
#include "tray/tray_pictures.h"
#include "tray/tray_pictures_win32.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace pigeonet {
namespace {

// The count on the tray icon as the main window keeps it: live settings in memory, an offline system unless a
// round is wanted.
class MainFormBadgeTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(root_.Open(L"Software\\PigeonetTests\\MainFormBadge")); }
    void TearDown() override {
        form_.reset();
        bench_.reset();
        application_.reset();
        root_.Close();
    }

    TForm1& Start(bool online = false) {
        application_ = std::make_unique<ApplicationWindow>();
        bench_ = std::make_unique<testing::MainFormBench>(root_.get());
        bench_->platform.online = online;
        bench_->watchEnvironment.online = online;
        form_ = std::make_unique<TForm1>(*application_, bench_->Parts(live_), bench_->StoredLanguage());
        return *form_;
    }
    void Tick() { bench_->timer1.Tick(); }

    // Whether `icon` shows the mail picture with the badge for `total` (the plain picture for 0).
    static ::testing::AssertionResult Shows(HICON icon, std::int64_t total) {
        const int size = TrayIconSize();
        const TrayPicture expected = BadgedTrayPicture(total, size);
        const auto pixels = testing::ReadIcon(icon, size);
        if (pixels.colour.size() != expected.colour.size()) {
            return ::testing::AssertionFailure() << "no icon of " << size << " pixels";
        }
        for (std::size_t i = 0; i < expected.colour.size(); ++i) {
            if (pixels.transparent[i] != expected.transparent[i] ||
                (!expected.transparent[i] && pixels.colour[i] != expected.colour[i])) {
                return ::testing::AssertionFailure() << "pixel " << i << " differs from the picture for " << total;
            }
        }
        return ::testing::AssertionSuccess();
    }

    testing::ScratchRegistryKey root_;
    MemoryLiveSettings live_;
    std::unique_ptr<ApplicationWindow> application_;
    std::unique_ptr<testing::MainFormBench> bench_;
    std::unique_ptr<TForm1> form_;
};

TEST_F(MainFormBadgeTest, TheTickPutsTheSumOfTheCountsOnTheIconWhileTheOptionIsOn) {
    live_.AddAccount({"first@example.org", "pop", "u", "p", "7", "110"});
    live_.AddAccount({"second@example.org", "pop", "u", "p", "5", "110"});
    TForm1& form = Start();
    Tick();
    EXPECT_TRUE(Shows(form.Tray().Icon(), 0)) << "off by default: the plain picture";

    live_.Values().countOnIcon = true;
    Tick();
    EXPECT_TRUE(Shows(form.Tray().Icon(), 12));
    live_.SetAccountCount(1, "95");
    Tick();
    EXPECT_TRUE(Shows(form.Tray().Icon(), 102)) << "99+";
    live_.RemoveAccount(0);
    Tick();
    EXPECT_TRUE(Shows(form.Tray().Icon(), 95)) << "an account removed";
    live_.SetAccountCount(0, "0");
    Tick();
    EXPECT_TRUE(Shows(form.Tray().Icon(), 0)) << "no mail: the plain picture";

    live_.SetAccountCount(0, "3");
    Tick();
    // Flashing alternates the badged picture with the blank one.
    form.Tray().SetIconIndex(kTrayBlankImage);
    EXPECT_EQ(testing::PictureOf(form.Tray().Icon()), testing::Picture::Blank);
    form.Tray().SetIconIndex(kTrayMailImage);
    EXPECT_TRUE(Shows(form.Tray().Icon(), 3));

    live_.Values().countOnIcon = false;
    Tick();
    EXPECT_TRUE(Shows(form.Tray().Icon(), 0)) << "the option switched off";
}

TEST_F(MainFormBadgeTest, ARoundShowsTheCountItStored) {
    scripted::ScriptedServer server(scripted::LoginThenStat("+OK 4 1200\r\n"));
    live_.Values().countOnIcon = true;
    live_.Values().flashIcon = false;
    live_.AddAccount({"box@example.org", "127.0.0.1", "u", "p", "0", std::to_string(server.port())});
    TForm1& form = Start(true);
    form.CheckMailboxes();
    ASSERT_EQ(live_.AccountAt(0).count, "4");
    EXPECT_TRUE(Shows(form.Tray().Icon(), 4));
}

}  // namespace
}  // namespace pigeonet
