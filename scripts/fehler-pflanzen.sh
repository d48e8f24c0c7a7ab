#!/usr/bin/env bash
# Plants faults one at a time and tells which of them the tests catch.
#
# Each fault changes one piece of the program: the exact text to find, its
# replacement, and the test most likely to notice. The faults go into a git
# worktree of the source as it stands (HEAD and what is not committed yet)
# in build-fehler/quelle, never into the source itself: a run that is
# killed leaves the source as it was, and the next run resets the worktree.
# Its build folder (build-fehler/quelle/build) stays for the next run.
#
# A fault counts as caught only when a test fails by an assertion: a
# GoogleTest "Failure" at a line of a test, or a check of a CMake test
# script. A test that only crashes or runs out of time does not catch it.
# The likely test runs first; when it stays green, every test of the test
# command runs (end-to-end and package tests included). A fault whose text is
# no longer in the code (it has been rewritten since) is reported as "nicht
# anwendbar", one that does not compile as "nicht übersetzbar".
#
#   scripts/fehler-pflanzen.sh [-t SECONDS] [--schnell] [--pruefen] [--ohne-grundlauf] [NR...]
#
#   -t        time limit of one test in seconds (default: 600)
#   --schnell only the likely test per fault; a fault it misses is reported
#             as such without running the others (run those again by number,
#             without --schnell). The first run on the unchanged code then
#             runs only the likely tests.
#   --pruefen only tell which faults are still applicable; nothing is built
#   --ohne-grundlauf  skip the run on the unchanged code (a fault only counts
#             as caught if that run passes)
#   --aufraeumen  remove the worktree and its build, and end
#   NR        only these faults (numbers as printed)

# One group, read whole before it runs: editing this file during a run does
# not change the run.
{
set -u
cd "$(dirname "$0")/.."
QUELLE=$PWD
ARBEIT=$QUELLE/build-fehler
BAUM=$ARBEIT/quelle
BUILD=$BAUM/build
ZEITLIMIT=600
PRUEFEN=0
GRUNDLAUF=1
SCHNELL=0
NUR=()
while [ $# -gt 0 ]; do
  case "$1" in
    -t) ZEITLIMIT=$2; shift 2 ;;
    --pruefen) PRUEFEN=1; shift ;;
    --ohne-grundlauf) GRUNDLAUF=0; shift ;;
    --schnell) SCHNELL=1; shift ;;
    --aufraeumen) git worktree remove --force "$BAUM" 2> /dev/null; rm -rf "$ARBEIT"; git worktree prune; exit 0 ;;
    -h|--help) sed -n '2,30p' "$0"; exit 0 ;;
    *) NUR+=("$1"); shift ;;
  esac
done
export CCACHE_DIR=${CCACHE_DIR:-/work/.ccache} CCACHE_BASEDIR=${CCACHE_BASEDIR:-/work} CCACHE_NOHASHDIR=1

DATEI=() TEST=() TEXT=() FINDEN=() ERSETZEN=()
# fehler FILE TEST DESCRIPTION FIND REPLACE
fehler() { DATEI+=("$1"); TEST+=("$2"); TEXT+=("$3"); FINDEN+=("$4"); ERSETZEN+=("$5"); }

# --- channel -----------------------------------------------------------------
fehler channel/ClsVRD4Memory.cpp channel_tests "negative fremde Länge nicht auf 0 begrenzt" \
  'std::clamp<int32_t>(loadInt32(base + kTextBytes), 0, kTextUnits)' \
  'std::min<int32_t>(loadInt32(base + kTextBytes), kTextUnits)'
fehler channel/ClsVRD4Memory.cpp channel_tests "Längenfeld bekommt die gekürzte statt der vollen Länge" \
  'std::min<std::size_t>(text.size(), std::numeric_limits<int32_t>::max()));' \
  'std::min<std::size_t>(stored, std::numeric_limits<int32_t>::max()));'
fehler channel/modVRD4GlobaleVariablen.cpp channel_tests "Slotindex ohne obere Grenze" \
  'index >= 0 && index < kAnzahlSendetexte && g_satz->sendetexte[index]' \
  'index >= 0 && index <= kAnzahlSendetexte && g_satz->sendetexte[index]'

# --- protocol ----------------------------------------------------------------
fehler protocol/Felder.cpp protocol_tests "halbe Werte abgerundet statt zur geraden Zahl" \
  'if (ersteNachkomma > 5 || (ersteNachkomma == 5 && (restNichtNull || (z.betrag & 1))))' \
  'if (ersteNachkomma > 5 || (ersteNachkomma == 5 && restNichtNull))'
fehler protocol/Felder.cpp protocol_tests "True als 1 statt -1 geschrieben" \
  'return v ? u"-1" : u"0";' \
  'return v ? u"1" : u"0";'
fehler protocol/Befehlstabelle.h protocol_tests "Texte: Schriftart und Schriftgröße in der Tabelle vertauscht" \
  'liste(Parameter{u"Schriftart", Text}, Parameter{u"SchriftgroesseinPixel", Int16},' \
  'liste(Parameter{u"SchriftgroesseinPixel", Int16}, Parameter{u"Schriftart", Text},'
fehler protocol/Befehl.cpp protocol_tests "leeres Endfeld von AniGifLadenanPosition fehlt" \
  'if (spec->leeresEndfeld) text.push_back(ESC);' \
  'if (spec->leeresEndfeld) {}'
fehler protocol/Hex.cpp protocol_tests "Hex: Ziffern eines Bytes vertauscht" \
  't[2 * b] = kZiffern[b >> 4];' \
  't[2 * b] = kZiffern[b & 15];'

# --- engine ------------------------------------------------------------------
fehler channel/RingLeser.cpp engine_tests "Ring: Lesezeiger springt schon nach Slot 98 auf 0" \
  'int32_t danach(int32_t slot) { return slot >= kRing - 1 ? 0 : slot + 1; }' \
  'int32_t danach(int32_t slot) { return slot >= kRing - 2 ? 0 : slot + 1; }'
fehler engine/clsVRD4Empfaenger.cpp engine_tests "genommener Befehl nicht in clsVRD4LetzteGelesene quittiert" \
  'gv::clsVRD4LetzteGelesene().SetMemory(zahlText(d->lesezeiger));' \
  '(void)zahlText(d->lesezeiger);'
fehler engine/clsVRD4Empfaenger.cpp engine_tests "Antwortvariable vor dem Befehl nicht geleert" \
  'if (spec && spec->antwortetMitNummer()) gv::variable(spec->antwort).SetMemory(u"");' \
  'if (spec && spec->antwortetMitNummer()) (void)spec;'
fehler engine/clsVRD4Empfaenger.cpp engine_tests "falsche Meldung für unbekannte Befehle" \
  'QStringLiteral("Falsche Abfragetext: ") + d->befehlsname' \
  'QStringLiteral("Falscher Abfragetext: ") + d->befehlsname'
fehler engine/Befehlstabelle.cpp engine_tests "Lauftext: Geschwindigkeit und Startverzögerung vertauscht" \
  'e.LTNeu(textParameter<f>(b), zahl(b, f[u"Geschwindigkeit"]), zahl(b, f[u"Startverzoegerung"]));' \
  'e.LTNeu(textParameter<f>(b), zahl(b, f[u"Startverzoegerung"]), zahl(b, f[u"Geschwindigkeit"]));'

# --- render ------------------------------------------------------------------
fehler render/TextEffektTabelle.cpp render_tests "Texteffekt: zehnter Slot nie vergeben" \
  'for (int i = 1; i <= kAnzahl && n == 0; ++i) {' \
  'for (int i = 1; i < kAnzahl && n == 0; ++i) {'
fehler render/TextEffektTabelle.cpp render_tests "Texteffekt: gleiche Stelle mit vertauschter Breite und Höhe gesucht" \
  'gleicheStelleLoeschen(f.OriginalXstart, f.OriginalYStart, f.FeldBreite, f.FeldHoehe);' \
  'gleicheStelleLoeschen(f.OriginalXstart, f.OriginalYStart, f.FeldHoehe, f.FeldBreite);'
fehler render/Lauftexte.cpp render_tests "Lauftext: Schrittweite ignoriert, läuft jeden Takt" \
  'if (TextUhr::frueher(e.schritt + e.letzterSchritt, jetzt)) {' \
  'if (TextUhr::frueher(e.letzterSchritt, jetzt)) {'
fehler render/Animationen.cpp engine_tests "AniGif-Nummer in die Lauftext-Antwort geschrieben" \
  'host_.writeReply(Antwort::AniGifNr, nr);' \
  'host_.writeReply(Antwort::LauftextNr, nr);'
fehler render/ucAniGIF.cpp animation_tests "Schleifenzahl der GIF-Datei erreicht die Steuerung nie" \
  'if (const auto l = gif.loopCount()) loops = std::abs(*l);' \
  'if (const auto l = gif.loopCount()) (void)l;'
fehler render/ucAniGIFZeichnen.cpp animation_tests "Transparenz im GIF mit einem Bild ignoriert" \
  'const int ti = f.transparencyFlag == 1 ? f.transparentIndex : -1;' \
  'const int ti = -1;'
fehler render/ucAniGIFZeichnen.cpp animation_tests "Entsorgung 2 gibt die letzte Spalte nicht frei" \
  'std::fill(z + r.left(), z + r.right() + 1, 0u);' \
  'std::fill(z + r.left(), z + r.right(), 0u);'
fehler render/Bilder.cpp render_tests "Bild: senkrecht nicht zentriert" \
  'dy = to16(roundToInt32((FeldHoehe - bh) / 2.0));' \
  'dy = 0;'

# --- gif ---------------------------------------------------------------------
fehler gif/GifDatei.cpp gif_tests "Bildverzögerung in Hundertsteln als ms genommen" \
  'aktuell.delay = l.wort() * 10;' \
  'aktuell.delay = l.wort();'
fehler gif/GifDatei.cpp gif_tests "falsches Bit für Zeilensprung" \
  'd.interlaced = (ip & 0x40) != 0;' \
  'd.interlaced = (ip & 0x20) != 0;'
fehler gif/Lzw.cpp gif_tests "LZW: Codebreite wächst einen Code zu spät" \
  'if (naechster == grenze && breite < kMaxCodeBits) {' \
  'if (naechster == grenze + 1 && breite < kMaxCodeBits) {'

# --- net ---------------------------------------------------------------------
fehler net/Zeilenpuffer.cpp net_tests "Zeile genau an der Grenze als zu lang abgewiesen" \
  'if (pos - anfang_ > max_) return Ergebnis::ZuLang;' \
  'if (pos - anfang_ >= max_) return Ergebnis::ZuLang;'
fehler net/Zeilenpuffer.cpp net_tests "Trenner über zwei Pakete verteilt nicht erkannt" \
  'const std::size_t offen = std::min(puffer_.size() - anfang_, separator.size() - 1);' \
  'const std::size_t offen = 0;'
fehler net/clsTalkConnection.cpp relay_tests "Antwort OK ohne CR" \
  'for (; offeneAntworten_ > 0; --offeneAntworten_) ok += "OK\r\n";' \
  'for (; offeneAntworten_ > 0; --offeneAntworten_) ok += "OK\n";'
fehler net/clsTalkConnection.cpp relay_tests "BildAnzeigen: Bildinhalt im falschen Feld gesucht" \
  'return spec && spec->istBildbefehl() ? static_cast<std::size_t>(spec->inhaltsfeld()) : 0;' \
  'return spec && spec->istBildbefehl() ? static_cast<std::size_t>(spec->inhaltsfeld() + 1) : 0;'

# --- app ---------------------------------------------------------------------
fehler app/Startwerte.cpp app_netz_tests "Zahlen ohne führendes Leerzeichen bei 0 gespeichert" \
  'if (v >= 0) s.prepend('"' '"');' \
  'if (v > 0) s.prepend('"' '"');'
fehler app/Startwerte.cpp app_netz_tests "relatives XDG_CONFIG_HOME nicht verworfen" \
  "if (!wert.empty() && wert.front() == '/') return wert;" \
  "if (!wert.empty()) return wert;"
fehler app/FrmVRD4Empfaenger.cpp app_tests "Beenden-Wunsch -1 überhört" \
  'if (beenden_.lesen(gv::clsVRD4ProgrammBeenden()) == -1.0) entladenAnstossen();' \
  'if (beenden_.lesen(gv::clsVRD4ProgrammBeenden()) == 1.0) entladenAnstossen();'

# --- sender ------------------------------------------------------------------
fehler sender/clsVRD4Sender.cpp sender_tests "Sender: Schreibzeiger springt erst nach Slot 100 auf 0" \
  'd_->Schreibzeiger = d_->Schreibzeiger >= gv::kAnzahlSendetexte - 1 ? 0 : d_->Schreibzeiger + 1;' \
  'd_->Schreibzeiger = d_->Schreibzeiger >= gv::kAnzahlSendetexte ? 0 : d_->Schreibzeiger + 1;'
fehler sender/clsVRD4Sender.cpp sender_tests "Textausgabe: Geschwindigkeit und Startverzögerung vertauscht" \
  '.b(LauftextbeiBedarf).d(Geschwindigkeit).d(Startverzoegerung)' \
  '.b(LauftextbeiBedarf).d(Startverzoegerung).d(Geschwindigkeit)'
fehler sender/clsVRD4Sender.cpp sender_tests "eigener Slot nach dem Umlauf als -1 gerechnet" \
  'const int32_t eigenerSlot = (d.Schreibzeiger + gv::kAnzahlSendetexte - 1) % gv::kAnzahlSendetexte;' \
  'const int32_t eigenerSlot = (d.Schreibzeiger - 1) % gv::kAnzahlSendetexte;'

# --- more, one per rule whose tests were folded into tables --------------------
fehler protocol/Felder.cpp protocol_tests "True nur in genau dieser Schreibweise erkannt" \
  'if (gleichOhneGross(s, u"true")) return true;' \
  'if (s == u"True") return true;'
fehler protocol/Hex.cpp protocol_tests "Hex: einzelne Endziffer bei jeder ungeraden Länge genommen" \
  'const bool einzelneZiffer = (hex.size() & 1) != 0 && (paare & 1) != 0;' \
  'const bool einzelneZiffer = (hex.size() & 1) != 0;'
fehler render/TextFeld.cpp render_tests "Text mittig: halber Rest aufgerundet" \
  'if (spalte == 1) v.x = int16_t(frei / 2);' \
  'if (spalte == 1) v.x = int16_t((frei + 1) / 2);'
fehler render/Bilder.cpp render_tests "Bild: waagrecht nicht zentriert" \
  'dx = to16(roundToInt32((FeldBreite - bw) / 2.0));' \
  'dx = 0;'
fehler engine/clsVRD4Empfaenger.cpp engine_tests "PauseAnzeigeZiel endet eine halbe Sekunde zu früh" \
  'if (d->pauseBisZeit > jetzt) return;' \
  'if (d->pauseBisZeit > jetzt + 50) return;'
fehler engine/clsVRD4Empfaenger.cpp engine_tests "Takt überzieht sein Befehlsbudget um das Doppelte" \
  'if (d->clock.seconds() - start >= BefehlsBudgetSekunden) return;' \
  'if (d->clock.seconds() - start >= 2 * BefehlsBudgetSekunden) return;'
fehler sender/clsVRD4Sender.cpp sender_tests "Antwort gezählt, bevor der eigene Befehl genommen ist" \
  'if (!genommen) genommen = gv::Sendetexte(eigenerSlot).GetMemory().empty();' \
  'if (!genommen) genommen = eigenerSlot >= 0;'  # counts at once (a bare true leaves eigenerSlot unused: no build)
fehler app/FrmVRD4Empfaenger.cpp app_tests "gleiches Ereignis zweimal weitergegeben" \
  'if (s == letztesEvent_ && netzStand(art) == letzterNetzStand_) return;' \
  'if (s == letztesEvent_ && s.isEmpty()) return;'
fehler support/clsWBTimer.cpp support_tests "Intervall 0 hält die Taktschleife nicht an" \
  'if (s_->interval == 0) {' \
  'if (s_->interval < 0) {'
fehler engine/clsVRD4Empfaenger.cpp engine_tests "Ruhe trotz laufendem Blinktext" \
  'if (d->lauf->belegt(n) || d->blink->belegt(n)) return false;' \
  'if (d->lauf->belegt(n)) return false;'
fehler render/ucAniGIF.cpp animation_tests "Ruhe, während ein Bild auf dem Arbeitsthread entsteht" \
  'return d->arbeit.valid() || d->dekodierenUm.has_value()' \
  'return d->dekodierenUm.has_value()'
fehler render/Animationen.cpp engine_tests "Ruhe trotz Anzeigedauer eines stillen Bildes" \
  'if (s.belegt && ((s.startzeit && s.anzeigedauer > 0.0) || (s.medium && s.medium->brauchtTakt()))) return true;' \
  'if (s.belegt && s.medium && s.medium->brauchtTakt()) return true;'
fehler channel/RingLeser.cpp engine_tests "Ruhe übersieht einen neuen Befehl im gewarteten Slot" \
  'return gv::Sendetexte(s.slot).peekLength() == 0 && gv::clsVRD4LetzteGesendete().peekEquals(s.gesendetText) &&' \
  'return gv::clsVRD4LetzteGesendete().peekLength() >= 0 &&'
fehler platform/Wache.cpp platform_tests "Wache weckt bei jedem Blick" \
  '      if (blick_()) continue;' \
  '      if (blick_() && false) continue;'
fehler app/Taktschleife.cpp app_tests "in der Ruhe zeigt ein Ereignis erst nach einer Sekunde" \
  '      runde.emplace(host_);' \
  '      (void)runde;'

# --- the wire contract: same-type swaps the compiler cannot see ----------------
fehler protocol/Befehlstabelle.h protocol_tests "Tabelle: Fett und Kursiv vertauscht" \
  'Parameter{u"Fett", Bool}, Parameter{u"Kursiv", Bool},' \
  'Parameter{u"Kursiv", Bool}, Parameter{u"Fett", Bool},'
fehler protocol/Befehlstabelle.h protocol_tests "Tabelle: Xende und YEnde vertauscht" \
  'Parameter{u"Xende", Int16}, Parameter{u"YEnde", Int16});' \
  'Parameter{u"YEnde", Int16}, Parameter{u"Xende", Int16});'
fehler protocol/Befehlstabelle.h protocol_tests "Tabelle: Geschwindigkeit und Startverzögerung vertauscht" \
  'liste(Parameter{u"Geschwindigkeit", Double}, Parameter{u"Startverzoegerung", Double});' \
  'liste(Parameter{u"Startverzoegerung", Double}, Parameter{u"Geschwindigkeit", Double});'
fehler protocol/Befehlstabelle.h protocol_tests "Tabelle: GroesseAnpassen und BeiKleinerZentrieren vertauscht" \
  'liste(Parameter{u"GroesseAnpassen", Bool}, Parameter{u"BeiKleinerZentrieren", Bool});' \
  'liste(Parameter{u"BeiKleinerZentrieren", Bool}, Parameter{u"GroesseAnpassen", Bool});'
fehler protocol/Befehlstabelle.h protocol_tests "Tabelle: Blinktext antwortet in der Lauftext-Variablen" \
  '.wirkung = W::Belegt, .antwort = "clsVRD4BlinktextNr"' \
  '.wirkung = W::Belegt, .antwort = "clsVRD4LauftextNr"'
fehler engine/Befehlstabelle.cpp engine_tests "Engine: Kursiv als Fett übergeben" \
  'fett = f.index(u"Fett"),' \
  'fett = f.index(u"Kursiv"),'
fehler sender/clsVRD4Sender.cpp sender_tests "Sender: Textausgabe schreibt Kursiv vor Fett" \
  '.b(Fett).b(Kursiv).b(Unterstrichen)' \
  '.b(Kursiv).b(Fett).b(Unterstrichen)'
fehler sender/vrd4sender_c.cpp sender_tests "C-Schnittstelle: Textausgabe gibt Fett und Kursiv vertauscht weiter" \
  'groesse, fett != 0, kursiv != 0,' \
  'groesse, kursiv != 0, fett != 0,'
fehler docs/protocol.md protocol_tests "Doku: Textausgabe mit Kursiv vor Fett" \
  'Fett b, Kursiv b' \
  'Kursiv b, Fett b'

# --- hall --------------------------------------------------------------------
fehler hall/Folge.cpp hall_tests "Halle: Szene nicht nach dem zuletzt Gezeichneten noch einmal gezeichnet" \
  'const bool zeichnen = zustand_ == Zustand::OhneSzene || lauf != lauf_ || seq > letzte_;' \
  'const bool zeichnen = zustand_ == Zustand::OhneSzene || lauf != lauf_ || seq >= letzte_;'
fehler hall/HallenAdresse.cpp hall_tests "Halle: mqtts ohne Port nimmt den Port ohne TLS" \
  'a.port = a.tls ? 8883 : 1883;' \
  'a.port = 1883;'
fehler hall/Nachricht.cpp hall_tests "Halle: Bytes nach dem Befehl angenommen" \
  'if (!e || !s.empty()) return std::nullopt;' \
  'if (!e) return std::nullopt;'
fehler hall/Verleger.cpp e2e_hall_tests "Halle: Szene nicht aufbewahrt, eine spät kommende Tafel bleibt leer" \
  'szeneMid_ = klient_->senden(szeneTopic_, payload, true);' \
  'szeneMid_ = klient_->senden(szeneTopic_, payload, false);'

# --- scene -------------------------------------------------------------------
fehler szene/Szene.cpp szene_tests "Szene: durchsichtiger Text deckt, was unter ihm liegt" \
  'if (stillerText(b) && !b.get<bool>(kText[u"Transparent"])) return geordnet(*r);' \
  'if (stillerText(b)) return geordnet(*r);'
fehler szene/Szene.cpp szene_tests "Szene: alle Platzhalter an derselben Stelle" \
  'const auto feld = [x = kFuellerOrt + 2 * slot](Befehlsbauer& b) -> Befehlsbauer& {' \
  'const auto feld = [x = kFuellerOrt + 0 * slot](Befehlsbauer& b) -> Befehlsbauer& {'
fehler szene/Szene.cpp szene_tests "Szene: Bild gleichen Felds deckt auch in anderer Größe" \
  'return c.bildBreite > 0 && c.bildBreite == a.bildBreite && c.bildHoehe == a.bildHoehe;' \
  'return c.bildBreite > 0;'
fehler szene/Szene.cpp szene_tests "Szene: Einstellungen des Empfängers in die Szene aufgenommen" \
  'if (spec.nurOertlich) return;' \
  'if (spec.nurOertlich && false) return;'

# --- forwarding and sockets ----------------------------------------------------
fehler net/Weiterleitung.cpp relay_tests "Weiterleitung: Wartezeit nach Verlust wächst nicht" \
  'wartezeit_ = std::min(2 * wartezeit_, kLaengsteWartezeit);' \
  'wartezeit_ = std::min(wartezeit_, kLaengsteWartezeit);'
fehler net/Weiterleitung.cpp relay_tests "Weiterleitung: nach einem Verlust nichts nachgeholt" \
  'if (!nachVerlust_ && !NachholenAuchBeimErstenMal) {' \
  'if (!NachholenAuchBeimErstenMal) {'
fehler net/Weiterleitung.cpp relay_tests "Weiterleitung: jeder vergebliche Versuch gemeldet" \
  'if (warVerbunden || !nachVerlust_) {' \
  'if (warVerbunden || nachVerlust_ || !nachVerlust_) {'
fehler net/clsSocket.cpp net_tests "Socket: letzte Zeile ohne Trenner beim Schließen verloren" \
  'const bool weiter = q->LineSeparator.empty() ? datenMelden(rest) : zeileMelden(rest);' \
  'const bool weiter = q->LineSeparator.empty() ? datenMelden(rest) : lebt(generation);'
fehler net/clsSocket.cpp net_tests "Socket: Zeilen als UTF-8 statt Windows-1252 gelesen" \
  'const std::u16string zeile = platform::fromAnsi(bytes);' \
  'const std::u16string zeile = platform::fromUtf8(bytes);'

# --- tools -------------------------------------------------------------------
fehler tools/vrd4send/Skript.cpp sender_tests "vrd4send: &H-Zahlen nicht als hexadezimal gelesen" \
  'if (s.starts_with("&H") || s.starts_with("&h") || s.starts_with("0x") || s.starts_with("0X"))' \
  'if (s.starts_with("&h") || s.starts_with("0x") || s.starts_with("0X"))'
fehler tools/vrd4send/Operationen.cpp sender_tests "vrd4send: Antwortbefehle geben keine Nummer aus" \
  'Operation op{std::string(spec.methode), {}, spec.antwortetMitNummer(), hinweis(spec), nullptr};' \
  'Operation op{std::string(spec.methode), {}, false, hinweis(spec), nullptr};'
fehler tools/vrd4send/Tafeln.cpp e2e_hall_tests "vrd4send --tafeln: Rückstand um eins zu hoch" \
  ': std::to_string(q->seq - t.seq);' \
  ': std::to_string(q->seq - t.seq + 1);'
fehler tools/vrd4shm/Vrd4Shm.cpp channel_tests "vrd4shm get: kein Zeilenende" \
  'out << platform::toUtf8(value) << "\n";' \
  'out << platform::toUtf8(value);'
fehler tools/vrd4shm/Vrd4Shm.cpp channel_tests "vrd4shm dump: Steuerzeichen roh ausgegeben" \
  'out.push_back(static_cast<char16_t>(0x2400 + c));' \
  'out.push_back(c);'

# --- running -----------------------------------------------------------------
ANZAHL=${#DATEI[@]}

# How often `finden` occurs in the file (literal text).
vorkommen() { python3 - "$1" "$2" <<'PY'
import sys
print(open(sys.argv[1], encoding="utf-8").read().count(sys.argv[2]))
PY
}
ersetzen() { python3 - "$1" "$2" "$3" <<'PY'
import sys
p, a, b = sys.argv[1:]
t = open(p, encoding="utf-8").read()
open(p, "w", encoding="utf-8").write(t.replace(a, b, 1))
PY
}
# The tests of a ctest run (console output $1, its log $2) that failed by an
# assertion, one per line; the others that failed as "name (how)" after a
# line "--".
auswerten() { python3 - "$1" "$2" <<'PY'
import re, sys
konsole = open(sys.argv[1], errors="replace").read()
log = open(sys.argv[2], errors="replace").read() if len(sys.argv) > 2 else ""
status = dict(re.findall(r"^\s*\d+ - (\S+) \((.*)\)$", konsole, re.M))
ausgabe = dict(re.findall(r"^\d+/\d+ Test: (\S+)\n.*?^-+\n(.*?)^<end of output>", log, re.S | re.M))
pruefung = re.compile(r"(\.(cpp|h):\d+: Failure$|^CMake Error at \S+\.cmake:\d+)", re.M)
gefangen = [n for n, s in status.items() if s == "Failed" and pruefung.search(ausgabe.get(n, ""))]
print("\n".join(gefangen + ["--"] + [f"{n} ({s})" for n, s in status.items() if n not in gefangen]))
PY
}

if [ "$PRUEFEN" = 1 ]; then
  unanwendbar=0
  for ((i = 0; i < ANZAHL; i++)); do
    zeile=$(printf '%2d %-28s %s' "$((i + 1))" "${DATEI[$i]}" "${TEXT[$i]}")
    if [ -f "${DATEI[$i]}" ] && [ "$(vorkommen "${DATEI[$i]}" "${FINDEN[$i]}")" != 0 ]; then
      echo "$zeile: anwendbar"
    else
      echo "$zeile: nicht anwendbar"; unanwendbar=$((unanwendbar + 1))
    fi
  done
  echo "Zusammenfassung: $((ANZAHL - unanwendbar)) von $ANZAHL Fehlern anwendbar"
  exit 0
fi

# The worktree: the source's commit, then its uncommitted changes and new files.
mkdir -p "$ARBEIT"
git worktree prune
if [ ! -e "$BAUM/.git" ]; then
  rm -rf "$BAUM"
  git worktree add -q --detach "$BAUM" HEAD || exit 2
fi
git -C "$BAUM" checkout -q -f --detach "$(git rev-parse HEAD)" && git -C "$BAUM" clean -qfd -e build || exit 2
git diff HEAD --binary > "$ARBEIT/offen.diff"
if [ -s "$ARBEIT/offen.diff" ]; then git -C "$BAUM" apply --whitespace=nowarn "$ARBEIT/offen.diff" || exit 2; fi
git ls-files --others --exclude-standard -z | xargs -0 -r cp --parents -t "$BAUM"

AKTUELL=""
wiederherstellen() {
  if [ -n "$AKTUELL" ]; then
    cat "$ARBEIT/datei" > "$BAUM/$AKTUELL"  # a new mtime: the next build recompiles it
    AKTUELL=""
  fi
}
trap 'wiederherstellen; echo; echo "abgebrochen (die Quelle ist unberührt)"; exit 130' INT TERM

if [ ! -f "$BUILD/build.ninja" ]; then
  STARTER=()
  command -v ccache > /dev/null && STARTER=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S "$BAUM" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVRD4_WERROR=ON "${STARTER[@]}" \
    > "$ARBEIT/konfiguration.log" 2>&1 || { tail -20 "$ARBEIT/konfiguration.log"; exit 2; }
fi
bauen() { nice cmake --build "$BUILD" -j2 "$@" > "$ARBEIT/build.log" 2>&1; }
# Runs ctest in the worktree's build with the given arguments; prints what auswerten prints.
testen() {
  (cd "$BUILD" && ctest --timeout "$ZEITLIMIT" "$@" > "$ARBEIT/konsole.log" 2>&1)
  auswerten "$ARBEIT/konsole.log" "$BUILD/Testing/Temporary/LastTest.log"
}
# The tests with ctest names the build knows as targets; package tests need everything.
ziel() { case "$1" in package|sender_install_test) echo all ;; *) echo "$1" ;; esac; }

ANFANG=$SECONDS
echo "Arbeitsbaum $BAUM, Build $BUILD"
if [ "$GRUNDLAUF" = 1 ]; then
  if [ "$SCHNELL" = 1 ]; then
    mapfile -t ERSTE < <(printf '%s\n' "${TEST[@]}" | sort -u)
    echo "Grundlauf: die ${#ERSTE[@]} ersten Tests auf dem unveränderten Code ..."
    bauen --target $(for t in "${ERSTE[@]}"; do ziel "$t"; done | sort -u) ||
      { tail -30 "$ARBEIT/build.log"; echo "der unveränderte Code baut nicht" >&2; exit 2; }
    AUSWAHL=(-R "^($(IFS='|'; echo "${ERSTE[*]}"))\$")
  else
    echo "Grundlauf: alle Tests auf dem unveränderten Code ..."
    bauen || { tail -30 "$ARBEIT/build.log"; echo "der unveränderte Code baut nicht" >&2; exit 2; }
    AUSWAHL=()
  fi
  ergebnis=$(testen -j2 "${AUSWAHL[@]}")
  if [ "$ergebnis" != "--" ]; then
    echo "$ergebnis" | grep -v '^--$' >&2
    echo "die Tests scheitern schon ohne Fehler: nichts zu beurteilen" >&2
    exit 2
  fi
  echo "  bestanden [$((SECONDS - ANFANG)) s]"
fi

gefangen=0 nicht=0 unanwendbar=0 unuebersetzbar=0 versucht=0
NICHT_GEFANGEN=()
for ((i = 0; i < ANZAHL; i++)); do
  nr=$((i + 1))
  if [ ${#NUR[@]} -gt 0 ] && [[ ! " ${NUR[*]} " =~ " $nr " ]]; then continue; fi
  datei=${DATEI[$i]}
  zeile=$(printf '%2d %-28s %s' "$nr" "$datei" "${TEXT[$i]}")
  if [ ! -f "$BAUM/$datei" ] || [ "$(vorkommen "$BAUM/$datei" "${FINDEN[$i]}")" = 0 ]; then
    echo "$zeile: nicht anwendbar"
    unanwendbar=$((unanwendbar + 1))
    continue
  fi
  versucht=$((versucht + 1))
  start=$SECONDS
  cp "$BAUM/$datei" "$ARBEIT/datei"
  AKTUELL=$datei
  ersetzen "$BAUM/$datei" "${FINDEN[$i]}" "${ERSETZEN[$i]}"
  erster=${TEST[$i]}
  if ! bauen --target "$(ziel "$erster")"; then
    ergebnis="nicht übersetzbar"
  else
    befund=$(testen -R "^${erster}\$")
    if [ "${befund%%$'\n'*}" != "--" ]; then
      ergebnis="gefangen ($erster)"
    elif [ "$SCHNELL" = 1 ]; then
      ergebnis="NICHT gefangen (nur $erster gelaufen${befund#--})"
    elif ! bauen; then
      ergebnis="nicht übersetzbar"
    else
      befund=$(testen -j2 -E "^${erster}\$")
      if [ "${befund%%$'\n'*}" != "--" ]; then
        ergebnis="gefangen (${befund%%$'\n'*})"
      else
        ergebnis="NICHT gefangen${befund#--}"
      fi
    fi
  fi
  wiederherstellen
  case "$ergebnis" in
    gefangen*) gefangen=$((gefangen + 1)) ;;
    "NICHT gefangen"*) nicht=$((nicht + 1)); NICHT_GEFANGEN+=("$nr") ;;
    *) unuebersetzbar=$((unuebersetzbar + 1)) ;;
  esac
  echo "$zeile: $(echo "$ergebnis" | tr '\n' ' ' | sed 's/ *$//') [$((SECONDS - start)) s]"
done

echo "Zusammenfassung: $gefangen von $versucht gepflanzten Fehlern gefangen, $nicht nicht gefangen${NICHT_GEFANGEN:+ (Nr. ${NICHT_GEFANGEN[*]})}, $unanwendbar nicht anwendbar, $unuebersetzbar nicht übersetzbar; $((SECONDS - ANFANG)) s"
[ "$nicht" = 0 ] && [ "$unuebersetzbar" = 0 ]
exit
}
