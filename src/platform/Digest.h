#pragma once
// A digest of bytes as they pass, computed in one pass alongside a transfer, to compare with the
// one the server computes of its copy.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct evp_md_ctx_st;  // OpenSSL's EVP_MD_CTX

namespace skyhaul::platform {

// Strongest first: the order in which a server's offer is chosen from.
enum class DigestAlgorithm { Sha256, Sha1, Md5, Crc32 };

// The name the HASH command uses for it ("SHA-256", "SHA-1", "MD5", "CRC32").
std::string_view digestName(DigestAlgorithm algorithm);
// The algorithm of a HASH name, in any letter case; nothing for one not known here.
std::optional<DigestAlgorithm> digestNamed(std::string_view name);
// How many hexadecimal digits its value has (64, 40, 32, 8).
std::size_t digestHexLength(DigestAlgorithm algorithm);

// One algorithm's running digest of everything update() was given.
class StreamDigest {
 public:
  explicit StreamDigest(DigestAlgorithm algorithm);
  ~StreamDigest();
  StreamDigest(StreamDigest&&) noexcept;
  StreamDigest& operator=(StreamDigest&&) noexcept;

  DigestAlgorithm algorithm() const { return algorithm_; }
  // Adds `size` bytes at `data`.
  void update(const void* data, std::size_t size);
  // The digest of the bytes so far, lower-case hexadecimal (CRC32: 8 digits, leading zeros
  // kept); the digest goes on taking bytes after it.
  std::string hex() const;

 private:
  struct ContextDeleter {
    void operator()(evp_md_ctx_st* context) const;
  };

  DigestAlgorithm algorithm_;
  std::unique_ptr<evp_md_ctx_st, ContextDeleter> context_;  // null for CRC32
  std::uint32_t crc_ = 0;
};

}  // namespace skyhaul::platform
