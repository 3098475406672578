#include "settings/account_editor_rules.h"
#include "util/errors.h"

#include "support/vector_rows.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <ostream>
#include <vector>

namespace pigeonet {
namespace {

using testing::VectorRows;

struct AutoFillCase {
    const char* email;
    std::optional<std::string> server;
};

void PrintTo(const AutoFillCase& c, std::ostream* os) {
    *os << "\"" << c.email << "\" proposes " << ::testing::PrintToString(c.server);
}

class AutoFillCases : public ::testing::TestWithParam<AutoFillCase> {};

TEST_P(AutoFillCases, FollowsTheAddressOnceFiveCharactersFollowTheAt) {
    EXPECT_EQ(AutoFilledServer(GetParam().email), GetParam().server) << GetParam().email;
}

INSTANTIATE_TEST_SUITE_P(
    Addresses,
    AutoFillCases,
    ::testing::Values(AutoFillCase{"a@bcd", std::nullopt},          // 5 characters
                      AutoFillCase{"abc@defg", std::nullopt},       // 8 characters, 4 after "@"
                      AutoFillCase{"abc@defgh", "pop.defgh"},       // 9 characters, 5 after "@"
                      AutoFillCase{"ab@cdefg", "pop.cdefg"},        // 8 characters, 5 after "@"
                      AutoFillCase{"a@b@cdefgh", "pop.b@cdefgh"},   // everything after the first "@"
                      AutoFillCase{"abcdefghij", std::nullopt},     // no "@"
                      AutoFillCase{"@abcdefgh", "pop.abcdefgh"},    // "@" first
                      AutoFillCase{"abcdefgh@mail", std::nullopt},  // only 4 after "@"
                      AutoFillCase{"ив@почта.рф", "pop.почта.рф"},  // counted in characters, not bytes
                      AutoFillCase{"иван@поч", std::nullopt},       // 8 characters, 3 after "@"
                      AutoFillCase{"", std::nullopt}));

TEST(AutoFilledServer, WritesImapForImap) {
    EXPECT_EQ(AutoFilledServer("abc@defgh", MailProtocol::Imap), "imap.defgh");
    EXPECT_EQ(AutoFilledServer("abc@defg", MailProtocol::Imap), std::nullopt);
}

struct AcceptCase {
    AccountFields fields;
    bool accepted;
};

void PrintTo(const AcceptCase& c, std::ostream* os) {
    const AccountFields& f = c.fields;
    *os << "email \"" << f.email << "\" server \"" << f.server << "\" login \"" << f.login << "\" password \""
        << f.password << "\" port \"" << f.port << "\" " << (c.accepted ? "accepted" : "refused");
}

class AcceptCases : public ::testing::TestWithParam<AcceptCase> {};

TEST_P(AcceptCases, NeedAnAtAndServerLoginAndPassword) {
    EXPECT_EQ(CanAcceptAccount(GetParam().fields), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(Fields,
                         AcceptCases,
                         ::testing::Values(AcceptCase{{"a@b", "s", "l", "p", ""}, true},  // the port is not examined
                                           AcceptCase{{"ab", "s", "l", "p", "110"}, false},
                                           AcceptCase{{"a@b", "", "l", "p", "110"}, false},
                                           AcceptCase{{"a@b", "s", "", "p", "110"}, false},
                                           AcceptCase{{"a@b", "s", "l", "", "110"}, false},
                                           AcceptCase{{"@", " ", " ", " ", "abc"}, true},
                                           AcceptCase{{}, false}));

TEST(AccountEditor, AddModeEmptiesTheFieldsButKeepsThePort) {
    VectorRows rows;
    rows.rows.push_back({"a@b.c", "pop.b.c", "a", "pw", "5", "995"});
    // A new account starts as POP3, with TLS only where the kept port has always meant it.
    EXPECT_EQ(FieldsForMode(rows, kAddAccountMode, "995"), (AccountFields{"", "", "", "", "995", "pop3", "tls"}));
    EXPECT_EQ(FieldsForMode(rows, kAddAccountMode, "110"), (AccountFields{"", "", "", "", "110", "pop3", "none"}));
    EXPECT_EQ(FieldsForMode(rows, kAddAccountMode, "993"), (AccountFields{"", "", "", "", "995", "pop3", "tls"}));
    EXPECT_EQ(FieldsForMode(rows, kAddAccountMode, "8993"), (AccountFields{"", "", "", "", "8993", "pop3", "none"}));
}

TEST(AccountEditor, EditModeShowsTheRow) {
    VectorRows rows;
    rows.rows.push_back({"x@y.z", "s0", "l0", "p0", "0", "110"});
    rows.rows.push_back({"a@b.c", "pop.b.c", "a", "pw", "5", "995"});
    EXPECT_EQ(FieldsForMode(rows, 1, "110"), (AccountFields{"a@b.c", "pop.b.c", "a", "pw", "995"}));
    EXPECT_EQ(FieldsForMode(rows, 2, "110"), AccountFields{});
}

TEST(AccountEditor, AddingAppendsARowWithCountZero) {
    VectorRows rows;
    rows.rows.push_back({"x@y.z", "s0", "l0", "p0", "4", "110"});
    AcceptAccount(rows, kAddAccountMode, {"a@b.c", "pop.b.c", "a", "pw", "995"});
    ASSERT_EQ(rows.rows.size(), 2u);
    EXPECT_EQ(rows.rows[1], (Account{"a@b.c", "pop.b.c", "a", "pw", "0", "995"}));
}

TEST(AccountEditor, RefusesAPortThatIsNoPortAndChangesNothing) {
    for (const char* port : {"pop3", "", "0", "65536", "-110", "110 ", "1.5"}) {
        for (const int mode : {kAddAccountMode, 0}) {
            VectorRows rows;
            rows.rows.push_back({"x@y.z", "s0", "l0", "p0", "4", "110"});
            try {
                AcceptAccount(rows, mode, {"a@b.c", "pop.b.c", "a", "pw", port});
                ADD_FAILURE() << "accepted '" << port << "'";
            } catch (const AppError& error) {
                EXPECT_EQ(error.what(),
                          "The port must be a whole number from 1 to 65535, not '" + std::string(port) + "'");
            }
            EXPECT_EQ(rows.rows, (std::vector<Account>{{"x@y.z", "s0", "l0", "p0", "4", "110"}})) << port;
        }
    }
}

TEST(AccountEditor, EditingKeepsTheLastCount) {
    VectorRows rows;
    rows.rows.push_back({"a@b.c", "pop.b.c", "a", "pw", "5", "110"});
    AcceptAccount(rows, 0, {"a@b.c", "mail.b.c", "a2", "pw2", "995"});
    ASSERT_EQ(rows.rows.size(), 1u);
    EXPECT_EQ(rows.rows[0], (Account{"a@b.c", "mail.b.c", "a2", "pw2", "5", "995"}));
}

TEST(AccountEditor, EditingKeepsTheImapMarksUnlessTheMailboxChanged) {
    const Account row{"a@b.c", "imap.b.c", "a", "pw", "5", "143", "imap", "none", "12", "7"};
    const AccountFields same{"a@b.c", "imap.b.c", "a", "pw", "143", "imap", "none"};
    VectorRows rows;
    rows.rows.push_back(row);
    EXPECT_EQ(FieldsForMode(rows, 0, "110"), same);
    const std::pair<std::string AccountFields::*, bool> changes[] = {
        {&AccountFields::email, true},    {&AccountFields::password, true}, {&AccountFields::security, true},
        {&AccountFields::server, false},  {&AccountFields::login, false},   {&AccountFields::port, false},
        {&AccountFields::protocol, false}};
    for (const auto& [field, kept] : changes) {
        AccountFields fields = same;
        fields.*field = field == &AccountFields::protocol ? "pop3" : field == &AccountFields::security ? "tls" : "9";
        rows.rows = {row};
        AcceptAccount(rows, 0, fields);
        EXPECT_EQ(rows.rows[0].count, "5");
        EXPECT_EQ(rows.rows[0].uidnext, kept ? "12" : "0") << fields.*field;
        EXPECT_EQ(rows.rows[0].uidvalidity, kept ? "7" : "0") << fields.*field;
        EXPECT_EQ(rows.rows[0].security, fields.security);
    }
    rows.rows.clear();
    AcceptAccount(rows, kAddAccountMode, same);
    EXPECT_EQ(rows.rows.at(0), (Account{"a@b.c", "imap.b.c", "a", "pw", "0", "143", "imap", "none", "0", "0"}));
}

// Port, protocol and security before; the choice; port and security after.
struct ChoiceCase {
    const char* before[3];
    std::function<void(AccountFields&)> choose;
    const char* after[2];
};

TEST(AccountEditor, ChoicesMoveAStandardPortAndLeaveATypedOneAlone) {
    const auto protocol = [](MailProtocol p) { return [p](AccountFields& f) { ChooseProtocol(f, p); }; };
    const auto security = [](ConnectionSecurity s) { return [s](AccountFields& f) { ChooseSecurity(f, s); }; };
    const auto port = [](const char* p) { return [p](AccountFields& f) { ChoosePort(f, p); }; };
    const ChoiceCase cases[] = {
        {{"110", "pop3", "none"}, protocol(MailProtocol::Imap), {"143", "none"}},
        {{"995", "pop3", "tls"}, protocol(MailProtocol::Imap), {"993", "tls"}},
        {{"143", "imap", "starttls"}, protocol(MailProtocol::Pop3), {"110", "starttls"}},
        {{"2110", "pop3", "none"}, protocol(MailProtocol::Imap), {"2110", "none"}},
        {{"110", "pop3", "none"}, security(ConnectionSecurity::Tls), {"995", "tls"}},
        {{"993", "imap", "tls"}, security(ConnectionSecurity::StartTls), {"143", "starttls"}},
        {{"993", "pop3", "none"}, security(ConnectionSecurity::Tls), {"995", "tls"}},  // still a standard port
        {{"8995", "pop3", "none"}, security(ConnectionSecurity::Tls), {"8995", "tls"}},
        {{"110", "pop3", "none"}, port("995"), {"995", "tls"}},
        {{"143", "imap", "none"}, port("993"), {"993", "tls"}},
        {{"993", "imap", "tls"}, port("143"), {"143", "none"}},
        {{"110", "pop3", "starttls"}, port("995"), {"995", "starttls"}},
        {{"110", "pop3", "none"}, port("2110"), {"2110", "none"}},
    };
    for (const ChoiceCase& c : cases) {
        AccountFields fields{"", "", "", "", c.before[0], c.before[1], c.before[2]};
        c.choose(fields);
        EXPECT_EQ(fields.port, c.after[0]) << c.before[0] << " " << c.before[1] << " " << c.before[2];
        EXPECT_EQ(fields.security, c.after[1]) << c.before[0] << " " << c.before[1] << " " << c.before[2];
    }
}

TEST(AccountEditor, AutoFillKnowsTheCommonProvidersWhateverTheCase) {
    // Address and protocol; server, port and security after the key release (the port was 110, no security).
    const std::array<const char*, 5> cases[] = {
        {"me@gmail.com", "pop3", "pop.gmail.com", "995", "tls"},
        {"me@GoogleMail.COM", "imap", "imap.gmail.com", "993", "tls"},
        {"me@hotmail.com", "pop3", "outlook.office365.com", "995", "tls"},
        {"me@yahoo.com", "imap", "imap.mail.yahoo.com", "993", "tls"},
        {"me@mac.com", "imap", "imap.mail.me.com", "993", "tls"},
        {"me@icloud.com", "pop3", "pop.icloud.com", "110", "none"},  // no POP3 there: the rule for any domain
        {"a@ya.ru", "pop3", "pop.yandex.ru", "995", "tls"},          // a short known domain needs no length
        {"a@bk.ru", "imap", "imap.mail.ru", "993", "tls"},
        {"me@gmx.de", "pop3", "pop.gmx.net", "995", "tls"},
        {"me@example.org", "imap", "imap.example.org", "110", "none"},
        {"me@mail.gmail.com", "pop3", "pop.mail.gmail.com", "110", "none"},
    };
    for (const auto& [email, protocol, server, port, security] : cases) {
        AccountFields fields{email, "", "", "", "110", protocol, "none"};
        AutoFill(fields);
        EXPECT_EQ(fields, (AccountFields{email, server, "", "", port, protocol, security})) << email;
    }
}

TEST(AccountEditor, ChoosingTheProtocolRewritesAnAutoFilledServerOnly) {
    AccountFields icloud{"me@icloud.com", "pop.icloud.com", "", "", "110", "pop3", "none"};
    ChooseProtocol(icloud, MailProtocol::Imap);
    EXPECT_EQ(icloud, (AccountFields{"me@icloud.com", "imap.mail.me.com", "", "", "993", "imap", "tls"}));
    AccountFields typed{"me@example.org", "mail.example.org", "", "", "110", "pop3", "none"};
    ChooseProtocol(typed, MailProtocol::Imap);
    EXPECT_EQ(typed, (AccountFields{"me@example.org", "mail.example.org", "", "", "143", "imap", "none"}));
}

TEST(AccountEditor, EditingARowThatIsGoneChangesNothing) {
    VectorRows rows;
    AcceptAccount(rows, 3, {"a@b.c", "s", "l", "p", "110"});
    EXPECT_TRUE(rows.rows.empty());
}

}  // namespace
}  // namespace pigeonet
