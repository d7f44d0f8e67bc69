#!/usr/bin/env python3
"""What one power cut left, as power_cut.sh read it out of the disk image.

  power_cut_check.py BEFORE AFTER CONSOLE [NEXT]

BEFORE is the log as the cut's boot found it, AFTER the log the cut left (after e2fsck),
CONSOLE the machine's console with the writer's "kept|record" lines (TABs as |), NEXT the log
after a start on a copy of what the cut left, the second place included. Prints the figures as
NAME=VALUE words and exits 1 when a record the writer confirmed is missing or twice, a record
is twice, a line is no whole record, or what BEFORE held changed.
"""
import re
import sys

RECORD = re.compile(rb"^\d{4}-\d\d-\d\d\t\d\d:\d\d:\d\d\t\d+\t[\d,]+\t\r$")
KEPT = re.compile(rb"^kept\|(\d{4}-\d\d-\d\d\|\d\d:\d\d:\d\d\|\d+\|[\d,]+\|)\r?$")
# The old records the test starts with are dated before the writer's first day.
FIRST_NEW = b"1900-01-01"


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return b""


def lines_of(text):
    """The whole lines (with their CR, without LF) and what follows the last LF."""
    parts = text.split(b"\n")
    return parts[:-1], parts[-1]


def check(before, after):
    """Torn lines, old lines lost, records twice (a date that does not grow), new lines."""
    old, old_rest = lines_of(before)
    lines, rest = lines_of(after)
    torn = sum(1 for line in lines if not RECORD.match(line)) + (1 if rest else 0)
    same = 0
    while same < min(len(old), len(lines)) and old[same] == lines[same]:
        same += 1
    lost_old = len(old) - same + (1 if old_rest else 0)
    twice = 0
    last = b""
    for line in lines:
        date = line[:10]
        if date < FIRST_NEW:
            continue
        if date <= last:
            twice += 1
        last = max(last, date)
    return torn, lost_old, twice, lines[same:]


def main():
    if len(sys.argv) not in (4, 5):
        print(__doc__, file=sys.stderr)
        return 2
    before = read(sys.argv[1])
    after = read(sys.argv[2])
    console = read(sys.argv[3])
    # Only lines the console ended: the cut may stop one midway.
    said, _ = lines_of(console)
    kept = [m.group(1).replace(b"|", b"\t") + b"\r" for m in map(KEPT.match, said) if m]
    # A kernel message in the middle of one would hide a confirmation: shown when it happens.
    garbled = sum(1 for line in said if b"kept|" in line) - len(kept)
    torn, lost_old, twice, new = check(before, after)
    lines, _ = lines_of(after)
    counts = {}
    for line in lines:
        counts[line] = counts.get(line, 0) + 1
    # A record there twice is also a date that does not grow: counted once, above.
    lost = sum(1 for record in kept if counts.get(record, 0) == 0) + lost_old
    unconfirmed = len(set(new) - set(kept))
    figures = {
        "confirmed": len(kept),
        "found": len(new),
        "unconfirmed_found": unconfirmed,
        "lost": lost,
        "doubled": twice,
        "torn": torn,
    }
    if garbled:
        figures["garbled_confirmations"] = garbled
    ok = lost == 0 and twice == 0 and torn == 0
    if len(sys.argv) == 5:
        # A start over what the cut left takes back what the second place keeps: once only,
        # behind what the log held, and every record it added a whole one.
        after_start = read(sys.argv[4])
        torn2, lost2, twice2, added = check(after, after_start)
        figures.update(taken_back=len(added), next_lost=lost2, next_doubled=twice2,
                       next_torn=torn2)
        ok = ok and lost2 == 0 and twice2 == 0 and torn2 == 0
    print(" ".join(f"{k}={v}" for k, v in figures.items()))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
