#!/bin/sh
# toolbox_bmp.sh OUT: writes the control's 16x16 toolbox bitmap (24-bit BMP), a loudspeaker.
set -eu
rows='
................
................
......k.........
.....kk....k....
....kbk.....k...
.kkkbbk..k...k..
.kbbbbk...k..k..
.kbbbbk...k..k..
.kbbbbk...k..k..
.kbbbbk...k..k..
.kkkbbk..k...k..
....kbk.....k...
.....kk....k....
......k.........
................
................'
byte() { printf "\\$(printf %03o "$1")"; }
le16() { byte $(($1 & 255)); byte $((($1 >> 8) & 255)); }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }
{
  printf 'BM'; le32 822; le32 0; le32 54
  le32 40; le32 16; le32 16; le16 1; le16 24; le32 0; le32 768; le32 2835; le32 2835; le32 0; le32 0
  # BMP rows run bottom-up, pixels in blue-green-red order.
  printf '%s\n' "$rows" | sed '/^$/d' | sed '1!G;h;$!d' | while IFS= read -r row; do
    i=0
    while [ $i -lt 16 ]; do
      case $(printf '%s' "$row" | cut -c$((i + 1))) in
        k) byte 0; byte 0; byte 0 ;;
        b) byte 160; byte 64; byte 0 ;;
        *) byte 192; byte 192; byte 192 ;;
      esac
      i=$((i + 1))
    done
  done
} >"$1.tmp"
mv "$1.tmp" "$1"
