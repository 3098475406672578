#include "polling/imap_conversation.h"

#include <exception>

#include "polling/tls_stream.h"
#include "util/text.h"

namespace pigeonet {

namespace {

constexpr char kNoStartTls[] = "TLS not offered: the server does not announce STARTTLS";
constexpr char kStartTlsAfterPreauth[] = "TLS not possible: the server logged in before STARTTLS (PREAUTH)";
constexpr char kTalkedAhead[] = "TLS handshake failed: the server sent data before the handshake";
constexpr char kLoginDisabled[] = "The server refuses LOGIN on this connection (LOGINDISABLED).";
constexpr char kForbiddenInLogin[] = "Line break or NUL in an IMAP login.";

bool Is(std::string_view word, std::string_view expected) {
    return EqualsIgnoringAsciiCase(word, expected);
}

// The server's words after a status, as a POP3 -ERR's text: with its leading blank, ended by CR LF.
std::string ReplyText(const ImapResponse& response) {
    return std::string(response.Text()) + "\r\n";
}

// The list of a "[CAPABILITY ...]" response code at the start of an OK's text; nothing without one.
std::optional<std::vector<std::string>> CapabilityCode(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    constexpr std::string_view kCode = "[CAPABILITY ";
    if (text.size() < kCode.size() || !Is(text.substr(0, kCode.size()), kCode)) {
        return std::nullopt;
    }
    text.remove_prefix(kCode.size());
    return ParseCapabilities(text.substr(0, text.find(']')));
}

std::uint32_t NumberOf(const std::optional<ImapToken>& token) {
    const std::string text = token ? token->text : std::string();
    if (!token || token->kind != ImapToken::Kind::Atom) {
        throw ConversionError(text);
    }
    if (auto value = ParseImapNumber(text)) {
        return *value;
    }
    throw ConversionError(text);
}

// Whether an untagged response tells of a change to the selected mailbox: "* n EXISTS", "* n EXPUNGE",
// "* n RECENT", or "* n FETCH (... FLAGS (...) ...)". Anything else a server says while idling (OK with an alert,
// a FETCH without flags, words of its own) is no change.
bool ReportsChange(const ImapResponse& response) {
    if (!ParseImapNumber(response.Word())) {
        return false;
    }
    ImapTokens tokens(response);
    const auto what = tokens.Next();
    if (!what || what->kind != ImapToken::Kind::Atom) {
        return false;
    }
    if (Is(what->text, "EXISTS") || Is(what->text, "EXPUNGE") || Is(what->text, "RECENT")) {
        return true;
    }
    if (!Is(what->text, "FETCH")) {
        return false;
    }
    try {
        while (const auto token = tokens.Next()) {
            if (token->kind == ImapToken::Kind::Atom && Is(token->text, "FLAGS")) {
                return true;
            }
        }
    } catch (const UnrecognizedImapResponseError&) {
    }
    return false;
}

// An untagged response while idling: a change or not; BYE ends the watch (the server is closing).
bool UntaggedWhileIdling(const ImapResponse& response) {
    if (Is(response.Word(), "BYE")) {
        throw ReplyError(ReplyText(response));
    }
    return ReportsChange(response);
}

}  // namespace

std::unique_ptr<ByteStream> TlsStreamUpgrade::Wrap(std::unique_ptr<ByteStream> plain) {
    std::unique_ptr<TlsEngine> engine = CreatePlatformTlsEngine(host_);
    auto* socket = dynamic_cast<TcpSocket*>(plain.get());
    if (socket == nullptr) {
        throw TlsError("TLS not possible: the connection is not a socket");
    }
    plain.release();
    return std::make_unique<TlsStream>(std::unique_ptr<TcpSocket>(socket), std::move(engine));
}

bool TlsStreamUpgrade::Handshake(ByteStream& stream) {
    return static_cast<TlsStream&>(stream).Handshake();
}

std::string ImapConversation::NextTag() {
    return "A" + std::to_string(next_tag_++);
}

bool ImapConversation::HasCapability(std::string_view name) const {
    for (const auto& capability : capabilities_) {
        if (capability == name) {
            return true;
        }
    }
    return false;
}

void ImapConversation::Open(const ImapLogin& login, TlsUpgrade* upgrade) {
    next_tag_ = 1;
    capabilities_.clear();
    secured_ = true;
    login_refused_ = false;
    idling_ = false;
    try {
        OpenSteps(login, upgrade);
    } catch (const ProbeError&) {
        // The open's failure is the one to report; a failing LOGOUT adds nothing to it.
        try {
            Close();
        } catch (const ProbeError&) {
        }
        throw;
    }
}

void ImapConversation::OpenSteps(const ImapLogin& login, TlsUpgrade* upgrade) {
    channel_.BeginReply();
    const ImapResponse greeting = ReadImapResponse(channel_);
    const std::string_view word = greeting.Word();
    if (greeting.Tag() != "*" || !(Is(word, "OK") || Is(word, "PREAUTH") || Is(word, "BYE"))) {
        throw UnrecognizedImapResponseError(greeting.lines.front());
    }
    if (Is(word, "BYE")) {
        // The server is closing: there is nobody to say LOGOUT to.
        channel_.CloseStream();
        throw ReplyError(ReplyText(greeting));
    }
    const bool preauth = Is(word, "PREAUTH");
    // Whether the capabilities in hand were announced (an empty list included): asked for at most once each time.
    bool known = false;
    if (auto listed = CapabilityCode(greeting.Text())) {
        capabilities_ = std::move(*listed);
        known = true;
    }
    if (login.starttls) {
        // An already authenticated session can no longer be secured; going on would send the count in clear.
        if (preauth) {
            throw TlsError(kStartTlsAfterPreauth);
        }
        if (!known) {
            AskCapabilities();
        }
        // Refused before any credential: a server (or someone in between) that hides STARTTLS gets no password.
        if (!HasCapability("STARTTLS") || upgrade == nullptr) {
            throw TlsError(kNoStartTls);
        }
        StartTls(*upgrade);
        // What was said in clear may have been tampered with: ask again over TLS.
        capabilities_.clear();
        AskCapabilities();
        known = true;
    }
    if (preauth) {
        return;
    }
    if (!known) {
        AskCapabilities();
    }
    if (HasCapability("LOGINDISABLED")) {
        throw ReplyError(kLoginDisabled);
    }
    Login(login);
}

void ImapConversation::AskCapabilities() {
    Command("CAPABILITY", {}, [this](const ImapResponse& response) {
        if (Is(response.Word(), "CAPABILITY")) {
            capabilities_ = ParseCapabilities(response.Text());
        }
    });
}

void ImapConversation::StartTls(TlsUpgrade& upgrade) {
    Command("STARTTLS", {}, [](const ImapResponse&) {});
    // Bytes after the completion came in clear, and would be taken as if they came over TLS.
    if (channel_.HasUnreadInput()) {
        throw TlsError(kTalkedAhead);
    }
    try {
        std::unique_ptr<ByteStream> tls = upgrade.Wrap(channel_.Detach());
        ByteStream& stream = *tls;
        channel_.Attach(std::move(tls));
        while (!upgrade.Handshake(stream)) {
            channel_.AwaitData();
        }
    } catch (const ProbeError&) {
        secured_ = false;
        throw;
    }
}

void ImapConversation::Login(const ImapLogin& login) {
    // A line break or NUL would end the command early or smuggle another one onto the wire: nothing of it leaves.
    for (const std::string* text : {&login.user, &login.password}) {
        if (text->find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
            throw ProbeError(ProbeErrorKind::InvalidCommand, kForbiddenInLogin);
        }
    }
    // Quoted strings where they can carry the text; literals for the rest (bytes above 127), each sent once the
    // server invites it.
    std::vector<std::string> parts{"LOGIN"};
    for (const std::string* text : {&login.user, &login.password}) {
        if (auto quoted = ImapQuoted(*text)) {
            parts.back() += " " + *quoted;
        } else {
            parts.back() += " {" + std::to_string(text->size()) + "}";
            parts.push_back(*text);
        }
    }
    const std::string first = parts.front();
    parts.erase(parts.begin());
    std::string completion;
    try {
        completion = Command(first, parts, [](const ImapResponse&) {});
    } catch (const ReplyError&) {
        login_refused_ = true;
        throw;
    }
    // What a server offers may grow once logged in; a list in the completion replaces the one from before.
    if (auto listed = CapabilityCode(completion)) {
        capabilities_ = std::move(*listed);
    }
}

void ImapConversation::Examine() {
    Command("EXAMINE \"INBOX\"", {}, [](const ImapResponse&) {});
}

bool ImapConversation::BeginIdle() {
    idle_tag_ = NextTag();
    channel_.WriteLine(idle_tag_ + " IDLE");
    idling_ = true;
    channel_.BeginReply();
    bool changed = false;
    for (;;) {
        const ImapResponse response = ReadImapResponse(channel_);
        if (response.Tag() == "+") {
            return changed;
        }
        if (response.Tag() == "*") {
            changed = UntaggedWhileIdling(response) || changed;
            continue;
        }
        if (response.Tag() == idle_tag_ && (Is(response.Word(), "NO") || Is(response.Word(), "BAD"))) {
            idling_ = false;
            throw ReplyError(ReplyText(response));
        }
        throw UnrecognizedImapResponseError(response.lines.front());
    }
}

bool ImapConversation::AwaitIdleChange(std::int32_t milliseconds) {
    if (!channel_.HasUnreadInput() && !channel_.WaitReadable(milliseconds)) {
        return false;
    }
    // Each response is a reply of its own: an hours-long IDLE costs no more than its largest response.
    channel_.BeginReply();
    const ImapResponse response = ReadImapResponse(channel_);
    if (response.Tag() == "*") {
        return UntaggedWhileIdling(response);
    }
    if (response.Tag() == "+") {
        return false;
    }
    // The server ended the IDLE by itself.
    idling_ = false;
    if (response.Tag() == idle_tag_ && (Is(response.Word(), "NO") || Is(response.Word(), "BAD"))) {
        throw ReplyError(ReplyText(response));
    }
    throw UnrecognizedImapResponseError(response.lines.front());
}

bool ImapConversation::EndIdle() {
    idling_ = false;
    channel_.WriteLine("DONE");
    channel_.BeginReply();
    bool changed = false;
    for (;;) {
        const ImapResponse response = ReadImapResponse(channel_);
        if (response.Tag() == "*") {
            changed = UntaggedWhileIdling(response) || changed;
            continue;
        }
        if (response.Tag() == idle_tag_ && Is(response.Word(), "OK")) {
            return changed;
        }
        if (response.Tag() == idle_tag_ && (Is(response.Word(), "NO") || Is(response.Word(), "BAD"))) {
            throw ReplyError(ReplyText(response));
        }
        throw UnrecognizedImapResponseError(response.lines.front());
    }
}

MailboxStatus ImapConversation::InboxStatus() {
    MailboxStatus status;
    bool seen = false;
    Command("STATUS \"INBOX\" (MESSAGES UNSEEN UIDNEXT UIDVALIDITY)", {}, [&](const ImapResponse& response) {
        if (!Is(response.Word(), "STATUS")) {
            return;
        }
        ImapTokens tokens(response);
        const auto mailbox = tokens.Next();
        if (!mailbox || mailbox->kind == ImapToken::Kind::Open || mailbox->kind == ImapToken::Kind::Close ||
            !Is(mailbox->text, "INBOX")) {
            return;
        }
        auto token = tokens.Next();
        if (!token || token->kind != ImapToken::Kind::Open) {
            throw UnrecognizedImapResponseError(response.lines.front());
        }
        int found = 0;
        while ((token = tokens.Next()) && token->kind == ImapToken::Kind::Atom) {
            const std::string name = AsciiLower(token->text);
            const std::uint32_t value = NumberOf(tokens.Next());
            std::uint32_t* field = name == "messages"      ? &status.messages
                                   : name == "unseen"      ? &status.unseen
                                   : name == "uidnext"     ? &status.uidnext
                                   : name == "uidvalidity" ? &status.uidvalidity
                                                           : nullptr;
            if (field != nullptr) {
                *field = value;
                ++found;
            }
        }
        if (!token || token->kind != ImapToken::Kind::Close || found < 4) {
            throw UnrecognizedImapResponseError(response.lines.front());
        }
        seen = true;
    });
    if (!seen) {
        throw UnrecognizedImapResponseError("STATUS completed without the INBOX's counts");
    }
    return status;
}

void ImapConversation::Close() {
    std::exception_ptr failure;
    if (!secured_) {
        channel_.CloseStream();
    }
    if (!channel_.KnownClosed()) {
        try {
            // Both at once, without waiting for IDLE's completion: the reply to LOGOUT is never read either.
            if (idling_) {
                idling_ = false;
                channel_.WriteLine("DONE");
            }
            channel_.WriteLine(NextTag() + " LOGOUT");
        } catch (const ProbeError&) {
            failure = std::current_exception();
        }
    }
    idling_ = false;
    channel_.Discard();
    if (failure) {
        std::rethrow_exception(failure);
    }
}

template <typename OnUntagged>
std::string ImapConversation::Command(std::string_view command,
                                      const std::vector<std::string>& literal_parts,
                                      OnUntagged on_untagged) {
    const std::string tag = NextTag();
    channel_.WriteLine(tag + " " + std::string(command));
    for (const auto& part : literal_parts) {
        AwaitContinuation(tag);
        channel_.WriteLine(part);
    }
    channel_.BeginReply();
    for (;;) {
        const ImapResponse response = ReadImapResponse(channel_);
        const std::string_view word = response.Word();
        if (response.Tag() == "*") {
            on_untagged(response);
            continue;
        }
        if (response.Tag() != tag) {
            throw UnrecognizedImapResponseError(response.lines.front());
        }
        if (Is(word, "OK")) {
            return std::string(response.Text());
        }
        if (Is(word, "NO") || Is(word, "BAD")) {
            throw ReplyError(ReplyText(response));
        }
        throw UnrecognizedImapResponseError(response.lines.front());
    }
}

// Waits for the server's "+" before a literal's bytes; a tagged NO or BAD instead refuses the command.
void ImapConversation::AwaitContinuation(const std::string& tag) {
    channel_.BeginReply();
    for (;;) {
        const ImapResponse response = ReadImapResponse(channel_);
        if (response.Tag() == "+") {
            return;
        }
        if (response.Tag() == "*") {
            continue;
        }
        if (response.Tag() == tag && (Is(response.Word(), "NO") || Is(response.Word(), "BAD"))) {
            throw ReplyError(ReplyText(response));
        }
        throw UnrecognizedImapResponseError(response.lines.front());
    }
}

}  // namespace pigeonet
