#!/usr/bin/env bash
# Makes the manual's pictures from the real windows: starts TitleDeck on the
# virtual mixer under Xvfb with a window manager, with a send list of generated
# pictures, drives it with xdotool and grabs each window, in English and in
# Japanese, into src/resources/help/<en|ja>/images/.
#
#   scripts/help-screenshots.sh [BUILD_DIR]      (default: build)
#
# Needs: xvfb openbox xdotool x11-apps x11-utils imagemagick fonts-noto-cjk.
# Uses display :78 unless XSHOT_DISPLAY names another.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(realpath "${1:-build}")
for tool in Xvfb openbox xdotool xwd xwininfo xprop convert; do
  command -v "$tool" >/dev/null || { echo "help-screenshots: $tool is missing" >&2; exit 1; }
done
[ -x "$build/src/titledeck" ] && [ -x "$build/cli/titledeck-cli" ] ||
  { echo "help-screenshots: build titledeck and titledeck-cli in $build first" >&2; exit 1; }

work=$(mktemp -d)
# A fixed folder for the pictures, so that the paths the windows show are the
# same at each run.
pics=/tmp/TitleDeck-Show
export DISPLAY=${XSHOT_DISPLAY:-:78}
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work" "$pics"
}
trap cleanup EXIT
Xvfb "$DISPLAY" -screen 0 1280x900x24 >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 0.5

# The pictures of the show: a lower third with its key, a full-screen still, a
# movie and a roll as numbered sequences. ImageMagick marks the TARGA files it
# writes as bottom-up while it stores them top-down unless told the order.
rm -rf "$pics"
mkdir -p "$pics"
convert -size 640x96 xc:none -fill '#1d2b45e0' -draw 'roundrectangle 20,10 620,86 12,12' \
  -fill '#f08a24' -draw 'rectangle 20,10 36,86' -fill white -pointsize 30 \
  -annotate +56+60 'Evening News' -orient TopLeft "$pics/lower-third.tga"
convert -size 640x480 gradient:'#3c6e9f'-'#1d2b45' -fill white -pointsize 56 -gravity center \
  -annotate +0+0 'Welcome' -orient TopLeft "$pics/opening.tga"
for i in 1 2 3 4 5 6; do
  convert -size 640x480 xc:'#10243a' -fill '#f3d36b' \
    -draw "circle $((60 + i * 80)),240 $((60 + i * 80)),300" -orient TopLeft "$pics/$(printf 'logo%03d.tga' "$i")"
done
for i in 1 2 3; do
  convert -size 640x480 xc:none -fill white -pointsize 34 -gravity center \
    -annotate +0+0 "Credits page $i" -orient TopLeft "$pics/$(printf 'credits%02d.tga' "$i")"
done

# Grabs a window with its frame (xshot's way: every mapped window laid over the
# root picture, since Xvfb's root picture shows dialogs as black boxes).
grab() { # window-id output
  local tmp n=0 args=() w c info x y width
  tmp=$(mktemp -d -p "$work")
  xwd -root -silent | convert xwd:- "$tmp/root.png"
  for w in $(xwininfo -root -children | awk '/^ +0x/{print $1}' | tac); do
    for c in $w $(xwininfo -id "$w" -tree | awk '/^ +0x/ && !/has no name/{print $1}'); do
      info=$(xwininfo -id "$c" 2>/dev/null) || continue
      echo "$info" | grep -q 'Map State: IsViewable' || continue
      width=$(echo "$info" | awk '/Width:/{print $2}'); [ "${width:-0}" -le 3 ] && continue
      x=$(echo "$info" | awk '/Absolute upper-left X/{print $4}')
      y=$(echo "$info" | awk '/Absolute upper-left Y/{print $4}')
      n=$((n + 1))
      xwd -id "$c" -silent 2>/dev/null | convert xwd:- "$tmp/w$n.png" 2>/dev/null || continue
      args+=("$tmp/w$n.png" -geometry "+$x+$y" -composite)
    done
  done
  # The client area's place (xdotool's own figures count the frame twice).
  info=$(xwininfo -id "$1")
  local X Y WIDTH HEIGHT
  X=$(echo "$info" | awk '/Absolute upper-left X/{print $4}')
  Y=$(echo "$info" | awk '/Absolute upper-left Y/{print $4}')
  WIDTH=$(echo "$info" | awk '/Width:/{print $2}')
  HEIGHT=$(echo "$info" | awk '/Height:/{print $2}')
  local extents left=0 right=0 top=0 bottom=0
  extents=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= //p' | tr -d ' ')
  [ -n "$extents" ] && IFS=, read -r left right top bottom <<<"$extents"
  convert "$tmp/root.png" "${args[@]}" \
    -crop "$((WIDTH + left + right))x$((HEIGHT + top + bottom))+$((X - left))+$((Y - top))" \
    +repage -strip -define png:compression-level=9 "$2"
  echo "$2"
}

wait_window() { # name-pattern -> window id
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1) && [ -n "$id" ] &&
      { sleep 0.4; echo "$id"; return; }
    sleep 0.1
  done
  echo "help-screenshots: no window named '$1'" >&2
  return 1
}

for lang in en ja; do
  out=$root/src/resources/help/$lang/images
  mkdir -p "$out"
  home=$work/$lang
  mkdir -p "$home/config/Korvel KL-VT90" "$home/data"
  export XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data TITLEDECK_LANG=$lang
  list=$home/show.vtl
  cli=$build/cli/titledeck-cli
  "$cli" list add "$list" "$pics/opening.tga" "$pics/lower-third.tga" >/dev/null
  "$cli" list add "$list" "$pics/logo001.tga" --kind movie-repeat >/dev/null
  "$cli" list add "$list" "$pics/credits01.tga" --kind roll-up >/dev/null
  cat >"$home/config/Korvel KL-VT90/TitleDeck.ini" <<INI
[Environment]
BeginLastStatus=true
ConfirmClose=false

[MainForm]
Left=30
Top=30
Width=740
Height=558
LastListFile=$list
INI
  "$build/src/titledeck" --virtual-mixer >/dev/null 2>&1 &
  app=$!
  pids+=($app)
  main=$(wait_window 'TitleDeck  -')
  sleep 1.5 # the splash closes
  xdotool windowactivate --sync "$main"
  xdotool key --delay 80 Down
  grab "$main" "$out/main-window.png"

  # About: Help > About.
  xdotool key --delay 150 alt+h a
  about=$(wait_window "$( [ "$lang" = ja ] && echo 'バージョン情報' || echo 'About TitleDeck')")
  grab "$about" "$out/about.png"
  xdotool key Escape
  sleep 0.3

  # The manual itself, at its contents (F1).
  xdotool windowactivate --sync "$main"
  xdotool key F1
  help=$(wait_window "$( [ "$lang" = ja ] && echo 'TitleDeck ヘルプ' || echo 'TitleDeck Help')")
  xdotool windowsize --sync "$help" 760 520
  sleep 0.4
  grab "$help" "$out/help-window.png"
  xdotool windowactivate --sync "$help" key Escape
  sleep 0.3

  # The title type dialog: open the first picture of the movie sequence.
  xdotool windowactivate --sync "$main"
  xdotool key --delay 150 alt+f o
  sleep 1
  xdotool type --delay 5 "$pics/logo001.tga"
  xdotool key Return
  tt=$(wait_window "$( [ "$lang" = ja ] && echo '画像の読み込み' || echo 'Load Image')")
  grab "$tt" "$out/title-type.png"
  xdotool key Escape
  sleep 0.3

  kill "$app"
  wait "$app" 2>/dev/null || true
done
