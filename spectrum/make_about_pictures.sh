#!/bin/sh
# Draws the two pictures of the about dialog (run once; the PNGs are kept).
set -e
out=${1:-$(dirname "$0")/../resources}
bold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf

# KD36_PHOTO: the modem box with its antenna on a studio backdrop.
convert -size 252x356 gradient:'#2f8f8f'-'#0f4f55' \
  -fill '#0a3a3f' -draw "ellipse 126 300 96 14 0 360" \
  -fill '#1b1f24' -draw "roundrectangle 172 28 180 150 4 4" \
  -fill '#2b3038' -draw "circle 176 28 176 21" \
  -fill '#3a3f47' -draw "roundrectangle 164 138 188 160 4 4" \
  -fill '#c9ced6' -stroke '#8a919c' -strokewidth 2 -draw "roundrectangle 40 150 212 296 14 14" \
  -stroke none -fill '#e6e9ee' -draw "roundrectangle 44 154 208 176 10 10" \
  -fill '#2d3440' -draw "roundrectangle 54 186 198 262 6 6" \
  -fill '#3fe07a' -draw "circle 70 252 70 247" \
  -fill '#ffb020' -draw "circle 88 252 88 247" \
  -fill '#ff4d40' -draw "circle 106 252 106 247" \
  -fill '#7f8896' -draw "roundrectangle 150 245 188 258 3 3" \
  -fill '#9aa3b0' -draw "rectangle 60 268 92 286" -draw "rectangle 160 268 192 286" \
  -fill '#5a626e' -draw "circle 76 277 76 274" -draw "circle 176 277 176 274" \
  -font "$bold" -pointsize 34 -fill '#f2f5f8' -gravity north -annotate +0+188 'KD-36' \
  -font "$bold" -pointsize 11 -fill '#9fb0c6' -annotate +0+228 'RADIO MODEM' \
  -strip +dither -colors 96 PNG8:"$out/kd36_photo.png"

# NORVANE_LOGO: a wordmark with a small vane mark.
convert -size 320x72 xc:white \
  -fill '#0f6f74' -draw "polygon 10 60 34 8 46 8 22 60" \
  -fill '#2fa8a8' -draw "polygon 30 60 54 8 66 8 42 60" \
  -font "$bold" -pointsize 44 -fill '#123c5a' -gravity west -annotate +76+2 'NORVANE' \
  -strip +dither -colors 32 PNG8:"$out/norvane_logo.png"
