// Hosts as users type them: names, IPv4, IPv6 literals, ports, and what is not a host.
#include "net/hostaddress.h"

#include <gtest/gtest.h>

namespace ostravel {
namespace {

using Kind = HostAddress::Kind;

TEST(HostAddress, ReadsNamesAddressesAndPortsAndRefusesTheRest) {
    struct Case {
        const char* text;
        std::optional<HostAddress> expected;
    };
    const Case cases[] = {
        {"radio.example.net", HostAddress{"radio.example.net", 28000, Kind::Name}},
        {"  Radio.Example.NET.:8000 ", HostAddress{"radio.example.net.", 8000, Kind::Name}},
        {"localhost", HostAddress{"localhost", 28000, Kind::Name}},
        {"192.0.2.7:28001", HostAddress{"192.0.2.7", 28001, Kind::IPv4}},
        {"[2001:DB8::7]:65535", HostAddress{"2001:db8::7", 65535, Kind::IPv6}},
        {"[::1]", HostAddress{"::1", 28000, Kind::IPv6}},
        {"::1", HostAddress{"::1", 28000, Kind::IPv6}},
        {"", std::nullopt},
        {"host:", std::nullopt},
        {"host:0", std::nullopt},
        {"host:65536", std::nullopt},
        {"host:28000x", std::nullopt},
        {"256.1.1.1", std::nullopt},
        {"1.2.3", std::nullopt},
        {"010.1.1.1", std::nullopt},
        {"[::1", std::nullopt},
        {"[::1]x", std::nullopt},
        {"[radio.example.net]:1", std::nullopt},
        {"fe80::1%eth0", std::nullopt},
        {"-radio.example.net", std::nullopt},
        {"radio..example.net", std::nullopt},
        {"radio_1.example.net", std::nullopt},
        {"http://radio.example.net", std::nullopt},
        {"radio.example.net; rm -rf /", std::nullopt},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(ParseHostAddress(c.text, 28000, &error), c.expected) << c.text;
        EXPECT_EQ(error.empty(), c.expected.has_value()) << c.text << ": " << error;
        if (c.expected) {
            EXPECT_EQ(ParseHostAddress(FormatHostAddress(*c.expected), 1), c.expected) << c.text;
        }
    }
    std::string error;
    ParseHostAddress("host:0", 28000, &error);
    EXPECT_EQ(error, "\"host:0\" is not a host: the port must be a number from 1 to 65535.");
}

}  // namespace
}  // namespace ostravel
