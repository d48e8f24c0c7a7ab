#!/usr/bin/env python3
"""A TCP sender for a VRD4 receiver's command server, written from
docs/network.md alone.

As a module:

    with Tafel("127.0.0.1", 3000) as t:
        t.befehl("Cls")
        t.befehl("Linie", 1, 1, 768, 480, 3, 255)
        t.bild("BildAnzeigen", "logo.png", True, False)

As a program (one command, its fields as arguments; exit code 0 on "OK"):

    vrd4tcp.py 127.0.0.1 3000 Hintergrundfarbe 255
    vrd4tcp.py 127.0.0.1 3000 --bild logo.png BildAnzeigen logo.png -1 0
"""
import argparse
import socket
import sys

ESC = "\x1b"
CRLF = b"\r\n"
PICTURE_FIELD = {"BildAnzeigen": 5, "BildAnzeigenanPosition": 9, "AniGifLadenanPosition": 9}


def feld(wert):
    """A parameter as the receiver reads it."""
    if isinstance(wert, bool):
        return "-1" if wert else "0"
    return str(wert)


class Tafel:
    """One connection to a receiver's command server."""

    def __init__(self, host, port, zeitlimit=10.0):
        self.sock = socket.create_connection((host, port), timeout=zeitlimit)
        self.rest = b""

    def close(self):
        self.sock.close()

    def __enter__(self):
        return self

    def __exit__(self, *args):
        self.close()

    def zeile(self, text):
        """Sends one line (Windows-1252, CR LF)."""
        self.sock.sendall(text.encode("cp1252") + CRLF)

    def antwort(self):
        """The next reply line; raises socket.timeout after the time limit."""
        while CRLF not in self.rest:
            daten = self.sock.recv(4096)
            if not daten:
                raise ConnectionError("the receiver closed the connection")
            self.rest += daten
        zeile, self.rest = self.rest.split(CRLF, 1)
        return zeile.decode("cp1252")

    def befehl(self, name, *parameter, warten=True):
        """Sends "Befehl" ESC name ESC fields…; with warten, returns the reply."""
        self.zeile(ESC.join(["Befehl", name] + [feld(p) for p in parameter]))
        return self.antwort() if warten else None

    def bild(self, name, pfad, *parameter, warten=True):
        """A picture command with the file's content in the line: the
        receiving PC need not have the file."""
        with open(pfad, "rb") as f:
            inhalt = f.read().hex().upper()
        felder = ["Befehl", name, pfad] + [feld(p) for p in parameter]
        nummer = PICTURE_FIELD[name]
        felder = (felder + [""] * nummer)[:nummer] + [inhalt]
        felder += [""] * (14 - len(felder))
        self.zeile(ESC.join(felder))
        return self.antwort() if warten else None


def main(argv):
    p = argparse.ArgumentParser(description="Sends one command to a VRD4 receiver over TCP.")
    p.add_argument("host")
    p.add_argument("port", type=int)
    p.add_argument("--bild", help="picture file whose content travels in the line")
    p.add_argument("--zeitlimit", type=float, default=10.0, help="seconds to wait for OK")
    p.add_argument("name")
    p.add_argument("felder", nargs="*")
    a = p.parse_args(argv)
    try:
        with Tafel(a.host, a.port, a.zeitlimit) as t:
            if a.bild:
                if a.name not in PICTURE_FIELD:
                    print("--bild only with " + ", ".join(PICTURE_FIELD), file=sys.stderr)
                    return 2
                antwort = t.bild(a.name, a.bild, *a.felder[1:])
            else:
                antwort = t.befehl(a.name, *a.felder)
    except (OSError, socket.timeout) as e:
        print("vrd4tcp: %s" % e, file=sys.stderr)
        return 1
    print(antwort)
    return 0 if antwort == "OK" else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
