#pragma once
// Every test program refuses name look-ups through the system resolver: a
// resolver is rarely on loopback, so a look-up would leave the machine. Numeric
// addresses pass, and so do reverse look-ups that ask for the numeric form. A
// refused look-up prints the name and aborts the test.

namespace testguard {

// For a thread that has moved into a network namespace of the test's own,
// where only loopback exists and no look-up can leave the machine.
void AllowNameLookupsOnThisThread();

}  // namespace testguard
