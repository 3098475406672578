// Acceptance scenario of a failing mailbox: the real pigeonet.exe with an account whose server is down. Its tray
// tooltip, read from the notification area's own tooltip control, names the failure in the interface language.
#include "acceptance/support/scenario_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace pigeonet {
namespace {

using namespace std::chrono_literals;
using namespace testing;

// The texts of every tooltip control of other processes. The shell (Wine's explorer) keeps one control per tray
// icon; a tool's text cannot be asked for across processes with a pointer of this one, so the question and the
// answer travel through memory lent in the shell's process.
std::vector<std::string> OtherProcessesTooltips() {
    std::vector<HWND> controls;
    EnumWindows(
        [](HWND window, LPARAM found) {
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (std::wstring(name) == TOOLTIPS_CLASSW && process != GetCurrentProcessId()) {
                reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&controls));
    std::vector<std::string> texts;
    constexpr std::size_t kChars = 1024;
    for (const HWND control : controls) {
        DWORD processId = 0;
        GetWindowThreadProcessId(control, &processId);
        const HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
        if (!process) {
            continue;
        }
        const std::size_t size = sizeof(TTTOOLINFOW) + kChars * sizeof(wchar_t);
        void* lent = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (lent) {
            std::vector<char> blank(size, 0);
            TTTOOLINFOW tool{};
            tool.cbSize = sizeof(tool);
            tool.lpszText = reinterpret_cast<wchar_t*>(static_cast<char*>(lent) + sizeof(tool));
            std::memcpy(blank.data(), &tool, sizeof(tool));
            DWORD_PTR found = 0;
            // The first tool with its text copied into the lent buffer.
            if (WriteProcessMemory(process, lent, blank.data(), size, nullptr) &&
                SendMessageTimeoutW(control, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(lent), SMTO_ABORTIFHUNG, 2000,
                                    &found) &&
                found) {
                std::wstring text(kChars, L'\0');
                ReadProcessMemory(process, tool.lpszText, text.data(), kChars * sizeof(wchar_t), nullptr);
                text.resize(wcsnlen(text.c_str(), kChars));
                texts.push_back(Narrow(text));
            }
            VirtualFreeEx(process, lent, 0, MEM_RELEASE);
        }
        CloseHandle(process);
    }
    return texts;
}

TEST(AcceptanceFailures, TheTooltipNamesAMailboxThatCannotBeReached) {
    std::map<std::wstring, std::string> store = StoreWith({{"gone@localhost", "gone", RefusedPort(), "7"}});
    store[L"lang"] = "0";  // Russian, whatever the system's own language would choose at a first start
    SetStore(store);
    ProgramUnderTest program;
    ASSERT_NE(WaitForMainWindow(program), nullptr);
    const std::string expected = "Pigeonet\rgone@localhost - нет соединения";
    std::vector<std::string> tooltips;
    EXPECT_TRUE(WaitUntil(
        [&] {
            tooltips = OtherProcessesTooltips();
            return std::find(tooltips.begin(), tooltips.end(), expected) != tooltips.end();
        },
        30s))
        << "the tooltips read: " << ::testing::PrintToString(tooltips);
    EXPECT_EQ(ErrorBox(program.ProcessId()), nullptr) << "the unreachable account is skipped silently";
    EXPECT_EQ(Stored(L"count0"), "7") << "it keeps its count";
    Exit(program);
}

}  // namespace
}  // namespace pigeonet
