#pragma once
// Certificates for the FTPS tests, made by the openssl command line tool when first asked for
// and kept in a temporary folder for the rest of the test program. None is ever committed.

#include <filesystem>

namespace skyhaul::test {

struct TestCertificates {
  std::filesystem::path caCert;          // ca.pem: the private CA that signs the next two
  std::filesystem::path serverCert;      // server.pem: for IP 127.0.0.1, IP ::1, DNS localhost
  std::filesystem::path serverKey;       // server.key
  std::filesystem::path wrongNameCert;   // wrong.pem: signed by the CA for DNS wrong.example only
  std::filesystem::path wrongNameKey;    // wrong.key
  std::filesystem::path selfSignedCert;  // self.pem: self-signed, for 127.0.0.1 and localhost
  std::filesystem::path selfSignedKey;   // self.key
};

// The certificates (EC P-256 keys, valid from a day ago for 30 days), made once per process;
// throws std::runtime_error with openssl's output when openssl fails or runs over 30 s.
const TestCertificates& testCertificates();

}  // namespace skyhaul::test
