#include "hall/Verbindungstext.h"

#include <mosquitto.h>

#include <cerrno>

namespace vrd4::halle {

std::string verweigerungsText(int connack) {
  switch (connack) {
    case 0: return "angenommen";
    case 1: return "Protokollversion nicht unterstützt";
    case 2: return "Client-Kennung abgelehnt";
    case 3: return "Broker nicht verfügbar";
    case 4: return "Benutzername oder Passwort falsch";
    case 5: return "nicht berechtigt";
    default: return "Antwort " + std::to_string(connack);
  }
}

std::string fehlerText(int mosqErr) {
  switch (mosqErr) {
    case MOSQ_ERR_SUCCESS: return "getrennt";
    case MOSQ_ERR_NOMEM: return "kein Speicher";
    case MOSQ_ERR_PROTOCOL: return "Protokollfehler";
    case MOSQ_ERR_INVAL: return "ungültiger Wert";
    case MOSQ_ERR_NO_CONN: return "keine Verbindung";
    case MOSQ_ERR_CONN_REFUSED: return "Verbindung abgelehnt";
    case MOSQ_ERR_NOT_FOUND: return "nicht gefunden";
    case MOSQ_ERR_CONN_LOST: return "Verbindung verloren";
    case MOSQ_ERR_TLS: return "TLS-Fehler (Zertifikat oder Datei)";
    case MOSQ_ERR_PAYLOAD_SIZE: return "Nachricht zu groß";
    case MOSQ_ERR_NOT_SUPPORTED: return "nicht unterstützt";
    case MOSQ_ERR_AUTH: return "Anmeldung abgelehnt";
    case MOSQ_ERR_ACL_DENIED: return "keine Berechtigung für das Topic";
    case MOSQ_ERR_ERRNO: return "Netzwerkfehler";
    case MOSQ_ERR_EAI: return "Rechnername nicht auflösbar";
    case MOSQ_ERR_PROXY: return "Proxy-Fehler";
    case MOSQ_ERR_KEEPALIVE: return "Broker antwortet nicht mehr";
    case MOSQ_ERR_LOOKUP: return "Rechnername nicht auflösbar";
    case MOSQ_ERR_MALFORMED_PACKET: return "fehlerhaftes Paket vom Broker";
    case MOSQ_ERR_TLS_HANDSHAKE: return "TLS-Aushandlung gescheitert (Zertifikat?)";
    case MOSQ_ERR_OVERSIZE_PACKET: return "Paket zu groß";
    case MOSQ_ERR_TIMEOUT: return "Zeitüberschreitung";
    case MOSQ_ERR_ADMINISTRATIVE_ACTION: return "vom Broker getrennt";
    default: return "Fehler " + std::to_string(mosqErr);
  }
}

std::string systemfehlerText(int n) {
  switch (n) {
    case ECONNREFUSED: return "Verbindung abgelehnt (kein Broker an der Adresse?)";
    case ECONNRESET: return "Verbindung zurückgesetzt";
    case ECONNABORTED: return "Verbindung abgebrochen";
    case EPIPE: return "Verbindung abgebrochen";
    case ETIMEDOUT: return "Zeitüberschreitung";
    case EHOSTUNREACH: return "Rechner nicht erreichbar";
    case ENETUNREACH: return "Netz nicht erreichbar";
    case ENETDOWN: return "Netz nicht verfügbar";
    case EADDRNOTAVAIL: return "Adresse nicht verfügbar";
    case EMFILE:
    case ENFILE: return "zu viele offene Dateien";
    case ENOMEM:
    case ENOBUFS: return "kein Speicher";
    case EPROTO: return "TLS-Aushandlung gescheitert (Zertifikat?)";
    default: return "Netzwerkfehler (Fehlernummer " + std::to_string(n) + ")";
  }
}

std::string ursacheText(int connack, int mosqErr, int fehlerNr, const std::string& tls, bool warVerbunden) {
  if (connack != 0) return "Broker verweigert: " + verweigerungsText(connack);
  const bool tlsFehler = mosqErr == MOSQ_ERR_TLS || mosqErr == MOSQ_ERR_TLS_HANDSHAKE ||
                         (mosqErr == MOSQ_ERR_ERRNO && fehlerNr == EPROTO);
  std::string text;
  if (tlsFehler && warVerbunden) {
    text = fehlerText(MOSQ_ERR_CONN_LOST);
  } else if (tlsFehler) {
    text = fehlerText(MOSQ_ERR_TLS_HANDSHAKE);
    if (!tls.empty()) text += ": " + tls;
  } else if (mosqErr == MOSQ_ERR_ERRNO) {
    text = systemfehlerText(fehlerNr);
  } else {
    text = fehlerText(mosqErr);
  }
  return "Verbindung zum Broker: " + text;
}

}  // namespace vrd4::halle
