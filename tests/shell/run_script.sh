#!/usr/bin/env bash
# ./run.sh on a copy of the repository's top with stand-ins for the set-up, cmake and the batch
# program: it builds both programs, shows the build's progress on standard error while standard
# output holds only what the batch prints, and runs the bundled example into build/output.
# Usage: run_script.sh SOURCE_DIR WORK_DIR.
set -euo pipefail
source=$1
work=$2
rm -rf "$work" && mkdir -p "$work/root/scripts" "$work/root/examples" "$work/bin"
root=$work/root
cp "$source/run.sh" "$root/"
printf '#!/bin/sh\nexit 0\n' >"$root/scripts/setup.sh"
chmod +x "$root/scripts/setup.sh"
touch "$root/examples/homogeneous_wenner.mod"
# cmake writes its arguments to the log; a build prints a progress line and leaves a batch
# program that prints its arguments.
cat >"$work/bin/cmake" <<EOF
#!/bin/sh
echo "\$*" >>"$work/cmake.log"
case " \$* " in *" --build "*)
  echo "[ 50%] Building CXX object app/CMakeFiles/veldarin.dir/veldarin.cpp.o"
  mkdir -p "$root/build/app"
  printf '#!/bin/sh\necho batch "\$@"\n' >"$root/build/app/veldarin-script"
  chmod +x "$root/build/app/veldarin-script" ;;
esac
EOF
chmod +x "$work/bin/cmake"

fail=0
check() { # description, command...
  if "${@:2}"; then echo "ok: $1"; else echo "FAIL: $1"; fail=1; fi
}
status=0
PATH="$work/bin:$PATH" "$root/run.sh" >"$work/out" 2>"$work/err" || status=$?
echo "--- standard output"; cat "$work/out"
echo "--- standard error"; cat "$work/err"
echo "--- cmake"; cat "$work/cmake.log"
check "run.sh ends with the batch's 0 ($status)" test "$status" = 0
build=$(grep -e '--build' "$work/cmake.log" || true)
check "the build makes the window program" grep -qE -e '--target .*veldarin( |$)' <<<"$build"
check "the build makes veldarin-script" grep -q -e 'veldarin-script' <<<"$build"
check "the build's progress shows on standard error" grep -q '\[ 50%\] Building' "$work/err"
check "standard output holds only the batch's lines" \
  test "$(cat "$work/out")" = "batch --batch $root/examples/homogeneous_wenner.mod --out $root/build/output"
exit $fail
