#include "platform/inet/sftp/SftpPacket.h"

#include <sys/stat.h>

namespace skyhaul::inet::detail::sftp {
namespace {

constexpr std::uint32_t kHasSize = 0x1;
constexpr std::uint32_t kHasOwner = 0x2;
constexpr std::uint32_t kHasPermissions = 0x4;
constexpr std::uint32_t kHasTimes = 0x8;
constexpr std::uint32_t kHasExtended = 0x80000000;

constexpr std::size_t kLengthField = 4;
constexpr std::uint32_t kShortestPacket = 5;  // a type and an id (or VERSION's version)
constexpr std::size_t kShortestName = 12;     // two empty strings and ATTRS without flags
constexpr std::size_t kShortestPair = 8;      // two empty strings

// Takes fields off the front of the bytes; after the first field that is not all there, every
// later one fails too, so a decoder checks once at the end.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : rest_(bytes) {}

  bool ok() const { return ok_; }
  std::size_t left() const { return rest_.size(); }

  std::uint8_t u8() { return static_cast<std::uint8_t>(take(1)); }
  std::uint32_t u32() { return static_cast<std::uint32_t>(take(4)); }
  std::uint64_t u64() { return take(8); }
  std::string_view string() {
    const std::uint32_t length = u32();
    if (!ok_ || length > rest_.size()) return fail();
    const std::string_view text = rest_.substr(0, length);
    rest_.remove_prefix(length);
    return text;
  }
  std::string_view rest() const { return ok_ ? rest_ : std::string_view(); }
  std::string_view fail() {
    ok_ = false;
    rest_ = {};
    return {};
  }

 private:
  std::uint64_t take(std::size_t bytes) {
    if (!ok_ || rest_.size() < bytes) {
      fail();
      return 0;
    }
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < bytes; ++i) {
      value = value << 8 | static_cast<unsigned char>(rest_[i]);
    }
    rest_.remove_prefix(bytes);
    return value;
  }

  std::string_view rest_;
  bool ok_ = true;
};

void appendBigEndian(std::string& bytes, std::uint64_t value, int width) {
  for (int shift = (width - 1) * 8; shift >= 0; shift -= 8) {
    bytes.push_back(static_cast<char>(value >> shift & 0xFF));
  }
}

Attributes readAttributes(Reader& in) {
  Attributes attributes;
  const std::uint32_t flags = in.u32();
  if ((flags & kHasSize) != 0) attributes.size = in.u64();
  if ((flags & kHasOwner) != 0) static_cast<void>(in.u64());  // uid and gid
  if ((flags & kHasPermissions) != 0) attributes.permissions = in.u32();
  if ((flags & kHasTimes) != 0) {
    static_cast<void>(in.u32());  // access time
    attributes.modified = in.u32();
  }
  if ((flags & kHasExtended) != 0) {
    const std::uint32_t count = in.u32();
    if (count > in.left() / kShortestPair) in.fail();
    for (std::uint32_t i = 0; in.ok() && i < count; ++i) {
      static_cast<void>(in.string());
      static_cast<void>(in.string());
    }
  }
  return attributes;
}

}  // namespace

bool Attributes::isDirectory() const { return permissions && (*permissions & S_IFMT) == S_IFDIR; }

bool Attributes::isLink() const { return permissions && (*permissions & S_IFMT) == S_IFLNK; }

PacketWriter::PacketWriter(Type type, std::uint32_t id, std::size_t payload) {
  // Room for the handle, offset and lengths too.
  bytes_.reserve(payload + kMaxHandle + 64);
  bytes_.assign(kLengthField, '\0');
  bytes_.push_back(static_cast<char>(type));
  u32(id);
}

PacketWriter& PacketWriter::u32(std::uint32_t value) {
  appendBigEndian(bytes_, value, 4);
  return *this;
}

PacketWriter& PacketWriter::u64(std::uint64_t value) {
  appendBigEndian(bytes_, value, 8);
  return *this;
}

PacketWriter& PacketWriter::string(std::string_view text) {
  u32(static_cast<std::uint32_t>(text.size()));
  bytes_.append(text);
  return *this;
}

PacketWriter& PacketWriter::permissions(std::uint32_t mode) {
  return u32(kHasPermissions).u32(mode);
}

std::string PacketWriter::finish() {
  const std::size_t length = bytes_.size() - kLengthField;
  for (std::size_t i = 0; i < kLengthField; ++i) {
    bytes_[i] = static_cast<char>(length >> (8 * (kLengthField - 1 - i)) & 0xFF);
  }
  return std::move(bytes_);
}

std::string initPacket() {
  // The same layout as a request whose id is the version.
  return PacketWriter(Type::Init, kProtocolVersion).finish();
}

std::optional<std::uint32_t> packetLength(std::string_view header) {
  Reader in(header);
  const std::uint32_t length = in.u32();
  if (!in.ok() || length < kShortestPacket || length > kMaxPacket) return std::nullopt;
  return length;
}

std::optional<Packet> decodePacket(std::string_view bytes) {
  Reader in(bytes);
  Packet packet;
  packet.type = static_cast<Type>(in.u8());
  packet.id = in.u32();
  packet.body = in.rest();
  if (!in.ok()) return std::nullopt;
  return packet;
}

std::optional<VersionReply> decodeVersion(const Packet& packet) {
  Reader in(packet.body);
  VersionReply reply;
  reply.version = packet.id;
  while (in.ok() && in.left() > 0) {
    const std::string_view name = in.string();
    const std::string_view data = in.string();
    if (in.ok()) reply.extensions.emplace_back(name, data);
  }
  if (!in.ok()) return std::nullopt;
  return reply;
}

std::optional<StatusReply> decodeStatus(std::string_view body) {
  Reader in(body);
  StatusReply reply;
  reply.code = in.u32();
  // Some servers end after the code; a message that is there must be whole.
  if (in.ok() && in.left() > 0) reply.message = in.string();
  if (!in.ok()) return std::nullopt;
  return reply;
}

std::optional<std::string_view> decodeHandle(std::string_view body) {
  Reader in(body);
  const std::string_view handle = in.string();
  if (!in.ok() || handle.empty() || handle.size() > kMaxHandle) return std::nullopt;
  return handle;
}

std::optional<std::string_view> decodeData(std::string_view body) {
  Reader in(body);
  const std::string_view data = in.string();
  if (!in.ok()) return std::nullopt;
  return data;
}

std::optional<Attributes> decodeAttributes(std::string_view body) {
  Reader in(body);
  const Attributes attributes = readAttributes(in);
  if (!in.ok()) return std::nullopt;
  return attributes;
}

std::optional<std::vector<NameEntry>> decodeNames(std::string_view body) {
  Reader in(body);
  const std::uint32_t count = in.u32();
  if (!in.ok() || count > in.left() / kShortestName) return std::nullopt;
  std::vector<NameEntry> entries;
  entries.reserve(count);
  for (std::uint32_t i = 0; in.ok() && i < count; ++i) {
    NameEntry entry;
    entry.name = in.string();
    static_cast<void>(in.string());  // the long name, as `ls -l` would show it
    entry.attributes = readAttributes(in);
    entries.push_back(entry);
  }
  if (!in.ok()) return std::nullopt;
  return entries;
}

}  // namespace skyhaul::inet::detail::sftp
