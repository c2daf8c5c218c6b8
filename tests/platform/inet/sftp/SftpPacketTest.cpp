// SFTP packets taken apart: what a lying or broken server sends is refused, never read past.
#include "platform/inet/sftp/SftpPacket.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace skyhaul::inet::detail::sftp {
namespace {

std::string u32(std::uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16 & 0xFF),
          static_cast<char>(value >> 8 & 0xFF), static_cast<char>(value & 0xFF)};
}
std::string u64(std::uint64_t value) {
  return u32(static_cast<std::uint32_t>(value >> 32)) + u32(static_cast<std::uint32_t>(value));
}
std::string str(const std::string& text) {
  return u32(static_cast<std::uint32_t>(text.size())) + text;
}

struct DecodeCase {
  const char* name;
  std::function<bool(std::string_view)> decodes;
  std::string bytes;
  bool valid;
};

bool names(std::string_view body) { return decodeNames(body).has_value(); }
bool attributes(std::string_view body) { return decodeAttributes(body).has_value(); }
bool status(std::string_view body) { return decodeStatus(body).has_value(); }
bool handle(std::string_view body) { return decodeHandle(body).has_value(); }
bool data(std::string_view body) { return decodeData(body).has_value(); }
bool length(std::string_view header) { return packetLength(header).has_value(); }
bool packet(std::string_view bytes) { return decodePacket(bytes).has_value(); }
bool version(std::string_view bytes) {
  const auto decoded = decodePacket(bytes);
  return decoded && decodeVersion(*decoded).has_value();
}

const std::string kEntry = str("a b") + str("-rw-r--r-- 1 u g 0 a b") + u32(0);

class SftpPacketDecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(SftpPacketDecodeTest, AcceptsWholeFieldsOnly) {
  const DecodeCase& row = GetParam();
  EXPECT_EQ(row.decodes(row.bytes), row.valid);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SftpPacketDecodeTest,
    ::testing::Values(
        DecodeCase{"LengthShort", length, u32(5).substr(0, 3), false},
        DecodeCase{"LengthTooSmallForAnId", length, u32(4), false},
        DecodeCase{"LengthSmallest", length, u32(5), true},
        DecodeCase{"LengthLargest", length, u32(kMaxPacket), true},
        DecodeCase{"LengthOverTheMaximum", length, u32(kMaxPacket + 1), false},
        DecodeCase{"LengthHuge", length, u32(0xFFFFFFFF), false},
        DecodeCase{"PacketWithoutWholeId", packet, "\x65" + u32(7).substr(0, 3), false},
        DecodeCase{"PacketEmptyBody", packet, "\x65" + u32(7), true},
        DecodeCase{"StatusCodeOnly", status, u32(4), true},
        DecodeCase{"StatusCodeCut", status, u32(4).substr(0, 2), false},
        DecodeCase{"StatusMessageBeyondPacket", status, u32(4) + u32(10) + "abc", false},
        DecodeCase{"StatusMessageHugeLength", status, u32(4) + u32(0xFFFFFFFF) + "x", false},
        DecodeCase{"StatusWhole", status, u32(2) + str("No such file") + str("en"), true},
        DecodeCase{"HandleEmpty", handle, str(""), false},
        DecodeCase{"HandleOverTheCap", handle, str(std::string(kMaxHandle + 1, 'h')), false},
        DecodeCase{"HandleBeyondPacket", handle, u32(8) + "abcd", false},
        DecodeCase{"HandleWhole", handle, str("abcd"), true},
        DecodeCase{"DataBeyondPacket", data, u32(32768) + "xyz", false},
        DecodeCase{"DataEmpty", data, str(""), true},
        DecodeCase{"AttrsSizeCut", attributes, u32(0x1) + u32(0), false},
        DecodeCase{"AttrsTimesCut", attributes, u32(0x8) + u32(1), false},
        DecodeCase{"AttrsExtendedCountHuge", attributes, u32(0x80000000) + u32(0xFFFFFFFF), false},
        DecodeCase{"AttrsExtendedPairCut", attributes, u32(0x80000000) + u32(1) + str("n"), false},
        DecodeCase{"AttrsAll", attributes,
                   u32(0x8000000F) + u64(9) + u64(0) + u32(0100644) + u32(1) + u32(2) + u32(1) +
                       str("n") + str("v"),
                   true},
        DecodeCase{"NamesCountHuge", names, u32(0xFFFFFFFF) + kEntry, false},
        DecodeCase{"NamesFewerThanCounted", names, u32(2) + kEntry, false},
        DecodeCase{"NamesNameBeyondPacket", names, u32(1) + u32(50) + "a b", false},
        DecodeCase{"NamesAttrsCut", names, u32(1) + str("a") + str("") + u32(0x1), false},
        DecodeCase{"NamesWhole", names, u32(2) + kEntry + kEntry, true},
        DecodeCase{"VersionExtensionWithoutData", version, "\x02" + u32(3) + str("fsync"), false},
        DecodeCase{"VersionWithExtensions", version,
                   "\x02" + u32(3) + str("posix-rename@openssh.com") + str("1"), true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SftpPacketTest, FieldsComeBackAsWritten) {
  const std::string opaque("h\0x ", 4);  // a handle is bytes, not text
  const std::string built =
      PacketWriter(Type::Write, 0x01020304).string(opaque).u64(1ULL << 40).finish();
  ASSERT_EQ(packetLength(built.substr(0, 4)), built.size() - 4);
  const auto decoded = decodePacket(std::string_view(built).substr(4));
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(decoded->type, Type::Write);
  EXPECT_EQ(decoded->id, 0x01020304u);
  EXPECT_EQ(decoded->body, str(opaque) + u64(1ULL << 40));
}

TEST(SftpPacketTest, NamesKeepEveryByteAndTheFileType) {
  const std::string body = u32(2) + str(" lead\xFF,trail ") + str("") + u32(0x5) + u64(42) +
                           u32(0100644) + str("sub") + str("") + u32(0x4) + u32(040755);
  const auto entries = decodeNames(body);
  ASSERT_TRUE(entries.has_value());
  ASSERT_EQ(entries->size(), 2u);
  EXPECT_EQ((*entries)[0].name, " lead\xFF,trail ");
  EXPECT_EQ((*entries)[0].attributes.size, 42u);
  EXPECT_FALSE((*entries)[0].attributes.isDirectory());
  EXPECT_TRUE((*entries)[1].attributes.isDirectory());
  EXPECT_FALSE((*entries)[1].attributes.size.has_value());
}

}  // namespace
}  // namespace skyhaul::inet::detail::sftp
