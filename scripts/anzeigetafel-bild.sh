#!/usr/bin/env bash
# Renders the demo board (examples/anzeigetafel.txt) with the receiver's own
# snapshot under a private Xvfb and writes docs/anzeigetafel.png, the picture
# in the README. Run it again whenever the board's look changes:
#
#   scripts/anzeigetafel-bild.sh [BUILD_DIR]      (default: build)
#
# The receiver runs on the real channel names, and vrd4send ends a receiver
# that already runs on this PC, as it always does.
set -euo pipefail
cd "$(dirname "$0")/.."

ziel=docs/anzeigetafel.png

if [ "${1:-}" = "--unter-xvfb" ]; then
  # Second stage, inside xvfb-run: show the board, take snapshots, end it.
  ordner=$2
  "$ordner/vrd4send" --weiterlaufen "$ordner/tafel.txt" >/dev/null
  pid=
  for p in /proc/[0-9]*; do
    if [ "$(readlink "$p/exe" 2>/dev/null)" = "$ordner/VRD4Empfaenger" ]; then pid=${p#/proc/}; fi
  done
  [ -n "$pid" ] || { echo "anzeigetafel-bild: the receiver did not start" >&2; exit 1; }
  # Let the scrolling text come in, then catch both phases of the blinking
  # text: six snapshots 0.2 s apart span more than one period of 1 s.
  sleep 3
  for n in 1 2 3 4 5 6; do
    rm -f "$ordner/Picture.bmp"
    kill -USR1 "$pid"
    for _ in $(seq 100); do [ -s "$ordner/Picture.bmp" ] && break; sleep 0.05; done
    [ -s "$ordner/Picture.bmp" ] && mv "$ordner/Picture.bmp" "$ordner/schnappschuss$n.bmp"
    sleep 0.2
  done
  # A sender that connects and ends ends the receiver the normal way.
  "$ordner/vrd4send" --verbinden /dev/null >/dev/null 2>&1 || true
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || exit 0; sleep 0.05; done
  kill -TERM "$pid" 2>/dev/null || true
  exit 0
fi

build=${1:-build}
cmake --build "$build" --target VRD4Empfaenger vrd4send >/dev/null
ordner=$(mktemp -d)
trap 'rm -rf "$ordner"' EXIT
# Copies in a folder of their own: vrd4send starts the receiver beside it,
# and the receiver saves its snapshot in its own folder.
cp "$build/bin/VRD4Empfaenger" "$build/bin/vrd4send" "$ordner/"
# Without the closing wait: the snapshots are taken while the board is up.
grep -v -i -E '^[[:space:]]*Warten[[:space:]]' examples/anzeigetafel.txt > "$ordner/tafel.txt"
xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --unter-xvfb "$ordner"

# The snapshot with the blinking text shown (most of its red), as PNG.
python3 - "$ordner" "$ziel" <<'PYEND'
import glob, struct, sys, zlib

def bmp_lesen(pfad):
    d = open(pfad, "rb").read()
    if d[:2] != b"BM":
        raise SystemExit(f"{pfad}: not a BMP")
    start, = struct.unpack_from("<I", d, 10)
    breite, hoehe, _, bits = struct.unpack_from("<iiHH", d, 18)
    if bits != 24:
        raise SystemExit(f"{pfad}: {bits} bits per pixel, expected 24")
    zeile = (breite * 3 + 3) // 4 * 4
    zeilen = []
    for y in range(abs(hoehe)):
        quelle = y if hoehe < 0 else abs(hoehe) - 1 - y
        bgr = d[start + quelle * zeile:start + quelle * zeile + breite * 3]
        rgb = bytearray(len(bgr))
        rgb[0::3], rgb[1::3], rgb[2::3] = bgr[2::3], bgr[1::3], bgr[0::3]
        zeilen.append(bytes(rgb))
    return breite, abs(hoehe), zeilen

def rot(zeilen):
    return sum(z.count(b"\xff\x00\x00") for z in zeilen)

def png_schreiben(pfad, breite, hoehe, zeilen):
    def block(art, daten):
        return (struct.pack(">I", len(daten)) + art + daten
                + struct.pack(">I", zlib.crc32(art + daten) & 0xFFFFFFFF))
    roh = b"".join(b"\x00" + z for z in zeilen)
    with open(pfad, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(block(b"IHDR", struct.pack(">IIBBBBB", breite, hoehe, 8, 2, 0, 0, 0)))
        f.write(block(b"IDAT", zlib.compress(roh, 9)))
        f.write(block(b"IEND", b""))

bilder = [bmp_lesen(p) for p in sorted(glob.glob(sys.argv[1] + "/schnappschuss*.bmp"))]
if not bilder:
    raise SystemExit("anzeigetafel-bild: no snapshot")
breite, hoehe, zeilen = max(bilder, key=lambda b: rot(b[2]))
png_schreiben(sys.argv[2], breite, hoehe, zeilen)
print(f"{sys.argv[2]}: {breite} x {hoehe}")
PYEND
