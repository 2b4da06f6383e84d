#!/bin/bash
# Compares the ReplayGain values of `x91 --replay-gain` with ffmpeg's
# ebur128 filter (true peak on) on the same decoded x91 audio. Music from
# the supertuxkart-data package, 60 s of each of three tracks, taken as one
# album. Usage: bench/loudness/replay_gain_vs_ffmpeg.sh build/x91
set -euo pipefail
x91=$(realpath "${1:-build/x91}")
music=/usr/share/games/supertuxkart/data/music
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
n=0
for track in "$music"/West.ogg "$music"/Lava.ogg "$music"/celtic.ogg; do
  [ -f "$track" ] || continue
  n=$((n + 1))
  ffmpeg -loglevel error -i "$track" -t 60 -ac 2 -ar 44100 -c:a pcm_s16le "t$n.wav"
done
"$x91" --quiet --replay-gain t*.wav
# ffmpeg's integrated loudness to two decimals comes from its summary's
# "I:" line only to one; loudnorm's measurement gives two.
measure() {
  ffmpeg -hide_banner -nostats -i "$1" -af loudnorm=print_format=json -f null - 2>&1 |
    sed -n 's/.*"input_i" : "\(.*\)",/\1/p'
}
printf '%-8s %14s %14s %10s\n' file x91_gain ffmpeg_gain diff_dB
for f in t*.x91; do
  "$x91" --quiet -o "${f%.x91}.dec.wav" "$f"
  ours=$("$x91" --list "$f" | sed -n 's/^REPLAYGAIN_TRACK_GAIN=\(.*\) dB/\1/p')
  theirs=$(awk -v i="$(measure "${f%.x91}.dec.wav")" 'BEGIN {printf "%+.2f", -18 - i}')
  printf '%-8s %14s %14s %10.2f\n' "$f" "$ours" "$theirs" "$(awk -v a="$ours" -v b="$theirs" 'BEGIN {print a - b}')"
done
ffmpeg -loglevel error $(for f in t*.dec.wav; do echo -i "$f"; done) \
  -filter_complex "concat=n=$n:v=0:a=1" -c:a pcm_s16le album.wav
echo "album: x91 $("$x91" --list t1.x91 | sed -n 's/^REPLAYGAIN_ALBUM_GAIN=//p')," \
  "ffmpeg (the album's audio joined) $(awk -v i="$(measure album.wav)" 'BEGIN {printf "%+.2f dB", -18 - i}')"
