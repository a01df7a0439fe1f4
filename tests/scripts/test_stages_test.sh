#!/usr/bin/env bash
# The test command's stages (scripts/lib/pass.sh, scripts/lib/fuzz.sh) with
# a ctest and fuzzers of the test's own: a pass holds the build folder
# against builds, its verdict says why ctest failed and leaves out skipped
# rows, and a fuzz run counts what it tried beyond its seeds. Each case runs
# in a scratch folder; the first failure ends the test with its reason.
set -euo pipefail
. "$(dirname "$0")/support.sh" stages-test

mkdir -p "$scratch/bin" "$scratch/build"
export BUILD_DIR="$scratch/build" JOBS=1
# The pass, with the ctest of $scratch/bin.
write_script "$scratch/pass" \
    'gamehost_settings test "$PWD"' \
    'gamehost_trap' \
    'passes=()' \
    'gamehost_pass "the suites" "'"$scratch"'/pass.log"'
pass() { (cd "$scratch" && PATH="$scratch/bin:$PATH" ./pass); }

# ---- A build started while a pass runs waits for it ----
mkfifo "$scratch/passing" "$scratch/go" "$scratch/waiting"
cat >"$scratch/bin/ctest" <<EOF
#!/usr/bin/env bash
echo running >"$scratch/passing"
read -r _ <"$scratch/go"
echo "pass done" >>"$scratch/order"
echo "100% tests passed, 0 tests failed out of 3"
EOF
chmod +x "$scratch/bin/ctest"
write_script "$scratch/build-meanwhile" \
    'gamehost_settings build "$PWD"' \
    'gamehost_lock_build' \
    'echo "build in" >>"'"$scratch"'/order"'
pass >"$scratch/pass.out" 2>&1 &
passing=$!
read -r -t 60 _ <"$scratch/passing" || fail "lock: the pass's ctest never started"
(cd "$scratch" && ./build-meanwhile >"$scratch/waiting") &
building=$!
said=""
read -r -t 30 said <"$scratch/waiting" || true
echo go >"$scratch/go"
wait "$passing" || fail "lock: the pass failed: $(cat "$scratch/pass.out")"
wait "$building" || fail "lock: the build failed"
said=$(sed -E 's/process [0-9]+, since [0-9]{2}:[0-9]{2}:[0-9]{2}\)/process N, since T)/' <<<"$said")
[ "$said" = "build: a test pass (./pass, process N, since T) is using $scratch/build: waiting for it to end" ] ||
    fail "lock: the build started during the pass said '$said'"
[ "$(cat "$scratch/order")" = "$(printf 'pass done\nbuild in')" ] ||
    fail "lock: pass and build ran as $(tr '\n' ',' <"$scratch/order")"
grep -qx 'test:   all 3 cases passed (log: '"$scratch"'/pass.log)' "$scratch/pass.out" ||
    fail "lock: the pass said $(cat "$scratch/pass.out")"
echo "ok: a build started while a pass runs waits for it"

# ---- When ctest itself fails, the verdict says why ----
cat >"$scratch/bin/ctest" <<'EOF'
#!/usr/bin/env bash
echo "Test project /x/build"
echo "CMake Error at /x/build/tests/a/test_a_include.cmake:1 (include):"
echo "  Maximum recursion depth of 1000 exceeded"
echo ""
exit 8
EOF
status=0
pass >/dev/null 2>"$scratch/pass.err" || status=$?
[ "$status" -eq 1 ] || fail "ctest's failure: the pass ended with $status"
expected="test: FAILED in the suites: ctest ended with status 8: CMake Error at"
expected+=" /x/build/tests/a/test_a_include.cmake:1 (include): Maximum recursion depth of 1000 exceeded"
expected+=" (the whole log: $scratch/pass.log)"
[ "$(tail -n 1 "$scratch/pass.err")" = "$expected" ] ||
    fail "ctest's failure: the verdict was '$(tail -n 1 "$scratch/pass.err")'"
echo "ok: when ctest itself fails, the verdict says why"

# ---- A failing pass shows its failures in full and no skipped row ----
cat >"$scratch/bin/ctest" <<'EOF'
#!/usr/bin/env bash
cat <<'LOG'
      Start  1: A.Passes
 1/3 Test  #1: A.Passes .........................   Passed    0.01 sec
      Start  2: A.Skipped
 2/3 Test  #2: A.Skipped ........................***Skipped   0.01 sec
      Start  3: A.Fails
 3/3 Test  #3: A.Fails ..........................***Failed    0.02 sec
what the failing case printed

67% tests passed, 1 tests failed out of 3

The following tests did not run:
	  2 - A.Skipped (Skipped)

The following tests FAILED:
	  3 - A.Fails (Failed)
LOG
exit 8
EOF
status=0
pass >/dev/null 2>"$scratch/pass.err" || status=$?
[ "$status" -eq 1 ] || fail "failures: the pass ended with $status"
grep -q 'A.Fails .*\*\*\*Failed' "$scratch/pass.err" || fail "failures: the failed case's line is not shown"
grep -q 'what the failing case printed' "$scratch/pass.err" || fail "failures: the failed case's output is not shown"
grep -q 'A.Skipped' "$scratch/pass.err" && fail "failures: a skipped row is shown: $(grep A.Skipped "$scratch/pass.err")"
[ "$(tail -n 1 "$scratch/pass.err")" = \
  "test: FAILED in the suites: 67% tests passed, 1 tests failed out of 3 (the whole log: $scratch/pass.log)" ] ||
    fail "failures: the verdict was '$(tail -n 1 "$scratch/pass.err")'"
echo "ok: a failing pass shows its failures in full and no skipped row"

# ---- The cases' scratch folders go with the pass, interrupted or not ----
# The cases make their scratch folders in $TMPDIR, as mkdtemp does; one
# killed with the pass cannot remove its own.
mkdir -p "$scratch/tmp"
cat >"$scratch/bin/ctest" <<EOF
#!/usr/bin/env bash
folder=\$(mktemp -d "\${TMPDIR:-/tmp}/case.XXXXXX")
head -c 1200000 /dev/zero >"\$folder/home"
echo "\$folder" >"$scratch/case-folder"
[ -z "\${CTEST_SLEEPS:-}" ] || { echo running >"$scratch/passing"; exec sleep 300; }
echo "100% tests passed, 0 tests failed out of 1"
EOF
chmod +x "$scratch/bin/ctest"
TMPDIR="$scratch/tmp" pass >"$scratch/pass.out" 2>&1 || fail "scratch: the pass failed: $(cat "$scratch/pass.out")"
case_folder=$(cat "$scratch/case-folder")
case $case_folder in "$scratch/tmp/gamehost-pass."*/case.*) ;; *) fail "scratch: the case's folder was $case_folder" ;; esac
[ -z "$(ls -A "$scratch/tmp")" ] || fail "scratch: the pass left $(ls -A "$scratch/tmp") in the temporary folder"
for signal in TERM KILL; do
    (cd "$scratch" && PATH="$scratch/bin:$PATH" TMPDIR="$scratch/tmp" CTEST_SLEEPS=1 exec ./pass) >"$scratch/pass.out" 2>&1 &
    passing=$!
    read -r -t 60 _ <"$scratch/passing" || fail "scratch: the pass's ctest never started"
    kill -"$signal" "$passing"
    ended_soon "$passing" || fail "scratch: the pass did not end on SIG$signal"
    wait "$passing" 2>/dev/null || true
    for _ in $(seq 100); do
        [ -n "$(ls -A "$scratch/tmp")" ] || break
        sleep 0.1
    done
    [ -z "$(ls -A "$scratch/tmp")" ] ||
        fail "scratch: a pass stopped by SIG$signal left $(ls -A "$scratch/tmp") in the temporary folder"
done
echo "ok: the cases' scratch folders go with the pass, also when it is interrupted or killed"

# ---- A fuzz run counts what it tried beyond its seeds ----
# A fuzzer of the test's own: libFuzzer's lines for $FAKE_SEEDS inputs to
# start from and $FAKE_RUNS in all.
cat >"$scratch/bin/fake_fuzz" <<'EOF'
#!/usr/bin/env bash
{
    echo "INFO: seed corpus: files: $((FAKE_SEEDS - 1)) min: 1b max: 64b total: 100b rss: 30Mb"
    printf '#%s\tINITED cov: 10 ft: 11 corp: 3/30b exec/s: 0 rss: 30Mb\n' "$FAKE_SEEDS"
    printf '#%s\tDONE   cov: 12 ft: 14 corp: 4/40b lim: 64 exec/s: 9 rss: 31Mb\n' "$FAKE_RUNS"
    echo "stat::number_of_executed_units: $FAKE_RUNS"
    echo "stat::new_units_added: 1"
} >&2
EOF
chmod +x "$scratch/bin/fake_fuzz"
write_script "$scratch/fuzz" \
    'gamehost_settings fuzz "$PWD"' \
    'fuzz_run "fake target" "'"$scratch"'/bin/fake_fuzz" 5'
said=$(cd "$scratch" && FAKE_SEEDS=28 FAKE_RUNS=1028 ./fuzz) || fail "fuzzing: a run that fuzzed failed"
[ "$said" = "fuzz: fake target: 1000 inputs beyond the 28 it started from, in 5 s, nothing found" ] ||
    fail "fuzzing: a run that fuzzed said '$said'"
status=0
(cd "$scratch" && FAKE_SEEDS=76 FAKE_RUNS=76 ./fuzz >/dev/null 2>"$scratch/fuzz.err") || status=$?
[ "$status" -ne 0 ] || fail "fuzzing: a run that only replayed its seeds passed"
grep -q 'fake target ran 76 inputs in 5 s, 76 of them those it started from: it fuzzed nothing' "$scratch/fuzz.err" ||
    fail "fuzzing: a run that only replayed its seeds said $(tail -n 1 "$scratch/fuzz.err")"
echo "ok: a fuzz run counts what it tried beyond its seeds"

# ---- The fuzz stage says what it is doing ----
(
    . "$root/scripts/lib/common.sh"
    . "$root/scripts/lib/fuzz.sh"
    gamehost_settings test "$scratch"
    fuzz_now build tests/net/fuzz
    said=$(fuzz_progress test)
    [ "$said" = "test:   fuzzing: building the fuzz targets of tests/net/fuzz" ] ||
        fail "progress: while building it said '$said'"
    # libFuzzer's counts, and its closing lines that start with "#" too.
    printf '#2\tINITED\n#4096\tpulse  cov: 1\n#8192\tDONE   cov: 2\n###### Recommended dictionary. ######\n' \
        >"$scratch/target.log"
    fuzz_now run "json decoder" 30 "$scratch/target.log"
    said=$(fuzz_progress test)
    case $said in
        "test:   fuzzing the json decoder: "[0-9]*" of 30 s, 8192 inputs so far") ;;
        *) fail "progress: while fuzzing it said '$said'" ;;
    esac
    fuzz_now run "json decoder" 0 "$scratch/target.log"
    said=$(fuzz_progress test)
    [ "$said" = "test:   fuzzing the json decoder: its 0 s are up after 8192 inputs; it is ending" ] ||
        fail "progress: once its time was up it said '$said'"
)
echo "ok: the fuzz stage says what it is doing"
