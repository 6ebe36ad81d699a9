#!/usr/bin/env bash
# The program's own costs around the calculation: peak resident memory and wall time of batch
# runs of a 96-electrode line, of a 601-electrode model refused by the reader and of a 602-
# electrode model refused for its size, and the start-up (from the start of the process to the
# opening of the model file, seen through strace when it is installed). Medians of RUNS runs.
# Usage: house_bench.sh VELDARIN_SCRIPT [RUNS]   (run it under flock /work/bench.lock)
set -u
program=$1
runs=${2:-5}
work=$(mktemp -d /tmp/house_bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/out"

# line N: a homogeneous dipole-dipole line of N electrodes, 2 nodes a spacing, 16 rows.
line() {
  { printf 'Homogeneous line of %d electrodes\n%d\n8\n0\n1.0\n0\n0 1\n1\n2\n100\n16\n' "$1" "$1"
    for _ in $(seq 16); do echo 0; done
    echo 3; } > "$work/$2.mod"
}
line 96 line96
line 602 line602
line 601 line601
# The 601 line with a topography of no points: the reader refuses it after its levels.
head -n -1 "$work/line601.mod" > "$work/refused601.mod"
printf '1\n0\n0\n0\n1\n0\n0\n0\n' >> "$work/refused601.mod"

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

printf '%-12s %10s %10s %12s\n' model "peak MiB" "wall s" "start-up s"
for model in line96 refused601 line602; do
  : > "$work/rss" && : > "$work/wall" && : > "$work/open"
  for _ in $(seq "$runs"); do
    /usr/bin/time -f '%M %e' -o "$work/t" "$program" --batch "$work/$model.mod" --out "$work/out" \
      --home "$work/home" > /dev/null 2>&1
    read -r kib wall < <(tail -n 1 "$work/t")
    echo "$kib" | awk '{ printf "%.1f\n", $1 / 1024 }' >> "$work/rss"
    echo "$wall" >> "$work/wall"
    if command -v strace > /dev/null; then
      strace --seccomp-bpf -f -ttt -e trace=execve,openat -o "$work/st" "$program" --batch \
        "$work/$model.mod" --out "$work/out" --home "$work/home" > /dev/null 2>&1
      awk -v m="$work/$model.mod\"" 'NR == 1 { s = $2 } index($0, m) { printf "%.4f\n", $2 - s; exit }' \
        "$work/st" >> "$work/open"
    fi
  done
  printf '%-12s %10s %10s %12s\n' "$model" "$(median < "$work/rss")" "$(median < "$work/wall")" \
    "$( [ -s "$work/open" ] && median < "$work/open" || echo -)"
done
