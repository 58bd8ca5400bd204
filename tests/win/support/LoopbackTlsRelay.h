// Windows only. https for the tests: a TLS front for a LoopbackHttpServer,
// served as "localhost" with a test certificate, and the test CA trusted in
// the current user's root store while a test needs it.
//
// The TLS side is a helper program, tests/win/tls/tls_relay.py, started with
// the Python that TARNIX_TLS_PYTHON names, from the folder TARNIX_TLS_DIR
// that holds it and the certificates the build made
// (tests/win/tls/make-test-certs.sh). Wine has no server side of its secure
// channel, so the stub's own TLS stack is the client and Python's the
// server; on Windows any Python 3 serves the same. Without the two
// variables the https tests are skipped with that reason.
//
//   TrustedTestCa trust;                      // trusted until it goes
//   LoopbackTlsRelay tls(server.Port(), LoopbackTlsRelay::kTrusted);
//   ... download tls.Url("/setup.exe") ...    // https://localhost:<port>/setup.exe
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Utils/UniqueResource.h"

namespace tarnix::test {

class LoopbackTlsRelay {
 public:
  // The certificate the relay shows: one the test CA issued for localhost,
  // or a self-signed one that nobody trusts.
  enum Certificate { kTrusted, kUntrusted };

  LoopbackTlsRelay(uint16_t backendPort, Certificate certificate);
  ~LoopbackTlsRelay();
  LoopbackTlsRelay(const LoopbackTlsRelay&) = delete;
  LoopbackTlsRelay& operator=(const LoopbackTlsRelay&) = delete;

  // Why no relay can run here; empty when one can.
  static std::string Unavailable();

  bool Running() const { return port_ != 0; }
  // "https://localhost:<port>" + path.
  std::string Url(std::string_view path) const;

 private:
  uintptr_t control_;
  uint16_t port_ = 0;
};

// The test CA in the current user's root store from construction to
// destruction; a store of the test's own Wine prefix under Wine.
class TrustedTestCa {
 public:
  TrustedTestCa();
  ~TrustedTestCa();
  TrustedTestCa(const TrustedTestCa&) = delete;
  TrustedTestCa& operator=(const TrustedTestCa&) = delete;

  bool Trusted() const { return added_; }

 private:
  bool added_ = false;
};

}  // namespace tarnix::test
