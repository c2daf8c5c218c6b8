#pragma once
// The packets of SFTP version 3, built and taken apart without any I/O. Everything read comes
// from a server that may lie: every length and count is checked against the bytes that are
// there, and a packet that does not add up is no packet (nullopt), never a crash or a huge
// allocation.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace skyhaul::inet::detail::sftp {

// Packet types (the version 3 draft's numbers).
enum class Type : std::uint8_t {
  Init = 1,
  Version = 2,
  Open = 3,
  Close = 4,
  Read = 5,
  Write = 6,
  Lstat = 7,
  Fstat = 8,
  Opendir = 11,
  Readdir = 12,
  Remove = 13,
  Mkdir = 14,
  Rmdir = 15,
  Realpath = 16,
  Stat = 17,
  Rename = 18,
  Status = 101,
  Handle = 102,
  Data = 103,
  Name = 104,
  Attrs = 105,
  Extended = 200,
  ExtendedReply = 201,
};

// Status numbers the client acts on; the rest are reported as they came.
inline constexpr std::uint32_t kStatusOk = 0;
inline constexpr std::uint32_t kStatusEof = 1;

// Open flags.
inline constexpr std::uint32_t kOpenRead = 0x01;
inline constexpr std::uint32_t kOpenWrite = 0x02;
inline constexpr std::uint32_t kOpenCreate = 0x08;
inline constexpr std::uint32_t kOpenTruncate = 0x10;

inline constexpr std::uint32_t kProtocolVersion = 3;
// The largest packet a server may send: a 256 KiB read answer and its header, with room to spare.
// (The length field counts what follows it.)
inline constexpr std::uint32_t kMaxPacket = 256 * 1024 + 1024;
// The draft caps a handle at 256 bytes.
inline constexpr std::size_t kMaxHandle = 256;

// What a server tells of a path; each part only where the server sent it.
struct Attributes {
  std::optional<std::uint64_t> size;
  std::optional<std::uint32_t> permissions;  // with the file type bits (S_IFMT)
  std::optional<std::uint32_t> modified;     // seconds since the epoch (32 bits in version 3)
  bool isDirectory() const;
  bool isLink() const;
};

// One entry of a NAME answer.
struct NameEntry {
  std::string_view name;
  Attributes attributes;
};

struct StatusReply {
  std::uint32_t code = kStatusOk;
  std::string_view message;
};

// A packet as it came, after its length: its type, its id (none for VERSION) and what follows.
struct Packet {
  Type type{};
  std::uint32_t id = 0;
  std::string_view body;
};

struct VersionReply {
  std::uint32_t version = 0;
  std::vector<std::pair<std::string, std::string>> extensions;  // name, data
};

// Builds one request: the length, type and id first, then the fields in order.
class PacketWriter {
 public:
  // `payload`: about how many bytes the fields will take (room is made for them at once).
  PacketWriter(Type type, std::uint32_t id, std::size_t payload = 0);
  PacketWriter& u32(std::uint32_t value);
  PacketWriter& u64(std::uint64_t value);
  PacketWriter& string(std::string_view text);
  // ATTRS with only the permissions set (as OPEN and MKDIR send them).
  PacketWriter& permissions(std::uint32_t mode);
  // The packet with its length filled in (the writer is empty after).
  std::string finish();

 private:
  std::string bytes_;
};

// INIT carries the version where the others carry an id.
std::string initPacket();

// The length in the first four bytes of a packet: nullopt when it is too small to hold a type
// and an id, or larger than kMaxPacket.
std::optional<std::uint32_t> packetLength(std::string_view header);

// The packet after its length field.
std::optional<Packet> decodePacket(std::string_view bytes);
// VERSION: decodePacket took its version for an id.
std::optional<VersionReply> decodeVersion(const Packet& packet);
std::optional<StatusReply> decodeStatus(std::string_view body);
std::optional<std::string_view> decodeHandle(std::string_view body);
std::optional<std::string_view> decodeData(std::string_view body);
std::optional<Attributes> decodeAttributes(std::string_view body);
// The entries of a NAME answer (views into `body`); nullopt when the count does not fit it.
std::optional<std::vector<NameEntry>> decodeNames(std::string_view body);

}  // namespace skyhaul::inet::detail::sftp
