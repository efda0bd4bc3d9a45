#!/usr/bin/env bash
# Draws the window's pictures with ImageMagick. Run by hand when a picture changes; the
# results are committed beside this script.
set -euo pipefail
cd "$(dirname "$0")"

# Window icon: a blue tile with a white downward arrow, as a 256-colour and a 32-bit image
# (frmGuncel.ico, Windows) and a 32-bit PNG (Qt, which reads PNG without a plugin to load).
convert -size 32x32 xc:none -fill '#1f4fa0' -draw 'roundrectangle 1,1 30,30 6,6' \
    -fill white -draw 'polygon 12,6 20,6 20,15 25,15 16,25 7,15 12,15' frmGuncel.png
convert frmGuncel.png -colors 256 PNG8:icon8.png
convert icon8.png frmGuncel.png frmGuncel.ico
rm icon8.png

# basla: a green disc with a white circular arrow.
convert -size 32x32 xc:none -fill '#2e9d3a' -draw 'circle 16,16 16,2' \
    -fill none -stroke white -strokewidth 3 -draw 'arc 8,8 24,24 40,320' \
    -stroke none -fill white -draw 'polygon 22,6 27,14 18,14' basla.png

# btniptal: a red disc with a white cross.
convert -size 32x32 xc:none -fill '#c62828' -draw 'circle 16,16 16,2' \
    -stroke white -strokewidth 4 -draw 'line 10,10 22,22' -draw 'line 22,10 10,22' btniptal.png

# cmdClose: a grey door with an arrow leaving it.
convert -size 32x32 xc:none -fill '#707070' -draw 'rectangle 5,3 19,29' \
    -fill '#d0d0d0' -draw 'rectangle 8,6 16,26' \
    -fill '#1f4fa0' -draw 'polygon 14,13 22,13 22,8 30,16 22,24 22,19 14,19' cmdClose.png

# lblActive's cursor: a pointing hand, 16 colours, its fingertip at (12, 1).
convert -size 32x32 xc:none -fill white -stroke black -strokewidth 1 \
    -draw 'polygon 10,3 12,1 14,3 14,11 16,10 18,11 20,11 22,12 24,13 25,15 25,22 22,27 13,27 9,22 6,16 7,14 9,15 10,17' \
    -colors 16 PNG8:lblActive.png

# The Win32 view's forms of the same pictures: icons of the buttons, and the cursor as a
# 32-bit cursor file with its hot spot at the fingertip.
for name in basla btniptal cmdClose; do convert "$name.png" "$name.ico"; done
convert lblActive.png -depth 8 rgba:- | python3 -c '
import struct, sys
raw, size = sys.stdin.buffer.read(), 32
rows = [b"".join(bytes([raw[i + 2], raw[i + 1], raw[i], raw[i + 3]])
                 for i in range((y * size) * 4, (y + 1) * size * 4, 4)) for y in reversed(range(size))]
image = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0) + b"".join(rows) + bytes(4 * size)
sys.stdout.buffer.write(struct.pack("<HHH", 0, 2, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, 12, 1, len(image), 22) + image)
' > lblActive.cur
