#include "polling/imap_conversation.h"

#include <gtest/gtest.h>

#include <string>

#include "polling/support/scripted_socket.h"
#include "scripted-server/imap_steps.h"
#include "scripted-server/script_text.h"
#include "scripted-server/scripted_server.h"

namespace pigeonet {
namespace {

using testing::ScriptedSocketLayer;
using testing::StreamEnd;

constexpr char kStatus[] = "STATUS \"INBOX\" (MESSAGES UNSEEN UIDNEXT UIDVALIDITY)\r\n";
constexpr char kGreeting[] = "* OK [CAPABILITY IMAP4rev1 AUTH=PLAIN] ready\r\n";
constexpr char kCounts[] = "* STATUS INBOX (MESSAGES 3 UNSEEN 1 UIDNEXT 9 UIDVALIDITY 7)\r\n";

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

// Stands in for TLS: the stream stays as it was, and the server's bytes after the upgrade are served once the
// conversation has handed the connection over.
class PlainUpgrade final : public TlsUpgrade {
  public:
    PlainUpgrade(ScriptedSocketLayer& layer, std::string after) : layer_(layer), after_(std::move(after)) {}
    std::unique_ptr<ByteStream> Wrap(std::unique_ptr<ByteStream> plain) override {
        layer_.Serve(after_);
        ++wraps;
        return plain;
    }
    bool Handshake(ByteStream&) override { return true; }
    int wraps = 0;

  private:
    ScriptedSocketLayer& layer_;
    std::string after_;
};

// The round's order over `channel`, whose stream the caller attached: open, STATUS, close. The outcome is the four
// counts, or the step that failed with its failure's kind and message.
std::string Converse(LineChannel& channel, const ImapLogin& login, TlsUpgrade* upgrade = nullptr) {
    ImapConversation imap(channel);
    std::string step = "open";
    try {
        imap.Open(login, upgrade);
        step = "status";
        const MailboxStatus status = imap.InboxStatus();
        step = "close";
        imap.Close();
        return std::to_string(status.messages) + " " + std::to_string(status.unseen) + " " +
               std::to_string(status.uidnext) + " " + std::to_string(status.uidvalidity);
    } catch (const ProbeError& error) {
        return step + ": " + std::to_string(static_cast<int>(error.kind())) + " " + error.what();
    }
}

struct Transcript {
    std::string outcome;
    std::string sent;
};

Transcript Scripted(const std::string& server,
                    const ImapLogin& login,
                    const std::string& after_tls = {},
                    StreamEnd end = StreamEnd::Close) {
    ScriptedSocketLayer layer;
    layer.Serve(server);
    layer.end = end;
    LineChannel channel(layer);
    channel.set_read_timeout(5000);
    channel.Attach(layer.CreateSocket());
    PlainUpgrade upgrade(layer, after_tls);
    const std::string outcome = Converse(channel, login, &upgrade);
    return {outcome, layer.sent};
}

std::string Kind(ProbeErrorKind kind) {
    return std::to_string(static_cast<int>(kind)) + " ";
}

TEST(ImapConversation, SendsExactlyTheCommandsEachServerCallsFor) {
    const ImapLogin plain{"x", "y"};
    const ImapLogin tls{"x", "y", true};
    const std::string login = "A1 LOGIN \"x\" \"y\"\r\n";
    const std::string reply = Kind(ProbeErrorKind::Reply);
    const std::string unrecognized = Kind(ProbeErrorKind::UnrecognizedReply);
    const std::string conversion = Kind(ProbeErrorKind::Conversion);
    const std::string too_long = Kind(ProbeErrorKind::LineTooLong) + "Max line length exceeded.";
    const struct {
        const char* name;
        ImapLogin login;
        std::string server;
        std::string after_tls;
        std::string outcome;
        std::string sent;
    } cases[] = {
        {"greeting with capabilities", plain, kGreeting + std::string("A1 OK\r\n") + kCounts + "A2 OK\r\n", "",
         "3 1 9 7", login + "A2 " + kStatus + "A3 LOGOUT\r\n"},
        {"greeting without capabilities", plain,
         "* OK hi\r\n* CAPABILITY IMAP4rev1\r\nA1 OK\r\nA2 OK\r\n" + std::string(kCounts) + "A3 OK\r\n", "", "3 1 9 7",
         "A1 CAPABILITY\r\nA2 LOGIN \"x\" \"y\"\r\nA3 " + std::string(kStatus) + "A4 LOGOUT\r\n"},
        {"BYE greeting", plain, "* BYE too busy\r\n", "", "open: " + reply + " too busy\r\n", ""},
        {"PREAUTH: no login", plain, "* PREAUTH welcome\r\n" + std::string(kCounts) + "A1 OK\r\n", "", "3 1 9 7",
         "A1 " + std::string(kStatus) + "A2 LOGOUT\r\n"},
        {"not IMAP", plain, "+OK POP3 ready\r\n", "",
         "open: " + unrecognized + "Unrecognized IMAP response:\n\"+OK POP3 ready\r\n\"", "A1 LOGOUT\r\n"},
        {"LOGINDISABLED", plain, "* OK [CAPABILITY IMAP4rev1 LOGINDISABLED] hi\r\n", "",
         "open: " + reply + "The server refuses LOGIN on this connection (LOGINDISABLED).", "A1 LOGOUT\r\n"},
        {"NO to LOGIN", plain, kGreeting + std::string("* OK still here\r\nA1 NO [AUTHENTICATIONFAILED] bad\r\n"), "",
         "open: " + reply + " [AUTHENTICATIONFAILED] bad\r\n", login + "A2 LOGOUT\r\n"},
        {"BAD to STATUS", plain, kGreeting + std::string("A1 OK\r\nA2 BAD no such thing\r\n"), "",
         "status: " + reply + " no such thing\r\n", login + "A2 " + kStatus},
        {"another tag", plain, kGreeting + std::string("B1 OK\r\n"), "",
         "open: " + unrecognized + "Unrecognized IMAP response:\n\"B1 OK\r\n\"", login + "A2 LOGOUT\r\n"},
        {"mailbox as a literal", plain,
         kGreeting + std::string("A1 OK\r\n* STATUS {5}\r\nINBOX (MESSAGES 2 UNSEEN 0 UIDNEXT 3 UIDVALIDITY 1)\r\n") +
             "A2 OK\r\n",
         "", "2 0 3 1", login + "A2 " + kStatus + "A3 LOGOUT\r\n"},
        {"mailbox quoted, other mailboxes ignored", plain,
         kGreeting + std::string("A1 OK\r\n* STATUS Sent (MESSAGES 8 UNSEEN 8 UIDNEXT 8 UIDVALIDITY 8)\r\n") +
             "* STATUS \"inbox\" (UIDVALIDITY 4 MESSAGES 12 HIGHESTMODSEQ 5 UNSEEN 2 UIDNEXT 40)\r\nA2 OK\r\n",
         "", "12 2 40 4", login + "A2 " + kStatus + "A3 LOGOUT\r\n"},
        {"signed count", plain, kGreeting + std::string("A1 OK\r\n* STATUS INBOX (MESSAGES +3)\r\n"), "",
         "status: " + conversion + "'+3' is not a valid integer value", login + "A2 " + kStatus},
        {"hex count", plain, kGreeting + std::string("A1 OK\r\n* STATUS INBOX (MESSAGES 0x10)\r\n"), "",
         "status: " + conversion + "'0x10' is not a valid integer value", login + "A2 " + kStatus},
        {"count beyond 32 bits", plain, kGreeting + std::string("A1 OK\r\n* STATUS INBOX (MESSAGES 4294967296)\r\n"),
         "", "status: " + conversion + "'4294967296' is not a valid integer value", login + "A2 " + kStatus},
        {"STATUS without the INBOX", plain, kGreeting + std::string("A1 OK\r\nA2 OK\r\n"), "",
         "status: " + unrecognized + "Unrecognized IMAP response:\n\"STATUS completed without the INBOX's counts\r\n\"",
         login + "A2 " + kStatus},
        {"a literal of 10^9 bytes fails at once", plain, kGreeting + std::string("A1 OK\r\n* STATUS {1000000000}\r\n"),
         "", "status: " + too_long, login + "A2 " + kStatus},
        {"an untagged flood", plain, kGreeting + std::string("A1 OK\r\n") + Repeat("* OK flood\r\n", 10000), "",
         "status: " + too_long, login + "A2 " + kStatus},
        {"STARTTLS not announced", tls, kGreeting, "",
         "open: " + Kind(ProbeErrorKind::Tls) + "TLS not offered: the server does not announce STARTTLS",
         "A1 LOGOUT\r\n"},
        {"STARTTLS, capabilities asked again", tls,
         "* OK [CAPABILITY IMAP4rev1 STARTTLS LOGINDISABLED] hi\r\nA1 OK\r\n",
         "* CAPABILITY IMAP4rev1 AUTH=PLAIN\r\nA2 OK\r\nA3 OK\r\n" + std::string(kCounts) + "A4 OK\r\n", "3 1 9 7",
         "A1 STARTTLS\r\nA2 CAPABILITY\r\nA3 LOGIN \"x\" \"y\"\r\nA4 " + std::string(kStatus) + "A5 LOGOUT\r\n"},
        {"STARTTLS after PREAUTH", tls, "* PREAUTH [CAPABILITY IMAP4rev1 STARTTLS] hi\r\n", "",
         "open: " + Kind(ProbeErrorKind::Tls) + "TLS not possible: the server logged in before STARTTLS (PREAUTH)",
         "A1 LOGOUT\r\n"},
        {"bytes ahead of the TLS handshake", tls, "* OK [CAPABILITY STARTTLS] hi\r\nA1 OK\r\n* OK injected\r\n", "",
         "open: " + Kind(ProbeErrorKind::Tls) + "TLS handshake failed: the server sent data before the handshake",
         "A1 STARTTLS\r\nA2 LOGOUT\r\n"},
    };
    for (const auto& c : cases) {
        const Transcript transcript = Scripted(c.server, c.login, c.after_tls, StreamEnd::Silence);
        EXPECT_EQ(transcript.outcome, c.outcome) << c.name;
        EXPECT_EQ(transcript.sent, c.sent) << c.name;
    }
}

TEST(ImapConversation, QuotesOrSendsAsLiteralsWhatACredentialHolds) {
    const std::string rest = "A1 OK\r\n" + std::string(kCounts) + "A2 OK\r\n";
    const struct {
        ImapLogin login;
        std::string invitations;  // the server's "+" before each literal
        std::string sent;         // the LOGIN command as sent
    } cases[] = {
        {{"a\"b", "c\\d"}, "", "A1 LOGIN \"a\\\"b\" \"c\\\\d\"\r\n"},
        {{"", ""}, "", "A1 LOGIN \"\" \"\"\r\n"},
        {{"Jörg", "x"}, "+ go\r\n", "A1 LOGIN {5}\r\nJörg \"x\"\r\n"},
        {{"x", "пароль"}, "+ go\r\n", "A1 LOGIN \"x\" {12}\r\nпароль\r\n"},
        {{"é", "ü"}, "+ go\r\n+ go\r\n", "A1 LOGIN {2}\r\né {2}\r\nü\r\n"},
    };
    for (const auto& c : cases) {
        const Transcript transcript = Scripted(kGreeting + c.invitations + rest, c.login);
        EXPECT_EQ(transcript.outcome, "3 1 9 7") << c.sent;
        EXPECT_EQ(transcript.sent, c.sent + "A2 " + kStatus + "A3 LOGOUT\r\n");
    }
    // A refused literal ends the command: the password never follows.
    const Transcript refused = Scripted(kGreeting + std::string("A1 NO too long\r\n"), {"Jörg", "secret"});
    EXPECT_EQ(refused.outcome, "open: " + Kind(ProbeErrorKind::Reply) + " too long\r\n");
    EXPECT_EQ(refused.sent, "A1 LOGIN {5}\r\nA2 LOGOUT\r\n");
}

TEST(ImapConversation, NeverSendsACredentialWithALineBreakOrNul) {
    for (const ImapLogin& login :
         {ImapLogin{"us\rer", "y"}, ImapLogin{"x", "pa\nss"}, ImapLogin{"x\r\nA9 DELETE INBOX", "y"},
          ImapLogin{"x", std::string("p\0q", 3)}, ImapLogin{"Jörg\n", "y"}}) {
        const Transcript transcript = Scripted(kGreeting + std::string("+ go\r\nA1 OK\r\n"), login);
        EXPECT_EQ(transcript.outcome,
                  "open: " + Kind(ProbeErrorKind::InvalidCommand) + "Line break or NUL in an IMAP login.");
        EXPECT_EQ(transcript.sent, "A1 LOGOUT\r\n");
    }
}

TEST(ImapConversation, SaysNothingMoreWhenTheTlsHandshakeFails) {
    // The first receive ends with STARTTLS's completion; then the server goes on in clear instead of TLS.
    const std::string before = "* OK [CAPABILITY IMAP4rev1 STARTTLS] hi\r\nA1 OK begin TLS\r\n";
    ScriptedSocketLayer layer;
    layer.Serve(before + "* OK [CAPABILITY IMAP4rev1 AUTH=PLAIN] plain\r\n");
    layer.cuts = {before.size()};
    LineChannel channel(layer);
    channel.set_read_timeout(5000);
    channel.Attach(layer.CreateSocket());
    TlsStreamUpgrade upgrade("mail.example.org");
    EXPECT_EQ(Converse(channel, {"x", "y", true}, &upgrade),
              "open: " + Kind(ProbeErrorKind::Tls) + "TLS handshake failed: the server did not answer in TLS");
    // The client's hello follows STARTTLS; no credential, no LOGOUT.
    EXPECT_EQ(layer.sent.substr(0, 13), "A1 STARTTLS\r\n");
    EXPECT_EQ(layer.sent.find("LOG"), std::string::npos);
    EXPECT_TRUE(layer.closed);
}

TEST(ImapConversation, FailsATrickleAtTheReplyLimit) {
    ScriptedSocketLayer layer;
    layer.Serve(kGreeting + std::string("A1 OK\r\n") + Repeat("* OK slowly\r\n", 100));
    layer.cuts = {1};
    layer.data_after_ms = 1000;  // a byte a second: every single wait is well within the read timeout
    LineChannel channel(layer);
    channel.set_read_timeout(5000);
    channel.Attach(layer.CreateSocket());
    EXPECT_EQ(Converse(channel, {"x", "y"}), "status: " + Kind(ProbeErrorKind::ReadTimeout) + "Read Timeout");
    EXPECT_LE(layer.now_ms, 60000 + 2 * 1000 * 55);  // the greeting and login's replies, then the limit
}

// A watch over scripted sockets: open, EXAMINE, IDLE, then one AwaitIdleChange per entry of `waits`, DONE, close.
// The outcome lists what each step reported ("1" a change, "0" none) or the failure that ended it.
std::string Watch(const std::string& server, int waits, std::string* sent, std::int64_t* now_ms = nullptr) {
    ScriptedSocketLayer layer;
    layer.Serve(server);
    layer.end = StreamEnd::Silence;
    LineChannel channel(layer);
    channel.set_read_timeout(60000);
    channel.Attach(layer.CreateSocket());
    ImapConversation imap(channel);
    std::string outcome;
    try {
        imap.Open({"x", "y"}, nullptr);
        outcome += imap.HasCapability("IDLE") ? "idle " : "no-idle ";
        imap.Examine();
        outcome += imap.BeginIdle() ? "1" : "0";
        for (int i = 0; i < waits; ++i) {
            outcome += imap.AwaitIdleChange(1000) ? "1" : "0";
        }
        outcome += imap.EndIdle() ? " 1" : " 0";
        imap.Close();
    } catch (const ProbeError& error) {
        outcome += " " + Kind(error.kind()) + error.what();
        imap.Close();
    }
    *sent = layer.sent;
    if (now_ms != nullptr) {
        *now_ms = layer.now_ms;
    }
    return outcome;
}

TEST(ImapConversation, WatchesTheInboxReadOnlyAndTellsChangesFromOtherTalk) {
    const std::string opened = "* OK [CAPABILITY IMAP4rev1 IDLE] hi\r\nA1 OK [CAPABILITY IMAP4rev1 IDLE] in\r\n" +
                               std::string("* FLAGS (\\Seen)\r\n* 4 EXISTS\r\n* 1 RECENT\r\nA2 OK [READ-ONLY] ok\r\n");
    const std::string wire = "A1 LOGIN \"x\" \"y\"\r\nA2 EXAMINE \"INBOX\"\r\nA3 IDLE\r\nDONE\r\nA4 LOGOUT\r\n";
    const std::string talk =
        "* 5 EXISTS\r\n* 2 EXPUNGE\r\n* 3 recent\r\n* 2 FETCH (UID 9 FLAGS (\\Seen))\r\n* 2 FETCH (UID 9)\r\n"
        "* OK still here\r\n* 7 FETCH (FLAGS {4}\r\nabcd)\r\n";
    const struct {
        const char* name;
        std::string server;
        int waits;
        std::string outcome;
        std::string sent;
    } cases[] = {
        {"each notice", opened + "+ idling\r\n" + talk + "A3 OK done\r\n", 7, "idle 01111001 0", wire},
        {"a notice before the continuation and one before DONE's completion",
         opened + "* 5 EXISTS\r\n+ idling\r\n* 6 EXISTS\r\nA3 OK done\r\n", 0, "idle 1 1", wire},
        {"capabilities of the login's completion",
         "* OK [CAPABILITY IMAP4rev1] hi\r\nA1 OK [CAPABILITY IMAP4rev1 IDLE] in\r\nA2 OK\r\n+ idling\r\nA3 OK\r\n", 0,
         "idle 0 0", wire},
        {"no IDLE offered", "* OK [CAPABILITY IMAP4rev1] hi\r\nA1 OK\r\nA2 NO no such mailbox\r\n", 0,
         "no-idle  " + Kind(ProbeErrorKind::Reply) + " no such mailbox\r\n",
         "A1 LOGIN \"x\" \"y\"\r\nA2 EXAMINE \"INBOX\"\r\nA3 LOGOUT\r\n"},
        {"IDLE refused", opened + "A3 BAD not now\r\n", 0, "idle  " + Kind(ProbeErrorKind::Reply) + " not now\r\n",
         "A1 LOGIN \"x\" \"y\"\r\nA2 EXAMINE \"INBOX\"\r\nA3 IDLE\r\nA4 LOGOUT\r\n"},
        {"BYE while idling", opened + "+ idling\r\n* BYE shutting down\r\n", 1,
         "idle 0 " + Kind(ProbeErrorKind::Reply) + " shutting down\r\n",
         "A1 LOGIN \"x\" \"y\"\r\nA2 EXAMINE \"INBOX\"\r\nA3 IDLE\r\nDONE\r\nA4 LOGOUT\r\n"},
        {"IDLE ended by the server", opened + "+ idling\r\nA3 OK enough\r\n", 1,
         "idle 0 " + Kind(ProbeErrorKind::UnrecognizedReply) + "Unrecognized IMAP response:\n\"A3 OK enough\r\n\"",
         "A1 LOGIN \"x\" \"y\"\r\nA2 EXAMINE \"INBOX\"\r\nA3 IDLE\r\nA4 LOGOUT\r\n"},
        {"one response beyond the reply limit", opened + "+ idling\r\n* 1 FETCH (FLAGS {70000}\r\n", 1,
         "idle 0 " + Kind(ProbeErrorKind::LineTooLong) + "Max line length exceeded.", wire},
        {"DONE unanswered", opened + "+ idling\r\n", 1, "idle 00 " + Kind(ProbeErrorKind::ReadTimeout) + "Read Timeout",
         wire},
    };
    for (const auto& c : cases) {
        std::string sent;
        EXPECT_EQ(Watch(c.server, c.waits, &sent), c.outcome) << c.name;
        EXPECT_EQ(sent, c.sent) << c.name;
    }
}

TEST(ImapConversation, KeepsEachNoticeOfALongIdleWithinItsOwnBounds) {
    // 20,000 notices, 400 KB in all, far beyond one reply's 64 KiB: each is a reply of its own.
    const std::string opened = "* OK [CAPABILITY IMAP4rev1 IDLE] hi\r\nA1 OK\r\nA2 OK\r\n+ idling\r\n";
    const std::string notices = Repeat("* 9 EXISTS\r\n* 0 RECENT\r\n", 10000);
    std::string sent;
    std::int64_t now_ms = 0;
    const std::string outcome = Watch(opened + notices + "A3 OK\r\n", 20000, &sent, &now_ms);
    EXPECT_EQ(outcome, "idle 0" + Repeat("1", 20000) + " 0");
    // A wait without news lasts what it was given; DONE's completion is bounded by the reply's minute.
    EXPECT_EQ(Watch(opened, 3, &sent, &now_ms), "idle 0000 " + Kind(ProbeErrorKind::ReadTimeout) + "Read Timeout");
    EXPECT_EQ(now_ms, 3000 + 60000);
}

TEST(ImapConversation, RemembersThatTheServerRefusedTheLogin) {
    ScriptedSocketLayer layer;
    layer.Serve(kGreeting + std::string("A1 NO [AUTHENTICATIONFAILED] bad\r\n"));
    LineChannel channel(layer);
    channel.set_read_timeout(5000);
    channel.Attach(layer.CreateSocket());
    ImapConversation imap(channel);
    EXPECT_THROW(imap.Open({"x", "y"}, nullptr), ReplyError);
    EXPECT_TRUE(imap.login_refused());
    layer.Serve("* BYE busy\r\n");
    channel.Attach(layer.CreateSocket());
    EXPECT_THROW(imap.Open({"x", "y"}, nullptr), ReplyError);
    EXPECT_FALSE(imap.login_refused());
}

// The same conversation over loopback against the scripted server's IMAP steps: the bytes that reach a server.
std::string OverLoopback(scripted::Script script, const ImapLogin& login, std::string* received) {
    scripted::ScriptedServer server(std::move(script));
    SocketLayer& layer = PlatformSocketLayer();
    std::unique_ptr<TcpSocket> socket = layer.CreateSocket();
    ConnectProgress progress = socket->StartConnect(0x7F000001, server.port());
    if (progress.status == ConnectStatus::Pending) {
        progress = socket->WaitConnect(5000);
    }
    EXPECT_EQ(progress.status, ConnectStatus::Connected);
    LineChannel channel(layer);
    channel.set_read_timeout(5000);
    channel.Attach(std::move(socket));
    const std::string outcome = Converse(channel, login);
    *received = server.Received();
    return outcome;
}

TEST(ImapConversation, ReachesARealServerIntactOverLoopback) {
    std::string received;
    EXPECT_EQ(OverLoopback(scripted::ImapLoginThenStatus(kCounts), {"\"q\" \\b", "пароль"}, &received), "3 1 9 7");
    EXPECT_EQ(received, "A1 LOGIN \"\\\"q\\\" \\\\b\" {12}\r\nпароль\r\nA2 " + std::string(kStatus) + "A3 LOGOUT\r\n");

    EXPECT_EQ(OverLoopback(scripted::ImapLoginThenStatus("* STATUS {5}\r\nINBOX (MESSAGES 4 UNSEEN 2 UIDNEXT 5 "
                                                         "UIDVALIDITY 1)\r\n"),
                           {"x", "y"}, &received),
              "4 2 5 1");

    scripted::Script refused{scripted::Send(kGreeting), scripted::ImapTagged("NO [AUTHENTICATIONFAILED] no")};
    EXPECT_EQ(OverLoopback(refused, {"x", "y"}, &received),
              "open: " + Kind(ProbeErrorKind::Reply) + " [AUTHENTICATIONFAILED] no\r\n");
    EXPECT_EQ(received, "A1 LOGIN \"x\" \"y\"\r\nA2 LOGOUT\r\n");

    // The same steps as the command line spells them.
    const scripted::Script words = scripted::ParseScript(
        {"imap-login", "tagged:* STATUS INBOX (MESSAGES 1 UNSEEN 1 UIDNEXT 2 UIDVALIDITY 3)\\r\\nOK done"},
        {scripted::ImapShorthand});
    EXPECT_EQ(OverLoopback(words, {"x", "y"}, &received), "1 1 2 3");

    // An IDLE session as words: a notice, DONE answered with IDLE's own tag, then IDLE again.
    const scripted::Script idle = scripted::ParseScript(
        {"imap-idle", "send:* 3 EXISTS\\r\\n", "idle-done", "idle", "idle-done"}, {scripted::ImapShorthand});
    {
        scripted::ScriptedServer server(idle);
        SocketLayer& layer = PlatformSocketLayer();
        std::unique_ptr<TcpSocket> socket = layer.CreateSocket();
        ConnectProgress progress = socket->StartConnect(0x7F000001, server.port());
        if (progress.status == ConnectStatus::Pending) {
            progress = socket->WaitConnect(5000);
        }
        ASSERT_EQ(progress.status, ConnectStatus::Connected);
        LineChannel channel(layer);
        channel.set_read_timeout(5000);
        channel.Attach(std::move(socket));
        ImapConversation imap(channel);
        imap.Open({"x", "y"}, nullptr);
        EXPECT_TRUE(imap.HasCapability("IDLE"));
        imap.Examine();
        EXPECT_FALSE(imap.BeginIdle());
        EXPECT_TRUE(imap.AwaitIdleChange(5000));
        EXPECT_FALSE(imap.EndIdle());
        EXPECT_FALSE(imap.BeginIdle());
        EXPECT_FALSE(imap.EndIdle());
        imap.Close();
        EXPECT_EQ(
            server.Received(),
            "A1 LOGIN \"x\" \"y\"\r\nA2 EXAMINE \"INBOX\"\r\nA3 IDLE\r\nDONE\r\nA4 IDLE\r\nDONE\r\nA5 LOGOUT\r\n");
    }

    EXPECT_EQ(OverLoopback({scripted::Send("* BYE closing\r\n"), scripted::Close()}, {"x", "y"}, &received),
              "open: " + Kind(ProbeErrorKind::Reply) + " closing\r\n");
    EXPECT_EQ(received, "");
}

}  // namespace
}  // namespace pigeonet
