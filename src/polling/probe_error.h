#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "util/errors.h"

namespace pigeonet {

// The failures of a mailbox probe. Each carries the message the application's error display shows; the kind lets
// callers and tests tell them apart without comparing texts.
enum class ProbeErrorKind {
    ReadTimeout,
    ConnectionClosed,
    NotConnected,
    AlreadyConnected,
    LineTooLong,
    Socket,
    ConnectTimeout,
    Connect,
    Reply,
    UnrecognizedReply,
    Conversion,
    SocketSetup,     // no socket could be created, or the local bind failed
    InvalidCommand,  // a command line would carry a line break (see MailboxProbe::WriteLine)
    Tls,             // the TLS handshake or a record failed (see TlsError in tls_stream.h)
    Abandoned,       // the program is ending: the wait was given up (see IdlePump::abandon_waits)
    WrongProtocol,   // a command of the other protocol was asked of a probe (STAT of an IMAP probe, say)
};

// `message` without its NUL bytes. A message reaches the user as a C string (the exception's what(), the message
// box's text), where a NUL from a server's text would cut off the rest; every other byte stays as it came.
std::string WithoutNulBytes(std::string_view message);

// Why an account could not be opened, in the few words its tooltip line names it with. None: the failure says
// nothing about the mailbox (the program is ending).
enum class MailboxFailure { None, CannotConnect, TlsRefused, CertificateNotTrusted, LoginRefused, TimedOut };

class ProbeError : public AppError {
  public:
    ProbeError(ProbeErrorKind kind, const std::string& message) : AppError(WithoutNulBytes(message)), kind_(kind) {}
    ProbeErrorKind kind() const { return kind_; }

  private:
    ProbeErrorKind kind_;
};

class ReadTimeoutError : public ProbeError {
  public:
    ReadTimeoutError() : ProbeError(ProbeErrorKind::ReadTimeout, "Read Timeout") {}
};

class ConnectionClosedError : public ProbeError {
  public:
    ConnectionClosedError() : ProbeError(ProbeErrorKind::ConnectionClosed, "Connection Closed Gracefully.") {}
};

class NotConnectedError : public ProbeError {
  public:
    NotConnectedError() : ProbeError(ProbeErrorKind::NotConnected, "Not Connected") {}
};

class AlreadyConnectedError : public ProbeError {
  public:
    AlreadyConnectedError() : ProbeError(ProbeErrorKind::AlreadyConnected, "Already connected.") {}
};

class LineTooLongError : public ProbeError {
  public:
    LineTooLongError() : ProbeError(ProbeErrorKind::LineTooLong, "Max line length exceeded.") {}
};

// What became of the connection when a socket call failed, as the platform adapter sorts its error number: the
// peer reset it, this side's stack aborted it, it was already shut down, a wait timed out, the peer refused it,
// or anything else. Portable code decides on this, while the number only names the failure in the message.
enum class SocketFailure { Reset, Aborted, ShutDown, TimedOut, Refused, Other };

// The text of a Windows Sockets error number ("Connection refused." for 10061); empty for numbers the program
// has no text for. The numbers are the Windows ones on every platform, so messages read the same everywhere.
std::string_view SocketErrorText(int code);

// "Socket Error # <code>" CR LF <text>.
std::string SocketErrorMessage(int code);

class SocketError : public ProbeError {
  public:
    explicit SocketError(int code, SocketFailure failure = SocketFailure::Other)
        : ProbeError(ProbeErrorKind::Socket, SocketErrorMessage(code)), code_(code), failure_(failure) {}
    int code() const { return code_; }
    SocketFailure failure() const { return failure_; }

  private:
    int code_;
    SocketFailure failure_;
};

class ConnectTimeoutError : public ProbeError {
  public:
    ConnectTimeoutError() : ProbeError(ProbeErrorKind::ConnectTimeout, "Connect timed out.") {}
};

// A failed connect attempt; its message is that of the SocketError the attempt produced.
class ConnectError : public ProbeError {
  public:
    explicit ConnectError(int code) : ProbeError(ProbeErrorKind::Connect, SocketErrorMessage(code)), code_(code) {}
    int code() const { return code_; }

  private:
    int code_;
};

// A negative reply; the message is the reply's text lines, each followed by CR LF.
class ReplyError : public ProbeError {
  public:
    explicit ReplyError(const std::string& message) : ProbeError(ProbeErrorKind::Reply, message) {}
};

class UnrecognizedReplyError : public ProbeError {
  public:
    // `text` is the reply's text lines, each followed by CR LF.
    explicit UnrecognizedReplyError(std::string_view text)
        : ProbeError(ProbeErrorKind::UnrecognizedReply,
                     "Unrecognized POP3 Response Header:\n\"" + std::string(text) + "\"") {}
};

class ConversionError : public ProbeError {
  public:
    explicit ConversionError(std::string_view text)
        : ProbeError(ProbeErrorKind::Conversion, FormatMessageText("'%s' is not a valid integer value", text)) {}
};

class SocketSetupError : public ProbeError {
  public:
    explicit SocketSetupError(const std::string& message) : ProbeError(ProbeErrorKind::SocketSetup, message) {}
};

class InvalidCommandError : public ProbeError {
  public:
    InvalidCommandError() : ProbeError(ProbeErrorKind::InvalidCommand, "Line break in a POP3 command.") {}
};

class WaitAbandonedError : public ProbeError {
  public:
    WaitAbandonedError() : ProbeError(ProbeErrorKind::Abandoned, "Check abandoned: the program is closing.") {}
};

// The class of a failure to open a mailbox (connect, greeting, TLS, login). A server that answers the login with a
// refusal is a refused login; one that answers anything else, or closes, counts as unreachable.
MailboxFailure ClassifyOpenFailure(const ProbeError& failure);

// The class of a failure once the mailbox is open, when its kind names one (a timeout, a dropped connection, a
// broken TLS record); nothing when only its own message says what happened (a refused STAT, an unreadable count).
std::optional<MailboxFailure> ClassifyCountFailure(const ProbeError& failure);

}  // namespace pigeonet
