#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "polling/imap_response.h"
#include "polling/line_channel.h"
#include "polling/socket.h"

namespace pigeonet {

// What STATUS tells of the INBOX.
struct MailboxStatus {
    std::uint32_t messages = 0;
    std::uint32_t unseen = 0;
    std::uint32_t uidnext = 0;
    std::uint32_t uidvalidity = 0;
};

// The TLS upgrade STARTTLS asks for, provided by the caller (over the probe's TLS stream in the program, a stand-in
// in tests). The conversation drives the handshake and bounds its waits like a reply's.
class TlsUpgrade {
  public:
    virtual ~TlsUpgrade() = default;
    // Takes over the plain connection (the socket the caller attached to the channel) and returns the stream that
    // speaks TLS over it, its handshake not begun.
    virtual std::unique_ptr<ByteStream> Wrap(std::unique_ptr<ByteStream> plain) = 0;
    // One step of the handshake on the stream Wrap returned: feeds what has arrived and sends the answer; true once
    // complete. Throws ProbeError (TlsError, SocketError).
    virtual bool Handshake(ByteStream& stream) = 0;
};

// STARTTLS over the probe's own TLS stream (TlsStream with this platform's engine, the certificate checked for
// `host`). The plain connection it takes over must be the TcpSocket the caller connected.
class TlsStreamUpgrade final : public TlsUpgrade {
  public:
    explicit TlsStreamUpgrade(std::string host) : host_(std::move(host)) {}
    std::unique_ptr<ByteStream> Wrap(std::unique_ptr<ByteStream> plain) override;
    bool Handshake(ByteStream& stream) override;

  private:
    std::string host_;
};

struct ImapLogin {
    std::string user;      // UTF-8, sent byte for byte
    std::string password;  // UTF-8, sent byte for byte
    bool starttls = false;
};

// Asks one IMAP4rev1 mailbox (RFC 3501) for the INBOX's counts over a channel the caller has connected: greeting,
// CAPABILITY when the greeting did not tell them, STARTTLS when asked for, LOGIN, STATUS "INBOX", LOGOUT; a watcher
// adds EXAMINE "INBOX", IDLE and DONE. No other command ever reaches the wire. Tags are its own, A1, A2, ... in
// order.
//
// Every reply (a command's untagged responses, literals and tagged completion) is one reply of the channel, so each
// is bounded in bytes and time like a POP3 reply. Failures are ProbeErrors of the same families as POP3's: a tagged
// NO or BAD is a ReplyError whose message is the server's text after the status word, with its blank, and CR LF.
// Open's failures (greeting, STARTTLS, login) are the open failures a check round skips; InboxStatus's are those of
// the count.
class ImapConversation {
  public:
    explicit ImapConversation(LineChannel& channel) : channel_(channel) {}

    // Reads the greeting and logs in (no login after PREAUTH); `upgrade` is used when `login.starttls` is set. On
    // failure the connection is ended (LOGOUT first while it stands and speaks plain IMAP or completed TLS) and the
    // failure raised.
    void Open(const ImapLogin& login, TlsUpgrade* upgrade);
    // STATUS "INBOX" (MESSAGES UNSEEN UIDNEXT UIDVALIDITY).
    MailboxStatus InboxStatus();
    // Sends LOGOUT when the connection is still open (its reply is never read), then closes and discards the stream.
    // Raises only a failure of the LOGOUT send, after the stream is closed.
    void Close();

    // The capabilities last announced, in capitals (after a login, those of its completion when it lists them).
    const std::vector<std::string>& capabilities() const { return capabilities_; }
    // Whether `name` (in capitals, "IDLE") is among them.
    bool HasCapability(std::string_view name) const;
    // Whether the last Open failed because the server answered LOGIN with NO or BAD (a refused password).
    bool login_refused() const { return login_refused_; }

    // Watching the INBOX (RFC 2177), for a connection that stays open for hours. Every untagged response read while
    // idling is a reply of its own, so each is bounded by the channel's limits and memory stays flat however long
    // the server talks. The results say whether the server reported a change to the mailbox on the way: EXISTS,
    // EXPUNGE, RECENT, or FETCH with FLAGS.
    //
    // EXAMINE "INBOX": selects it read-only, so watching never changes a flag. Its untagged data tell no change.
    void Examine();
    // IDLE, then the server's "+" within the reply limits.
    bool BeginIdle();
    // Waits up to `milliseconds` for the server to say something while idling and reads one response if it does;
    // false when nothing came or what came is no change. A BYE or any tagged completion ends the idling as a
    // failure (ConnectionClosedError, ReplyError or UnrecognizedImapResponseError).
    bool AwaitIdleChange(std::int32_t milliseconds);
    // DONE, then IDLE's tagged completion within the reply limits (no answer within them is a ReadTimeoutError).
    bool EndIdle();
    bool idling() const { return idling_; }

  private:
    void OpenSteps(const ImapLogin& login, TlsUpgrade* upgrade);
    void StartTls(TlsUpgrade& upgrade);
    void AskCapabilities();
    void Login(const ImapLogin& login);
    // "A<n>" for the next command.
    std::string NextTag();
    // Sends `command` with a fresh tag (the literals' parts after it, each once the server invites it) and reads
    // untagged responses, each handed to `on_untagged`, up to the tagged completion; NO or BAD raise ReplyError.
    // Returns the text of the tagged OK.
    template <typename OnUntagged>
    std::string Command(std::string_view command,
                        const std::vector<std::string>& literal_parts,
                        OnUntagged on_untagged);
    void AwaitContinuation(const std::string& tag);

    LineChannel& channel_;
    int next_tag_ = 1;
    std::vector<std::string> capabilities_;
    bool secured_ = true;  // false from a failed TLS handshake on: nothing more can be said on the stream
    bool login_refused_ = false;
    bool idling_ = false;  // from IDLE sent to DONE sent
    std::string idle_tag_;
};

}  // namespace pigeonet
