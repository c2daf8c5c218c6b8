#include "platform/Digest.h"

#include <openssl/evp.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <new>
#include <stdexcept>

#include "platform/Ascii.h"

namespace skyhaul::platform {
namespace {

const EVP_MD* evpDigest(DigestAlgorithm algorithm) {
  switch (algorithm) {
    case DigestAlgorithm::Sha256:
      return EVP_sha256();
    case DigestAlgorithm::Sha1:
      return EVP_sha1();
    case DigestAlgorithm::Md5:
      return EVP_md5();
    case DigestAlgorithm::Crc32:
      break;
  }
  return nullptr;
}

std::string toHex(const unsigned char* bytes, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * size);
  for (std::size_t i = 0; i < size; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 0x0F];
  }
  return hex;
}

// Failing to start or feed a digest means no memory or a broken library: nothing to go on with.
void check(int result) {
  if (result != 1) throw std::bad_alloc();
}

}  // namespace

std::string_view digestName(DigestAlgorithm algorithm) {
  switch (algorithm) {
    case DigestAlgorithm::Sha256:
      return "SHA-256";
    case DigestAlgorithm::Sha1:
      return "SHA-1";
    case DigestAlgorithm::Md5:
      return "MD5";
    case DigestAlgorithm::Crc32:
      return "CRC32";
  }
  return "";
}

std::optional<DigestAlgorithm> digestNamed(std::string_view name) {
  for (const auto algorithm : {DigestAlgorithm::Sha256, DigestAlgorithm::Sha1, DigestAlgorithm::Md5,
                               DigestAlgorithm::Crc32}) {
    const std::string_view known = digestName(algorithm);
    const bool same =
        std::ranges::equal(name, known, [](char a, char b) { return asciiUpper(a) == b; });
    if (same) return algorithm;
  }
  return std::nullopt;
}

std::size_t digestHexLength(DigestAlgorithm algorithm) {
  switch (algorithm) {
    case DigestAlgorithm::Sha256:
      return 64;
    case DigestAlgorithm::Sha1:
      return 40;
    case DigestAlgorithm::Md5:
      return 32;
    case DigestAlgorithm::Crc32:
      return 8;
  }
  return 0;
}

void StreamDigest::ContextDeleter::operator()(evp_md_ctx_st* context) const {
  EVP_MD_CTX_free(context);
}

StreamDigest::StreamDigest(DigestAlgorithm algorithm) : algorithm_(algorithm) {
  const EVP_MD* digest = evpDigest(algorithm);
  if (digest == nullptr) {
    crc_ = static_cast<std::uint32_t>(crc32(0L, Z_NULL, 0));
    return;
  }
  context_.reset(EVP_MD_CTX_new());
  if (!context_) throw std::bad_alloc();
  check(EVP_DigestInit_ex(context_.get(), digest, nullptr));
}

StreamDigest::~StreamDigest() = default;
StreamDigest::StreamDigest(StreamDigest&&) noexcept = default;
StreamDigest& StreamDigest::operator=(StreamDigest&&) noexcept = default;

void StreamDigest::update(const void* data, std::size_t size) {
  if (context_) {
    check(EVP_DigestUpdate(context_.get(), data, size));
    return;
  }
  // zlib takes at most a uInt at a time.
  const auto* bytes = static_cast<const Bytef*>(data);
  while (size > 0) {
    const auto part = static_cast<uInt>(std::min<std::size_t>(size, UINT_MAX));
    crc_ = static_cast<std::uint32_t>(crc32(crc_, bytes, part));
    bytes += part;
    size -= part;
  }
}

std::string StreamDigest::hex() const {
  if (!context_) {
    const std::array<unsigned char, 4> bytes{
        static_cast<unsigned char>(crc_ >> 24), static_cast<unsigned char>(crc_ >> 16),
        static_cast<unsigned char>(crc_ >> 8), static_cast<unsigned char>(crc_)};
    return toHex(bytes.data(), bytes.size());
  }
  // A copy is finished, so the running digest can take more bytes.
  const std::unique_ptr<evp_md_ctx_st, ContextDeleter> copy(EVP_MD_CTX_new());
  if (!copy) throw std::bad_alloc();
  check(EVP_MD_CTX_copy_ex(copy.get(), context_.get()));
  std::array<unsigned char, EVP_MAX_MD_SIZE> value{};
  unsigned int length = 0;
  check(EVP_DigestFinal_ex(copy.get(), value.data(), &length));
  return toHex(value.data(), length);
}

}  // namespace skyhaul::platform
