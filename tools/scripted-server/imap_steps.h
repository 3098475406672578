#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "scripted-server/script_text.h"
#include "scripted-server/scripted_server.h"

namespace pigeonet::scripted {

// IMAP's shorthands for the scripted server, made of its protocol-free steps, so a script answers the client's
// commands without knowing the tags the client chose.

// Reads one tagged command, inviting each literal the command announces ("{n}" at a line's end) with "+ go
// ahead", and answers it with `answer`: every line of it but the last goes out as it is (untagged responses), the
// last one after the command's tag and a blank. "* STATUS INBOX (MESSAGES 2)\r\nOK done" answers a command tagged
// A3 with "* STATUS INBOX (MESSAGES 2)\r\nA3 OK done\r\n". A literal's bytes are taken to hold no line break.
Step ImapTagged(std::string answer);

// A greeting that lists the capabilities IMAP4rev1 and AUTH=PLAIN, then OK to LOGIN.
Script ImapLogin();

// ImapLogin, then `status` (the untagged STATUS response, with its CR LF) and OK to the next command.
Script ImapLoginThenStatus(const std::string& status);

// An IDLE session (RFC 2177) up to idling: a greeting that lists IDLE, OK to LOGIN, the INBOX's data and OK to
// EXAMINE, and "+ idling" to IDLE. What the server then reports ("* 3 EXISTS"), floods, keeps quiet or drops is the
// script's to say, with the plain steps.
Script ImapIdleSession();
// Reads an IDLE command and answers "+ idling".
Step ImapIdle();
// Reads lines up to DONE and answers it with the completion of the last IDLE ("A3 OK IDLE terminated").
Step ImapIdleDone();

// The text words: `tagged:ANSWER` (ImapTagged, ANSWER with backslash escapes), `imap-login`, `imap-idle`
// (ImapIdleSession), `idle` (ImapIdle) and `idle-done` (ImapIdleDone).
std::optional<Script> ImapShorthand(std::string_view name, std::string_view argument);

}  // namespace pigeonet::scripted
