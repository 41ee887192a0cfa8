#!/usr/bin/env bash
# Times phonebook-gen writing the large directory (3 500 000 individuals,
# 500 000 organisation numbers) beside the 1 000 000 / 200 000 one, round by
# round in turn, and prints the ratios of the two, of the wall-clock time and
# of the processor time (user and system; steadier on a busy machine). The
# individuals grow 3.5 times, all records 3.3 times: a cost that grows with
# the records keeps both ratios at 3.5 or below.
#
#   bench/gen-bench.sh PHONEBOOK_GEN OUT_DIR [ROUNDS]
#
# OUT_DIR is a scratch folder; each run's tables are removed after it.
set -euo pipefail
gen=$1 out=$2 rounds=${3:-3}
mkdir -p "$out"

run() { # PERSONS ORG_NUMBERS: wall and processor seconds
  local TIMEFORMAT='%R %U %S' times
  times=$({ time "$gen" --out "$out/gen" --persons "$1" --org-numbers "$2" --made-up-surnames >/dev/null; } 2>&1)
  rm -rf "$out/gen"
  awk '{ printf "%.2f %.2f", $1, $2 + $3 }' <<<"$times"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

walls=() cpus=()
for ((round = 1; round <= rounds; round++)); do
  read -r small_wall small_cpu <<<"$(run 1000000 200000)"
  read -r large_wall large_cpu <<<"$(run 3500000 500000)"
  walls+=("$(ratio "$large_wall" "$small_wall")") cpus+=("$(ratio "$large_cpu" "$small_cpu")")
  echo "round $round: 1 000 000 in $small_wall s ($small_cpu s processor), 3 500 000 in $large_wall s" \
    "($large_cpu s processor); ratios ${walls[-1]} wall, ${cpus[-1]} processor"
done
echo "median ratios: $(median "${walls[@]}") wall, $(median "${cpus[@]}") processor (3.5 at most wanted)"
