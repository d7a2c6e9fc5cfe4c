#!/usr/bin/env bash
# Seeds: well-formed relation text and folder entries, and a catalogue file with one entry.
out=$1
printf '\x1e\x00\x06 | 2 - [1,2,5] | 4294967298 - [3]' > "$out/relation"
{ printf '\x0c\x00\x04 | 2 - [1,2]'; head -c 268 /dev/zero; printf '\x02\x00\x00\x00\x00\x00\x00\x00'; head -c 1120 /dev/zero; } > "$out/mixed"
exit 0
