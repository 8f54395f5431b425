#!/bin/sh
# The service launcher's fallback, with stand-in programs: three failed starts of zqcapp
# in a row start zqcapp.prev (with a journal line and KEST_FALLBACK for the debug log), a
# start that reaches the main loop clears the count, a new zqcapp gets its tries again; one
# that ends with status 0 before its main loop counts as failed, and the unit restarts it.
# Usage: launch_test.sh <zqcapp-launch>   (zqcapp.service beside it)
set -u
launch=$1
dir=$(mktemp -d "${TMPDIR:-/tmp}/kest-launch-XXXXXX")
trap 'rm -rf "$dir"' EXIT
fails=0
check() { # description, condition...
  what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; fails=$((fails + 1)); fi
}
# A program that fails before its main loop, and one that reaches it and then ends on the
# key it reads (as the panel does on 'p'), recording how it was started.
broken() {
  printf '#!/bin/sh\necho "%s starting"\nexit 1\n' "$2" >"$1"
  chmod +x "$1"
}
good() {
  printf '#!/bin/sh\necho "%s starting ${KEST_FALLBACK:-}"\necho "Start main loop... press p"\nread key\necho "%s ends on $key"\nexit 0\n' "$2" "$2" >"$1"
  chmod +x "$1"
}
run() { # runs the launcher once with "p" on its input: output in $out, status in $rc
  out=$(echo p | ZQCAPP_PROGRAM="$dir/zqcapp" ZQCAPP_STATE="$dir/state/failed-starts" \
    "$launch" --home "$dir/home" 2>&1)
  rc=$?
}
has() { case "$out" in *"$1"*) return 0 ;; esac; return 1; }

# 1. Three failed starts, then the previous program, told why; it stays chosen.
broken "$dir/zqcapp" new
good "$dir/zqcapp.prev" prev
for i in 1 2 3; do
  run
  check "failed start $i runs zqcapp and passes its status" [ "$rc" = 1 ]
  check "failed start $i is the new program" has "new starting"
done
run
check "fourth start runs zqcapp.prev" has "prev starting zqcapp failed to start 3 times in a row: starting zqcapp.prev"
check "the journal gets the fallback line" has "zqcapp-launch: zqcapp failed to start 3 times in a row: starting zqcapp.prev"
check "zqcapp.prev reads the console keys and ends cleanly" [ "$rc" = 0 ]
check "zqcapp.prev got its key" has "prev ends on p"
run
check "the fallback stays while zqcapp is unchanged" has "prev starting"

# 2. A new zqcapp (the upgrade replaced it) gets three tries again; reaching the main loop
# clears the count.
rm -f "$dir/zqcapp"
good "$dir/zqcapp" new2
run
check "a replaced zqcapp is started again" has "new2 starting"
check "its start is not a fallback" eval '! has "failed to start"'
check "reaching the main loop clears the count" [ "$(cut -d' ' -f1 "$dir/state/failed-starts")" = 0 ]
rm -f "$dir/zqcapp"
broken "$dir/zqcapp" new3
run
run
check "two failures after a good start do not fall back" has "new3 starting"
run
run
check "the third failure in a row does" has "prev starting"

# 3. Without zqcapp.prev the panel keeps being tried.
rm -f "$dir/zqcapp.prev" "$dir/state/failed-starts"
for i in 1 2 3 4; do run; done
check "no zqcapp.prev: zqcapp is started a fourth time" has "new3 starting"
check "and its status still passes" [ "$rc" = 1 ]

# 4. A program that ends with status 0 before its main loop failed to start all the same:
# the launcher counts it, and the unit restarts it (on-failure would not: the fallback would
# then wait for three power cycles).
rm -f "$dir/zqcapp" "$dir/state/failed-starts"
printf '#!/bin/sh\necho "quiet starting"\nexit 0\n' >"$dir/zqcapp"
chmod +x "$dir/zqcapp"
good "$dir/zqcapp.prev" prev
for i in 1 2 3; do run; done
check "an exit 0 before the main loop passes its status" [ "$rc" = 0 ]
run
check "three of them fall back" has "prev starting zqcapp failed to start 3 times in a row"
restart=$(sed -n 's/^Restart=//p' "$(dirname "$launch")/zqcapp.service")
check "the unit restarts a program that ended with status 0 (Restart=$restart)" [ "$restart" = always ]

# 5. A stop signal to the launcher ends the program it started.
rm -f "$dir/zqcapp" "$dir/state/failed-starts"
nap=613.$$ # a sleep of this test's own
printf '#!/bin/sh\necho "Start main loop"\nexec sleep %s\n' "$nap" >"$dir/zqcapp"
chmod +x "$dir/zqcapp"
mkfifo "$dir/log"
ZQCAPP_PROGRAM="$dir/zqcapp" ZQCAPP_STATE="$dir/state/failed-starts" "$launch" </dev/null >"$dir/log" 2>&1 &
pid=$!
exec 4<"$dir/log" # held open to the end, as the journal is: no write meets a closed pipe
read -r line <&4  # blocks until the program is in its main loop
kill -TERM "$pid"
cat <&4 >/dev/null # to the end of the output: the launcher and the program closed it
exec 4<&-
wait "$pid"
rc=$?
check "SIGTERM ends the launcher with the program's status (143)" [ "$rc" = 143 ]
check "and no program is left" eval '! pgrep -f "sleep $nap" >/dev/null'

echo "launch_test: $fails failed"
[ "$fails" = 0 ]
