#pragma once
// The status list speaks German: what the broker answered to a connect, and
// why a connection or a library call failed, in our own words instead of
// libmosquitto's English texts. Std only.
#include <string>

namespace vrd4::halle {

// The broker's answer to a connect (CONNACK code; 0: accepted).
std::string verweigerungsText(int connack);
// A libmosquitto error code (MOSQ_ERR_*), e.g. why the connection went;
// 0 is a disconnect of our own ("getrennt").
std::string fehlerText(int mosqErr);
// A system error number (errno) behind MOSQ_ERR_ERRNO.
std::string systemfehlerText(int fehlerNr);

// Why an attempt failed or a connection ended, as one line:
//  - "Broker verweigert: X" when the broker refused the connect (`connack`
//    its CONNACK code, not 0);
//  - "Verbindung zum Broker: TLS-Aushandlung gescheitert (Zertifikat?): R"
//    when the TLS handshake failed, R the reason OpenSSL gave (`tls`; left
//    out when empty);
//  - else "Verbindung zum Broker: X" from libmosquitto's code `mosqErr` and,
//    for MOSQ_ERR_ERRNO, the system's `fehlerNr`. A connection that was up
//    (`warVerbunden`) and ends for an error of the TLS layer is
//    "Verbindung verloren".
std::string ursacheText(int connack, int mosqErr, int fehlerNr, const std::string& tls, bool warVerbunden);

}  // namespace vrd4::halle
