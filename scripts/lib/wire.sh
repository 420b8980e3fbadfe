# shellcheck shell=bash
# Figures from the simulator's trace, for scripts/faults and scripts/soak. Used after
# tests/system/lib.sh, whose TRACE, now_ms and stamp_seconds they build on. Times are seconds
# since the midnight before the run started, with milliseconds, as the trace stamps them.

WIRE_START=$(date +%H:%M:%S.%3N | stamp_seconds)

# seconds: trace stamps on standard input as seconds; a run that passes midnight goes on counting.
seconds() { stamp_seconds | awk -v start="$WIRE_START" '{ s = $1; if (s < start - 60) s += 86400; printf "%.3f\n", s }'; }

clock_seconds() { date +%H:%M:%S.%3N | seconds; }

# line_seconds LINE: the time stamp of that line of the trace.
line_seconds() { sed -n "${1}p" "$TRACE" | seconds; }

# last_line TEXT: the number of the last line of the trace holding that text.
last_line() { grep -nF -- "$1" "$TRACE" | tail -n1 | cut -d: -f1; }

# poll_seconds [FIRST_LINE]: when each poll moment's message (a poll, or the info request
# sent in its place) reached the simulator, from that line of the trace on.
poll_seconds() {
  tail -n +"${1:-1}" "$TRACE" | grep -E -- '<- (F5 POLL|F2 INFO REQUEST) VALID' | seconds
}

# most_within SECONDS: the largest number of the times on standard input that fall within
# SECONDS of each other.
most_within() {
  awk -v span="$1" '{ t[NR] = $1 }
    END {
      most = 0; first = 1
      for (i = 1; i <= NR; i++) {
        while (t[i] - t[first] > span + 0.0005) first++
        if (i - first + 1 > most) most = i - first + 1
      }
      print most
    }'
}

# trace_lines: how many lines the trace has now, so that a later look can start after them.
trace_lines() { wc -l <"$TRACE"; }

# closes_since LINE: the links the panel closed from that line of the trace on.
closes_since() { tail -n +"$1" "$TRACE" | grep -c 'closed by the panel'; }

# resident_kib PID: the process's resident memory now.
resident_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
