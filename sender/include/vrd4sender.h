/* vrd4sender: C interface of the VRD4Empfaenger sender library.
 *
 * One function per operation of the C++ class vrd4::sender::clsVRD4Sender
 * (see vrd4/clsVRD4Sender.h for what each does); the names are the
 * operation names with the prefix "vrd4sender_".
 *
 *   vrd4sender* t = vrd4sender_new();
 *   if (t && vrd4sender_Initialisieren(t, 0, 0) == 1) {
 *     vrd4sender_Cls(t);
 *     vrd4sender_TextAusgabe(t, 1, 1, 768, 60, "Finale", 4, "Arial", 40,
 *                            1, 0, 0, 0, 0, 0xFFFFFF, 0, 0, 0.0, 0.0);
 *   }
 *   vrd4sender_free(t);   (ends the receiver)
 *
 * Texts are UTF-8, zero-terminated; NULL reads as the empty text. Booleans
 * are int (0 false, anything else true). A NULL handle makes every function
 * do nothing and return 0. No function lets an error escape; problems are
 * events (vrd4sender_set_event) with kind "BefehlFehler". Use one handle from
 * one thread. Callbacks are called on the calling thread, during the call
 * that raises them; their text arguments are valid only during the call.
 */
#ifndef VRD4SENDER_H
#define VRD4SENDER_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vrd4sender vrd4sender;

typedef void (*vrd4sender_messagebox_fn)(const char* text, const char* title, void* user);
typedef void (*vrd4sender_loop_fn)(void* user);
typedef void (*vrd4sender_event_fn)(const char* art, const char* meldung, void* user);

/* Opens the channel (resets its ring). NULL if that fails. */
vrd4sender* vrd4sender_new(void);
/* Ends the receiver (unless keep_running) and releases the handle. */
void vrd4sender_free(vrd4sender* s);

/* Settings. A NULL function restores the default (message boxes to
 * standard error; the loop sleeps 1 ms; no event callback). */
void vrd4sender_set_messagebox(vrd4sender* s, vrd4sender_messagebox_fn fn, void* user);
void vrd4sender_set_message_loop(vrd4sender* s, vrd4sender_loop_fn fn, void* user);
void vrd4sender_set_event(vrd4sender* s, vrd4sender_event_fn fn, void* user);
void vrd4sender_set_reply_timeout(vrd4sender* s, double seconds); /* default: none (0); <= 0: none */
/* A running receiver without a sign of life for this many seconds counts as
 * not answering (stopped, hung): the wait ends with the event
 * "VRD4Empfaenger_Steuerung: Empfänger reagiert nicht!". Default 0: off. */
void vrd4sender_set_stall_limit(vrd4sender* s, double seconds);
/* Cancelling a wait. vrd4sender_cancel ends the wait the handle is in (a
 * reply, a free slot, the receiver's start, WartenbisPufferleer) within a
 * few milliseconds plus one pass of the message loop, and every later wait
 * until vrd4sender_cancel_reset: the command is not sent (a reply command
 * returns 0), event "VRD4Empfaenger_Steuerung: Warten abgebrochen!". It only
 * sets an atomic flag, so it may be called from a signal handler or another
 * thread, unlike every other function here. A command that finds its slot
 * free is still sent. */
void vrd4sender_cancel(vrd4sender* s);
void vrd4sender_cancel_reset(vrd4sender* s);
void vrd4sender_set_receiver_path(vrd4sender* s, const char* path); /* NULL/"": usual search */
void vrd4sender_set_keep_running(vrd4sender* s, int keep);
/* For tests of programs that embed the sender: replaces the receiver
 * process test (fn returns non-zero while "running"); NULL restores it. */
typedef int (*vrd4sender_running_fn)(void* user);
void vrd4sender_set_running_check(vrd4sender* s, vrd4sender_running_fn fn, void* user);
/* Prefix of the shared-memory names (receiver started with --prefix);
 * before the first _new. */
void vrd4sender_set_channel_prefix(const char* prefix);

/* Start and liveness. Window handles are X11 window ids (0: none). */
int32_t vrd4sender_Initialisieren(vrd4sender* s, int64_t AufrufFensterHwnd, int64_t EventFensterHwnd);
int32_t vrd4sender_Verbinden(vrd4sender* s, int64_t AufrufFensterHwnd, int64_t EventFensterHwnd);
void vrd4sender_VRD4EmpfaengerAktivPruefen(vrd4sender* s);
int vrd4sender_EmpfaengerLaeuft(vrd4sender* s);
int vrd4sender_fileExists(vrd4sender* s, const char* sFile);

/* Commands. */
void vrd4sender_Cls(vrd4sender* s);
void vrd4sender_Hintergrundfarbe(vrd4sender* s, int32_t Hintergrundfarbe);
void vrd4sender_Vordergrundfarbe(vrd4sender* s, int32_t Vordergrundfarbe);
void vrd4sender_Tafelgroesse(vrd4sender* s, int16_t Breite, int16_t Hoehe);
void vrd4sender_TextAusgabe(vrd4sender* s, int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde,
                            const char* Ausgabetext, int32_t Ausrichtung, const char* Schriftart,
                            int16_t SchriftgroesseinPixel, int Fett, int Kursiv, int Unterstrichen,
                            int Durchgestrichen, int Transparent, int32_t FeldVordergrundfarbe,
                            int32_t FeldHintergrundfarbe, int LauftextbeiBedarf, double Geschwindigkeit,
                            double Startverzoegerung);
void vrd4sender_Linie(vrd4sender* s, int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde,
                      int16_t Linienbreite, int32_t Farbe);
void vrd4sender_Rechteck(vrd4sender* s, int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde,
                         int16_t Linienbreite, int32_t Farbe, int Fuellen);
void vrd4sender_BlinkTextLoeschen(vrd4sender* s, uint8_t BlinkNr);
void vrd4sender_LauftextLoeschen(vrd4sender* s, uint8_t LauftextNr);
void vrd4sender_IPAdresse(vrd4sender* s, const char* Adresse);
void vrd4sender_Port(vrd4sender* s, const char* Port);
void vrd4sender_PauseAnzeigeZiel(vrd4sender* s, const char* strHundertstelSek);
void vrd4sender_ServerStarten(vrd4sender* s);
void vrd4sender_ClientVerbinden(vrd4sender* s);
void vrd4sender_BildAnzeigen(vrd4sender* s, const char* BildnamemitPfad, int GroesseAnpassen,
                             int BeiKleinerZentrieren);
void vrd4sender_BildAnzeigenanPosition(vrd4sender* s, const char* BildnamemitPfad, int16_t Xstart,
                                       int16_t Ystart, int16_t Xende, int16_t YEnde, int GroesseAnpassen,
                                       int BeiKleinerZentrieren);
void vrd4sender_AniGifStarten(vrd4sender* s, uint8_t AniGifNr, double AnzeigeDauer);
void vrd4sender_AniGifStoppen(vrd4sender* s, uint8_t AniGifNr);
void vrd4sender_AniGifLoeschen(vrd4sender* s, uint8_t AniGifNr);

/* Commands that return the slot number the receiver assigned (0: none). */
uint8_t vrd4sender_BlinkText(vrd4sender* s, int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde,
                             const char* Ausgabetext, int32_t Ausrichtung, const char* Schriftart,
                             int16_t SchriftgroesseinPixel, int Fett, int Kursiv, int Unterstrichen,
                             int Durchgestrichen, int Transparent, int32_t FeldVordergrundfarbe,
                             int32_t FeldHintergrundfarbe, double Intervall);
uint8_t vrd4sender_Lauftext(vrd4sender* s, int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde,
                            const char* Ausgabetext, const char* Schriftart, int16_t SchriftgroesseinPixel,
                            int Fett, int Kursiv, int Unterstrichen, int Durchgestrichen, int Transparent,
                            int32_t FeldVordergrundfarbe, int32_t FeldHintergrundfarbe,
                            double Geschwindigkeit, double Startverzoegerung);
uint8_t vrd4sender_AniGifLadenanPosition(vrd4sender* s, const char* BildnamemitPfad, int16_t Xstart,
                                         int16_t Ystart, int16_t Xende, int16_t YEnde, int GroesseAnpassen,
                                         int BeiKleinerZentrieren);

/* Low level. */
int vrd4sender_BefehlSenden(vrd4sender* s, const char* text); /* 1 sent, 0 not */
void vrd4sender_WartenbisPufferleer(vrd4sender* s, double Wartezeit);
void vrd4sender_Event_Ausloesen(vrd4sender* s, const char* Art, const char* Meldung);
/* Takes the last event text ("Art;Meldung", UTF-8) and empties it. Copies
 * at most size-1 bytes plus a terminating zero into buf (when size > 0) and
 * returns the full length in bytes (0: no event); a result >= size means
 * the text was cut (and was taken all the same). */
size_t vrd4sender_EreignisAbholen(vrd4sender* s, char* buf, size_t size);

#ifdef __cplusplus
}
#endif

#endif /* VRD4SENDER_H */
