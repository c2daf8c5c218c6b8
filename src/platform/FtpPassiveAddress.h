#pragma once
// Which address a passive data connection goes to. Servers behind NAT often name their inner
// address in the PASV reply; such an address is useless to a client that reached the server
// from outside, while the control connection's peer is known to work.

#include <array>
#include <cstdint>

namespace skyhaul::platform {

using Ipv4Address = std::array<std::uint8_t, 4>;

// True when the data connection should go to `peer` (the control connection's peer) instead of
// `named` (the PASV reply's address): `named` differs from `peer`, and it is unusable (0.0.0.0/8)
// or not public (private, shared, loopback, link-local, multicast, reserved) while `peer` is not
// in a private range itself.
bool usePeerForPassive(const Ipv4Address& named, const Ipv4Address& peer);

}  // namespace skyhaul::platform
