#pragma once
// Why a request got no answer or its data stopped, in the transfer's own
// terms whatever carried the bytes.
namespace mf {

enum class NetError {
  None,
  NameNotResolved,   // no address for the server's name
  CannotConnect,     // refused, unreachable
  Timeout,           // nothing moved for longer than the deadline
  ConnectionBroken,  // reset or closed in the middle
  SecureFailure,     // TLS or the server's certificate; its text says which
  BadAnswer,         // what came was no HTTP answer
  ProxyFailed,       // the proxy did not open the way to the server
};

// Failures that may pass, so that a try later may succeed.
constexpr bool IsPassing(NetError error) {
  return error == NetError::CannotConnect || error == NetError::Timeout ||
         error == NetError::ConnectionBroken || error == NetError::BadAnswer;
}

}  // namespace mf
