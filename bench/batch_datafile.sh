#!/usr/bin/env bash
# The batch run (`veldarin-script --batch`) of a homogeneous dipole-dipole line by finite
# differences, as the long-line test makes it: wall-clock seconds of the whole run and of the
# data file's save, from the creation of its temporary file to its rename (strace's time stamps),
# split into making the text (up to the write) and writing and syncing it. The fastest of RUNS
# runs each (3 by default). Any build's veldarin-script can be timed, an older one too.
# Usage: batch_datafile.sh VELDARIN_SCRIPT [ELECTRODES [RUNS]]
set -u
script=$1
nelec=${2:-601}
runs=${3:-3}
command -v strace > /dev/null || { echo "strace is needed (apt-get install strace)"; exit 1; }
work=$(mktemp -d /tmp/batch_datafile.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/out"
model="$work/line$nelec.mod"
{ printf 'Homogeneous line of %d electrodes\n%d\n8\n0\n1.0\n0\n0 1\n1\n2\n100\n16\n' "$nelec" "$nelec"
  for _ in $(seq 16); do echo 0; done
  echo 3; } > "$model"

seconds() { date -d "$1" +%s.%N; }
best_run=0 best_file=0 best_text=0 best_write=0
for k in $(seq "$runs"); do
  start=$(date +%s.%N)
  strace -f -tt -e trace=openat,write,rename,linkat -o "$work/trace" \
    "$script" --batch "$model" --out "$work/out" --home "$work/home" > "$work/log" 2>&1 ||
    { echo "the batch run failed:"; cat "$work/log"; exit 1; }
  end=$(date +%s.%N)
  # The temporary file of the data file (named .line<N>.dat.*, or made without a name in the
  # output folder and linked to such a name once written), its one write and the rename onto
  # line<N>.dat.
  read -r opened fd <<< "$(awk -v out="$work/out/" '
    $0 ~ "openat\\(AT_FDCWD, \"" out "\", .*O_TMPFILE" { t = $2; f = $NF }
    /openat.*\.line[0-9]+\.dat\./ { print $2, $NF; exit }
    /linkat.*\.line[0-9]+\.dat\./ { print t, f; exit }' "$work/trace")"
  wrote=$(awk -v t="$opened" -v fd="$fd" '$2 == t { after = 1 }
                           after && $3 ~ "^write\\(" fd "," { print $2; exit }' "$work/trace")
  renamed=$(awk '/rename\(.*\.line[0-9]+\.dat\./ { print $2; exit }' "$work/trace")
  read -r run file text write <<< "$(echo "$start $end $(seconds "$opened") $(seconds "$wrote") \
    $(seconds "$renamed")" | awk '{ printf "%.4f %.4f %.4f %.4f", $2 - $1, $5 - $3, $4 - $3, $5 - $4 }')"
  if [ "$k" = 1 ] || awk -v a="$file" -v b="$best_file" 'BEGIN { exit !(a < b) }'; then
    best_file=$file best_text=$text best_write=$write
  fi
  if [ "$k" = 1 ] || awk -v a="$run" -v b="$best_run" 'BEGIN { exit !(a < b) }'; then
    best_run=$run
  fi
done
bytes=$(stat -c %s "$work/out/line$nelec.dat")
printf '%5s %10s %9s %10s %9s %12s\n' elec bytes "run [s]" "data [s]" "text [s]" "write+sync"
printf '%5d %10d %9.3f %10.4f %9.4f %12.4f\n' "$nelec" "$bytes" "$best_run" "$best_file" \
  "$best_text" "$best_write"
