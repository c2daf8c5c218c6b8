#include "platform/inet/transport/ServerAddress.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace skyhaul::inet {
namespace {

struct AddressRow {
  const char* name;
  const char* text;
  int portArgument;
  std::optional<std::string> host;  // nothing: the text is refused
  int port;
};

class ServerText : public testing::TestWithParam<AddressRow> {};

TEST_P(ServerText, GivesHostAndPort) {
  const auto& row = GetParam();
  const auto address = parseServerAddress(row.text, row.portArgument);
  ASSERT_EQ(address.has_value(), row.host.has_value());
  if (!address) return;
  EXPECT_EQ(address->host, *row.host);
  EXPECT_EQ(address->port, row.port);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ServerText,
    testing::Values(
        AddressRow{"bare_name", "ftp.example.org", 0, "ftp.example.org", 21},
        AddressRow{"bare_name_port_argument", "ftp.example.org", 2121, "ftp.example.org", 2121},
        AddressRow{"name_and_port", "ftp.example.org:2121", 0, "ftp.example.org", 2121},
        AddressRow{"text_port_beats_argument", "127.0.0.1:40000", 2121, "127.0.0.1", 40000},
        AddressRow{"ipv4", "127.0.0.1", 0, "127.0.0.1", 21},
        AddressRow{"bracketed_v6_with_port", "[::1]:2121", 0, "::1", 2121},
        AddressRow{"bracketed_v6", "[fe80::1]", 0, "fe80::1", 21},
        AddressRow{"bare_v6", "::1", 0, "::1", 21},
        AddressRow{"bare_v6_long", "2001:db8::21:1", 0, "2001:db8::21:1", 21},
        AddressRow{"empty", "", 0, std::nullopt, 0},
        AddressRow{"port_only", ":21", 0, std::nullopt, 0},
        AddressRow{"port_not_a_number", "host:ftp", 0, std::nullopt, 0},
        AddressRow{"port_zero", "host:0", 0, std::nullopt, 0},
        AddressRow{"port_too_big", "host:65536", 0, std::nullopt, 0},
        AddressRow{"empty_port", "host:", 0, std::nullopt, 0},
        AddressRow{"unclosed_bracket", "[::1:21", 0, std::nullopt, 0},
        AddressRow{"junk_after_bracket", "[::1]21", 0, std::nullopt, 0},
        AddressRow{"bad_port_argument", "host", 70000, std::nullopt, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace skyhaul::inet
