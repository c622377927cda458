#!/bin/sh
# toolbox_bmp.sh PATTERN OUT: writes a control's 16x16 toolbox bitmap (24-bit BMP) from a text
# pattern of 16 rows of 16 characters: k black, b blue, w white, anything else the grey face.
set -eu
byte() { printf "\\$(printf %03o "$1")"; }
le16() { byte $(($1 & 255)); byte $((($1 >> 8) & 255)); }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }
{
  printf 'BM'; le32 822; le32 0; le32 54
  le32 40; le32 16; le32 16; le16 1; le16 24; le32 0; le32 768; le32 2835; le32 2835; le32 0; le32 0
  # BMP rows run bottom-up, pixels in blue-green-red order.
  sed '/^$/d' "$1" | sed '1!G;h;$!d' | while IFS= read -r row; do
    i=0
    while [ $i -lt 16 ]; do
      case $(printf '%s' "$row" | cut -c$((i + 1))) in
        k) byte 0; byte 0; byte 0 ;;
        b) byte 160; byte 64; byte 0 ;;
        w) byte 255; byte 255; byte 255 ;;
        *) byte 192; byte 192; byte 192 ;;
      esac
      i=$((i + 1))
    done
  done
} >"$2.tmp"
mv "$2.tmp" "$2"
