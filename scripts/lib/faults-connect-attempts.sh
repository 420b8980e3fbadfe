#!/bin/bash
# A refusing server: how often the panel tries to connect, counted twice over. Attempts are
# the panel's connectToHost calls (counted by a preloaded library); SYNs are the kernel's
# ActiveOpens counter in a network namespace of our own, where the panel is the only
# program that opens a TCP connection. Qt may open two sockets for one attempt.
#   faults-connect-attempts.sh PANEL BUILD_FOLDER [SECONDS]
set -euo pipefail
panel=$1 build=$2 seconds=${3:-20}
here=$(cd "$(dirname "$0")" && pwd)

headers=$(qmake6 -query QT_INSTALL_HEADERS)
counter=$(cd "$build" && pwd)/count-connect-attempts.so
if [ ! -f "$counter" ] || [ "$here/count-connect-attempts.cpp" -nt "$counter" ]; then
  g++ -std=c++20 -shared -fPIC -O1 -DQT_NO_VERSION_TAGGING -I"$headers" -I"$headers/QtCore" -I"$headers/QtNetwork" \
    "$here/count-connect-attempts.cpp" -o "$counter" -ldl
fi

work=$(mktemp -d /tmp/qev-attempts.XXXXXX)
trap '[ -n "${QEV_KEEP:-}" ] || rm -rf "$work"' EXIT
mkdir "$work/panel"
cp "$panel" "$work/panel/qevntpnl"
# Nothing listens on the port inside the namespace: every SYN is refused at once.
printf '%s\r\n' "[CONFIGURATION]" "SETUP" "IP Address=127.0.0.1" "IP Port=1250" "CONFIG" \
  "Input=3" "Console=5" "Stay On Top=Yes" "Refresh Rate=1" "Time Out=20" "SECURITY" \
  "User Name=" "Password=" >"$work/panel/qevntpnl.ini"

# Prints the SYNs the panel sent; runs inside the namespace.
# shellcheck disable=SC2016
inside='
  active_opens() { awk "/^Tcp:/ { n++; if (n == 1) for (i = 1; i <= NF; i++) if (\$i == \"ActiveOpens\") c = i; if (n == 2) print \$c }" /proc/net/snmp; }
  ip link set lo up
  before=$(active_opens)
  cd "$1/panel"
  QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$1 QEV_ATTEMPTS_FILE=$1/attempts \
    LD_PRELOAD=$2 ./qevntpnl >"$1/panel.out" 2>&1 &
  pid=$!
  sleep "$3"
  kill "$pid"
  wait "$pid" || true
  echo $(($(active_opens) - before))
'
chmod 700 "$work"
if unshare -n true 2>/dev/null; then
  syns=$(unshare -n bash -c "$inside" inside "$work" "$counter" "$seconds")
else
  # A container may forbid namespaces; the attempts alone are still worth having.
  echo "no network namespace here: SYNs not counted"
  bash -c "ip() { :; }; active_opens() { echo 0; }; $inside" inside "$work" "$counter" "$seconds" >/dev/null
  syns=-1
fi
attempts=$(grep -c attempt "$work/attempts" 2>/dev/null || echo 0)
awk -v s="$seconds" -v a="$attempts" -v y="$syns" 'BEGIN {
  printf "FIGURE: refusing server for %d s: %d connect attempts (%.2f per s)", s, a, a / s
  if (y >= 0) printf ", %d SYNs (%.2f per attempt)", y, (a > 0 ? y / a : 0)
  printf "\n" }'
[ "$attempts" -gt 0 ] || { echo "FAIL: no connect attempt counted" >&2; exit 1; }
