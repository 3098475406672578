#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>

#include "polling/idle_pump_win32.h"
#include "polling/mailbox_probe.h"
#include "polling/support/probe_setup.h"
#include "scripted-server/pop3_steps.h"
#include "scripted-server/scripted_server.h"

namespace pigeonet {
namespace {

using scripted::LoginThenStat;
using scripted::ScriptedServer;
using testing::ConfigureProbe;

TEST(MailboxProbeOverWinsock, SendsExactlyUserPassStatQuitAndReturnsTheCount) {
    ScriptedServer server(LoginThenStat("+OK 3 1200\r\n"));
    MailboxProbe probe;
    ConfigureProbe(probe, server.port());
    probe.ConnectMailbox(-1);
    EXPECT_EQ(probe.StatMessageCount(), 3);
    probe.CloseMailbox();
    EXPECT_EQ(server.Received(), "USER x\r\nPASS y\r\nSTAT\r\nQUIT\r\n");
}

TEST(MailboxProbeOverWinsock, ReportsARefusedPort) {
    MailboxProbe probe;
    ConfigureProbe(probe, scripted::RefusingPort());
    try {
        probe.ConnectMailbox(5000);
        FAIL();
    } catch (const ConnectError& error) {
        EXPECT_STREQ(error.what(), "Socket Error # 10061\r\nConnection refused.");
    }
}

TEST(MailboxProbeOverWinsock, ReportsAnUnknownHost) {
    MailboxProbe probe;
    ConfigureProbe(probe, 110);
    probe.set_host("no-such-host.invalid");
    // Blocking, and looked up on a worker within a connect limit.
    for (std::int32_t limit : {-1, 30000}) {
        try {
            probe.ConnectMailbox(limit);
            FAIL();
        } catch (const SocketError& error) {
            EXPECT_STREQ(error.what(), "Socket Error # 11001\r\nHost not found.");
        }
    }
}

TEST(MailboxProbeOverWinsock, DropsAPartialLineWhenThePeerCloses) {
    auto script = LoginThenStat("+OK 3");
    script.push_back(scripted::Close());
    ScriptedServer server(script);
    MailboxProbe probe;
    ConfigureProbe(probe, server.port());
    probe.ConnectMailbox(-1);
    EXPECT_THROW(probe.StatMessageCount(), ConnectionClosedError);
}

// Counts the messages a window receives.
struct CountingWindow {
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_APP) {
            ++count;
            return 0;
        }
        return DefWindowProcW(window, message, wparam, lparam);
    }

    CountingWindow() {
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = Procedure;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"PigeonetPumpTest";
        RegisterClassW(&window_class);
        handle = CreateWindowExW(0, L"PigeonetPumpTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        count = 0;
    }
    ~CountingWindow() { DestroyWindow(handle); }

    HWND handle;
    static inline int count = 0;
};

TEST(Win32IdlePump, ProcessesEveryPendingMessageAndKeepsQuitForTheLoop) {
    CountingWindow window;
    Win32IdlePump pump;
    EXPECT_TRUE(pump.IsGuiThread());
    for (int i = 0; i < 3; ++i) {
        PostMessageW(window.handle, WM_APP, 0, 0);
    }
    RequestIdlePump(false);
    EXPECT_EQ(CountingWindow::count, 0);  // data flowing: no pump
    RequestIdlePump(true);
    EXPECT_EQ(CountingWindow::count, 3);

    PostQuitMessage(7);
    pump.ProcessPendingMessages();
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 7u);
}

TEST(Win32IdlePump, ServesTheWindowWhileTheServerIsSilent) {
    CountingWindow window;
    Win32IdlePump pump;
    ScriptedServer server(LoginThenStat(""));
    MailboxProbe probe;
    ConfigureProbe(probe, server.port(), 1000);
    probe.ConnectMailbox(-1);
    PostMessageW(window.handle, WM_APP, 0, 0);
    EXPECT_THROW(probe.StatMessageCount(), ReadTimeoutError);
    EXPECT_EQ(CountingWindow::count, 1);
}

}  // namespace
}  // namespace pigeonet
