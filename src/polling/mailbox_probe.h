#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "polling/imap_conversation.h"
#include "polling/line_channel.h"
#include "polling/probe_error.h"
#include "polling/socket.h"
#include "settings/account_protocol.h"

namespace pigeonet {

// The last reply a probe read.
struct ProbeReply {
    static constexpr int kPositive = 1;  // "+OK"
    static constexpr int kNegative = 2;  // "-ERR"

    // The first four characters of the first line, bytes up to 0x20 trimmed from both ends; a fourth "-" dropped.
    std::string status_word;
    // Set when the reply is judged: kPositive, kNegative, or 0 for an unrecognized status word.
    int status = 0;
    // One per reply line: the line from its fifth character on ("+OK 2 320" gives "2 320", "-ERR bad" gives
    // " bad" with its blank).
    std::vector<std::string> text_lines;

    // The text lines, each followed by CR LF: the message of a negative reply.
    std::string Text() const;
};

// Asks one mailbox for its count: a POP3 maildrop (RFC 1939) for its message count (USER/PASS login, STAT, QUIT), or
// an IMAP INBOX (RFC 3501, through ImapConversation) for its unread count and UID marks (LOGIN, STATUS, LOGOUT). The
// connection is plain TCP, upgraded by STARTTLS (POP3's STLS, RFC 2595) before any credential, or TLS from the first
// byte. One probe serves any number of connections one after the other. It blocks the calling thread; while it waits
// for the network on the GUI thread, the registered IdlePump processes GUI messages between short waits. Failures are
// ProbeErrors.
//
// The probe holds the POP3 conversation (greeting, login, STAT, QUIT, what a reply means); the LineChannel under it
// holds the connection's bytes, its waits and every bound on what a server may cost (see line_channel.h).
class MailboxProbe {
  public:
    static constexpr std::int32_t kDefaultPort = 110;
    // The POP3S port: without a security set, a POP3 connection to it starts with a TLS handshake (certificate
    // checked for host()) before the greeting, as does every connection whose security is Tls.
    static constexpr std::uint16_t kTlsPort = 995;
    static constexpr std::size_t kMaxLineLength = LineChannel::kMaxLineLength;
    static constexpr std::size_t kMaxReplyLength = LineChannel::kMaxReplyLength;
    static constexpr std::size_t kReceiveChunk = LineChannel::kReceiveChunk;
    static constexpr int kConnectSliceMs = 125;
    static constexpr int kPumpedConnectLimitMs = 120000;  // a pumped connect without an explicit limit

    // Uses this platform's sockets.
    MailboxProbe();
    // Uses `layer`, which must outlive the probe (tests pass scripted sockets).
    explicit MailboxProbe(SocketLayer& layer);
    // Closes an open socket without QUIT; raises nothing.
    ~MailboxProbe();
    MailboxProbe(const MailboxProbe&) = delete;
    MailboxProbe& operator=(const MailboxProbe&) = delete;

    // Settings; each takes effect at the next ConnectMailbox. Texts are UTF-8 and go out byte for byte.
    const std::string& host() const { return host_; }
    void set_host(std::string host) { host_ = std::move(host); }
    // Only the low 16 bits are used: 65536 + 110 reaches 110, -1 reaches 65535.
    std::int32_t port() const { return port_; }
    void set_port(std::int32_t port) { port_ = port; }
    const std::string& user() const { return user_; }
    void set_user(std::string user) { user_ = std::move(user); }
    const std::string& password() const { return password_; }
    void set_password(std::string password) { password_ = std::move(password); }
    // POP3 at creation.
    MailProtocol protocol() const { return protocol_; }
    void set_protocol(MailProtocol protocol) { protocol_ = protocol; }
    // nullopt (at creation): the port decides, as DefaultSecurity says (TLS on 995 for POP3, 993 for IMAP).
    std::optional<ConnectionSecurity> security() const { return security_; }
    void set_security(std::optional<ConnectionSecurity> security) { security_ = security; }
    // Longest single wait for incoming data, in milliseconds; 0 (or less) means no limit.
    std::int32_t read_timeout() const { return channel_.read_timeout(); }
    void set_read_timeout(std::int32_t milliseconds) { channel_.set_read_timeout(milliseconds); }
    // Longest time one reply (or the TLS handshake) may take from its first wait, in milliseconds; 0 (or less)
    // means no limit. 60000 at creation.
    std::int32_t reply_timeout() const { return channel_.reply_timeout(); }
    void set_reply_timeout(std::int32_t milliseconds) { channel_.set_reply_timeout(milliseconds); }

    // Connects (TLS first when the security is Tls), reads the greeting, upgrades by STLS or STARTTLS when the
    // security is StartTls, and logs in; returns in POP3's TRANSACTION state or IMAP's authenticated one.
    // `connect_timeout_ms` -1 or 0 means no explicit limit (pumped up to kPumpedConnectLimitMs when the idle pump
    // applies, a plain blocking connect otherwise); other values limit a pumped connect. A pumped connect looks a host
    // name up on a worker thread within the same limit, serving the GUI while it waits. On failure the socket is
    // closed (QUIT or LOGOUT first when the connection stood and can still speak) and the failure raised;
    // AlreadyConnectedError leaves an open connection alone.
    void ConnectMailbox(std::int32_t connect_timeout_ms);
    // STAT: the maildrop's message count. POP3 only: an IMAP probe raises a ProbeError (WrongProtocol).
    std::int32_t StatMessageCount();
    // STATUS "INBOX": its message and unread counts, UIDNEXT and UIDVALIDITY. IMAP only: a POP3 probe raises a
    // ProbeError (WrongProtocol).
    MailboxStatus InboxStatus();
    // Sends QUIT (LOGOUT for IMAP) when the connection is still open (its reply is never read), then closes and
    // discards the socket. Raises only a failure of that send, after the socket is closed.
    void CloseMailbox();
    // The security the next connection uses: security() when set, else what the port decides.
    ConnectionSecurity EffectiveSecurity() const;
    // Off the GUI thread: `abandoned` is asked between the slices of every wait, the connect's and name lookup's
    // included, and ends the wait with WaitAbandonedError once it says true (see LineChannel::set_abandon_check).
    void set_abandon_check(std::function<bool()> abandoned);
    // The IMAP conversation of the connection at hand, for what goes beyond a count (a watcher's EXAMINE and IDLE).
    ImapConversation& imap() { return imap_; }

    // The protocol steps the operations above are made of.
    // Sends `line` and reads the reply; raises ReplyError when its status is not `expected_status`.
    int SendCommand(std::string_view line, int expected_status);
    // Reads one reply into last_reply(); raises UnrecognizedReplyError for a status word that is neither.
    void ReadReply();
    // One line without its LF and without one CR before it.
    std::string ReadLine() { return channel_.ReadLine(); }
    // Sends `text` + CR LF at once.
    void WriteLine(std::string_view text) { channel_.WriteLine(text); }
    // Waits up to `milliseconds` (0 or less: without limit) for data, in pumped slices when the pump applies.
    bool WaitReadable(std::int32_t milliseconds) { return channel_.WaitReadable(milliseconds); }

    const ProbeReply& last_reply() const { return reply_; }

  private:
    void OpenSocket(std::int32_t connect_timeout_ms, bool implicit_tls);
    void PumpedConnect(TcpSocket& socket, std::uint32_t address, std::uint16_t port, std::int32_t limit_ms);
    void StartTls();
    void OpenPop3(bool starttls);
    void UpgradePop3();
    // The protocol of the connection at hand (the one set before the first).
    MailProtocol SessionProtocol() const { return channel_.HasStream() ? session_protocol_ : protocol_; }
    std::uint32_t ResolveHost() const;
    std::uint32_t LookUpHost(std::int32_t& remaining_ms) const;
    void CheckAbandoned() const;

    SocketLayer& layer_;
    std::string host_;
    std::int32_t port_ = kDefaultPort;
    std::string user_;
    std::string password_;
    MailProtocol protocol_ = MailProtocol::Pop3;
    std::optional<ConnectionSecurity> security_;
    MailProtocol session_protocol_ = MailProtocol::Pop3;
    LineChannel channel_;
    ImapConversation imap_{channel_};
    ProbeReply reply_;
    std::function<bool()> abandoned_;
};

}  // namespace pigeonet
