#!/usr/bin/env bash
# The file operations of velmora-cli against their peers, side by side in one
# run on one machine, each reported as a ratio (peer time / velmora time, so
# above 1 means velmora is faster; for the rewrite, velmora time / cp time):
#   split   an 8-track 24-bit 48 kHz take (SECONDS long, 345 MB at 300 s) into
#           8 mono files             vs  sox IN OUT remix N, once per track
#   combine those 8 mono files       vs  sox -M
#   rewrite the take with a note that outgrows its iXML chunk (a full rewrite
#           through a backup, synced to the disk)  vs  cp of the same file
#           (and vs cp followed by sync of the copy, the same durability)
#   in-place update of 2,000 takes (one set command)   vs  the 1 s target
# Each figure is the best of RUNS wall-clock runs, the tools taking turns, on
# a warm page cache; untimed preparation (removing outputs, fresh copies,
# sync) happens between runs.
# usage: bench/ops/ops_vs_peers.sh CLI [SECONDS] [RUNS]   (defaults 300 and 3)
set -euo pipefail
cli="$(realpath "${1:?path of velmora-cli}")"
seconds="${2:-300}"
runs="${3:-3}"
command -v sox >/dev/null || { echo "sox is not installed" >&2; exit 1; }
work="$(mktemp -d "${VELMORA_BENCH_DIR:-${TMPDIR:-/tmp}}/velmora-bench-ops.XXXXXX")"
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc -l; }
min() { if [ -z "$1" ] || [ "$(echo "$2 < $1" | bc -l)" = 1 ]; then echo "$2"; else echo "$1"; fi; }
# seconds of one run of "$@"
timed() {
  local t0 t1
  t0=$(now); "$@" >/dev/null; t1=$(now)
  elapsed "$t0" "$t1"
}
report() { # name velmora peer ratio target
  printf '%s,%.3f,%.3f,%.2f,%s\n' "$1" "$2" "$3" "$4" "$5"
}

"$cli" demo "$work/src" --takes 1 --seconds "$seconds" --channels 8 --layout poly >/dev/null
take="$work/src/T0001.WAV"
mb=$(( $(stat -c %s "$take") / 1000000 ))
echo "take: 8 tracks, 24 bit, 48 kHz, $seconds s, $mb MB; best of $runs runs"
cat "$take" >/dev/null
mkdir -p "$work/v" "$work/s"
outputs=()
for n in 1 2 3 4 5 6 7 8; do outputs+=(--output "$n"); done

sox_split() { for n in 1 2 3 4 5 6 7 8; do sox "$take" "$work/s/T0001_$n.WAV" remix "$n"; done; }
echo "benchmark,velmora_s,peer_s,ratio,target"
v=""; p=""
for _ in $(seq "$runs"); do
  rm -f "$work"/v/* "$work"/s/*; sync
  v=$(min "$v" "$(timed "$cli" split --quiet --to "$work/v" "${outputs[@]}" "$take")")
  rm -f "$work"/s/*; sync
  p=$(min "$p" "$(timed sox_split)")
done
report "split 8 tracks vs sox remix" "$v" "$p" "$(echo "$p / $v" | bc -l)" ">= 4"

mono=("$work"/v/T0001_?.WAV)
cat "${mono[@]}" >/dev/null
v=""; p=""
for _ in $(seq "$runs"); do
  rm -f "$work/c.WAV" "$work/s/c.WAV"; sync
  v=$(min "$v" "$(timed "$cli" combine --quiet --output "$work/c.WAV" "${mono[@]}")")
  rm -f "$work/c.WAV" "$work/s/c.WAV"; sync
  p=$(min "$p" "$(timed sox -M "${mono[@]}" "$work/s/c.WAV")")
done
report "combine 8 mono vs sox -M" "$v" "$p" "$(echo "$p / $v" | bc -l)" ">= 2"
rm -f "$work"/v/* "$work"/s/* "$work/c.WAV"

note="$(head -c 10000 /dev/zero | tr '\0' n)"
cp_sync() { cp "$take" "$work/copy.WAV" && sync "$work/copy.WAV"; }
v=""; p=""; ps=""
for i in $(seq "$runs"); do
  rm -f "$work"/r*.WAV "$work/copy.WAV"; cp "$take" "$work/r.WAV"; sync
  v=$(min "$v" "$(timed "$cli" set --quiet --note "$note$i" "$work/r.WAV")")
  rm -f "$work"/r*.WAV; sync
  p=$(min "$p" "$(timed cp "$take" "$work/copy.WAV")")
  rm -f "$work/copy.WAV"; sync
  ps=$(min "$ps" "$(timed cp_sync)")
done
report "full rewrite vs cp" "$v" "$p" "$(echo "$v / $p" | bc -l)" "<= 2"
report "full rewrite vs cp+sync" "$v" "$ps" "$(echo "$v / $ps" | bc -l)" "<= 2"
rm -f "$work"/r*.WAV "$work/copy.WAV"

"$cli" demo "$work/many" --takes 2000 --seconds 0.1 --channels 2 --layout poly >/dev/null
files=("$work"/many/*.WAV)
cat "${files[@]}" >/dev/null
v=""
for i in $(seq "$runs"); do
  v=$(min "$v" "$(timed "$cli" set --quiet --scene "S$i" "${files[@]}")")
done
report "in-place update of ${#files[@]} takes vs 1 s" "$v" 1 "$(echo "1 / $v" | bc -l)" ">= 1"
