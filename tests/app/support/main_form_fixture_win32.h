#pragma once

// The main window as start-up builds it, over a registry root of the test's own, with live settings held in memory
// and the bench's stand-ins for the rest: the set-up the main window's test suites share.
#include "app/application_win32.h"
#include "app/main_form_win32.h"
#include "settings/live_settings.h"
#include "support/main_form_fakes_win32.h"
#include "support/registry_fixture_win32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

namespace pigeonet::testing {

class MainFormFixture : public ::testing::Test {
  protected:
    // `rootPath`: the scratch key under HKEY_CURRENT_USER that stands for the user's registry.
    explicit MainFormFixture(std::wstring rootPath) : rootPath_(std::move(rootPath)) {}

    void SetUp() override { ASSERT_NO_FATAL_FAILURE(root_.Open(rootPath_.c_str())); }
    void TearDown() override {
        Stop();
        root_.Close();
    }

    // Builds the main window afresh, on a system online or not (for the round and the watchers alike).
    TForm1& Start(bool online = false) {
        Stop();
        application_ = std::make_unique<ApplicationWindow>();
        bench_ = std::make_unique<MainFormBench>(root_.get());
        bench_->platform.online = online;
        bench_->watchEnvironment.online = online;
        bench_->displayLanguage = displayLanguage_;
        form_ = std::make_unique<TForm1>(*application_, bench_->Parts(live_), bench_->StoredLanguage());
        return *form_;
    }
    void Stop() {
        form_.reset();
        bench_.reset();
        application_.reset();
    }

    ScratchRegistryKey root_;
    MemoryLiveSettings live_;
    std::unique_ptr<ApplicationWindow> application_;
    std::unique_ptr<MainFormBench> bench_;
    std::unique_ptr<TForm1> form_;
    std::uint16_t displayLanguage_ = 0x0419;  // the Windows display language start-up finds: ru-RU

  private:
    std::wstring rootPath_;
};

}  // namespace pigeonet::testing
