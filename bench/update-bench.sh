#!/usr/bin/env bash
# Times phonebook-update installing an edition from a ZIP archive beside
# `unzip` unpacking the same archive into the same file system, round by
# round in turn, and measures the update's extra disk space while it runs.
# Then the same for an archive that is a program (a script that copies the
# tables), run in the update's sandbox, beside running that script in a
# plain folder and copying what it wrote.
#
#   bench/update-bench.sh BUILD_DIR EDITION_DIR OUT_DIR [ROUNDS]
#
# EDITION_DIR holds sp09kw_n.dbf and sp09pr_n.dbf; OUT_DIR is a scratch
# folder (the archive is cached there).
set -euo pipefail
build=$1 edition=$2 out=$3 rounds=${4:-5}
command -v unzip >/dev/null && command -v zip >/dev/null || { echo "update-bench needs zip and unzip" >&2; exit 2; }
update="$build/bin/phonebook-update"
mkdir -p "$out"
out=$(cd "$out" && pwd)
archive="$out/up-bench.zip"
if [ ! -f "$archive" ] || [ "$archive" -ot "$edition/sp09kw_n.dbf" ]; then
  rm -f "$archive"
  (cd "$edition" && zip -q "$archive" sp09kw_n.dbf sp09pr_n.dbf)
fi
edition_bytes=$(( $(stat -c %s "$edition/sp09kw_n.dbf") + $(stat -c %s "$edition/sp09pr_n.dbf") ))
program="$out/program" unzipped="$out/unzipped"

now() { date +%s%N; }
ours=() theirs=() ratios=() extras=()
for ((round = 1; round <= rounds; round++)); do
  rm -rf "$program" "$unzipped"
  mkdir -p "$program" "$unzipped"
  cp "$edition/sp09kw_n.dbf" "$edition/sp09pr_n.dbf" "$program/"
  cp "$archive" "$program/"   # lies there already, as an archive put beside the program
  sync
  base=$(du -sb "$program" | cut -f1)
  # The folder's size every few milliseconds while the update runs.
  ( peak=0; while [ ! -f "$out/done" ]; do
      size=$(du -sb "$program" 2>/dev/null | cut -f1); [ "${size:-0}" -gt "$peak" ] && peak=$size
      sleep 0.01
    done; echo "$peak" > "$out/peak" ) &
  watcher=$!
  start=$(now)
  "$update" --dir "$program" "$program/up-bench.zip" 2>/dev/null || { echo "the update failed" >&2; exit 1; }
  end=$(now)
  touch "$out/done"; wait "$watcher"; rm -f "$out/done"
  extras+=($(( $(cat "$out/peak") - base )))
  ours+=($(( (end - start) / 1000000 )))

  sync
  start=$(now)
  unzip -q -o "$archive" -d "$unzipped"
  end=$(now)
  theirs+=($(( (end - start) / 1000000 )))
  ratios+=("$(awk -v a="${ours[-1]}" -v b="${theirs[-1]}" 'BEGIN { printf "%.2f", a / (b > 0 ? b : 1) }')")
done
rm -rf "$program" "$unzipped"

# The archive as a program: it writes the tables into its working folder.
script="$out/up-bench.exe" scratch="$out/scratch" copied="$out/copied"
printf '#!/bin/sh\ncp "%s/sp09kw_n.dbf" "%s/sp09pr_n.dbf" .\n' "$(cd "$edition" && pwd)" "$(cd "$edition" && pwd)" > "$script"
chmod +x "$script"
sandboxed=() plain=() durable=() script_ratios=() durable_ratios=()
for ((round = 1; round <= rounds; round++)); do
  rm -rf "$program" "$scratch" "$copied"
  mkdir -p "$program" "$scratch" "$copied"
  cp "$edition/sp09kw_n.dbf" "$edition/sp09pr_n.dbf" "$script" "$program/"
  sync
  start=$(now)
  "$update" --dir "$program" "$program/up-bench.exe" 2>"$out/update.log" || { cat "$out/update.log" >&2; exit 1; }
  end=$(now)
  grep -q 'без изоляции' "$out/update.log" && echo "note: the script ran without the sandbox" >&2
  sandboxed+=($(( (end - start) / 1000000 )))

  # The script in a plain folder and a copy of what it wrote, once left in
  # the page cache and once synced to the disk, as an install must before it
  # relies on the copy (the update syncs each table before the swap).
  sync
  start=$(now)
  (cd "$scratch" && "$script") && cp "$scratch/sp09kw_n.dbf" "$scratch/sp09pr_n.dbf" "$copied/"
  end=$(now)
  plain+=($(( (end - start) / 1000000 )))
  rm -rf "$scratch" "$copied"; mkdir -p "$scratch" "$copied"
  sync
  start=$(now)
  (cd "$scratch" && "$script") && cp "$scratch/sp09kw_n.dbf" "$scratch/sp09pr_n.dbf" "$copied/" \
    && sync "$copied/sp09kw_n.dbf" "$copied/sp09pr_n.dbf"
  end=$(now)
  durable+=($(( (end - start) / 1000000 )))
  script_ratios+=("$(awk -v a="${sandboxed[-1]}" -v b="${plain[-1]}" 'BEGIN { printf "%.2f", a / (b > 0 ? b : 1) }')")
  durable_ratios+=("$(awk -v a="${sandboxed[-1]}" -v b="${durable[-1]}" 'BEGIN { printf "%.2f", a / (b > 0 ? b : 1) }')")
done
rm -rf "$program" "$scratch" "$copied" "$script"

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
max() { printf '%s\n' "$@" | sort -g | tail -1; }
printf 'update from ZIP: ours %s ms, unzip %s ms, ratio %s (rounds %s), target <= 2x\n' \
  "$(median "${ours[@]}")" "$(median "${theirs[@]}")" "$(median "${ratios[@]}")" "${ratios[*]}"
printf 'extra disk while it runs: at most %s MB for an edition of %s MB (%.2fx), target <= 1x\n' \
  "$(( $(max "${extras[@]}") / 1000000 ))" "$(( edition_bytes / 1000000 ))" \
  "$(awk -v a="$(max "${extras[@]}")" -v b="$edition_bytes" 'BEGIN { print a / b }')"
printf 'update from a script archive: ours %s ms; the script alone and a copy %s ms, ratio %s (rounds %s); the same with the copy synced %s ms, ratio %s (rounds %s); target <= 2x\n' \
  "$(median "${sandboxed[@]}")" "$(median "${plain[@]}")" "$(median "${script_ratios[@]}")" "${script_ratios[*]}" \
  "$(median "${durable[@]}")" "$(median "${durable_ratios[@]}")" "${durable_ratios[*]}"
