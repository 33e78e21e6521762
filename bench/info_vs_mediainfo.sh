#!/usr/bin/env bash
# velmora-cli info --json against mediainfo --Output=XML over the same files,
# in one run on one machine, reported as a ratio; then the peak memory of
# info over small and over large takes (it must not grow with the data).
# usage: bench/info_vs_mediainfo.sh CLI [BUILD_DIR]   (COUNTS env: default "2000 10000")
set -euo pipefail
cli="${1:?path of velmora-cli}"
read -r -a counts <<< "${COUNTS:-2000 10000}"
command -v mediainfo >/dev/null || { echo "mediainfo is not installed" >&2; exit 1; }
work="$(mktemp -d "${TMPDIR:-/tmp}/velmora-bench-info.XXXXXX")"
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
# best of three wall-clock runs of "$@", in seconds
best_of_3() {
  local best=""
  for _ in 1 2 3; do
    local t0 t1 d
    t0=$(now); "$@" >/dev/null 2>&1 || true; t1=$(now)
    d=$(echo "$t1 - $t0" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$d < $best" | bc -l)" = 1 ]; then best=$d; fi
  done
  echo "$best"
}

echo "files,velmora_s,mediainfo_s,ratio"
for n in "${counts[@]}"; do
  dir="$work/n$n"
  "$cli" demo "$dir" --takes "$n" --seconds 0.02 --channels 2 --layout poly >/dev/null
  mapfile -t files < <(find "$dir" -name '*.WAV' | sort)
  cat "${files[@]}" >/dev/null # warm the page cache for both tools alike
  v=$(best_of_3 "$cli" info --json "${files[@]}")
  m=$(best_of_3 mediainfo --Output=XML "${files[@]}")
  printf '%s,%.3f,%.3f,%.1f\n' "${#files[@]}" "$v" "$m" "$(echo "$m / $v" | bc -l)"
done

echo
echo "takes,seconds_each,data_MB,peak_rss_kB"
for secs in 0.1 120; do
  dir="$work/mem$secs"
  "$cli" demo "$dir" --takes 4 --seconds "$secs" --channels 8 --layout poly >/dev/null
  mb=$(du -sm "$dir" | cut -f1)
  rss=$( { /usr/bin/time -f '%M' "$cli" info --json "$dir"/*.WAV >/dev/null; } 2>&1 | tail -1)
  echo "4,$secs,$mb,$rss"
done
