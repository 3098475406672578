#include "settings/account_editor_rules.h"
#include "util/errors.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <vector>

namespace pigeonet {
namespace {

class VectorRows final : public AccountRows {
  public:
    int RowCount() const override { return static_cast<int>(rows.size()); }
    Account RowAt(int index) const override { return rows.at(static_cast<std::size_t>(index)); }
    void AppendRow(const Account& account) override { rows.push_back(account); }
    void ReplaceRow(int index, const Account& account) override { rows.at(static_cast<std::size_t>(index)) = account; }

    std::vector<Account> rows;
};

struct AutoFillCase {
    const char* email;
    std::optional<std::string> server;
};

void PrintTo(const AutoFillCase& c, std::ostream* os) {
    *os << "\"" << c.email << "\" proposes " << testing::PrintToString(c.server);
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
    EXPECT_EQ(FieldsForMode(rows, kAddAccountMode, "993"), (AccountFields{"", "", "", "", "993", "pop3", "none"}));
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

TEST(AccountEditor, EditModeShowsTheRowsProtocolAndSecurity) {
    VectorRows rows;
    rows.rows.push_back({"a@b.c", "imap.b.c", "a", "pw", "5", "143", "imap", "starttls", "12", "7"});
    EXPECT_EQ(FieldsForMode(rows, 0, "110"),
              (AccountFields{"a@b.c", "imap.b.c", "a", "pw", "143", "imap", "starttls"}));
}

struct MarksCase {
    const char* change;
    AccountFields fields;
    const char* uidnext;
};

TEST(AccountEditor, EditingKeepsTheImapMarksUnlessTheMailboxChanged) {
    const AccountFields same{"a@b.c", "imap.b.c", "a", "pw", "143", "imap", "none"};
    auto with = [&](auto member, const char* value) {
        AccountFields fields = same;
        fields.*member = value;
        return fields;
    };
    const MarksCase cases[] = {
        {"nothing", same, "12"},
        {"the address", with(&AccountFields::email, "x@b.c"), "12"},
        {"the password", with(&AccountFields::password, "pw2"), "12"},
        {"the security", with(&AccountFields::security, "starttls"), "12"},
        {"the server", with(&AccountFields::server, "mail.b.c"), "0"},
        {"the login", with(&AccountFields::login, "b"), "0"},
        {"the port", with(&AccountFields::port, "1143"), "0"},
        {"the protocol", with(&AccountFields::protocol, "pop3"), "0"},
    };
    for (const MarksCase& c : cases) {
        VectorRows rows;
        rows.rows.push_back({"a@b.c", "imap.b.c", "a", "pw", "5", "143", "imap", "none", "12", "7"});
        AcceptAccount(rows, 0, c.fields);
        const Account& row = rows.rows.at(0);
        EXPECT_EQ(row.count, "5") << c.change;
        EXPECT_EQ(row.uidnext, c.uidnext) << c.change;
        EXPECT_EQ(row.uidvalidity, std::string(c.uidnext) == "0" ? "0" : "7") << c.change;
        EXPECT_EQ(row.protocol, c.fields.protocol) << c.change;
        EXPECT_EQ(row.security, c.fields.security) << c.change;
    }
    VectorRows rows;
    AcceptAccount(rows, kAddAccountMode, same);
    EXPECT_EQ(rows.rows.at(0), (Account{"a@b.c", "imap.b.c", "a", "pw", "0", "143", "imap", "none", "0", "0"}));
}

struct ChoiceCase {
    const char* port;
    const char* protocol;
    const char* security;
    std::function<void(AccountFields&)> choose;
    const char* movedPort;
    const char* movedSecurity;
};

void PrintTo(const ChoiceCase& c, std::ostream* os) {
    *os << c.protocol << "/" << c.security << " on " << c.port << " becomes " << c.movedSecurity << " on "
        << c.movedPort;
}

class ChoiceCases : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(ChoiceCases, MoveAStandardPortAndLeaveATypedOneAlone) {
    const ChoiceCase& c = GetParam();
    AccountFields fields{"", "", "", "", c.port, c.protocol, c.security};
    c.choose(fields);
    EXPECT_EQ(fields.port, c.movedPort);
    EXPECT_EQ(fields.security, c.movedSecurity);
}

auto Protocol(MailProtocol protocol) {
    return [protocol](AccountFields& fields) { ChooseProtocol(fields, protocol); };
}
auto Security(ConnectionSecurity security) {
    return [security](AccountFields& fields) { ChooseSecurity(fields, security); };
}
auto Port(const char* port) {
    return [port](AccountFields& fields) { ChoosePort(fields, port); };
}

INSTANTIATE_TEST_SUITE_P(
    Choices,
    ChoiceCases,
    ::testing::Values(ChoiceCase{"110", "pop3", "none", Protocol(MailProtocol::Imap), "143", "none"},
                      ChoiceCase{"995", "pop3", "tls", Protocol(MailProtocol::Imap), "993", "tls"},
                      ChoiceCase{"143", "imap", "starttls", Protocol(MailProtocol::Pop3), "110", "starttls"},
                      ChoiceCase{"993", "imap", "tls", Protocol(MailProtocol::Pop3), "995", "tls"},
                      ChoiceCase{"2110", "pop3", "none", Protocol(MailProtocol::Imap), "2110", "none"},
                      ChoiceCase{"110", "pop3", "none", Security(ConnectionSecurity::Tls), "995", "tls"},
                      ChoiceCase{"993", "imap", "tls", Security(ConnectionSecurity::StartTls), "143", "starttls"},
                      ChoiceCase{"143", "imap", "none", Security(ConnectionSecurity::StartTls), "143", "starttls"},
                      // A standard port of the other protocol is still a standard port: it follows the pair.
                      ChoiceCase{"993", "pop3", "none", Security(ConnectionSecurity::Tls), "995", "tls"},
                      ChoiceCase{"8995", "pop3", "none", Security(ConnectionSecurity::Tls), "8995", "tls"},
                      ChoiceCase{"110", "pop3", "none", Port("995"), "995", "tls"},
                      ChoiceCase{"143", "imap", "none", Port("993"), "993", "tls"},
                      ChoiceCase{"995", "pop3", "tls", Port("110"), "110", "none"},
                      ChoiceCase{"993", "imap", "tls", Port("143"), "143", "none"},
                      ChoiceCase{"110", "pop3", "starttls", Port("995"), "995", "starttls"},
                      ChoiceCase{"995", "pop3", "starttls", Port("110"), "110", "starttls"},
                      ChoiceCase{"110", "pop3", "none", Port("2110"), "2110", "none"}));

struct ProviderCase {
    const char* email;
    const char* protocol;
    AccountFields filled;  // email, protocol, server, port and security after the key release
};

void PrintTo(const ProviderCase& c, std::ostream* os) {
    *os << c.email << " over " << c.protocol;
}

class ProviderCases : public ::testing::TestWithParam<ProviderCase> {};

TEST_P(ProviderCases, FillHostPortAndSecurityForTheChosenProtocol) {
    const ProviderCase& c = GetParam();
    AccountFields fields{c.email, "", "", "", "110", c.protocol, "none"};
    AutoFill(fields);
    EXPECT_EQ(fields, c.filled);
}

AccountFields Filled(const char* email,
                     const char* server,
                     const char* port,
                     const char* protocol,
                     const char* security) {
    return {email, server, "", "", port, protocol, security};
}

INSTANTIATE_TEST_SUITE_P(
    Providers,
    ProviderCases,
    ::testing::Values(
        ProviderCase{"me@gmail.com", "pop3", Filled("me@gmail.com", "pop.gmail.com", "995", "pop3", "tls")},
        ProviderCase{"me@GoogleMail.COM", "imap", Filled("me@GoogleMail.COM", "imap.gmail.com", "993", "imap", "tls")},
        ProviderCase{"me@hotmail.com", "pop3", Filled("me@hotmail.com", "outlook.office365.com", "995", "pop3", "tls")},
        ProviderCase{"me@msn.com", "imap", Filled("me@msn.com", "outlook.office365.com", "993", "imap", "tls")},
        ProviderCase{"me@yahoo.com", "imap", Filled("me@yahoo.com", "imap.mail.yahoo.com", "993", "imap", "tls")},
        ProviderCase{"me@mac.com", "imap", Filled("me@mac.com", "imap.mail.me.com", "993", "imap", "tls")},
        // iCloud has no POP3: the plain rule, as for any domain; choosing IMAP then fills iCloud's server.
        ProviderCase{"me@icloud.com", "pop3", Filled("me@icloud.com", "pop.icloud.com", "110", "pop3", "none")},
        ProviderCase{"a@ya.ru", "pop3", Filled("a@ya.ru", "pop.yandex.ru", "995", "pop3", "tls")},
        ProviderCase{"a@bk.ru", "imap", Filled("a@bk.ru", "imap.mail.ru", "993", "imap", "tls")},
        ProviderCase{"me@gmx.de", "pop3", Filled("me@gmx.de", "pop.gmx.net", "995", "pop3", "tls")},
        ProviderCase{"me@example.org", "imap", Filled("me@example.org", "imap.example.org", "110", "imap", "none")},
        ProviderCase{"me@gmail.co", "pop3", Filled("me@gmail.co", "pop.gmail.co", "110", "pop3", "none")},
        ProviderCase{"me@mail.gmail.com", "pop3",
                     Filled("me@mail.gmail.com", "pop.mail.gmail.com", "110", "pop3", "none")}));

TEST(AccountEditor, ChoosingTheProtocolRewritesAnAutoFilledServerOnly) {
    AccountFields fields{"me@example.org", "pop.example.org", "", "", "110", "pop3", "none"};
    ChooseProtocol(fields, MailProtocol::Imap);
    EXPECT_EQ(fields.server, "imap.example.org");

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
