#!/usr/bin/env bash
# Seeds: the program's own config.ini and language files. The first byte splits the input: the
# config file takes bytes 1 .. 4 x that byte, the language file the rest.
out=$1
for lang in languages/Languages/*.ini; do
  [ -f "$lang" ] || continue
  { printf '\x14'; head -c 79 languages/config.ini; printf '%*s' $(( 79 - $(head -c 79 languages/config.ini | wc -c) )) ''; cat "$lang"; } \
    > "$out/$(basename "$lang" .ini)"
done
exit 0
