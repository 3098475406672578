#include "settings/account_editor_rules.h"
#include "util/errors.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(FieldsForMode(rows, kAddAccountMode, "995"), (AccountFields{"", "", "", "", "995"}));
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

TEST(AccountEditor, EditingARowThatIsGoneChangesNothing) {
    VectorRows rows;
    AcceptAccount(rows, 3, {"a@b.c", "s", "l", "p", "110"});
    EXPECT_TRUE(rows.rows.empty());
}

}  // namespace
}  // namespace pigeonet
