#!/usr/bin/env bash
# Draws the program's pictures with ImageMagick 6: the splash picture, the
# tool-bar glyphs (each with a disabled look) and the application icon.
# The results are committed beside this script; run it again after a change:
#   resources/draw.sh
set -euo pipefail
cd "$(dirname "$0")"
mkdir -p glyphs icons

font=DejaVu-Sans
fontBold=DejaVu-Sans-Bold

# A telephone handset as a path in a 100x100 box, reused by the splash and the icon.
handset='M 22,14 C 30,10 36,12 40,20 L 46,34 C 48,40 46,44 40,47 L 35,50
 C 40,62 46,70 56,76 L 60,71 C 63,66 68,64 74,67 L 87,74 C 93,78 94,84 90,90
 L 85,95 C 78,101 66,100 54,93 C 36,83 20,65 11,45 C 6,33 8,22 16,17 Z'

# Splash: 380x214, a night-blue gradient, a handset, the title and the city.
convert -size 380x214 gradient:'#1d3f73'-'#5b8ccc' \
  -fill '#ffffff18' -draw 'circle 330,40 430,40' -draw 'circle 330,40 395,40' \
  -fill '#f2c14e' -stroke '#9a6f12' -strokewidth 2 \
  -draw "translate 22,40 scale 1.15,1.15 path '$handset'" \
  -stroke none -fill '#ffffff' -font "$fontBold" -pointsize 25 \
  -annotate +150+86 'Телефонный' -annotate +150+116 'справочник' \
  -font "$font" -pointsize 17 -fill '#dbe7ff' -annotate +150+146 'абонентов г. Тальмир' \
  -fill '#ffffff' -draw 'rectangle 150,160 350,161' \
  -font "$fontBold" -pointsize 15 -fill '#f2c14e' -annotate +150+186 'Издание 2002 года' \
  -font "$font" -pointsize 11 -fill '#dbe7ff' -annotate +150+204 'Загрузка справочника…' \
  -quality 92 -sampling-factor 1x1 splash.jpg

# Tool-bar glyphs, 16x16 with transparency. Each is drawn on a 64x64 canvas
# and scaled down, which keeps the edges smooth.
glyph() { # name, draw arguments...
  local name=$1; shift
  convert -size 64x64 xc:none "$@" -resize 16x16 "glyphs/$name.png"
  # Disabled look: grey, lighter and half transparent.
  convert "glyphs/$name.png" -colorspace Gray -level -40%,100% \
    -channel A -evaluate multiply 0.55 +channel "glyphs/$name-disabled.png"
}
lens=(-stroke '#303030' -strokewidth 7 -fill '#bfe3ff' -draw 'circle 42,42 42,30'
      -strokewidth 9 -draw 'line 50,50 60,60')

glyph phone-search \
  -fill '#2f6fc0' -stroke '#17407a' -strokewidth 3 -draw "scale 0.6,0.6 path '$handset'" \
  -stroke none "${lens[@]}"
glyph person-search \
  -fill '#d08a3a' -stroke '#7a4a12' -strokewidth 3 -draw 'circle 24,16 24,5' \
  -draw 'roundrectangle 6,30 42,62 12,12' -stroke none "${lens[@]}"
glyph house-search \
  -fill '#c0392b' -stroke '#6e1f16' -strokewidth 3 -draw 'polygon 2,30 24,6 46,30' \
  -fill '#f4e3c1' -draw 'rectangle 8,30 40,60' -fill '#6e4a2a' -draw 'rectangle 19,42 29,60' \
  -stroke none "${lens[@]}"
glyph org-search \
  -fill '#7f8c8d' -stroke '#34495e' -strokewidth 3 -draw 'rectangle 6,4 40,62' \
  -fill '#f7dc6f' -stroke none \
  -draw 'rectangle 12,10 19,17' -draw 'rectangle 27,10 34,17' \
  -draw 'rectangle 12,23 19,30' -draw 'rectangle 27,23 34,30' \
  -draw 'rectangle 12,36 19,43' -draw 'rectangle 27,36 34,43' \
  "${lens[@]}"
glyph org-address-search \
  -fill '#7f8c8d' -stroke '#34495e' -strokewidth 3 -draw 'rectangle 4,18 30,62' \
  -fill '#f7dc6f' -stroke none -draw 'rectangle 9,24 15,30' -draw 'rectangle 19,24 25,30' \
  -draw 'rectangle 9,36 15,42' -draw 'rectangle 19,36 25,42' \
  -fill '#e74c3c' -stroke '#922b21' -strokewidth 3 -draw 'circle 46,14 46,3' \
  -draw 'polygon 36,18 56,18 46,34' -fill '#ffffff' -stroke none -draw 'circle 46,14 46,9' \
  -stroke none "${lens[@]}"
glyph exit \
  -fill '#8e5b2f' -stroke '#4a2c12' -strokewidth 3 -draw 'rectangle 6,4 38,62' \
  -fill '#222222' -stroke none -draw 'rectangle 12,10 32,56' \
  -fill '#27ae60' -stroke '#145a32' -strokewidth 3 \
  -draw 'polygon 26,26 44,26 44,14 62,33 44,52 44,40 26,40'

# Application icon: the handset on a rounded blue tile, at the sizes the
# desktop's icon theme looks for.
convert -size 256x256 xc:none \
  -fill '#2b5aa0' -draw 'roundrectangle 8,8 248,248 44,44' \
  -fill '#3f76c6' -draw 'roundrectangle 8,8 248,128 44,44' -draw 'rectangle 8,80 248,128' \
  -fill '#f2c14e' -stroke '#9a6f12' -strokewidth 4 \
  -draw "translate 40,36 scale 1.8,1.8 path '$handset'" \
  icons/phonebook-256.png
for size in 16 32 48 64 128; do
  convert icons/phonebook-256.png -resize ${size}x${size} "icons/phonebook-$size.png"
done
