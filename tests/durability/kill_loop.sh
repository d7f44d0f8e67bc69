#!/usr/bin/env bash
# kill -9 the program again and again while it writes its log, then start it once more: the log
# must be whole (every line a record, the old ones untouched), hold no record twice, and the
# folder must hold nothing that a write left behind. A crash may leave one temporary at most.
set -euo pipefail
writer=$1
kills=${2:-120}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# An old log of 40,000 records, so that every write takes a while and the kills land in writes.
awk 'BEGIN { for (i = 0; i < 40000; i++) printf "1899-12-%02d\t00:05:00\t%d\t0,29\t\r\n", 1 + i % 28, 1 + i % 9 }' \
  > "$dir/raport.txt"
head_sum=$(md5sum < "$dir/raport.txt")
# The writer dates its records from the number of lines, from 1900-01-01 on; these old lines
# count too, so the first new record is dated 40,000 days later.
left=0
for ((i = 0; i < kills; i++)); do
  "$writer" "$dir" write &
  pid=$!
  # Killed while it writes: once a temporary is there, at a random point of that write or of
  # one a little later.
  for ((spin = 0; spin < 200000; spin++)); do
    [ -e "$dir/.raport.txt.tmp" ] && break
  done
  case $((RANDOM % 4)) in
    0 | 1) sleep "0.00$((RANDOM % 10))" ;;
    2) sleep "0.$(printf '%03d' $((20 + RANDOM % 180)))" ;;
  esac
  kill -9 "$pid"
  wait "$pid" 2>/dev/null || true
  temps=$(find "$dir" -maxdepth 1 -name '.raport.txt.*' | wc -l)
  if [ "$temps" -gt 1 ]; then
    echo "FAIL: $temps temporaries after kill $i"; ls -la "$dir"; exit 1
  fi
  left=$((left + temps))
done
"$writer" "$dir" start
extra=$(find "$dir" -mindepth 1 -maxdepth 1 ! -name raport.txt ! -name taktomat.ini \
  ! -name taktomat.lock ! -name unsaved -printf '%f\n')
if [ -n "$extra" ]; then
  echo "FAIL: left behind after the next start: $extra"; exit 1
fi
# The second place stays, its room reserved, but keeps nothing once the log holds every record.
if [ -s "$dir/unsaved/raport.txt" ] && [ "$(head -c 1 "$dir/unsaved/raport.txt" | od -An -tx1)" != " 00" ]; then
  echo "FAIL: the second place still keeps records"; exit 1
fi
lines=$(wc -l < "$dir/raport.txt")
if [ "$(head -n 40000 "$dir/raport.txt" | md5sum)" != "$head_sum" ]; then
  echo "FAIL: the old records changed"; exit 1
fi
# Every line a record ending in TAB CR LF; the new ones each a day after the one before.
if grep -n -v -P '^\d{4}-\d\d-\d\d\t\d\d:\d\d:\d\d\t\d+\t[\d,]+\t\r$' "$dir/raport.txt" | head -3 | grep .; then
  echo "FAIL: lines that are not records"; exit 1
fi
awk -v FS='\t' 'NR > 40000 {
    if ($1 <= last) { print "FAIL: line " NR " (" $1 ") does not follow " last; bad = 1; exit 1 }
    last = $1 }
  END { exit bad }' "$dir/raport.txt"
new=$((lines - 40000))
echo "kills: $kills, a write cut by the kill (temporary found): $left times, records written: $new, file whole, none twice, nothing left behind"
[ "$new" -gt 0 ]
