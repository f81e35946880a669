# lib.sh - what the benchmark scripts share; each sources it:
#
#   . "$(dirname "$0")/lib.sh"     # sets root and enters it
#   median FILE                    # or: ... | median
#   now_ms, now_ns                 # the wall clock
#   ms=$(elapsed_ms COMMAND ...)   # wall milliseconds of one run, output dropped
#   load_average                   # "0.42 0.30 0.21"

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root"

# The median of the numbers in FILE (or standard input), one a line: the
# middle value, or the mean of the two middle values of an even count.
median() {
  sort -g "${1:--}" | awk '{ v[NR] = $1 }
    END { if (NR == 0) exit 1; print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

now_ms() { date +%s%3N; }
now_ns() { date +%s%N; }

# Milliseconds that COMMAND takes, its output dropped; the command's own
# failure fails the caller (set -e).
elapsed_ms() {
  local start
  start=$(now_ms)
  "$@" >/dev/null 2>&1
  echo $(($(now_ms) - start))
}

load_average() { cut -d' ' -f1-3 /proc/loadavg; }
