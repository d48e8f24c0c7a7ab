#include "net/modSocket.h"

#include <cerrno>
#include <utility>

namespace vrd4::net {

namespace {

struct Eintrag {
  int32_t nummer;
  const char* text;
};

constexpr Eintrag kTexte[] = {
    {10004, "Interrupted system call."},
    {10009, "Bad file number."},
    {10013, "Permission Denied."},
    {10014, "Bad Address."},
    {10022, "Invalid Argument."},
    {10024, "Too many open files."},
    {10035, "Operation would block."},
    {10036, "Operation now in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on nonsocket."},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket."},
    {10042, "Protocol not available."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported on socket."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Can't assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Network dropped connection."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Can't send after socket shutdown."},
    {10059, "Too many references: can't splice."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10062, "Too many levels of symbolic links."},
    {10063, "File name too long."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10066, "Directory not empty."},
    {10067, "Too many processes."},
    {10068, "Too many users."},
    {10069, "Disk quota exceeded."},
    {10070, "Stale NFS file handle."},
    {10071, "Too many levels of remote in path."},
    {10091, "Network subsystem is unusable."},
    {10092, "Winsock DLL cannot support this application."},
    {10093, "Winsock not Initized."},
    {10101, "Disconnect."},
    {11001, "Host not found."},
    {11002, "Nonauthoritative host not found."},
    {11003, "Nonrecoverable error."},
    {11004, "Valid name, no data record of requested type."},
};

// Winsock numbers are the BSD errno values + 10000; Linux numbers its
// errno differently, so the names are matched.
constexpr std::pair<int, int32_t> kErrno[] = {
    {EINTR, 10004},        {EBADF, 10009},           {EACCES, 10013},
    {EPERM, 10013},        {EFAULT, 10014},          {EINVAL, 10022},
    {EMFILE, 10024},       {EWOULDBLOCK, 10035},     {EINPROGRESS, 10036},
    {EALREADY, 10037},     {ENOTSOCK, 10038},        {EDESTADDRREQ, 10039},
    {EMSGSIZE, 10040},     {EPROTOTYPE, 10041},      {ENOPROTOOPT, 10042},
    {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},
    {EPFNOSUPPORT, 10046}, {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},
    {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},       {ENETUNREACH, 10051},
    {ENETRESET, 10052},    {ECONNABORTED, 10053},    {ECONNRESET, 10054},
    {ENOBUFS, 10055},      {EISCONN, 10056},         {ENOTCONN, 10057},
    {ESHUTDOWN, 10058},    {ETOOMANYREFS, 10059},    {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061}, {ELOOP, 10062},           {ENAMETOOLONG, 10063},
    {EHOSTDOWN, 10064},    {EHOSTUNREACH, 10065},    {ENOTEMPTY, 10066},
    {EUSERS, 10068},       {EDQUOT, 10069},          {ESTALE, 10070},
    {EREMOTE, 10071},
};

}  // namespace

int32_t winsockNummer(int systemFehler) {
  for (const auto& [e, w] : kErrno)
    if (e == systemFehler) return w;
  return 0;
}

QString winsockFehlertext(int32_t nummer) {
  for (const Eintrag& e : kTexte)
    if (e.nummer == nummer) return QString::fromLatin1(e.text);
  return QStringLiteral("???");
}

int32_t neueSocketKennung() {
  // One thread owns all sockets (the GUI thread); no atomics needed.
  static int32_t naechste = 0;
  naechste = naechste == INT32_MAX ? 1 : naechste + 1;
  return naechste;
}

}  // namespace vrd4::net

// --- name helpers of clsSocket ---------------------------------------------------

#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkInterface>

#include "net/clsSocket.h"

namespace vrd4::net {

namespace {

QList<QHostAddress> ipv4Adressen(const QList<QHostAddress>& alle) {
  QList<QHostAddress> v4;
  for (const QHostAddress& a : alle)
    if (a.protocol() == QAbstractSocket::IPv4Protocol) v4.append(a);
  return v4;
}

}  // namespace

QString clsSocket::GetIP(const QString& hostname, int32_t adapter) {
  const QList<QHostAddress> v4 = ipv4Adressen(QHostInfo::fromName(hostname).addresses());
  if (adapter < 0 || adapter >= v4.size()) return {};
  return v4[adapter].toString();
}

QString clsSocket::GetDNS(const QString& ip) {
  if (QHostAddress(ip).isNull()) return {};
  const QHostInfo info = QHostInfo::fromName(ip);
  return info.error() == QHostInfo::NoError ? info.hostName() : QString();
}

QString clsSocket::MyName() { return QHostInfo::localHostName(); }

QString clsSocket::MyIP() {
  QString privat, oeffentlich;
  for (const QHostAddress& a : ipv4Adressen(QNetworkInterface::allAddresses())) {
    const QString text = a.toString();
    (IsPrivateIP(text) ? privat : oeffentlich) = text;
  }
  return oeffentlich.isEmpty() ? privat : oeffentlich;
}

bool clsSocket::IsPrivateIP(const QString& ip) {
  const QHostAddress a(ip);
  if (a.protocol() != QAbstractSocket::IPv4Protocol) return false;
  const quint32 v = a.toIPv4Address();
  const unsigned b1 = v >> 24, b2 = (v >> 16) & 0xFF;
  return b1 == 10 || (b1 == 172 && b2 >= 16 && b2 <= 31) || (b1 == 192 && b2 == 168) ||
         (b1 == 127 && b2 == 0);
}

}  // namespace vrd4::net
