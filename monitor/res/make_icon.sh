#!/bin/bash
# Writes the monitor's icon (32x32, 32-bit colour): a small camera body with
# its lens and indicator light. Usage: make_icon.sh OUTPUT.ico
set -euo pipefail
out=${1:?usage: make_icon.sh OUTPUT.ico}

bytes=""
le16() { bytes+=$(printf '\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255))); }
le32() { bytes+=$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) \
                  $((($1 >> 16) & 255)) $((($1 >> 24) & 255))); }
byte() { bytes+=$(printf '\\x%02x' "$1"); }

size=$((40 + 32 * 32 * 4 + 32 * 4))
# Icon directory with one entry.
le16 0; le16 1; le16 1
byte 32; byte 32; byte 0; byte 0; le16 1; le16 32; le32 $size; le32 22
# Bitmap header: the height counts the colour rows and the mask rows.
le32 40; le32 32; le32 64; le16 1; le16 32; le32 0; le32 $((32 * 32 * 4)); le32 0; le32 0; le32 0; le32 0

# Colour rows, bottom row first, blue-green-red-alpha.
for ((y = 31; y >= 0; y--)); do
  for ((x = 0; x < 32; x++)); do
    b=0; g=0; r=0; a=0
    if ((x >= 2 && x <= 29 && y >= 8 && y <= 27)); then b=70; g=60; r=55; a=255; fi       # body
    if ((x >= 6 && x <= 13 && y >= 5 && y <= 8)); then b=70; g=60; r=55; a=255; fi        # button
    dx=$((x - 16)); dy=$((y - 18)); d=$((dx * dx + dy * dy))
    if ((d <= 49)); then b=200; g=200; r=210; a=255; fi                                   # lens ring
    if ((d <= 25)); then b=150; g=80; r=30; a=255; fi                                     # lens
    if ((d <= 4)); then b=235; g=225; r=220; a=255; fi                                    # glint
    if ((x >= 24 && x <= 26 && y >= 11 && y <= 13)); then b=40; g=40; r=230; a=255; fi    # light
    byte $b; byte $g; byte $r; byte $a
  done
done
# Mask rows: all zero, the alpha channel decides.
for ((i = 0; i < 32 * 4; i++)); do byte 0; done

printf "$bytes" > "$out.tmp"
mv "$out.tmp" "$out"
