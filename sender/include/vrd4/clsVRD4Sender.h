#pragma once
// clsVRD4Sender: drives a VRD4Empfaenger display receiver on the same
// computer from a sending program (a tournament program, a script tool).
//
//   vrd4::sender::clsVRD4Sender tafel;        // opens the shared channel
//   if (tafel.Initialisieren(0, myWindow) == 1) {  // (re)starts the receiver
//     tafel.Cls();
//     tafel.TextAusgabe(1, 1, 768, 60, u"Finale", 4, u"Arial", 40, true, false,
//                       false, false, false, 0xFFFFFF, 0, false, 0, 0);
//   }
//   // the object ending ends the receiver
//
// Threading: one object per program, used from one thread (the program's
// user-interface thread). Every command method checks that the receiver
// process runs, writes one command into the channel's ring and returns; it
// never throws. Problems reach the program as events (see Event_Ausloesen):
// kind "BefehlFehler" with a German message. Start-up problems are message
// boxes (see setMessageBox).
//
// Texts are UTF-16 (u"..."); numbers go into the command as decimal text,
// Booleans as "-1"/"0", fractions with "." as decimal point. Colours are
// 0x00BBGGRR values. Window handles are X11 window ids (0: none).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace vrd4::sender {

class clsVRD4Sender {
 public:
  // Opens (creates) the channel's variables, which resets the command ring;
  // the first command goes into slot 0.
  clsVRD4Sender();
  // Writes the stop request ("-1" into clsVRD4ProgrammBeenden): the receiver
  // ends on its next tick (unless setEmpfaengerWeiterlaufen(true)). Then
  // releases the channel's variables when this is the process's last sender.
  ~clsVRD4Sender();
  clsVRD4Sender(const clsVRD4Sender&) = delete;
  clsVRD4Sender& operator=(const clsVRD4Sender&) = delete;

  // --- Start and liveness --------------------------------------------------
  // Registers the program's window and the window that receives event texts
  // as its title, ends a receiver that already runs (message box
  // "VRD4Empfaenger.exe bereits geladen!" …) and starts a new one, detached
  // (see EmpfaengerLogDatei), with this program's environment; then waits (running the message loop)
  // until the receiver has opened the channel, at most the reply time limit
  // (10 s when that is off). Both ring counters start again at slot 0 with
  // the new receiver. 1 on success; 0 after the message box
  // "VRD4Empfaenger.exe fehlt!" (no receiver executable, nothing written) or
  // "VRD4-Farbe Empfangsprogramm konnte nicht gestartet werden!"; 0
  // without a message when a wait was cancelled (Abbrechen) before the start.
  int32_t Initialisieren(int64_t AufrufFensterHwnd, int64_t EventFensterHwnd);
  // As Initialisieren, but a receiver that already runs is kept: only the
  // two window handles are written, the ring goes on after the slot written
  // last (where the receiver stands), and the result is 1. A slot left by
  // a sender that died between the slot and its counter (it still holds
  // text, or the receiver took it last) is stepped over: see docs/channel.md.
  int32_t Verbinden(int64_t AufrufFensterHwnd, int64_t EventFensterHwnd);
  // Ends a running receiver process (after its message box). SIGTERM, and
  // SIGKILL when it has not ended after 2 s.
  void VRD4EmpfaengerAktivPruefen();
  // Is a receiver process running? A process counts when its executable
  // name, upper-cased, is "VRD4EMPFAENGER" or begins with
  // "VRD4EMPFAENGER.EXE" (see IstEmpfaengerName), and it runs on this
  // process's channel prefix (see setKanalPrefix).
  bool EmpfaengerLaeuft();
  static bool IstEmpfaengerName(std::string_view exeName);
  // The receiver executable Initialisieren starts: the override if set, else
  // "VRD4Empfaenger" in this program's folder, else in the folder where the
  // project installs its programs.
  std::string EmpfaengerPfad() const;
  // Where a receiver started by Initialisieren writes its standard output
  // and error: "/tmp/VRD4Empfaenger-<uid>.log", emptied at each start. The
  // receiver gets no descriptor of the sending program and runs in a session
  // of its own.
  static std::string EmpfaengerLogDatei();

  // True when the file's size can be read (picture files; UTF-8 path).
  // The picture commands below first make a relative path absolute against
  // the working directory: the receiver opens it from elsewhere.
  bool fileExists(std::string_view sFile) const;

  // --- Commands (nothing is returned; problems are events) -----------------
  void Cls();
  void Hintergrundfarbe(int32_t Hintergrundfarbe);
  void Vordergrundfarbe(int32_t Vordergrundfarbe);
  void Tafelgroesse(int16_t Breite, int16_t Hoehe);
  void TextAusgabe(int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde,
                   std::u16string_view Ausgabetext, int32_t Ausrichtung, std::u16string_view Schriftart,
                   int16_t SchriftgroesseinPixel, bool Fett, bool Kursiv, bool Unterstrichen,
                   bool Durchgestrichen, bool Transparent, int32_t FeldVordergrundfarbe,
                   int32_t FeldHintergrundfarbe, bool LauftextbeiBedarf, double Geschwindigkeit,
                   double Startverzoegerung);
  void Linie(int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde, int16_t Linienbreite,
             int32_t Farbe);
  void Rechteck(int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde, int16_t Linienbreite,
                int32_t Farbe, bool Fuellen);
  void BlinkTextLoeschen(uint8_t BlinkNr);
  void LauftextLoeschen(uint8_t LauftextNr);
  void IPAdresse(std::u16string_view Adresse);
  void Port(std::u16string_view Port);
  void PauseAnzeigeZiel(std::u16string_view strHundertstelSek);
  void ServerStarten();
  void ClientVerbinden();
  // Picture commands test the file first; a missing one is the event
  // "Bild: <path> konnte nicht geladen werden!" (BildAnzeigenanPosition drops
  // a path ending in "\.BMP" or "/.BMP" silently).
  void BildAnzeigen(std::u16string_view BildnamemitPfad, bool GroesseAnpassen, bool BeiKleinerZentrieren);
  void BildAnzeigenanPosition(std::u16string_view BildnamemitPfad, int16_t Xstart, int16_t Ystart,
                              int16_t Xende, int16_t YEnde, bool GroesseAnpassen,
                              bool BeiKleinerZentrieren);
  void AniGifStarten(uint8_t AniGifNr, double AnzeigeDauer);
  void AniGifStoppen(uint8_t AniGifNr);
  void AniGifLoeschen(uint8_t AniGifNr);

  // --- Commands that wait for the slot number the receiver assigns ---------
  // 1..10, or 0 when nothing was sent, the receiver ended meanwhile, or it
  // did not answer within the reply time limit (then the event "BefehlFehler"
  // / "VRD4Empfaenger_Steuerung: keine Antwort!"). A number counts only once
  // the receiver has taken this command from its slot, so it is never the
  // number of an earlier command; one that comes after its command gave up
  // is dropped. Events the receiver raises meanwhile are passed on with
  // Event_Ausloesen. The program's message loop runs once per pass
  // (setNachrichtenschleife).
  uint8_t BlinkText(int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde,
                    std::u16string_view Ausgabetext, int32_t Ausrichtung, std::u16string_view Schriftart,
                    int16_t SchriftgroesseinPixel, bool Fett, bool Kursiv, bool Unterstrichen,
                    bool Durchgestrichen, bool Transparent, int32_t FeldVordergrundfarbe,
                    int32_t FeldHintergrundfarbe, double Intervall);
  uint8_t Lauftext(int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde,
                   std::u16string_view Ausgabetext, std::u16string_view Schriftart,
                   int16_t SchriftgroesseinPixel, bool Fett, bool Kursiv, bool Unterstrichen,
                   bool Durchgestrichen, bool Transparent, int32_t FeldVordergrundfarbe,
                   int32_t FeldHintergrundfarbe, double Geschwindigkeit, double Startverzoegerung);
  uint8_t AniGifLadenanPosition(std::u16string_view BildnamemitPfad, int16_t Xstart, int16_t Ystart,
                                int16_t Xende, int16_t YEnde, bool GroesseAnpassen,
                                bool BeiKleinerZentrieren);

  // --- Low level -------------------------------------------------------------
  // Puts one complete command text into the next ring slot. While that slot
  // still holds a command the receiver has not taken (the ring is full), it
  // waits as a reply wait does: running the message loop, for as long as the
  // receiver runs, at most the reply time limit. False when it was not sent:
  // receiver not running (event "VRD4Empfaenger_Steuerung nicht geladen!"),
  // communication error flagged (silently), more than 32100 characters
  // (event "VRD4Empfaenger_Steuerung: Puffer zu klein!"), or the slot did
  // not come free within the limit (event "VRD4Empfaenger_Steuerung: keine
  // Antwort!").
  bool BefehlSenden(std::u16string_view text);
  // Waits (busy, without the message loop) until the receiver has taken the
  // last command written, at most Wartezeit seconds.
  void WartenbisPufferleer(double Wartezeit);
  // Reports an event to the program: writes Art;Meldung into clsVRD4Event,
  // sets it as the title of the event window (when one is registered) and
  // calls the event callback (setEreignis).
  void Event_Ausloesen(std::u16string_view Art, std::u16string_view Meldung);
  // Takes the event text ("Art;Meldung") that the receiver or this object
  // wrote last and empties the variable; empty when there is none.
  std::u16string EreignisAbholen();

  // --- Settings (all optional) -----------------------------------------------
  // How a message box is shown. Default: the process's platform message box
  // (printed to standard error unless the program installed another).
  using MessageBoxFn = std::function<void(const std::u16string& text, const std::u16string& title)>;
  void setMessageBox(MessageBoxFn fn);
  // Runs the program's message loop once; called on every pass of a reply
  // wait or a wait for a free slot. Default: sleeps 1 ms, and 10 ms once the
  // wait has lasted 0.1 s (a receiver that takes long costs no CPU).
  void setNachrichtenschleife(std::function<void()> fn);
  // Called by Event_Ausloesen with every event it reports. Default: none.
  using EreignisFn = std::function<void(const std::u16string& art, const std::u16string& meldung)>;
  void setEreignis(EreignisFn fn);
  // Time limit in seconds of a reply wait and of a wait for a free slot
  // (default 0: no limit, the wait lasts as long as the receiver runs; a
  // pause or a slow forwarding peer can hold commands back for long).
  void setAntwortZeitlimit(double sekunden);
  double antwortZeitlimit() const;
  // A receiver that runs but gives no sign of life (its polling loop
  // writes one every second into clsVRD4LaufvariableNr) for this many
  // seconds counts as not answering: stopped (SIGSTOP), hung, or stuck in
  // one command. A wait for a reply, a free slot or the start then ends
  // with the event "VRD4Empfaenger_Steuerung: Empfänger reagiert nicht!"
  // (the command not sent, a reply command 0). Default 0: off (the wait
  // lasts as long as the process runs). A receiver that writes no sign of
  // life at all is never judged by it.
  void setStillstandGrenze(double sekunden);
  double stillstandGrenze() const;

  // --- Cancelling a wait ---------------------------------------------------
  // Ends the wait the object is in (a reply, a free slot, the receiver's
  // start, WartenbisPufferleer) at its next pass, within a few milliseconds
  // plus one pass of the program's message loop, and every later wait until
  // AbbruchAufheben(). Safe from any thread and from a signal handler (it
  // only stores an atomic flag). A command whose wait it ends is not sent
  // (a reply command returns 0) and raises the event
  // "VRD4Empfaenger_Steuerung: Warten abgebrochen!"; a command that finds
  // its slot free needs no wait and is still sent.
  void Abbrechen() noexcept;
  void AbbruchAufheben() noexcept;
  bool abgebrochen() const noexcept;
  // Receiver executable to use instead of the usual search (empty: search).
  void setEmpfaengerPfad(std::string pfad);
  // true: the object ending leaves the receiver running (no stop request).
  void setEmpfaengerWeiterlaufen(bool weiterlaufen);

  // --- Seams for tests of programs that embed the sender ----------------------
  // Replaces the process test of EmpfaengerLaeuft (empty: the real test).
  void setLaeuftPruefung(std::function<bool()> fn);
  // Replaces the monotonic clock (seconds) of the waits (empty: steady clock).
  void setUhr(std::function<double()> fn);
  // Prefix of every shared-memory and lock name of the process (default
  // empty = the receiver's real channel). Only before the first object.
  // With a prefix P the sender drives the receiver started with
  // "--prefix P" (channel objects "/P" + name, lock file P + "VRD4Mutex"):
  // it starts the receiver with that option and ends or connects to a
  // running receiver only when it runs with the same prefix. Several boards
  // can so run on one PC.
  static void setKanalPrefix(const std::string& prefix);

 private:
  struct Impl;
  // Sends text, a command that takes a slot, and waits for that slot's number.
  uint8_t mitAntwort(std::u16string_view text);
  bool slotFreiAbwarten();
  // One pass of a wait begun at start: false (after its event) when the wait
  // must end because it was cancelled or the receiver gives no sign of life.
  bool weiterWarten(double start);
  std::unique_ptr<Impl> d_;
};

}  // namespace vrd4::sender
