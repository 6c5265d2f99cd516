#pragma once
// HTTPS for tests: https://localhost:<port>/... with one of the test
// certificates, answered by the routes of a running HttpServer.
//
// Schannel under Wine can only be a client, so the TLS side is a small
// program of the host (tests/support/tls/tls_front.py) that the front starts
// and that forwards every connection to the server's plain port. It ends
// when the front stops or the test process ends. The certificates are made
// at build time into the build tree (tests/support/tls/make_test_certs.sh).
// Certificate names are matched by DNS name, so addresses use "localhost":
// the same port reached as 127.0.0.1 fails the name check.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "tests/support/HttpServer.h"

namespace mf::test {

enum class TestCertificate {
  Good,       // localhost, valid, issued by the test authority
  Expired,    // localhost, issued by the test authority, ended in 2020
  WrongName,  // "wrong.invalid", valid, issued by the test authority
  Untrusted,  // localhost, valid, issued (with its chain) by an authority nobody trusts
};

// Makes the test prefix trust the test authority: it is put in the prefix's
// LocalMachine Root store (kept in the prefix's registry, inside the build
// tree; nothing of the host changes). Older test authorities are removed.
bool TrustTestAuthority();

class HttpsFront {
 public:
  HttpsFront();
  ~HttpsFront();
  HttpsFront(const HttpsFront&) = delete;
  HttpsFront& operator=(const HttpsFront&) = delete;

  // Trusts the test authority and starts serving `server` (already started)
  // over TLS, one port per certificate. False when the front did not come up.
  bool Start(const HttpServer& server);
  // Ends the front; its ports close.
  void Stop();

  uint16_t Port(TestCertificate certificate = TestCertificate::Good) const;
  // "https://localhost:<port>" followed by the target.
  std::wstring Url(std::string_view target,
                   TestCertificate certificate = TestCertificate::Good) const;

 private:
  struct Control;  // the connection whose end ends the front
  std::unique_ptr<Control> control_;
  std::array<uint16_t, 4> ports_{};
};

}  // namespace mf::test
