// Winsock comes before windows.h, and windows.h before wincrypt.h.
#include <winsock2.h>

#include "tests/support/HttpsFront.h"

#include <windows.h>

#include <wincrypt.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "common/Text.h"
#include "common/TextCodec.h"
#include "controls/socket/SocketHandle.h"

namespace mf::test {
namespace {

constexpr DWORD kFrontStartMs = 15000;
constexpr char kNames[4][10] = {"good", "expired", "wrongname", "untrusted"};
constexpr wchar_t kAuthoritySubject[] = L"Marrowfin Test Authority";

// The build's paths come as UTF-8.
std::wstring FromBuild(const std::string& text) { return FromCodePage(kCodePageUtf8, text); }

// A host path as this process sees it: the prefix maps the host's root to Z:.
std::wstring HostPath(const std::string& path) {
  std::wstring out = L"Z:" + FromBuild(path);
  for (wchar_t& c : out)
    if (c == L'/') c = L'\\';
  return out;
}

std::vector<BYTE> ReadBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool SameEncoding(PCCERT_CONTEXT cert, const std::vector<BYTE>& der) {
  return cert->cbCertEncoded == der.size() &&
         std::equal(der.begin(), der.end(), cert->pbCertEncoded);
}

// Test authorities of earlier builds of the certificates leave the store.
void RemoveOtherAuthorities(HCERTSTORE root, const std::vector<BYTE>& der) {
  PCCERT_CONTEXT found = nullptr;
  while ((found = CertFindCertificateInStore(root, X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_STR,
                                             kAuthoritySubject, found))) {
    if (!SameEncoding(found, der))
      CertDeleteCertificateFromStore(CertDuplicateCertificateContext(found));
  }
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// The host program runs beside the test; Wine starts host executables with
// CreateProcess, but its handle cannot be waited on, so it is let go at once
// and the control connection tells the front's life.
bool LaunchFront(uint16_t controlPort, uint16_t backendPort) {
  std::wstring command = Quoted(HostPath(MF_TLS_PYTHON)) + L" " + Quoted(FromBuild(MF_TLS_FRONT)) +
                         L" " + Quoted(FromBuild(MF_TLS_DIR)) + L" " +
                         std::to_wstring(controlPort) + L" " + std::to_wstring(backendPort);
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

bool ReadableWithin(SOCKET s, DWORD ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval wait{static_cast<long>(ms / 1000), static_cast<long>(ms % 1000) * 1000};
  return select(0, &set, nullptr, nullptr, &wait) == 1;
}

UniqueSocket Listen(uint16_t& port) {
  UniqueSocket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int len = sizeof addr;
  if (!listener || bind(listener.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listener.get(), 1) != 0 ||
      getsockname(listener.get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0)
    return {};
  port = ntohs(addr.sin_port);
  return listener;
}

// The front's first line, "good=P expired=P wrongname=P untrusted=P".
std::string ReadLineWithin(SOCKET s, DWORD ms) {
  std::string line;
  DWORD deadline = GetTickCount() + ms;
  char c = 0;
  while (line.size() < 256) {
    DWORD now = GetTickCount();
    if (static_cast<LONG>(deadline - now) <= 0 || !ReadableWithin(s, deadline - now)) return {};
    if (recv(s, &c, 1, 0) != 1) return {};
    if (c == '\n') return line;
    line += c;
  }
  return {};
}

bool ParsePorts(const std::string& line, std::array<uint16_t, 4>& ports) {
  std::istringstream words(line);
  std::string word;
  size_t i = 0;
  while (words >> word && i < ports.size()) {
    std::string prefix = std::string(kNames[i]) + "=";
    if (word.rfind(prefix, 0) != 0) return false;
    ports[i++] = static_cast<uint16_t>(std::stoul(word.substr(prefix.size())));
  }
  return i == ports.size();
}

}  // namespace

bool TrustTestAuthority() {
  std::vector<BYTE> der = ReadBytes(HostPath(MF_TLS_DIR "/ca.der"));
  if (der.empty()) return false;
  HCERTSTORE root =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
  if (!root) return false;
  RemoveOtherAuthorities(root, der);
  BOOL added = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der.data(),
                                                static_cast<DWORD>(der.size()),
                                                CERT_STORE_ADD_USE_EXISTING, nullptr);
  CertCloseStore(root, 0);
  return added != FALSE;
}

struct HttpsFront::Control {
  Control() { winsock = WSAStartup(MAKEWORD(2, 2), &wsa) == 0; }
  ~Control() {
    socket.reset();
    if (winsock) WSACleanup();
  }
  WSADATA wsa{};
  bool winsock = false;
  UniqueSocket socket;
};

HttpsFront::HttpsFront() = default;
HttpsFront::~HttpsFront() = default;

bool HttpsFront::Start(const HttpServer& server) {
  Stop();
  auto control = std::make_unique<Control>();
  if (!control->winsock || !TrustTestAuthority()) return false;
  uint16_t controlPort = 0;
  UniqueSocket listener = Listen(controlPort);
  if (!listener || !LaunchFront(controlPort, server.Port()) ||
      !ReadableWithin(listener.get(), kFrontStartMs))
    return false;
  control->socket.reset(accept(listener.get(), nullptr, nullptr));
  std::array<uint16_t, 4> ports{};
  if (!control->socket || !ParsePorts(ReadLineWithin(control->socket.get(), kFrontStartMs), ports))
    return false;
  control_ = std::move(control);
  ports_ = ports;
  return true;
}

void HttpsFront::Stop() {
  control_.reset();  // the front ends when its connection closes
  ports_ = {};
}

uint16_t HttpsFront::Port(TestCertificate certificate) const {
  return ports_[static_cast<size_t>(certificate)];
}

std::wstring HttpsFront::Url(std::string_view target, TestCertificate certificate) const {
  return L"https://localhost:" + std::to_wstring(Port(certificate)) + FromAnsi(target);
}

}  // namespace mf::test
