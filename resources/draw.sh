#!/usr/bin/env bash
# Draws the program's pictures with ImageMagick 6: the splash picture, the
# about window's and the hidden picture window's pictures, the tool-bar glyphs
# (each with a disabled look) and the application icon.
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

# About window: 127x168, the handset ringing over the town at night.
convert -size 127x168 gradient:'#1d3f73'-'#5b8ccc' \
  -fill '#ffffff18' -draw 'circle 64,56 64,6' -draw 'circle 64,56 64,20' \
  -fill '#f2c14e' -stroke '#9a6f12' -strokewidth 2 \
  -draw "translate 18,12 scale 0.92,0.92 path '$handset'" \
  -stroke '#f2c14e' -strokewidth 2 -fill none \
  -draw 'arc 74,16 106,48 -80,10' -draw 'arc 66,8 114,56 -80,10' \
  -stroke none -fill '#15294a' \
  -draw 'rectangle 0,128 18,168' -draw 'rectangle 18,116 40,168' -draw 'rectangle 40,134 56,168' \
  -draw 'rectangle 56,108 78,168' -draw 'polygon 56,108 67,96 78,108' \
  -draw 'rectangle 78,124 100,168' -draw 'rectangle 100,112 127,168' \
  -fill '#f7dc6f' \
  -draw 'rectangle 4,134 7,137' -draw 'rectangle 11,142 14,145' -draw 'rectangle 23,122 26,125' \
  -draw 'rectangle 31,130 34,133' -draw 'rectangle 23,146 26,149' -draw 'rectangle 45,140 48,143' \
  -draw 'rectangle 61,116 64,119' -draw 'rectangle 70,116 73,119' -draw 'rectangle 61,132 64,135' \
  -draw 'rectangle 70,148 73,151' -draw 'rectangle 83,130 86,133' -draw 'rectangle 92,138 95,141' \
  -draw 'rectangle 105,118 108,121' -draw 'rectangle 114,126 117,129' -draw 'rectangle 105,142 108,145' \
  -quality 92 -sampling-factor 1x1 about.jpg

# Hidden picture: 527x299. The window shows only the heart-shaped outline
# below (window coordinates, which are the picture's), so the subject, a
# rotary telephone, sits inside it.
heart='232,217 198,167 196,162 194,157 193,154 193,152 192,150 192,145 191,143 191,132
 192,129 194,122 196,116 199,112 204,107 208,104 212,102 218,101 226,101 248,101 253,101
 258,104 264,108 268,111 276,105 283,102 290,100 294,100 304,100 307,100 310,102 314,102
 317,102 322,105 328,110 333,116 335,121 337,129 337,139 336,147 334,154 331,160 325,170
 317,180 311,188 289,217 281,227 275,233 267,241 262,247 258,251 255,250 253,249 248,241 232,217'
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
# Outside the heart: an evening sky over the town, with stars.
convert -size 527x299 gradient:'#1b1040'-'#b4456e' \
  -fill '#ffffffcc' -draw 'circle 40,30 41,31' -draw 'circle 120,60 121,61' -draw 'circle 420,40 421,41' \
  -draw 'circle 480,90 481,91' -draw 'circle 90,140 91,141' -draw 'circle 380,150 381,151' \
  -draw 'circle 160,25 161,26' -draw 'circle 500,20 501,21' \
  -fill '#2a163c' -draw 'rectangle 0,250 60,299' -draw 'rectangle 60,230 110,299' \
  -draw 'rectangle 110,262 170,299' -draw 'rectangle 350,240 400,299' -draw 'rectangle 400,220 450,299' \
  -draw 'rectangle 450,258 527,299' -draw 'rectangle 170,275 350,299' \
  "$tmp/sky.png"

# Inside: a warm glow centred on the heart.
convert -size 527x299 xc:'#f29bb0' \( -size 300x300 radial-gradient:'#fff6e8'-'#f29bb0' \) \
  -geometry +114+20 -composite "$tmp/glow.png"
convert -size 527x299 xc:black -fill white -draw "polygon $heart" "$tmp/mask.png"
convert "$tmp/sky.png" "$tmp/glow.png" "$tmp/mask.png" -composite "$tmp/base.png"

# A rotary telephone with its handset on the cradle, a curly cord and a small
# heart below it; a golden line along the outline.
convert "$tmp/base.png" \
  -fill '#00000030' -draw 'ellipse 265,207 32,4 0,360' \
  -fill '#c0283c' -stroke '#6e1020' -strokewidth 2 \
  -draw 'path "M 228,152 L 302,152 Q 308,152 309,160 L 294,204 L 236,204 L 221,160 Q 222,152 228,152 Z"' \
  -fill '#e04456' -stroke none -draw 'path "M 232,156 L 268,156 L 262,170 L 236,170 Z"' \
  -fill '#f4ece0' -stroke '#6e1020' -strokewidth 2 -draw 'circle 265,181 265,159' \
  -fill '#c0283c' -stroke none \
  -draw 'circle 265,165 265,161' -draw 'circle 276,168 276,164' -draw 'circle 283,176 283,172' \
  -draw 'circle 284,187 284,183' -draw 'circle 278,195 278,191' -draw 'circle 267,199 267,195' \
  -draw 'circle 256,197 256,193' -draw 'circle 248,189 248,185' -draw 'circle 247,178 247,174' \
  -draw 'circle 254,168 254,164' \
  -fill '#f4ece0' -stroke '#6e1020' -strokewidth 1 -draw 'circle 265,181 265,173' \
  -fill none -stroke '#6e1020' -strokewidth 2 -draw 'line 281,198 286,193' \
  -fill '#c0283c' -stroke '#6e1020' -strokewidth 2 \
  -draw 'roundrectangle 212,126 318,140 7,7' \
  -draw 'roundrectangle 206,118 238,148 9,9' -draw 'roundrectangle 292,118 324,148 9,9' \
  -fill '#e04456' -stroke none -draw 'roundrectangle 216,128 314,132 2,2' \
  -fill '#3a0a14' -draw 'rectangle 236,142 242,152' -draw 'rectangle 288,142 294,152' \
  -fill '#e0304a' -stroke '#9a1a2c' -strokewidth 1 \
  -draw 'path "M 265,236 C 256,228 252,222 257,218 C 260,216 263,217 265,221 C 267,217 270,216 273,218 C 278,222 274,228 265,236 Z"' \
  -fill none -stroke '#d9a521' -strokewidth 5 -draw "polygon $heart" \
  -stroke '#fff0b3' -strokewidth 1 -draw "polygon $heart" \
  -quality 92 -sampling-factor 1x1 secret.jpg

# Tool-bar glyphs, 16x16 with transparency, and 32x32 (@2x) for screens that
# draw two pixels a point. Each is drawn on a 64x64 canvas and scaled down,
# which keeps the edges smooth.
glyph() { # name, draw arguments...
  local name=$1; shift
  local size suffix
  for size in 16 32; do
    suffix=$([ $size = 32 ] && echo @2x || true)
    convert -size 64x64 xc:none "$@" -resize ${size}x$size "glyphs/$name$suffix.png"
    # Disabled look: grey, lighter and half transparent.
    convert "glyphs/$name$suffix.png" -colorspace Gray -level -40%,100% \
      -channel A -evaluate multiply 0.55 +channel "glyphs/$name-disabled$suffix.png"
  done
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
