#include "polling/probe_error.h"

#include <algorithm>
#include <array>
#include <utility>

namespace pigeonet {

std::string_view SocketErrorText(int code) {
    // The blank after "Operation would block." is part of the system's text.
    static constexpr std::array<std::pair<int, std::string_view>, 39> kTexts{{
        {10004, "Interrupted system call."},
        {10009, "Bad file number."},
        {10013, "Access denied."},
        {10014, "Bad address."},
        {10022, "Invalid argument."},
        {10024, "Too many open files."},
        {10035, "Operation would block. "},
        {10036, "Operation now in progress."},
        {10037, "Operation already in progress."},
        {10038, "Socket operation on non-socket."},
        {10039, "Destination address required."},
        {10040, "Message too long."},
        {10041, "Protocol wrong type for socket."},
        {10042, "Bad protocol option."},
        {10043, "Protocol not supported."},
        {10044, "Socket type not supported."},
        {10045, "Operation not supported on socket."},
        {10046, "Protocol family not supported."},
        {10047, "Address family not supported by protocol family."},
        {10048, "Address already in use."},
        {10049, "Cannot assign requested address."},
        {10050, "Network is down."},
        {10051, "Network is unreachable."},
        {10052, "Net dropped connection or reset."},
        {10053, "Software caused connection abort."},
        {10054, "Connection reset by peer."},
        {10055, "No buffer space available."},
        {10056, "Socket is already connected."},
        {10057, "Socket is not connected."},
        {10058, "Cannot send or receive after socket is closed."},
        {10059, "Too many references, cannot splice."},
        {10060, "Connection timed out."},
        {10061, "Connection refused."},
        {10062, "Too many levels of symbolic links."},
        {10063, "File name too long."},
        {10064, "Host is down."},
        {10065, "No route to host."},
        {10066, "Directory not empty"},
        {11001, "Host not found."},
    }};
    for (const auto& [number, text] : kTexts) {
        if (number == code) {
            return text;
        }
    }
    return {};
}

std::string WithoutNulBytes(std::string_view message) {
    std::string text(message);
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    return text;
}

std::string SocketErrorMessage(int code) {
    return "Socket Error # " + std::to_string(code) + "\r\n" + std::string(SocketErrorText(code));
}

namespace {

constexpr int kWsaTimedOut = 10060;  // "Connection timed out."

// Every word the TLS engines use for a certificate they would not accept (untrusted, expired, for another host, not
// checkable, missing) names it; a refused or failed handshake does not.
bool NamesCertificate(const ProbeError& failure) {
    return std::string_view(failure.what()).find("certificate") != std::string_view::npos;
}

bool TimedOut(const ProbeError& failure) {
    if (const auto* socket = dynamic_cast<const SocketError*>(&failure)) {
        return socket->failure() == SocketFailure::TimedOut || socket->code() == kWsaTimedOut;
    }
    if (const auto* connect = dynamic_cast<const ConnectError*>(&failure)) {
        return connect->code() == kWsaTimedOut;
    }
    return failure.kind() == ProbeErrorKind::ReadTimeout || failure.kind() == ProbeErrorKind::ConnectTimeout;
}

}  // namespace

MailboxFailure ClassifyOpenFailure(const ProbeError& failure) {
    if (TimedOut(failure)) {
        return MailboxFailure::TimedOut;
    }
    switch (failure.kind()) {
        case ProbeErrorKind::Abandoned:
            return MailboxFailure::None;
        case ProbeErrorKind::Tls:
            return NamesCertificate(failure) ? MailboxFailure::CertificateNotTrusted : MailboxFailure::TlsRefused;
        case ProbeErrorKind::Reply:
        case ProbeErrorKind::InvalidCommand:  // a login that cannot be sent at all
            return MailboxFailure::LoginRefused;
        default:
            return MailboxFailure::CannotConnect;
    }
}

std::optional<MailboxFailure> ClassifyCountFailure(const ProbeError& failure) {
    if (TimedOut(failure)) {
        return MailboxFailure::TimedOut;
    }
    switch (failure.kind()) {
        case ProbeErrorKind::Abandoned:
            return MailboxFailure::None;
        case ProbeErrorKind::Tls:
            return MailboxFailure::TlsRefused;
        case ProbeErrorKind::ConnectionClosed:
        case ProbeErrorKind::NotConnected:
        case ProbeErrorKind::Socket:
            return MailboxFailure::CannotConnect;
        default:
            return std::nullopt;
    }
}

}  // namespace pigeonet
