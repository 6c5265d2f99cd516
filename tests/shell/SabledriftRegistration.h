#pragma once
// Sabledrift.dll registered in the test prefix for the whole test program,
// the way the program's users register it, and unregistered at the end.
// Test programs that use it run under the "sabledrift_registration" lock.
namespace mf::test {

// Runs regsvr32 silently on the library beside the test; true on success.
bool RegisterSabledrift();
bool UnregisterSabledrift();

}  // namespace mf::test
