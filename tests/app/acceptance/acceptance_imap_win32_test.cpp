// Acceptance scenario of an IMAP account: the real pigeonet.exe against the private Dovecot's IMAP listener
// (PIGEONET_DOVECOT_IMAP_PORT, account "reader"), with the check-now command of the tray menu driving the rounds.
// What counts is the INBOX's unread mail, and only mail that arrived is announced.
#include "acceptance/support/scenario_win32.h"

#include <gtest/gtest.h>

#include <string>

namespace pigeonet {
namespace {

using namespace std::chrono_literals;
using namespace testing;

constexpr WPARAM kCheckNowCommand = 100;

// How many IMAP sessions of `user` Dovecot has seen end, by its log: after LOGOUT, or cut when the announcing round
// released its connection.
int EndedImapSessions(const std::string& user) {
    std::istringstream log(ReadFile(WinePath(Environment("PIGEONET_DOVECOT_DIR") + "/dovecot.log")));
    int sessions = 0;
    for (std::string line; std::getline(log, line);) {
        if (line.find("imap(" + user + ")") != std::string::npos &&
            (line.find("Logged out") != std::string::npos || line.find("Disconnected") != std::string::npos)) {
            ++sessions;
        }
    }
    return sessions;
}

// Marks the messages `sequence` of `user`'s INBOX seen over IMAP, as a mail program on another device does.
void MarkSeenElsewhere(const std::string& user, const std::string& sequence) {
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    SOCKET client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    const DWORD limit = 10000;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof(limit));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(std::stoi(Environment("PIGEONET_DOVECOT_IMAP_PORT"))));
    ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    std::string received;
    // Reads until a line starting with `until` has arrived; every reply here is small.
    const auto await = [&](const std::string& until) {
        char buffer[4096];
        while (received.find("\r\n" + until) == std::string::npos && received.rfind(until, 0) != 0) {
            const int got = recv(client, buffer, sizeof(buffer), 0);
            if (got <= 0) {
                return false;
            }
            received.append(buffer, static_cast<std::size_t>(got));
        }
        return true;
    };
    const auto say = [&](const std::string& tag, const std::string& command) {
        const std::string line = tag + " " + command + "\r\n";
        send(client, line.data(), static_cast<int>(line.size()), 0);
        return await(tag + " OK");
    };
    EXPECT_TRUE(await("* OK")) << received;
    EXPECT_TRUE(say("s1", "LOGIN " + user + " secret")) << received;
    EXPECT_TRUE(say("s2", "SELECT INBOX")) << received;
    EXPECT_TRUE(say("s3", "STORE " + sequence + " +FLAGS (\\Seen)")) << received;
    say("s4", "LOGOUT");
    closesocket(client);
    WSACleanup();
}

// Watches one round, from `before` sessions ended, until Dovecot has seen its session end and a little after, as a
// user would look at the corner: whether the envelope rose meanwhile.
bool RoundRaisedTheEnvelope(HWND mainWindow, const std::string& user, int before) {
    bool rose = false;
    const auto watch = [&] {
        rose = rose || EnvelopeOnScreen(mainWindow);
        return false;
    };
    EXPECT_TRUE(WaitUntil([&] { return watch() || EndedImapSessions(user) > before; }, 30s))
        << "the round reached the IMAP server";
    WaitUntil(watch, 2s);
    return rose;
}

// A check asked for from the tray menu (the account's watcher may ask first: its news of the change starts a round
// too), watched until the stored count is `count` and a little after: whether the envelope rose meanwhile.
bool CheckNowRaisesTheEnvelope(HWND mainWindow, const std::string& count) {
    PostMessageW(mainWindow, WM_COMMAND, kCheckNowCommand, 0);
    bool rose = false;
    const auto watch = [&] {
        rose = rose || EnvelopeOnScreen(mainWindow);
        return false;
    };
    EXPECT_TRUE(WaitUntil([&] { return watch() || Stored(L"count0") == count; }, 30s))
        << "count0 holds " << Stored(L"count0").value_or("(absent)") << ", not " << count;
    WaitUntil(watch, 2s);
    return rose;
}

void WaitUntilTheEnvelopeHasSunk(HWND mainWindow) {
    EXPECT_TRUE(WaitUntil([&] { return FrameOf(mainWindow).top == ScreenHeight(); }, 20s))
        << "the envelope went back down; its top is " << FrameOf(mainWindow).top;
}

TEST(AcceptanceImap, ArrivedMailIsAnnouncedWithTheUnreadCountAndMailReadElsewhereIsNot) {
    // A new IMAP account, never checked; the interval at its longest, so only the start, the account's watcher and
    // check-now ask.
    std::map<std::wstring, std::string> store = StoreWith({{"reader@localhost", "reader", "", std::nullopt}});
    store[L"port0"] = Environment("PIGEONET_DOVECOT_IMAP_PORT");
    store[L"proto0"] = "imap";
    store[L"timer"] = "30";
    SetStore(store);
    {
        ProgramUnderTest program;
        const HWND mainWindow = WaitForMainWindow(program);
        ASSERT_NE(mainWindow, nullptr);
        // The start's round finds the empty INBOX: its marks are stored, nothing is announced.
        // Two values written one after the other: both must be there.
        ASSERT_TRUE(WaitUntil(
            [] { return Stored(L"uidnext0").value_or("0") != "0" && Stored(L"uidvalidity0").value_or("0") != "0"; },
            30s))
            << "uidnext0 holds " << Stored(L"uidnext0").value_or("(absent)");
        EXPECT_EQ(Stored(L"count0"), "0");
        EXPECT_NE(Stored(L"uidvalidity0").value_or("0"), "0");

        Deliver("reader", 2);
        EXPECT_TRUE(CheckNowRaisesTheEnvelope(mainWindow, "2")) << "two new messages are announced";
        WaitUntilTheEnvelopeHasSunk(mainWindow);

        MarkSeenElsewhere("reader", "1");
        EXPECT_FALSE(CheckNowRaisesTheEnvelope(mainWindow, "1"))
            << "mail read elsewhere is not announced; the unread count that fell is stored";

        Deliver("reader", 1);
        EXPECT_TRUE(CheckNowRaisesTheEnvelope(mainWindow, "2")) << "the next delivery is announced";
        WaitUntilTheEnvelopeHasSunk(mainWindow);
        Exit(program);
    }
    // A restart with nothing new announces nothing.
    // Dovecot's log process writes the ended sessions of the run before (the watcher's among them) on its own time.
    Sleep(2000);
    const int before = EndedImapSessions("reader");
    ProgramUnderTest program;
    const HWND mainWindow = WaitForMainWindow(program);
    ASSERT_NE(mainWindow, nullptr);
    EXPECT_FALSE(RoundRaisedTheEnvelope(mainWindow, "reader", before))
        << "a restart does not announce mail announced before";
    EXPECT_EQ(Stored(L"count0"), "2");
    Exit(program);
}

}  // namespace
}  // namespace pigeonet
