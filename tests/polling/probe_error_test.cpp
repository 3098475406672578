#include "polling/probe_error.h"

#include <gtest/gtest.h>

namespace pigeonet {
namespace {

TEST(ProbeError, FormatsSocketErrorsWithTheirTextAfterCrLf) {
    const struct {
        int code;
        const char* shown;  // what the error display shows
    } cases[] = {
        {10061, "Socket Error # 10061\r\nConnection refused."},
        {10035, "Socket Error # 10035\r\nOperation would block. "},
        {10066, "Socket Error # 10066\r\nDirectory not empty."},
        {11001, "Socket Error # 11001\r\nHost not found."},
        {11002, "Socket Error # 11002\r\n"},
        {10001, "Socket Error # 10001\r\n"},
    };
    for (const auto& c : cases) {
        const SocketError error(c.code);
        EXPECT_EQ(error.code(), c.code);
        EXPECT_EQ(error.kind(), ProbeErrorKind::Socket);
        EXPECT_EQ(ErrorDisplayText(error.what()), c.shown);
    }
}

TEST(ProbeError, CarriesTheFixedMessageOfEveryKind) {
    EXPECT_STREQ(ReadTimeoutError().what(), "Read Timeout");
    EXPECT_STREQ(ConnectionClosedError().what(), "Connection Closed Gracefully.");
    EXPECT_STREQ(NotConnectedError().what(), "Not Connected");
    EXPECT_STREQ(AlreadyConnectedError().what(), "Already connected.");
    EXPECT_STREQ(LineTooLongError().what(), "Max line length exceeded.");
    EXPECT_STREQ(ConnectTimeoutError().what(), "Connect timed out.");
    EXPECT_STREQ(ConnectError(10061).what(), SocketError(10061).what());
    EXPECT_STREQ(ConversionError("").what(), "'' is not a valid integer value");
    EXPECT_STREQ(UnrecognizedReplyError("x\r\n").what(), "Unrecognized POP3 Response Header:\n\"x\r\n\"");
}

TEST(ProbeError, IsAnApplicationError) {
    try {
        throw ReadTimeoutError();
    } catch (const AppError& error) {
        EXPECT_EQ(ErrorDisplayText(error.what()), "Read Timeout.");
    }
}

}  // namespace
}  // namespace pigeonet
