# Sourced by the stretch scripts: the recordings they measure.
#   men_recordings DIR    the shipped recording and twelve of Debian's
#                         pocketsphinx-testdata (men's voices, 16 kHz)
#   higher_voice FILE     the spoken channel names of alsa-utils joined and
#                         taken to 16 kHz; false when they are not installed
#   woman_recordings DIR  six prompts of asterisk-core-sounds-en-wav (8 kHz)
men_recordings() {
  data=/usr/share/pocketsphinx/test/data
  cp "$here/data/librivox-austen-0870.wav" "$1/"
  for f in "$data"/cards/*.wav "$data"/librivox/*-0880.wav "$data"/librivox/*-0890.wav \
           "$data"/librivox/*-0920.wav "$data"/librivox/*-0930.wav; do
    cp "$f" "$1/"
  done
  for f in goforward numbers something; do
    sox -t raw -r 16000 -e signed -b 16 -c 1 "$data/$f.raw" "$1/$f.wav"
  done
}

higher_voice() {
  alsa=/usr/share/sounds/alsa
  [ -r "$alsa/Front_Center.wav" ] || return 1
  sox -R $(ls "$alsa"/*.wav | grep -v Noise) -r 16000 "$1"
}

# F0 140-320 Hz, median 205; the telephone prompts of a professional voice.
woman_recordings() {
  prompts=$(ls -d /usr/share/asterisk/sounds/en_US_f_* 2> /dev/null | head -n 1)
  [ -n "$prompts" ] || return 1
  for f in demo-congrats basic-pbx-ivr-main demo-echotest vm-options demo-abouttotry dir-intro; do
    cp "$prompts/$f.wav" "$1/"
  done
}
