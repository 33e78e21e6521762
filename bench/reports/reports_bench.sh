#!/usr/bin/env bash
# Sound reports through velmora-cli report, whole process, page cache warm:
#   PDF of 1,000 polyphonic takes of 8 named tracks, track names as columns
#   (target: under 2 s), and CSV of 10,000 takes (target: under 0.5 s).
# The time includes reading the takes; "takes" over the same folder is
# shown beside it for scale. Best of three runs each.
# usage: bench/reports/reports_bench.sh CLI [WRITERS]   (WRITERS: bench_report_writers,
# run after for the writers' own share)
set -euo pipefail
cli="${1:?path of velmora-cli}"
work="$(mktemp -d "${TMPDIR:-/tmp}/velmora-bench-reports.XXXXXX")"
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
best_of_3() {
  local best=""
  for _ in 1 2 3; do
    local t0 t1 d
    t0=$(now); "$@" >/dev/null 2>&1; t1=$(now)
    d=$(echo "$t1 - $t0" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$d < $best" | bc -l)" = 1 ]; then best=$d; fi
  done
  echo "$best"
}

"$cli" demo "$work/pdf" --takes 1000 --seconds 0.01 --channels 8 --layout poly >/dev/null
"$cli" demo "$work/csv" --takes 10000 --seconds 0.01 --channels 2 --layout poly >/dev/null
cat "$work"/pdf/* "$work"/csv/* >/dev/null

header=(--header "Project:=Bench" --header "Roll:=A001")
pdf=$(best_of_3 "$cli" report --format pdf --output "$work/r.pdf" --track-names "${header[@]}" \
  "$work/pdf")
pdf_takes=$(best_of_3 "$cli" takes "$work/pdf")
csv=$(best_of_3 "$cli" report --format csv --output "$work/r.csv" --track-names --notes-rows \
  "${header[@]}" "$work/csv")
csv_takes=$(best_of_3 "$cli" takes "$work/csv")
pages=$(command -v pdfinfo >/dev/null && pdfinfo "$work/r.pdf" | awk '/^Pages:/ {print $2}' || echo "?")

echo "report,takes,seconds,takes_listing_s,target_s,met"
met() { [ "$(echo "$1 < $2" | bc -l)" = 1 ] && echo yes || echo no; }
printf 'pdf (%s pages),1000,%.3f,%.3f,2,%s\n' "$pages" "$pdf" "$pdf_takes" "$(met "$pdf" 2)"
printf 'csv,10000,%.3f,%.3f,0.5,%s\n' "$csv" "$csv_takes" "$(met "$csv" 0.5)"
if [ -n "${2:-}" ]; then
  echo
  "$2"
fi
