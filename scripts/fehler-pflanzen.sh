#!/usr/bin/env bash
# Plants faults one at a time and tells which of them the unit tests catch.
#
# Each fault changes one line of the program: the exact text to find, its
# replacement, and the test binary most likely to notice (run first, to be
# fast; when it stays green every unit test runs, stopping at the first
# failure). The file is always restored, also on Ctrl-C. A fault whose text
# is no longer in the code (it has been rewritten since) is reported as
# "nicht anwendbar", one that does not compile as "nicht übersetzbar".
#
#   scripts/fehler-pflanzen.sh [-b BUILD_DIR] [-t SECONDS] [--pruefen] [NR...]
#
#   -b        build folder, configured already (default: build)
#   -t        time limit of one test binary in seconds (default: 180)
#   --pruefen only tell which faults are still applicable; nothing is built
#   --ohne-grundlauf  skip the run of all unit tests on the unchanged code
#             (a fault only counts as caught if that run passes)
#   --schnell only the likely test binary per fault; a fault it misses is
#             reported as such without running the others (run those again
#             by number, without --schnell)
#   NR        only these faults (numbers as printed)
set -u
cd "$(dirname "$0")/.."
QUELLE=$PWD
BUILD=build
ZEITLIMIT=180
PRUEFEN=0
GRUNDLAUF=1
SCHNELL=0
NUR=()
while [ $# -gt 0 ]; do
  case "$1" in
    -b) BUILD=$2; shift 2 ;;
    -t) ZEITLIMIT=$2; shift 2 ;;
    --pruefen) PRUEFEN=1; shift ;;
    --ohne-grundlauf) GRUNDLAUF=0; shift ;;
    --schnell) SCHNELL=1; shift ;;
    -h|--help) sed -n '2,22p' "$0"; exit 0 ;;
    *) NUR+=("$1"); shift ;;
  esac
done
export CCACHE_DIR=${CCACHE_DIR:-/work/.ccache} CCACHE_BASEDIR=${CCACHE_BASEDIR:-/work}

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
fehler protocol/Befehlstabelle.h sender_tests "Texte: Schriftart und Schriftgröße in der Tabelle vertauscht" \
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

# --- running -----------------------------------------------------------------
ANZAHL=${#DATEI[@]}
SICHERUNG=$(mktemp -d)
AKTUELL=""
wiederherstellen() {
  if [ -n "$AKTUELL" ]; then
    cat "$SICHERUNG/datei" > "$AKTUELL"  # a new mtime: the next build recompiles it
    AKTUELL=""
  fi
}
abbrechen() { wiederherstellen; rm -rf "$SICHERUNG"; echo; echo "abgebrochen, Datei wiederhergestellt"; exit 130; }
trap abbrechen INT TERM
trap 'wiederherstellen; rm -rf "$SICHERUNG"' EXIT

# How often `finden` occurs in the file (literal text).
vorkommen() { python3 - "$1" "$2" <<'EOF'
import sys
print(open(sys.argv[1], encoding="utf-8").read().count(sys.argv[2]))
EOF
}
ersetzen() { python3 - "$1" "$2" "$3" <<'EOF'
import sys
p, a, b = sys.argv[1:]
t = open(p, encoding="utf-8").read()
open(p, "w", encoding="utf-8").write(t.replace(a, b, 1))
EOF
}

UNIT_TESTS=()
if [ "$PRUEFEN" = 0 ]; then
  [ -f "$BUILD/build.ninja" ] || { echo "kein konfigurierter Build in $BUILD" >&2; exit 2; }
  mapfile -t UNIT_TESTS < <(cd "$BUILD" && ctest -N -L unit | sed -n 's/^ *Test *#[0-9]*: //p')
  echo "Build aller Unit-Tests vorab ..."
  cmake --build "$BUILD" -j2 --target "${UNIT_TESTS[@]}" > "$SICHERUNG/build.log" 2>&1 ||
    { tail -30 "$SICHERUNG/build.log"; echo "der unveränderte Code baut nicht" >&2; exit 2; }
  if [ "$GRUNDLAUF" = 1 ]; then
    echo "Grundlauf: alle Unit-Tests auf dem unveränderten Code ..."
    if ! (cd "$BUILD" && ctest -L unit -j2 --timeout "$ZEITLIMIT" > "$SICHERUNG/test.log" 2>&1); then
      grep -E 'Failed|Timeout|Not Run|tests passed' "$SICHERUNG/test.log" >&2
      echo "die Unit-Tests scheitern schon ohne Fehler: nichts zu beurteilen" >&2
      exit 2
    fi
    grep 'tests passed' "$SICHERUNG/test.log"
  fi
fi

gefangen=0 nicht=0 unanwendbar=0 unuebersetzbar=0 versucht=0
NICHT_GEFANGEN=()
for ((i = 0; i < ANZAHL; i++)); do
  nr=$((i + 1))
  if [ ${#NUR[@]} -gt 0 ] && [[ ! " ${NUR[*]} " =~ " $nr " ]]; then continue; fi
  datei=${DATEI[$i]}
  zeile=$(printf '%2d %-28s %s' "$nr" "$datei" "${TEXT[$i]}")
  if [ ! -f "$datei" ] || [ "$(vorkommen "$datei" "${FINDEN[$i]}")" = 0 ]; then
    echo "$zeile: nicht anwendbar"
    unanwendbar=$((unanwendbar + 1))
    continue
  fi
  if [ "$PRUEFEN" = 1 ]; then echo "$zeile: anwendbar"; continue; fi
  versucht=$((versucht + 1))
  start=$SECONDS
  cp "$datei" "$SICHERUNG/datei"
  AKTUELL=$datei
  ersetzen "$datei" "${FINDEN[$i]}" "${ERSETZEN[$i]}"
  ergebnis=""
  # The likely test first, then all unit tests up to the first failure.
  erster=${TEST[$i]}
  if ! cmake --build "$BUILD" -j2 --target "$erster" > "$SICHERUNG/build.log" 2>&1; then
    ergebnis="nicht übersetzbar"
  elif ! (cd "$BUILD" && ctest -R "^${erster}\$" --timeout "$ZEITLIMIT" > "$SICHERUNG/test.log" 2>&1); then
    ergebnis="gefangen ($erster)"
  elif [ "$SCHNELL" = 1 ]; then
    ergebnis="NICHT gefangen (nur $erster gelaufen)"
  elif ! cmake --build "$BUILD" -j2 --target "${UNIT_TESTS[@]}" > "$SICHERUNG/build.log" 2>&1; then
    ergebnis="nicht übersetzbar"
  elif ! (cd "$BUILD" && ctest -L unit -E "^${erster}\$" -j2 --stop-on-failure --timeout "$ZEITLIMIT" \
            > "$SICHERUNG/test.log" 2>&1); then
    ergebnis="gefangen ($(sed -n 's/^.*Test *#[0-9]*: \([A-Za-z0-9_]*\) .*\*\*\*.*$/\1/p;s/^.*Test *#[0-9]*: \([A-Za-z0-9_]*\) .*Failed.*$/\1/p' "$SICHERUNG/test.log" | head -1))"
  else
    ergebnis="NICHT gefangen"
  fi
  wiederherstellen
  case "$ergebnis" in
    gefangen*) gefangen=$((gefangen + 1)) ;;
    "NICHT gefangen"*) nicht=$((nicht + 1)); NICHT_GEFANGEN+=("$nr") ;;
    *) unuebersetzbar=$((unuebersetzbar + 1)) ;;
  esac
  echo "$zeile: $ergebnis [$((SECONDS - start)) s]"
done

if [ "$PRUEFEN" = 1 ]; then
  echo "Zusammenfassung: $((ANZAHL - unanwendbar)) von $ANZAHL Fehlern anwendbar"
  exit 0
fi
echo "Zusammenfassung: $gefangen von $versucht gepflanzten Fehlern gefangen, $nicht nicht gefangen${NICHT_GEFANGEN:+ (Nr. ${NICHT_GEFANGEN[*]})}, $unanwendbar nicht anwendbar, $unuebersetzbar nicht übersetzbar"
[ "$nicht" = 0 ] && [ "$unuebersetzbar" = 0 ]
