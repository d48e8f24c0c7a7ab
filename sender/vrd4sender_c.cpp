// The C interface: a thin shell around clsVRD4Sender that converts texts
// and keeps every exception inside.
#include "vrd4sender.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

#include "platform/Ansi.h"
#include "vrd4/clsVRD4Sender.h"

struct vrd4sender {
  vrd4::sender::clsVRD4Sender impl;
};

namespace {

using vrd4::platform::fromUtf8;
using vrd4::platform::toUtf8;

std::u16string u16(const char* s) { return s ? fromUtf8(s) : std::u16string(); }
std::string str(const char* s) { return s ? std::string(s) : std::string(); }

template <typename F, typename R = std::invoke_result_t<F, vrd4::sender::clsVRD4Sender&>>
R call(vrd4sender* s, F&& f) {
  if (!s) return R();
  try {
    return f(s->impl);
  } catch (...) {
    return R();
  }
}

}  // namespace

extern "C" {

vrd4sender* vrd4sender_new(void) {
  try {
    return new vrd4sender;
  } catch (...) {
    return nullptr;
  }
}

void vrd4sender_free(vrd4sender* s) { delete s; }

void vrd4sender_set_messagebox(vrd4sender* s, vrd4sender_messagebox_fn fn, void* user) {
  call(s, [&](auto& t) {
    if (!fn) return t.setMessageBox(nullptr);
    t.setMessageBox([fn, user](const std::u16string& text, const std::u16string& title) {
      fn(toUtf8(text).c_str(), toUtf8(title).c_str(), user);
    });
  });
}

void vrd4sender_set_message_loop(vrd4sender* s, vrd4sender_loop_fn fn, void* user) {
  call(s, [&](auto& t) {
    if (!fn) return t.setNachrichtenschleife(nullptr);
    t.setNachrichtenschleife([fn, user] { fn(user); });
  });
}

void vrd4sender_set_event(vrd4sender* s, vrd4sender_event_fn fn, void* user) {
  call(s, [&](auto& t) {
    if (!fn) return t.setEreignis(nullptr);
    t.setEreignis([fn, user](const std::u16string& art, const std::u16string& meldung) {
      fn(toUtf8(art).c_str(), toUtf8(meldung).c_str(), user);
    });
  });
}

void vrd4sender_set_reply_timeout(vrd4sender* s, double seconds) {
  call(s, [&](auto& t) { t.setAntwortZeitlimit(seconds); });
}
void vrd4sender_set_stall_limit(vrd4sender* s, double seconds) {
  call(s, [&](auto& t) { t.setStillstandGrenze(seconds); });
}
// Only an atomic store: safe from a signal handler and from another thread.
void vrd4sender_cancel(vrd4sender* s) {
  if (s) s->impl.Abbrechen();
}
void vrd4sender_cancel_reset(vrd4sender* s) {
  if (s) s->impl.AbbruchAufheben();
}
void vrd4sender_set_receiver_path(vrd4sender* s, const char* path) {
  call(s, [&](auto& t) { t.setEmpfaengerPfad(str(path)); });
}
void vrd4sender_set_keep_running(vrd4sender* s, int keep) {
  call(s, [&](auto& t) { t.setEmpfaengerWeiterlaufen(keep != 0); });
}
void vrd4sender_set_running_check(vrd4sender* s, vrd4sender_running_fn fn, void* user) {
  call(s, [&](auto& t) {
    if (!fn) return t.setLaeuftPruefung(nullptr);
    t.setLaeuftPruefung([fn, user] { return fn(user) != 0; });
  });
}
void vrd4sender_set_channel_prefix(const char* prefix) {
  try {
    vrd4::sender::clsVRD4Sender::setKanalPrefix(str(prefix));
  } catch (...) {
  }
}

int32_t vrd4sender_Initialisieren(vrd4sender* s, int64_t a, int64_t e) {
  return call(s, [&](auto& t) { return t.Initialisieren(a, e); });
}
int32_t vrd4sender_Verbinden(vrd4sender* s, int64_t a, int64_t e) {
  return call(s, [&](auto& t) { return t.Verbinden(a, e); });
}
void vrd4sender_VRD4EmpfaengerAktivPruefen(vrd4sender* s) {
  call(s, [&](auto& t) { t.VRD4EmpfaengerAktivPruefen(); });
}
int vrd4sender_EmpfaengerLaeuft(vrd4sender* s) {
  return call(s, [&](auto& t) { return t.EmpfaengerLaeuft() ? 1 : 0; });
}
int vrd4sender_fileExists(vrd4sender* s, const char* f) {
  return call(s, [&](auto& t) { return t.fileExists(str(f)) ? 1 : 0; });
}

void vrd4sender_Cls(vrd4sender* s) { call(s, [&](auto& t) { t.Cls(); }); }
void vrd4sender_Hintergrundfarbe(vrd4sender* s, int32_t f) { call(s, [&](auto& t) { t.Hintergrundfarbe(f); }); }
void vrd4sender_Vordergrundfarbe(vrd4sender* s, int32_t f) { call(s, [&](auto& t) { t.Vordergrundfarbe(f); }); }
void vrd4sender_Tafelgroesse(vrd4sender* s, int16_t b, int16_t h) {
  call(s, [&](auto& t) { t.Tafelgroesse(b, h); });
}

void vrd4sender_TextAusgabe(vrd4sender* s, int16_t x1, int16_t y1, int16_t x2, int16_t y2, const char* text,
                            int32_t ausrichtung, const char* schrift, int16_t groesse, int fett, int kursiv,
                            int unter, int durch, int transparent, int32_t vorne, int32_t hinten,
                            int lauftext, double geschw, double verz) {
  call(s, [&](auto& t) {
    t.TextAusgabe(x1, y1, x2, y2, u16(text), ausrichtung, u16(schrift), groesse, fett != 0, kursiv != 0,
                  unter != 0, durch != 0, transparent != 0, vorne, hinten, lauftext != 0, geschw, verz);
  });
}

void vrd4sender_Linie(vrd4sender* s, int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t breite,
                      int32_t farbe) {
  call(s, [&](auto& t) { t.Linie(x1, y1, x2, y2, breite, farbe); });
}
void vrd4sender_Rechteck(vrd4sender* s, int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t breite,
                         int32_t farbe, int fuellen) {
  call(s, [&](auto& t) { t.Rechteck(x1, y1, x2, y2, breite, farbe, fuellen != 0); });
}
void vrd4sender_BlinkTextLoeschen(vrd4sender* s, uint8_t n) { call(s, [&](auto& t) { t.BlinkTextLoeschen(n); }); }
void vrd4sender_LauftextLoeschen(vrd4sender* s, uint8_t n) { call(s, [&](auto& t) { t.LauftextLoeschen(n); }); }
void vrd4sender_IPAdresse(vrd4sender* s, const char* a) { call(s, [&](auto& t) { t.IPAdresse(u16(a)); }); }
void vrd4sender_Port(vrd4sender* s, const char* p) { call(s, [&](auto& t) { t.Port(u16(p)); }); }
void vrd4sender_PauseAnzeigeZiel(vrd4sender* s, const char* h) {
  call(s, [&](auto& t) { t.PauseAnzeigeZiel(u16(h)); });
}
void vrd4sender_ServerStarten(vrd4sender* s) { call(s, [&](auto& t) { t.ServerStarten(); }); }
void vrd4sender_ClientVerbinden(vrd4sender* s) { call(s, [&](auto& t) { t.ClientVerbinden(); }); }

void vrd4sender_BildAnzeigen(vrd4sender* s, const char* pfad, int anpassen, int zentrieren) {
  call(s, [&](auto& t) { t.BildAnzeigen(u16(pfad), anpassen != 0, zentrieren != 0); });
}
void vrd4sender_BildAnzeigenanPosition(vrd4sender* s, const char* pfad, int16_t x1, int16_t y1, int16_t x2,
                                       int16_t y2, int anpassen, int zentrieren) {
  call(s, [&](auto& t) { t.BildAnzeigenanPosition(u16(pfad), x1, y1, x2, y2, anpassen != 0, zentrieren != 0); });
}
void vrd4sender_AniGifStarten(vrd4sender* s, uint8_t n, double dauer) {
  call(s, [&](auto& t) { t.AniGifStarten(n, dauer); });
}
void vrd4sender_AniGifStoppen(vrd4sender* s, uint8_t n) { call(s, [&](auto& t) { t.AniGifStoppen(n); }); }
void vrd4sender_AniGifLoeschen(vrd4sender* s, uint8_t n) { call(s, [&](auto& t) { t.AniGifLoeschen(n); }); }

uint8_t vrd4sender_BlinkText(vrd4sender* s, int16_t x1, int16_t y1, int16_t x2, int16_t y2, const char* text,
                             int32_t ausrichtung, const char* schrift, int16_t groesse, int fett, int kursiv,
                             int unter, int durch, int transparent, int32_t vorne, int32_t hinten,
                             double intervall) {
  return call(s, [&](auto& t) {
    return t.BlinkText(x1, y1, x2, y2, u16(text), ausrichtung, u16(schrift), groesse, fett != 0, kursiv != 0,
                       unter != 0, durch != 0, transparent != 0, vorne, hinten, intervall);
  });
}

uint8_t vrd4sender_Lauftext(vrd4sender* s, int16_t x1, int16_t y1, int16_t x2, int16_t y2, const char* text,
                            const char* schrift, int16_t groesse, int fett, int kursiv, int unter, int durch,
                            int transparent, int32_t vorne, int32_t hinten, double geschw, double verz) {
  return call(s, [&](auto& t) {
    return t.Lauftext(x1, y1, x2, y2, u16(text), u16(schrift), groesse, fett != 0, kursiv != 0, unter != 0,
                      durch != 0, transparent != 0, vorne, hinten, geschw, verz);
  });
}

uint8_t vrd4sender_AniGifLadenanPosition(vrd4sender* s, const char* pfad, int16_t x1, int16_t y1, int16_t x2,
                                         int16_t y2, int anpassen, int zentrieren) {
  return call(s, [&](auto& t) {
    return t.AniGifLadenanPosition(u16(pfad), x1, y1, x2, y2, anpassen != 0, zentrieren != 0);
  });
}

int vrd4sender_BefehlSenden(vrd4sender* s, const char* text) {
  return call(s, [&](auto& t) { return t.BefehlSenden(u16(text)) ? 1 : 0; });
}
void vrd4sender_WartenbisPufferleer(vrd4sender* s, double w) { call(s, [&](auto& t) { t.WartenbisPufferleer(w); }); }
void vrd4sender_Event_Ausloesen(vrd4sender* s, const char* art, const char* meldung) {
  call(s, [&](auto& t) { t.Event_Ausloesen(u16(art), u16(meldung)); });
}

size_t vrd4sender_EreignisAbholen(vrd4sender* s, char* buf, size_t size) {
  return call(s, [&](auto& t) -> size_t {
    std::string text = toUtf8(t.EreignisAbholen());
    if (buf && size > 0) {
      std::size_t n = std::min(text.size(), size - 1);
      // Never cut inside a UTF-8 sequence.
      if (n < text.size())
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
      std::memcpy(buf, text.data(), n);
      buf[n] = '\0';
    }
    return text.size();
  });
}

}  // extern "C"
