#pragma once
// A TCP port on 127.0.0.1 that nothing listens on just now, for a server the test starts; it
// may be taken again before the server binds it, so a server that fails to start tries another.

namespace skyhaul::test {

// Throws std::runtime_error when the system gives none.
int freeLoopbackPort();

}  // namespace skyhaul::test
