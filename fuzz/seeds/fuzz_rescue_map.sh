#!/usr/bin/env bash
# Seeds: mapfiles as GNU ddrescue and salvora-cli write them, one with every status.
out=$1
printf '# Mapfile. Created by GNU ddrescue version 1.27\n# current_pos  current_status  current_pass\n0x00010000     ?               1\n#      pos        size  status\n0x00000000  0x00010000  +\n0x00010000  0x00001000  *\n0x00011000  0x00000200  /\n0x00011200  0x00000400  -\n0x00011600  0x00100000  ?\n' > "$out/every-status.map"
printf '0 + 1\n0 1048576 +\n' > "$out/decimal.map"
printf '0x0 F\n0x0 0x200 +\n0x200 0x200 -\n' > "$out/filling.map"
exit 0
