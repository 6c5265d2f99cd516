#define SECURITY_WIN32
#include "controls/socket/TlsChannel.h"

#include <schannel.h>
#include <security.h>

#include <algorithm>
#include <cstring>

#include "controls/socket/ServerCertificate.h"

namespace mf {
namespace {

// ISC_REQ_STREAM: records are taken and given as a byte stream, as TCP carries them.
constexpr ULONG kContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                  ISC_REQ_CONFIDENTIALITY | ISC_REQ_EXTENDED_ERROR |
                                  ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM;

// The record type of alerts, readable in the record header up to TLS 1.2.
constexpr char kAlertRecord = 0x15;

constexpr wchar_t kBroken[] = L"The secure connection was broken";

SecBuffer Buffer(ULONG type, void* data = nullptr, size_t size = 0) {
  return SecBuffer{static_cast<ULONG>(size), type, data};
}

}  // namespace

// SSPI handles are two-word structures, not pointers: owned here and freed
// with their own calls.
struct TlsChannel::Sspi {
  Sspi() = default;
  Sspi(const Sspi&) = delete;
  Sspi& operator=(const Sspi&) = delete;
  ~Sspi() {
    if (haveContext) DeleteSecurityContext(&context);
    if (haveCredentials) FreeCredentialsHandle(&credentials);
  }
  CredHandle credentials{};
  CtxtHandle context{};
  bool haveCredentials = false;
  bool haveContext = false;
  SecPkgContext_StreamSizes sizes{};
};

TlsChannel::TlsChannel(std::wstring serverName)
    : sspi_(std::make_unique<Sspi>()), serverName_(std::move(serverName)) {}

TlsChannel::~TlsChannel() = default;

void TlsChannel::Fail(long number, std::wstring text) {
  phase_ = Phase::Failed;
  failureNumber_ = number;
  failureText_ = std::move(text);
}

void TlsChannel::Start(std::string& wire) {
  SCHANNEL_CRED settings{};
  settings.dwVersion = SCHANNEL_CRED_VERSION;
  // The server's certificate is checked by us once the handshake is done
  // (Opened): Wine's Schannel would let any certificate pass.
  settings.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
  SECURITY_STATUS s =
      AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND,
                                nullptr, &settings, nullptr, nullptr, &sspi_->credentials, nullptr);
  if (s != SEC_E_OK) return Fail(s, SecureConnectionErrorText(s));
  sspi_->haveCredentials = true;
  Handshake(wire);
}

void TlsChannel::Handshake(std::string& wire) {
  int withoutCertificate = 0;
  while (phase_ == Phase::Handshaking) {
    const bool first = !sspi_->haveContext;
    SecBuffer in[2] = {Buffer(SECBUFFER_TOKEN, received_.data(), received_.size()),
                       Buffer(SECBUFFER_EMPTY)};
    SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
    SecBuffer out[1] = {Buffer(SECBUFFER_TOKEN)};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, out};
    ULONG granted = 0;
    SECURITY_STATUS s = InitializeSecurityContextW(
        &sspi_->credentials, first ? nullptr : &sspi_->context, serverName_.data(), kContextRequest,
        0, 0, first ? nullptr : &inDesc, 0, &sspi_->context, &outDesc, &granted, nullptr);
    if (first && !FAILED(s)) sspi_->haveContext = true;
    if (out[0].pvBuffer) {
      wire.append(static_cast<const char*>(out[0].pvBuffer), out[0].cbBuffer);
      FreeContextBuffer(out[0].pvBuffer);
    }
    if (s == SEC_E_INCOMPLETE_MESSAGE) return;  // the rest of the message is still on its way
    // The server asks for a certificate of ours: there is none, and the same
    // call again goes on without one (InitializeSecurityContext (Schannel)).
    if (s == SEC_I_INCOMPLETE_CREDENTIALS && ++withoutCertificate <= 2) continue;
    if (s != SEC_E_OK && s != SEC_I_CONTINUE_NEEDED) return Fail(s, SecureConnectionErrorText(s));
    // What the call left unread begins the next message.
    const size_t before = received_.size();
    const size_t unread = in[1].BufferType == SECBUFFER_EXTRA ? in[1].cbBuffer : 0;
    if (!first) received_.erase(0, before - std::min(unread, before));
    if (s == SEC_E_OK) {
      Opened();
      return;
    }
    if (received_.empty() || received_.size() == before) return;  // wait for the server
  }
}

void TlsChannel::Opened() {
  if (!checked_) {
    PCCERT_CONTEXT certificate = nullptr;
    SECURITY_STATUS s =
        QueryContextAttributesW(&sspi_->context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate);
    long problem = s == SEC_E_OK ? CheckServerCertificate(certificate, serverName_) : s;
    if (certificate) CertFreeCertificateContext(certificate);
    if (problem != 0) return Fail(problem, SecureConnectionErrorText(problem));
    checked_ = true;
  }
  SECURITY_STATUS s =
      QueryContextAttributesW(&sspi_->context, SECPKG_ATTR_STREAM_SIZES, &sspi_->sizes);
  if (s != SEC_E_OK) return Fail(s, SecureConnectionErrorText(s));
  phase_ = Phase::Open;
}

void TlsChannel::Receive(std::string_view bytes, std::string& wire, std::string& plain) {
  if (phase_ == Phase::Failed || phase_ == Phase::Ended) return;
  received_.append(bytes);
  if (phase_ == Phase::Handshaking) Handshake(wire);
  Unseal(wire, plain);
}

void TlsChannel::Unseal(std::string& wire, std::string& plain) {
  while (phase_ == Phase::Open && !received_.empty()) {
    SecBuffer b[4] = {Buffer(SECBUFFER_DATA, received_.data(), received_.size()),
                      Buffer(SECBUFFER_EMPTY), Buffer(SECBUFFER_EMPTY), Buffer(SECBUFFER_EMPTY)};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, b};
    const bool alert = received_[0] == kAlertRecord;
    SECURITY_STATUS s = DecryptMessage(&sspi_->context, &desc, 0, nullptr);
    if (s == SEC_E_INCOMPLETE_MESSAGE) return;
    if (s != SEC_E_OK && s != SEC_I_RENEGOTIATE && s != SEC_I_CONTEXT_EXPIRED)
      return Fail(s, kBroken);
    // The text is opened in place, inside received_: taken before that is cut.
    const size_t before = plain.size();
    size_t unread = 0;
    for (const SecBuffer& x : b) {
      if (x.BufferType == SECBUFFER_DATA && x.pvBuffer && x.cbBuffer)
        plain.append(static_cast<const char*>(x.pvBuffer), x.cbBuffer);
      if (x.BufferType == SECBUFFER_EXTRA) unread = x.cbBuffer;
    }
    if (unread >= received_.size() && s == SEC_E_OK) return Fail(SEC_E_DECRYPT_FAILURE, kBroken);
    received_.erase(0, received_.size() - std::min(unread, received_.size()));
    // Wine's Schannel opens the server's close_notify as an empty record
    // (SEC_E_OK) instead of SEC_I_CONTEXT_EXPIRED. Up to TLS 1.2 an alert
    // record that opens without failing is a warning, and the only one a
    // server sends us unasked is close_notify.
    if (s == SEC_E_OK && alert && plain.size() == before) s = SEC_I_CONTEXT_EXPIRED;
    if (s == SEC_I_CONTEXT_EXPIRED) {  // the server's close_notify
      phase_ = Phase::Ended;
      received_.clear();
      SayGoodbye(wire);
      return;
    }
    // A handshake message after the handshake (a TLS 1.3 ticket, a
    // renegotiation): what is left goes back to InitializeSecurityContext.
    if (s == SEC_I_RENEGOTIATE) {
      phase_ = Phase::Handshaking;
      Handshake(wire);
    }
  }
}

void TlsChannel::SayGoodbye(std::string& wire) {
  // A close_notify is answered with one (RFC 5246, 7.2.1): servers may hold
  // the connection open until it comes. Schannel makes it once told to shut
  // down (ApplyControlToken, SCHANNEL_SHUTDOWN).
  DWORD shutdown = SCHANNEL_SHUTDOWN;
  SecBuffer control = Buffer(SECBUFFER_TOKEN, &shutdown, sizeof shutdown);
  SecBufferDesc controlDesc{SECBUFFER_VERSION, 1, &control};
  if (ApplyControlToken(&sspi_->context, &controlDesc) != SEC_E_OK) return;
  SecBuffer out[1] = {Buffer(SECBUFFER_TOKEN)};
  SecBufferDesc outDesc{SECBUFFER_VERSION, 1, out};
  ULONG granted = 0;
  InitializeSecurityContextW(&sspi_->credentials, &sspi_->context, serverName_.data(),
                             kContextRequest, 0, 0, nullptr, 0, &sspi_->context, &outDesc, &granted,
                             nullptr);
  if (out[0].pvBuffer) {
    wire.append(static_cast<const char*>(out[0].pvBuffer), out[0].cbBuffer);
    FreeContextBuffer(out[0].pvBuffer);
  }
}

bool TlsChannel::Seal(std::string_view plain, std::string& wire) {
  if (phase_ != Phase::Open) return false;
  const SecPkgContext_StreamSizes& z = sspi_->sizes;
  std::string record;
  while (!plain.empty()) {
    const size_t n = std::min<size_t>(plain.size(), z.cbMaximumMessage);
    // Header, text and trailer lie one after the other (EncryptMessage (Schannel)).
    record.assign(z.cbHeader + n + z.cbTrailer, '\0');
    memcpy(record.data() + z.cbHeader, plain.data(), n);
    SecBuffer b[4] = {Buffer(SECBUFFER_STREAM_HEADER, record.data(), z.cbHeader),
                      Buffer(SECBUFFER_DATA, record.data() + z.cbHeader, n),
                      Buffer(SECBUFFER_STREAM_TRAILER, record.data() + z.cbHeader + n, z.cbTrailer),
                      Buffer(SECBUFFER_EMPTY)};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, b};
    SECURITY_STATUS s = EncryptMessage(&sspi_->context, 0, &desc, 0);
    if (s != SEC_E_OK) {
      Fail(s, kBroken);
      return false;
    }
    wire.append(record.data(), b[0].cbBuffer + b[1].cbBuffer + b[2].cbBuffer);
    plain.remove_prefix(n);
  }
  return true;
}

}  // namespace mf
