#include <winsock2.h>
#include <ws2tcpip.h>

#include "LoopbackTlsRelay.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstdlib>
#include <string>

#include "Utils/UniqueResource.h"
#include "win/DebugTestSupport.h"

namespace tarnix::test {

namespace {

using UniqueSocket = UniqueResource<SimpleTraits<SOCKET, &::closesocket, INVALID_SOCKET>>;

// Python's start under Wine takes a while on a loaded machine.
constexpr long kStartSeconds = 60;

std::string Env(const char* name) { return PathFromEnv(name); }

// A listening socket on a free port of 127.0.0.1.
UniqueSocket Listen(uint16_t& port) {
  UniqueSocket listener(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (!listener || ::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener.get(), 1) != 0 ||
      ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return {};
  port = ntohs(address.sin_port);
  return listener;
}

// The relay's first line: the port it serves on; 0 when none comes.
uint16_t ReadPort(SOCKET control) {
  std::string line;
  char c = 0;
  while (line.size() < 8 && ::recv(control, &c, 1, 0) == 1 && c != '\n') line += c;
  return static_cast<uint16_t>(std::atoi(line.c_str()));
}

std::string CaPath() { return Env("TARNIX_TLS_DIR") + "\\ca.der"; }

}  // namespace

std::string LoopbackTlsRelay::Unavailable() {
  if (Env("TARNIX_TLS_DIR").empty() || Env("TARNIX_TLS_PYTHON").empty())
    return "TARNIX_TLS_DIR and TARNIX_TLS_PYTHON name no TLS relay";
  if (::GetFileAttributesA(CaPath().c_str()) == INVALID_FILE_ATTRIBUTES) return CaPath() + " is missing";
  return {};
}

LoopbackTlsRelay::LoopbackTlsRelay(uint16_t backendPort, Certificate certificate) : control_(INVALID_SOCKET) {
  WSADATA data;
  if (!Unavailable().empty() || ::WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
  uint16_t controlPort = 0;
  UniqueSocket listener = Listen(controlPort);
  if (!listener) return;
  const char* name = certificate == kTrusted ? "trusted" : "untrusted";
  // Relative names: under Wine the Unix program gets its arguments as they
  // stand, and its working folder as a Unix path.
  std::string commandLine = "\"" + Env("TARNIX_TLS_PYTHON") + "\" tls_relay.py --cert " + name + ".pem --key " +
                            name + ".key --backend " + std::to_string(backendPort) + " --control " +
                            std::to_string(controlPort);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        Env("TARNIX_TLS_DIR").c_str(), &startup, &process))
    return;
  UniqueHandle thread(process.hThread), handle(process.hProcess);
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(listener.get(), &ready);
  timeval wait{kStartSeconds, 0};
  if (::select(0, &ready, nullptr, nullptr, &wait) != 1) return;
  UniqueSocket control(::accept(listener.get(), nullptr, nullptr));
  if (!control) return;
  port_ = ReadPort(control.get());
  // The relay ends when this connection closes, also when the test dies.
  if (port_ != 0) control_ = control.release();
}

LoopbackTlsRelay::~LoopbackTlsRelay() {
  if (control_ != INVALID_SOCKET) ::closesocket(control_);
}

std::string LoopbackTlsRelay::Url(std::string_view path) const {
  return "https://localhost:" + std::to_string(port_) + std::string(path);
}

namespace {

void CloseCertStore(HCERTSTORE store) { ::CertCloseStore(store, 0); }
using UniqueCertStore = UniqueResource<SimpleTraits<HCERTSTORE, &CloseCertStore>>;
using UniqueCertificate = UniqueResource<SimpleTraits<PCCERT_CONTEXT, &::CertFreeCertificateContext>>;

// The current user's root store in the registry itself: the system store of
// that name also shows the machine's roots, and a certificate deleted
// through it stays in the registry.
UniqueCertStore OpenUserRoots() {
  return UniqueCertStore(::CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER,
                                         "Root"));
}

}  // namespace

TrustedTestCa::TrustedTestCa() {
  const std::string der = ReadWholeFile(CaPath());
  const UniqueCertStore store = OpenUserRoots();
  if (der.empty() || !store) return;
  added_ = ::CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING,
                                              reinterpret_cast<const BYTE*>(der.data()), DWORD(der.size()),
                                              CERT_STORE_ADD_REPLACE_EXISTING, nullptr) != FALSE;
}

TrustedTestCa::~TrustedTestCa() {
  if (!added_) return;
  const std::string der = ReadWholeFile(CaPath());
  const UniqueCertStore store = OpenUserRoots();
  const UniqueCertificate ca(::CertCreateCertificateContext(
      X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), DWORD(der.size())));
  if (!store || !ca) return;
  // Deleting frees the context found.
  if (PCCERT_CONTEXT found =
          ::CertFindCertificateInStore(store.get(), X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, ca.get(), nullptr))
    ::CertDeleteCertificateFromStore(found);
}

}  // namespace tarnix::test
