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

struct SchemeRow {
  const char* name;
  const char* text;
  std::optional<std::string> scheme;  // nothing: the text is refused
  int port;
  Protocol protocol;
  Security security;
};

class SchemeText : public testing::TestWithParam<SchemeRow> {};

// What the address says and what a record of it says agree: the scheme, its port and what
// carries it.
TEST_P(SchemeText, ChoosesProtocolAndDefaultPort) {
  const auto& row = GetParam();
  const auto address = parseServerAddress(row.text, 0);
  const auto parts = serverParts(row.text);
  ASSERT_EQ(address.has_value(), row.scheme.has_value());
  ASSERT_EQ(parts.has_value(), row.scheme.has_value());
  if (!address) return;
  EXPECT_EQ(address->host, "example.org");
  EXPECT_EQ(address->scheme.name, *row.scheme);
  EXPECT_EQ(address->port, row.port);
  EXPECT_EQ(address->scheme.protocol, row.protocol);
  EXPECT_EQ(address->scheme.security, row.security);
  EXPECT_EQ(parts->scheme, *row.scheme);
  EXPECT_EQ(parts->host, "example.org");
  EXPECT_EQ(parts->port, row.port);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SchemeText,
    testing::Values(
        SchemeRow{"none", "example.org", "ftp", 21, Protocol::Ftp, Security::Plain},
        SchemeRow{"ftp", "ftp://example.org", "ftp", 21, Protocol::Ftp, Security::Plain},
        SchemeRow{"ftpes", "ftpes://example.org", "ftpes", 21, Protocol::Ftp,
                  Security::ExplicitTls},
        SchemeRow{"ftps", "ftps://example.org", "ftps", 990, Protocol::Ftp, Security::ImplicitTls},
        SchemeRow{"sftp", "sftp://example.org", "sftp", 22, Protocol::Sftp, Security::Plain},
        SchemeRow{"sftp_upper_case", "SFTP://example.org", "sftp", 22, Protocol::Sftp,
                  Security::Plain},
        SchemeRow{"ftps_mixed_case", "FtPs://example.org", "ftps", 990, Protocol::Ftp,
                  Security::ImplicitTls},
        SchemeRow{"sftp_port_in_text", "sftp://example.org:2222", "sftp", 2222, Protocol::Sftp,
                  Security::Plain},
        SchemeRow{"sftp_trailing_slash", "sftp://example.org/", "sftp", 22, Protocol::Sftp,
                  Security::Plain},
        SchemeRow{"unknown", "http://example.org", std::nullopt, 0, Protocol::Ftp, Security::Plain},
        SchemeRow{"scheme_only", "sftp://", std::nullopt, 0, Protocol::Ftp, Security::Plain},
        SchemeRow{"empty_scheme", "://example.org", std::nullopt, 0, Protocol::Ftp,
                  Security::Plain},
        SchemeRow{"scheme_twice", "sftp://ftp://example.org", std::nullopt, 0, Protocol::Ftp,
                  Security::Plain},
        SchemeRow{"scheme_with_space", "sftp ://example.org", std::nullopt, 0, Protocol::Ftp,
                  Security::Plain}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace skyhaul::inet
