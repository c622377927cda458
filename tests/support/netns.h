// Runs a test's body inside a network namespace of its own, so that nothing it sends (multicast,
// name look-ups of odd host names) can leave the machine.
//
//   TEST(Suite, Name) {
//     if (!testsupport::InPrivateNetwork(testsupport::kLoopbackMulticast)) return;
//     ... the body, now inside the namespace ...
//   }
//
// Outside, the call re-runs this one test in a child (unshare -n) after the setup commands and
// reports the child's result, returning false; inside the child it returns true. Without root
// or unshare the test is skipped.
#pragma once

namespace testsupport {

// lo up with multicast on and a 224.0.0.0/4 route.
extern const char* const kLoopbackMulticast;
// Also a veth pair zv0/zv1 for IPv6 multicast: a join on the default interface lands on zv0,
// and a sender whose outgoing interface is zv1 reaches it.
extern const char* const kVethMulticast;

bool InPrivateNetwork(const char* setup_commands);

// Interface index by name (for the IPv6 sender); 0 if unknown.
unsigned InterfaceIndex(const char* name);

}  // namespace testsupport
