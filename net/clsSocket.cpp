#include "net/clsSocket.h"

namespace vrd4::net {

struct clsSocket::Impl {
  int32_t state = sckClosed;
  QString leer;
};

clsSocket::clsSocket() : d_(std::make_shared<Impl>()) {}
clsSocket::~clsSocket() = default;

int32_t clsSocket::State() const { return d_->state; }
int32_t clsSocket::SocketHandle() const { return 0; }
int32_t clsSocket::SSLHandle() const { return 0; }
const QString& clsSocket::SSLCipher() const { return d_->leer; }
const QString& clsSocket::SSLSubject() const { return d_->leer; }
const QString& clsSocket::SSLIssuer() const { return d_->leer; }
bool clsSocket::SSLTrusted() const { return false; }
QString clsSocket::LocalIP() const { return MyIP(); }

void clsSocket::Connect(const QString&, int32_t) {}
void clsSocket::Listen() {}
void clsSocket::Accept(clsSocket&) {}
void clsSocket::SendData(std::u16string_view) {}
void clsSocket::SendData(const QString&) {}
void clsSocket::SendData(std::uint8_t) {}
void clsSocket::SendData(std::span<const std::uint8_t>) {}
void clsSocket::Disconnect() { d_->state = sckClosed; }
bool clsSocket::SendDataTo(const QString&, int32_t, std::span<const std::uint8_t>) { return false; }
bool clsSocket::SendFile(const QString&) { return false; }
void clsSocket::setReadingPaused(bool) {}
bool clsSocket::readingPaused() const { return false; }
std::int64_t clsSocket::BytesToWrite() const { return 0; }
QString clsSocket::GetIP(const QString&, int32_t) { return {}; }
QString clsSocket::GetDNS(const QString&) { return {}; }
QString clsSocket::MyName() { return {}; }
QString clsSocket::MyIP() { return {}; }
bool clsSocket::IsPrivateIP(const QString&) { return false; }

}  // namespace vrd4::net
