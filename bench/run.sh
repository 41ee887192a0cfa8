#!/usr/bin/env bash
# Times the directory's engine beside the sqlite3 shell on a plain table that
# holds the same stored rows, and prints one table of medians and ratios.
#
#   bench/run.sh [--rounds N] [--fresh] [--no-gui] [--large] [--quick-only] [--reference REV]
#                (the update benchmark runs too)
#
#   --rounds N   interleaved rounds per statement (default 5)
#   --fresh      write the sample directory and the plain database again
#   --no-gui     skip the window benchmarks of bench/gui (built when the windows are)
#   --large      time the quick search also on directories with made-up surnames of
#                1 000 000 / 200 000 and 3 500 000 / 500 000 (written once into
#                $PHONEBOOK_QUICK_DATA/m1 and /big, default bench/out)
#   --quick-only only the quick search's benchmarks
#   --reference REV  run the quick search's benchmarks of git revision REV (built once
#                into bench/out/reference) beside ours, alternating, for before/after figures
#   PHONEBOOK_BUILD_DIR   build folder (default: build); configured and built as needed
#
# Everything it writes goes to bench/out/ (ignored by git): the sample
# directory of 1 000 000 individuals and 200 000 organisation numbers, the
# plain database, and the raw timings of the last run (timings.tsv).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${PHONEBOOK_BUILD_DIR:-$root/build}"
out="$root/bench/out"
rounds=5
fresh=0
gui=1
large=0
quick_only=0
reference=""
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds="$2"; shift 2 ;;
    --fresh) fresh=1; shift ;;
    --no-gui) gui=0; shift ;;
    --large) large=1; shift ;;
    --quick-only) quick_only=1; shift ;;
    --reference) reference="$2"; shift 2 ;;
    -h|--help) sed -n '2,22p' "$0"; exit 0 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done

persons=1000000
org_numbers=200000
seed=1

for tool in sqlite3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "bench/run.sh needs $tool" >&2; exit 2; }
done

# ---- build ----
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja >/dev/null
fi
cmake --build "$build" --target phonebook-gen phonebook-find bench-query bench-open-count bench-decode bench-load-plain >/dev/null
gen="$build/bin/phonebook-gen"
find_tool="$build/bin/phonebook-find"
bench="$build/bench"

# ---- data, cached while the generator and its options stay the same ----
data="$out/data"
plain="$out/plain.db"
stamp="persons=$persons org_numbers=$org_numbers seed=$seed gen=$(sha1sum "$gen" | cut -c1-16)"
mkdir -p "$out"
if [ "$quick_only" = 1 ] && [ "$large" = 1 ]; then
  : # only the directories of the quick search's --large benchmarks are needed
elif [ "$fresh" = 1 ] || [ ! -f "$out/stamp" ] || [ "$(cat "$out/stamp")" != "$stamp" ]; then
  rm -rf "$data" "$plain" "$out/stamp"
  echo "Writing the sample directory into $data"
  "$gen" --out "$data" --persons "$persons" --org-numbers "$org_numbers" --seed "$seed"
  echo "Loading the same stored rows into the plain database $plain"
  "$bench/bench-load-plain" "$data" "$plain"
  echo "$stamp" > "$out/stamp"
fi
if [ "$quick_only" = 0 ]; then
files_bytes=$(( $(stat -c %s "$data/sp09kw_n.dbf") + $(stat -c %s "$data/sp09pr_n.dbf") ))

# ---- the statements ----
enc() { "$find_tool" encode "$1"; }
# A four-digit prefix of a number that exists: a selective telephone search.
first_nt=$("$find_tool" decode "$(sqlite3 "$plain" 'SELECT nt FROM sp09kw_n LIMIT 1')")
nt_prefix="${first_nt:0:4}"
person_fields="sp09kw_n.nt,sp09kw_n.fio,sp09kw_n.street,sp09kw_n.hous,sp09kw_n.flat"

names=()
statements=()
targets=()
add() { names+=("$1"); targets+=("$2"); statements+=("$3"); }
add "open + count individuals" "<= 30 ms" "SELECT count(*) FROM sp09kw_n"
add "SELECT * FROM sp09pr_n" "<= 1.5x" "SELECT * FROM sp09pr_n"
add "DISTINCT naim,street,hous ORDER BY naim" "<= 1x" \
  "SELECT DISTINCT sp09pr_n.naim, sp09pr_n.street, sp09pr_n.hous FROM sp09pr_n ORDER BY naim"
add "street list, individuals" "<= 1x" \
  "SELECT DISTINCT sp09kw_n.street FROM sp09kw_n ORDER BY sp09kw_n.street"
add "street list, organisations" "<= 1x" \
  "SELECT DISTINCT sp09pr_n.street FROM sp09pr_n ORDER BY sp09pr_n.street"
add "nt LIKE '$nt_prefix%'" "<= 1x" \
  "SELECT $person_fields FROM sp09kw_n WHERE sp09kw_n.nt LIKE '$(enc "$nt_prefix")%' ORDER BY nt,fio"
add "fio LIKE 'ГОНЧАРОВ%'" "<= 1x" \
  "SELECT $person_fields FROM sp09kw_n WHERE sp09kw_n.fio LIKE '$(enc ГОНЧАРОВ)%' ORDER BY fio"
add "fio LIKE 'ИВАНОВ%'" "<= 1x" \
  "SELECT $person_fields FROM sp09kw_n WHERE sp09kw_n.fio LIKE '$(enc ИВАНОВ)%' ORDER BY fio"
add "naim LIKE '%МАГАЗИН%'" "<= 1x" \
  "SELECT DISTINCT naim,street,hous FROM sp09pr_n WHERE naim LIKE '%$(enc МАГАЗИН)%' ORDER BY naim"
add "every individual ORDER BY nt,fio" "<= 1x" \
  "SELECT $person_fields FROM sp09kw_n WHERE sp09kw_n.nt LIKE '%' ORDER BY nt,fio"

# The shell runs the statement on the plain table held in memory, with a
# case-sensitive LIKE as ours; .timer reports the statement alone, its rows
# formatted and thrown away.
shell_ms() {
  printf '.open --deserialize %s\nPRAGMA case_sensitive_like=ON;\n.output /dev/null\n.timer on\n%s;\n' "$plain" "$1" \
    | sqlite3 -batch | awk '/^Run Time:/ { t = $4 } END { printf "%.2f", t * 1000 }'
}
shell_rows() {
  printf 'PRAGMA case_sensitive_like=ON;\n%s;\n' "$1" | sqlite3 -batch "$plain" | wc -l
}
# Ours, in a fresh process each time: "rows first_ms again_ms peak_kb".
ours() {
  local i="$1" line peak
  if [ "$i" = 0 ]; then
    line=$(/usr/bin/time -f 'peak %M' -o "$out/time.txt" "$bench/bench-open-count" "$data" sp09kw_n 3)
  else
    line=$(/usr/bin/time -f 'peak %M' -o "$out/time.txt" "$bench/bench-query" "$data" "${statements[$i]}" 1)
  fi
  peak=$(awk '/^peak/ { print $2 }' "$out/time.txt")
  echo "$line" | awk -v peak="$peak" '{ print $2, $4, $6, peak }'
}

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.2f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo
echo "$(nproc) cores, $(sqlite3 --version | cut -d' ' -f1) shell; $rounds interleaved rounds; tables $(( files_bytes / 1000000 )) MB"
timings="$out/timings.tsv"
printf 'statement\tround\tours_first_ms\tours_again_ms\tshell_ms\tpeak_kb\n' > "$timings"
report=()
for i in "${!statements[@]}"; do
  ours_rows=""
  first=(); again=(); shell=(); peak_max=0
  for ((r = 1; r <= rounds; r++)); do
    read -r rows f a p < <(ours "$i")
    [ -n "${rows:-}" ] || { echo "the engine failed on: ${statements[$i]}" >&2; exit 2; }
    s=$(shell_ms "${statements[$i]}")
    ours_rows=$rows; first+=("$f"); again+=("$a"); shell+=("$s")
    [ "$p" -gt "$peak_max" ] && peak_max=$p
    printf '%s\t%d\t%s\t%s\t%s\t%s\n' "${names[$i]}" "$r" "$f" "$a" "$s" "$p" >> "$timings"
  done
  if [ "$i" = 0 ]; then
    s_rows=$(printf '%s;\n' "${statements[$i]}" | sqlite3 -batch "$plain")
  else
    s_rows=$(shell_rows "${statements[$i]}")
  fi
  mf=$(printf '%s\n' "${first[@]}" | median)
  ma=$(printf '%s\n' "${again[@]}" | median)
  ms=$(printf '%s\n' "${shell[@]}" | median)
  ratio=$(awk -v a="$mf" -v b="$ms" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
  mem=$(awk -v p="$peak_max" -v f="$files_bytes" 'BEGIN { printf "%.0f MB (%.2fx)", p / 1024, p * 1024 / f }')
  rows_note="$ours_rows"
  [ "$ours_rows" != "$s_rows" ] && rows_note="$ours_rows (shell $s_rows!)"
  report+=("$(printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s' "${names[$i]}" "$rows_note" "$mf" "$ma" "$ms" "$ratio" "${targets[$i]}" "$mem")")
  echo "  done: ${names[$i]}" >&2
done

read -r cells read_ns decode_ns < <("$bench/bench-decode" "$data" sp09kw_n 3 | awk '{ print $2, $4, $6 }')
read -r pcells pread_ns pdecode_ns < <("$bench/bench-decode" "$data" sp09pr_n 3 | awk '{ print $2, $4, $6 }')
# What one cell costs the shell when it lists the whole individuals' table, for scale.
scan=()
for ((r = 1; r <= rounds; r++)); do scan+=("$(shell_ms 'SELECT * FROM sp09kw_n')"); done
shell_cell_ns=$(printf '%s\n' "${scan[@]}" | median | awk -v c="$cells" '{ printf "%.1f", $1 * 1e6 / c }')

echo
{
  printf 'statement\trows\tours ms\tours warm ms\tshell ms\tratio\ttarget\tpeak memory (x files)\n'
  printf '%s\n' "${report[@]}"
} | if command -v column >/dev/null; then column -t -s $'\t'; else cat; fi
echo
echo "Ratio: our first run in a fresh process (mapping the files included) against the shell's statement"
echo "time on the plain table in memory; medians of $rounds interleaved rounds. Warm: the same statement"
echo "again in the same process. Peak memory: maximum resident set of our process, against both files."
echo
printf 'DecodeText per cell: individuals %s ns (%s cells), organisations %s ns (%s cells);\n' "$decode_ns" "$cells" "$pdecode_ns" "$pcells"
printf 'reading the same cells as text without deciphering: %s ns and %s ns;\n' "$read_ns" "$pread_ns"
printf 'the shell listing every individual: %s ns per cell (ratio DecodeText / shell %s).\n' "$shell_cell_ns" \
  "$(awk -v a="$decode_ns" -v b="$shell_cell_ns" 'BEGIN { printf "%.2f", a / b }')"
echo "Raw timings: $timings"

# ---- window benchmarks, when the windows are built ----
if [ "$gui" = 1 ]; then
  for target in startup-bench grid-bench; do
    cmake --build "$build" --target "$target" >/dev/null 2>&1 || continue
    echo
    echo "== $target (on the same sample directory, offscreen)"
    case "$target" in
      startup-bench) QT_QPA_PLATFORM=offscreen "$bench/$target" "$data" 2>/dev/null ;;
      grid-bench) QT_QPA_PLATFORM=offscreen "$bench/$target" --dir "$data" 2>/dev/null ;;
    esac
  done

  # Saving the full list of individuals as CSV, beside the shell writing the
  # same columns of the plain table (stored text, not deciphered) as CSV.
  if cmake --build "$build" --target save-bench >/dev/null 2>&1; then
    echo
    echo "== save-bench (every individual to CSV, offscreen; shell: .mode csv of the same columns into a file)"
    line=$(QT_QPA_PLATFORM=offscreen "$bench/save-bench" "$data" "$out/list.csv" "$rounds" 2>/dev/null)
    shell_times=()
    for ((r = 1; r <= rounds; r++)); do
      shell_times+=("$(printf '.open --deserialize %s\n.mode csv\n.separator ";" "\\r\\n"\n.headers on\n.output %s\n.timer on\nSELECT nt,fio,street,hous,flat FROM sp09kw_n;\n' \
        "$plain" "$out/shell.csv" | sqlite3 -batch 2>&1 | awk '/^Run Time:/ { t = $4 } END { printf "%.2f", t * 1000 }')")
    done
    shell=$(printf '%s\n' "${shell_times[@]}" | median)
    echo "$line" | awk -v shell="$shell" '{ printf "rows %s, %.1f MB: ours first %s ms, median %s ms; shell %s ms; ratio %.2f (target: within 3 s)\n", $2, $4 / 1e6, $6, $8, shell, $8 / shell }'
    rm -f "$out/list.csv" "$out/shell.csv"
  fi

  # The tool-bar searches, from the answer to the grid painted, beside the
  # shell running the same statements on the plain tables.
  for searches in search-bench dialog-bench; do
  if cmake --build "$build" --target "$searches" >/dev/null 2>&1; then
    echo
    echo "== $searches (answer or \"ОК\" to grid painted, offscreen; shell: the same statements, summed)"
    {
      printf 'search\tanswer\trows\tours ms\tours max ms\tcore alone ms\tshell ms\tratio\n'
      QT_QPA_PLATFORM=offscreen "$bench/$searches" "$data" "$rounds" 2>/dev/null |
        while IFS=$'\t' read -r -a f; do
          times=()
          for ((r = 1; r <= rounds; r++)); do
            total=0
            for ((k = 6; k < ${#f[@]}; k++)); do
              total=$(awk -v a="$total" -v b="$(shell_ms "${f[$k]}")" 'BEGIN { printf "%.2f", a + b }')
            done
            times+=("$total")
          done
          ms=$(printf '%s\n' "${times[@]}" | median)
          ratio=$(awk -v a="${f[3]}" -v b="$ms" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
          printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "${f[0]}" "${f[1]}" "${f[2]}" "${f[3]}" "${f[4]}" "${f[5]}" "$ms" "$ratio"
        done
    } | if command -v column >/dev/null; then column -t -s $'\t'; else cat; fi
  fi
  done

  # The quick-search box, keystroke to grid painted, beside the shell running
  # the nearest LIKE statement on the plain tables.
  if cmake --build "$build" --target quick-bench >/dev/null 2>&1; then
    echo
    echo "== quick-bench (keystroke to grid painted, offscreen; shell: the nearest LIKE statement)"
    {
      printf 'typing	text	rows	ours ms	ours max ms	shell ms	ratio\n'
      QT_QPA_PLATFORM=offscreen "$bench/quick-bench" "$data" "$rounds" 2>/dev/null |
        while IFS=$'\t' read -r -a f; do
          if [ "${f[5]:--}" = - ]; then
            printf '%s\t%s\t%s\t%s\t%s\t-\t-\n' "${f[0]}" "${f[1]}" "${f[2]}" "${f[3]}" "${f[4]}"
            continue
          fi
          times=()
          for ((r = 1; r <= rounds; r++)); do times+=("$(shell_ms "${f[5]}")"); done
          ms=$(printf '%s\n' "${times[@]}" | median)
          ratio=$(awk -v a="${f[3]}" -v b="$ms" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
          printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "${f[0]}" "${f[1]}" "${f[2]}" "${f[3]}" "${f[4]}" "$ms" "$ratio"
        done
    } | if command -v column >/dev/null; then column -t -s $'\t'; else cat; fi
  fi
fi


fi

# ---- the quick search: the search alone and in the window, ours beside a reference ----
# Builds the reference's two quick-search benchmarks from git revision $reference.
reference_bench() {
  local ref="$out/reference" sha
  sha=$(git -C "$root" rev-parse "$reference^{commit}")
  if [ ! -f "$ref/stamp" ] || [ "$(cat "$ref/stamp")" != "$sha" ]; then
    rm -rf "$ref"
    mkdir -p "$ref"
    git -C "$root" archive "$sha" | tar -x -C "$ref"
    cmake -S "$ref" -B "$ref/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    echo "$sha" > "$ref/stamp"
  fi
  cmake --build "$ref/build" --target bench-quick >/dev/null
  [ "$gui" = 1 ] && { cmake --build "$ref/build" --target quick-bench >/dev/null 2>&1 || true; }
  echo "$ref/build/bench"
}

# Directories with made-up surnames (a dictionary of real size), written once.
quick_dir() {
  local name="$1" persons="$2" orgs="$3" dir
  dir="${PHONEBOOK_QUICK_DATA:-$out}/$name"
  mkdir -p "$(dirname "$dir")"
  flock "$(dirname "$dir")/.gen.lock" sh -c "test -e '$dir/done' || { '$gen' --out '$dir' --persons $persons --org-numbers $orgs --made-up-surnames >/dev/null && touch '$dir/done'; }"
  echo "$dir"
}

# Runs "$@" twice for ours and twice for the reference, alternating; prints
# "key<TAB>ours<TAB>reference" medians per line key (the first four fields), with the
# value in field $value_field.
side_by_side() {
  local value_field="$1" kind="$2" dir="$3" ref_bench="$4" r
  local runs="$out/quick-runs"
  rm -rf "$runs"; mkdir -p "$runs"
  for r in 1 2; do
    QT_QPA_PLATFORM=offscreen "$bench/$kind" "$dir" "$rounds" > "$runs/ours.$r" 2> "$runs/ours.$r.err" || true
    if [ -n "$ref_bench" ] && [ -x "$ref_bench/$kind" ]; then
      QT_QPA_PLATFORM=offscreen "$ref_bench/$kind" "$dir" "$rounds" > "$runs/ref.$r" 2> "$runs/ref.$r.err" || true
    fi
  done
  awk -F'\t' -v f="$value_field" '
    FNR == 1 { who = FILENAME ~ /ref\./ ? "ref" : "ours" }
    { key = $1 "\t" $2; if (!(key in seen)) { seen[key] = 1; order[++n] = key; rows[key] = $3 }
      v[who, key] = v[who, key] " " $f; if (who == "ours") rows[key] = $3 }
    function med(s,   a, k) { k = split(s, a, " "); if (k == 0) return "-"; if (k == 1) return a[1]; return sprintf("%.1f", (a[1] + a[2]) / 2) }
    END { for (i = 1; i <= n; ++i) print order[i] "\t" rows[order[i]] "\t" med(v["ours", order[i]]) "\t" med(v["ref", order[i]]) }
  ' "$runs"/ours.[12] $( [ -f "$runs/ref.1" ] && echo "$runs"/ref.[12] )
  echo "--"
  grep -h '^index of' "$runs"/ours.*.err | sed 's/^/ours: /' || true
  [ -f "$runs/ref.1.err" ] && grep -h '^index of' "$runs"/ref.*.err | sed 's/^/reference: /' || true
}

quick_benchmarks() {
  local ref_bench="" dirs=() d
  cmake --build "$build" --target bench-quick >/dev/null
  [ "$gui" = 1 ] && { cmake --build "$build" --target quick-bench >/dev/null 2>&1 || gui=0; }
  [ -n "$reference" ] && ref_bench=$(reference_bench)
  if [ "$large" = 1 ]; then
    dirs+=("$(quick_dir m1 1000000 200000)" "$(quick_dir big 3500000 500000)")
  else
    dirs+=("$data")
  fi
  for d in "${dirs[@]}"; do
    local mb=$(( ($(stat -c %s "$d/sp09kw_n.dbf") + $(stat -c %s "$d/sp09pr_n.dbf")) / 1000000 ))
    local result
    echo
    echo "== bench-quick on $d ($mb MB; the search alone and the first screen of rows; load $(cut -d' ' -f1-3 /proc/loadavg))"
    result=$(side_by_side 5 bench-quick "$d" "$ref_bench")
    {
      printf 'side\ttext\trows\tours ms\treference ms\n'
      echo "$result" | sed '/^--$/,$d'
    } | if command -v column >/dev/null; then column -t -s $'\t'; else cat; fi
    echo "$result" | sed '1,/^--$/d'
    if [ "$gui" = 1 ]; then
      echo
      echo "== quick-bench on $d (keystroke to grid painted, offscreen; load $(cut -d' ' -f1-3 /proc/loadavg))"
      result=$(side_by_side 4 quick-bench "$d" "$ref_bench")
      {
        printf 'typing\ttext\trows\tours ms\treference ms\n'
        echo "$result" | sed '/^--$/,$d'
      } | if command -v column >/dev/null; then column -t -s $'\t'; else cat; fi
    fi
  done
}

if [ "$large" = 1 ] || [ "$quick_only" = 1 ] || [ -n "$reference" ]; then
  quick_benchmarks
fi
[ "$quick_only" = 1 ] && exit 0

# Installing the edition from a ZIP archive, beside unzip of the same archive.
cmake --build "$build" --target phonebook-update >/dev/null
echo
echo "== update-bench (phonebook-update from a ZIP of the edition; unzip of the same archive into the same file system)"
"$root/bench/update-bench.sh" "$build" "$data" "$out/update" "$rounds"
