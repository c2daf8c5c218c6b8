#include "platform/FtpPassiveAddress.h"

namespace skyhaul::platform {
namespace {

// RFC 1918 ranges and the carrier-grade NAT range 100.64.0.0/10.
bool isPrivate(const Ipv4Address& a) {
  return a[0] == 10 || (a[0] == 172 && (a[1] & 0xF0) == 16) || (a[0] == 192 && a[1] == 168) ||
         (a[0] == 100 && (a[1] & 0xC0) == 64);
}

bool isNotPublic(const Ipv4Address& a) {
  return isPrivate(a) || a[0] == 0 || a[0] == 127 || (a[0] == 169 && a[1] == 254) || a[0] >= 224;
}

}  // namespace

bool usePeerForPassive(const Ipv4Address& named, const Ipv4Address& peer) {
  if (named == peer) return false;
  if (named[0] == 0) return true;
  return isNotPublic(named) && !isPrivate(peer);
}

}  // namespace skyhaul::platform
