#include "ServerAddress.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

namespace {

struct AddressCase {
    const char16_t* typed;
    ServerAddress::Protocol protocol;
    bool valid;
    const char16_t* host;
    int port;
    bool tls;
};

class ServerAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(ServerAddressTest, ReadsTheServerAsTheUserTypedIt)
{
    const AddressCase& c = GetParam();
    const auto address = ServerAddress::parse(QString::fromUtf16(c.typed), c.protocol);
    ASSERT_EQ(address.has_value(), c.valid);
    if (!c.valid)
        return;
    EXPECT_EQ(address->host, QString::fromUtf16(c.host));
    EXPECT_EQ(address->port, c.port);
    EXPECT_EQ(address->tlsFromStart, c.tls);
}

using P = ServerAddress::Protocol;
INSTANTIATE_TEST_SUITE_P(Typed, ServerAddressTest,
    ::testing::Values(AddressCase{u"pop.example.jp", P::Pop3, true, u"pop.example.jp", 110, false},
        AddressCase{u" pop.example.jp ", P::Pop3, true, u"pop.example.jp", 110, false},
        AddressCase{u"pop.example.jp:1110", P::Pop3, true, u"pop.example.jp", 1110, false},
        AddressCase{u"pop3s://pop.example.jp", P::Pop3, true, u"pop.example.jp", 995, true},
        AddressCase{u"POP3S://pop.example.jp:1995/", P::Pop3, true, u"pop.example.jp", 1995, true},
        AddressCase{u"pop3://pop.example.jp", P::Pop3, true, u"pop.example.jp", 110, false},
        AddressCase{u"smtp.example.jp", P::Smtp, true, u"smtp.example.jp", 587, false},
        AddressCase{u"smtp.example.jp:25", P::Smtp, true, u"smtp.example.jp", 25, false},
        AddressCase{u"smtp.example.jp:587", P::Smtp, true, u"smtp.example.jp", 587, false},
        AddressCase{u"smtps://smtp.example.jp", P::Smtp, true, u"smtp.example.jp", 465, true},
        AddressCase{u"[::1]:2110", P::Pop3, true, u"::1", 2110, false},
        AddressCase{u"::1", P::Pop3, true, u"::1", 110, false},
        AddressCase{u"smtps://smtp.example.jp", P::Pop3, false, u"", 0, false},
        AddressCase{u"pop.example.jp:0", P::Pop3, false, u"", 0, false},
        AddressCase{u"pop.example.jp:99999", P::Pop3, false, u"", 0, false},
        AddressCase{u"pop.example.jp:abc", P::Pop3, false, u"", 0, false},
        AddressCase{u"", P::Pop3, false, u"", 0, false},
        AddressCase{u"pop.example.jp\r\nQUIT", P::Pop3, false, u"", 0, false},
        AddressCase{u"pop example", P::Pop3, false, u"", 0, false}));

} // namespace
