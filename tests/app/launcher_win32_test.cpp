// The real launcher starting a mail program whose path holds blanks, with a program planted where Windows would
// look first for an unquoted path.
#include "app/platform_win32.h"
#include "support/program_under_test_win32.h"
#include "util/unicode_win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace pigeonet {
namespace {

using namespace std::chrono_literals;

constexpr wchar_t kLogVariable[] = L"PIGEONET_STARTED_LOG";

std::wstring ModulePath() {
    wchar_t path[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
    return path;
}

// Copies of this test program stand in for the mail program and the planted one: started with the log variable
// set, a copy writes which file it is and its command line into the log, then ends before any test runs.
const bool kStartedAsAStandIn = [] {
    wchar_t log[MAX_PATH * 2] = {};
    if (GetEnvironmentVariableW(kLogVariable, log, static_cast<DWORD>(std::size(log))) == 0) {
        return false;
    }
    std::ofstream(std::filesystem::path(log), std::ios::app | std::ios::binary)
        << Narrow(ModulePath()) << "|" << Narrow(GetCommandLineW()) << "\n";
    ExitProcess(0);
}();

std::string ReadLog(const std::wstring& path) {
    std::ifstream stream(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

class PlantedProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        CreateDirectoryW(kFolder, nullptr);
        ASSERT_TRUE(CopyFileW(ModulePath().c_str(), kMail, FALSE));
        ASSERT_TRUE(CopyFileW(ModulePath().c_str(), kPlanted, FALSE));
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        log_ = std::wstring(temp) + L"pigeonet-started-" + std::to_wstring(GetCurrentProcessId()) + L".log";
        DeleteFileW(log_.c_str());
        SetEnvironmentVariableW(kLogVariable, log_.c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableW(kLogVariable, nullptr);
        // A stand-in still ending holds its file a moment longer.
        for (const wchar_t* file : {kMail, kPlanted}) {
            testing::WaitUntil([&] { return DeleteFileW(file) || GetLastError() == ERROR_FILE_NOT_FOUND; }, 10s);
        }
        RemoveDirectoryW(kFolder);
        DeleteFileW(log_.c_str());
    }
    std::string WaitForLog() {
        testing::WaitUntil([&] { return !ReadLog(log_).empty(); }, 30s);
        return ReadLog(log_);
    }

    static constexpr const wchar_t* kFolder = L"C:\\Program Files\\Pigeonet Test Mail";
    static constexpr const wchar_t* kMail = L"C:\\Program Files\\Pigeonet Test Mail\\mail.exe";
    static constexpr const wchar_t* kPlanted = L"C:\\Program.exe";
    std::wstring log_;
};

TEST_F(PlantedProgram, AnUnquotedPathWouldStartIt) {
    // What the launcher guards against: the system's own reading of the same line.
    std::wstring line = L"C:\\Program Files\\Pigeonet Test Mail\\mail.exe -mail";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    WaitForSingleObject(process.hProcess, 30000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(ReadLog(log_).rfind("C:\\Program.exe|", 0), 0u) << ReadLog(log_);
}

TEST_F(PlantedProgram, TheMailProgramStartsWithItsArgumentsAndThePlantedOneNever) {
    ShellProgramLauncher launcher;
    launcher.StartCommandLine("C:\\Program Files\\Pigeonet Test Mail\\mail.exe -mail");
    EXPECT_EQ(WaitForLog(),
              "C:\\Program Files\\Pigeonet Test Mail\\mail.exe|\"C:\\Program Files\\Pigeonet Test Mail\\mail.exe\" "
              "-mail\n");
}

}  // namespace
}  // namespace pigeonet
