#!/bin/sh
# Runs one receiver the way a user of the board does and ends it again:
#   tafel-lauf.sh RECEIVER PREFIX HOME [USER]
# as USER (by setpriv, with USER's groups) when given. The receiver runs
# offscreen with HOME as its home and no XDG variables; once it holds its
# channel it is asked for a snapshot (SIGUSR1) and then ended (SIGTERM).
# Status 0 when the snapshot came and the receiver ended normally; otherwise
# the reason on standard output.
empfaenger=$1 prefix=$2 heim=$3 benutzer=$4
wer=""
[ -n "$benutzer" ] && wer="setpriv --reuid=$benutzer --regid=$(id -g "$benutzer") --init-groups"
env -u XDG_CONFIG_HOME -u XDG_STATE_HOME -u DISPLAY HOME="$heim" QT_QPA_PLATFORM=offscreen \
  $wer "$empfaenger" --prefix "$prefix" </dev/null >"$heim/ausgabe" 2>&1 &
pid=$!
ende() { kill -KILL $pid 2>/dev/null; echo "$1 ($(tr '\r\n' '  ' <"$heim/ausgabe"))"; exit 1; }
# The channel is open once the receiver holds its first slot; its signal
# handling is in place by then.
i=0
until ls -l /proc/$pid/fd 2>/dev/null | grep -q "/dev/shm/${prefix}VRD4Sendetexte0"; do
  kill -0 $pid 2>/dev/null || { wait $pid; ende "the receiver ended at its start with status $?"; }
  i=$((i + 1)); [ $i -gt 600 ] && ende "the receiver did not open its channel within 60 s"
  sleep 0.1
done
kill -USR1 $pid
i=0
until [ -s "$heim/.local/state/vrd4/${prefix}Picture.bmp" ]; do
  i=$((i + 1)); [ $i -gt 300 ] && ende "no snapshot in $heim/.local/state/vrd4 within 30 s"
  sleep 0.1
done
kill -TERM $pid
wait $pid
status=$?
[ $status -eq 0 ] || ende "status $status after SIGTERM"
[ -s "$heim/.config/vrd4/${prefix}VRD4Startwerte.TXT" ] || ende "no settings file in $heim/.config/vrd4"
exit 0
