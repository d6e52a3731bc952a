#!/usr/bin/env bash
# lbm_trace under hostile conditions: a full disk as standard output, a step
# count too large for its type, arguments it does not take, snapshots that
# cannot be written, links planted in a shared directory (by another user too),
# runs sharing a directory, runs interrupted by a signal, and arguments that
# could drive a terminal; its pictures, against the window's reference
# pictures, or, in a build that cannot draw them, the refusal. The parameters
# of a run, and snapshots to resume that are not ones, damaged, or not files.
# usage: trace_cli_test.sh LBM_TRACE [LBM_TRACE_LAYERS2]
# (LBM_TRACE_LAYERS2: lbm_trace built for two layers.)
# Environment:
#   LBM_TRACE_PICTURES  0 where this build of lbm_trace cannot draw pictures
#   LBM_REFERENCE_PICTURES  optional: the window's reference pictures
#                       (tests/gui/reference), which the frames of a
#                       one-layer lbm_trace (and of the two-layer one) are
#                       compared with
set -u
LBM_TRACE=${1:?path of lbm_trace}
LBM_TRACE_LAYERS2=${2:-}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
. "$(dirname "$0")/../scripts/shell_helpers.sh"
# The reports of the first 2 and 20 steps, from start-up.
PROBE_GOLDEN=$WORK/probe.txt
"$LBM_TRACE" 2 >"$PROBE_GOLDEN"
"$LBM_TRACE" 20 >"$WORK/reference20.out"

"$LBM_TRACE" 20 >/dev/full 2>"$WORK/full.err"
status=$?
check "a full disk ends with status 1 (got $status)" [ "$status" -eq 1 ]
check "the lost reports are said once, with the program's name and the reason" \
    [ "$(grep -c '^lbm_trace: .*No space left on device' "$WORK/full.err")" -eq 1 -a "$(wc -l <"$WORK/full.err")" -eq 1 ]

# Taken as the largest long, the count would run for ages: bounded here.
timeout 10 "$LBM_TRACE" 99999999999999999999 >"$WORK/big.out" 2>"$WORK/big.err"
status=$?
check "a count beyond the largest long is refused with status 2 (got $status)" [ "$status" -eq 2 ]
check "... with the usage message and no report" eval 'grep -q "^usage: " "$WORK/big.err" && [ ! -s "$WORK/big.out" ]'

# Arguments: the options in any order and in both forms; anything else is
# refused with the usage message, status 2 and no report.
"$LBM_TRACE" 3 --every 2 --vtk "$WORK/order1" >/dev/null && "$LBM_TRACE" --every=2 --vtk="$WORK/order2" 3 >/dev/null
check "the options come in any order, as '--vtk DIR' or '--vtk=DIR'" \
    eval '[ "$(ls "$WORK/order1")" = "$(printf "lattice.pvd\nlattice_000000.vti\nlattice_000002.vti\nlattice_000003.vti")" ] &&
          diff -r "$WORK/order1" "$WORK/order2" >/dev/null'
for arguments in "--every 0" "--vtk" "--every 2x 5" "-v 5" "5 6" "--every -1 5" "--tau 0" "--tau -0.5" "--tau nan" \
    "--tau 1e-39" "--tau 1e39" "--tau=0.6x" "--spacing 0" "--spacing inf" "--source 50,0" "--source 1,2,1000" \
    "--source 1,2,0,0" "--source 1," "--source -1,2" "--source-value nan" "--pictures" "--size 8x6 5" "--source-value 4e38" \
    "--resume $WORK/any.vti --source 1,1" "--resume $WORK/any.vti --source-value 1" "--resume="; do
    # shellcheck disable=SC2086
    "$LBM_TRACE" $arguments >"$WORK/bad.out" 2>"$WORK/bad.err"
    status=$?
    check "'$arguments' is refused with status 2 (got $status), the usage message and no report" \
        eval '[ "$status" -eq 2 ] && grep -q "^usage: lbm_trace " "$WORK/bad.err" && [ ! -s "$WORK/bad.out" ]'
done
# The parameters: their start-up values given change no byte; either form of
# an option gives the same run; a refused value is named with its option.
"$LBM_TRACE" --tau 0.56 --spacing 0.5 --source 49,49,0 --source-value 0.42 2 >"$WORK/defaults.out"
"$LBM_TRACE" --tau=0.7 --source=3,9 --source-value=-1e3 --spacing=0.25 20 >"$WORK/equals.out"
"$LBM_TRACE" 20 --source-value -1000 --spacing .25 --tau 0.7 --source 3,9,0 >"$WORK/spaced.out"
check "the start-up values as options print the start-up reports; '--opt=V' and '--opt V' run alike, other values otherwise" \
    eval 'cmp -s "$WORK/defaults.out" "$PROBE_GOLDEN" && cmp -s "$WORK/equals.out" "$WORK/spaced.out" &&
          ! head -c "$(wc -c <"$WORK/spaced.out")" "$WORK/reference20.out" | cmp -s - "$WORK/spaced.out"'
"$LBM_TRACE" --tau 0 >/dev/null 2>"$WORK/tau.err"
check "a refused tau names the option and says what it takes" \
    grep -qx "lbm_trace: invalid relaxation time '0' for '--tau' (a finite number greater than 0, whose reciprocal is a finite float)" "$WORK/tau.err"

# The parameter study of docs/snapshots.md: the first step whose report shows
# inf, for several tau at once. (0.56 is the start-up run: inf from step 140.)
first_inf() {  # TAU
    "$LBM_TRACE" --tau "$1" 2000 | awk -v tau="$1" '/inf/ { print tau, int((NR - 1) / 11) + 1; exit }'
}
export -f first_inf
export LBM_TRACE
study=$(printf '%s\n' 0.56 0.3 1 | xargs -P 3 -n 1 bash -c 'first_inf "$1"' _ | sort -n)
check "the parameter study finds inf first at steps 88, 140 and 219 for tau 0.3, 0.56 and 1 (got $(echo $study))" \
    [ "$study" = "$(printf '0.3 88\n0.56 140\n1 219')" ]

# Resuming. The parameters come from the snapshot: a run with others,
# resumed at step 10, goes on as the uninterrupted run; one given with
# --resume takes their place from that step on, and the snapshots say it.
OTHERS=(--tau 0.7 --spacing 0.25 --source 10,20 --source-value 2)
"$LBM_TRACE" "${OTHERS[@]}" --vtk "$WORK/others" --every 10 20 >"$WORK/others.out"
"$LBM_TRACE" --resume "$WORK/others/lattice_000010.vti" --vtk "$WORK/others_resumed" 10 >"$WORK/others_resumed.out"
"$LBM_TRACE" --tau 0.6 --vtk "$WORK/tau06" --every 10 20 >"$WORK/tau06.out"
"$LBM_TRACE" --vtk "$WORK/startup" --every 10 20 >/dev/null
"$LBM_TRACE" --resume "$WORK/startup/lattice_000000.vti" --tau 0.6 --vtk "$WORK/tau06_resumed" --every 10 20 >"$WORK/tau06_resumed.out"
check "a run with other parameters resumed at step 10 goes on as it did, with its parameters; --tau given with --resume at step 0 runs as --tau from start-up" \
    eval 'tail -n 110 "$WORK/others.out" | cmp -s - "$WORK/others_resumed.out" &&
          cmp -s "$WORK/others/lattice_000020.vti" "$WORK/others_resumed/lattice_000020.vti" &&
          grep -q "Name=\"source_cell\".*>10 20 0</DataArray>" "$WORK/others_resumed/lattice_000020.vti" &&
          cmp -s "$WORK/tau06.out" "$WORK/tau06_resumed.out" && diff -r "$WORK/tau06" "$WORK/tau06_resumed" >/dev/null &&
          grep -q "Name=\"tau\".*>0.6</DataArray>" "$WORK/tau06_resumed/lattice_000000.vti"'

# A resume reads every float and the step of the file: one float changed (the
# intensity of probe cell 0, column 0 of row 9) changes the next report, and a
# step off by one gives other snapshots.
SNAP=$WORK/startup/lattice_000010.vti
arrays=$(($(grep -abo '   _' "$SNAP" | head -n 1 | cut -d: -f1) + 4))  # the appended data's first byte
put_bytes() {  # FILE OFFSET OCTAL-ESCAPES: overwrites bytes in place
    printf "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
cp "$SNAP" "$WORK/changed_float.vti"
put_bytes "$WORK/changed_float.vti" $((arrays + 4 + 4 * 9 * 50)) '\000\000\200\077'  # 1.0f
cp "$SNAP" "$WORK/changed_step.vti"
put_bytes "$WORK/changed_step.vti" $(($(grep -abo 'format="ascii">10<' "$SNAP" | cut -d: -f1) + 16)) '1'
"$LBM_TRACE" --resume "$SNAP" --vtk "$WORK/unchanged" 10 >"$WORK/unchanged.out"
"$LBM_TRACE" --resume "$WORK/changed_float.vti" 1 >"$WORK/changed_float.out"
"$LBM_TRACE" --resume "$WORK/changed_step.vti" --vtk "$WORK/changed_step" 9 >/dev/null
check "the file as written resumes exactly; with one float changed the next report differs; with the step off by one the snapshots differ" \
    eval 'tail -n 110 "$WORK/reference20.out" | cmp -s - "$WORK/unchanged.out" &&
          cmp -s "$WORK/unchanged/lattice_000020.vti" "$WORK/startup/lattice_000020.vti" &&
          ! head -n 11 "$WORK/unchanged.out" | cmp -s - "$WORK/changed_float.out" &&
          [ -f "$WORK/changed_step/lattice_000020.vti" ] &&
          ! cmp -s "$WORK/changed_step/lattice_000020.vti" "$WORK/startup/lattice_000020.vti"'

# A snapshot written before snapshots had field data: the step from its name,
# the start-up parameters. Under another name it cannot say its step.
mkdir "$WORK/old"
sed '/^    <FieldData>$/,/^    <\/FieldData>$/d' "$SNAP" >"$WORK/old/lattice_000010.vti"
"$LBM_TRACE" --resume "$WORK/old/lattice_000010.vti" --vtk "$WORK/old_resumed" 10 >"$WORK/old.out"
check "a snapshot without field data resumes at the step of its name, with the start-up parameters" \
    eval 'cmp -s "$WORK/old.out" "$WORK/unchanged.out" && diff -r "$WORK/unchanged" "$WORK/old_resumed" >/dev/null'

# What is not a snapshot of this lattice, or not a file, is refused before
# any report: status 1, one line saying why.
refused() {  # WHAT FILE MESSAGE (a regular expression, after "lbm_trace: ")
    local message=$3
    timeout 10 "$LBM_TRACE" --resume "$2" 5 >"$WORK/refused.out" 2>"$WORK/refused.err"
    local status=$?
    check "$1: refused with status 1 (got $status), no report, one line: $message" \
        eval '[ "$status" -eq 1 ] && [ ! -s "$WORK/refused.out" ] && [ "$(wc -l <"$WORK/refused.err")" -eq 1 ] &&
              grep -qx "lbm_trace: $message" "$WORK/refused.err"'
}
damaged() {  # WHAT REASON COMMAND...: refused() on a copy of SNAP made by COMMAND (which writes to stdout)
    local what=$1 reason=$2
    shift 2
    "$@" <"$SNAP" >"$WORK/damaged.vti"
    refused "$what" "$WORK/damaged.vti" "'$WORK/damaged.vti' is not a latticeview snapshot: $reason"
}
size=$(wc -c <"$SNAP")
damaged "truncated" "it is truncated: $((size - 1)) bytes, a snapshot with this text has $size" head -c -1
damaged "extended" "it goes on after its end: $((size + 1)) bytes, a snapshot with this text has $size" \
    sed '$s/$/\n/'
damaged "big-endian" "it is a VTK file of byte order 'BigEndian', a snapshot's is 'LittleEndian'" \
    sed '2s/LittleEndian/BigEndian/'
damaged "64-bit block headers" "it is a VTK file of header type 'UInt64', a snapshot's is 'UInt32'" \
    sed '2s/UInt32/UInt64/'
damaged "another size" "it is a lattice of 100 x 100 cells in 1 layers, this program's is 50 x 50 in 1" \
    sed '3s/0 49 0 49/0 99 0 99/'
damaged "not well formed" "its ImageData element .* is not a snapshot's" sed '3s/>$//'
damaged "another array layout" "another array layout: line .*" sed 's/Name="density"/Name="pressure"/'
cp "$SNAP" "$WORK/huge.vti"
put_bytes "$WORK/huge.vti" $((arrays + 3 * (4 + 10000))) '\377\377\377\377'
refused "a huge declared size" "$WORK/huge.vti" \
    "'$WORK/huge.vti' is not a latticeview snapshot: its array 'f' declares 4294967295 bytes, this lattice's has 190000"
if [ -n "$LBM_TRACE_LAYERS2" ]; then
    "$LBM_TRACE_LAYERS2" --vtk "$WORK/layers2" 0 >/dev/null
    refused "a snapshot of two layers" "$WORK/layers2/lattice_000000.vti" \
        "'$WORK/layers2/lattice_000000.vti' is not a latticeview snapshot: it is a lattice of 50 x 50 cells in 2 layers, this program's is 50 x 50 in 1"
fi
sed '/^    <FieldData>$/,/^    <\/FieldData>$/d' "$SNAP" >"$WORK/old/renamed.vti"
refused "a snapshot without field data, renamed" "$WORK/old/renamed.vti" \
    "'$WORK/old/renamed.vti' is not a latticeview snapshot: it has no field data, .* the name '$WORK/old/renamed.vti' is not one"
cp "$SNAP" "$WORK/large.vti" && truncate -s 1M "$WORK/large.vti"
refused "a large file" "$WORK/large.vti" \
    "'$WORK/large.vti' is not a latticeview snapshot: it is larger than a snapshot of this lattice can be (1048576 bytes, at most [0-9]*)"
refused "a directory" "$WORK/startup" "'$WORK/startup' is not a latticeview snapshot: it is a directory"
mkfifo "$WORK/fifo"
refused "a FIFO without a writer" "$WORK/fifo" "'$WORK/fifo' is not a latticeview snapshot: it is a FIFO (named pipe)"
refused "a device" /dev/zero "'/dev/zero' is not a latticeview snapshot: it is a device"
refused "a missing file" "$WORK/missing.vti" "cannot read '$WORK/missing.vti': No such file or directory"
# Another user for the tests that root cannot make alone (root reads any
# file): uid 65534 runs a copy of lbm_trace in a directory that it can reach,
# wherever the build is (a home directory of mode 700, say).
other_user() {  # why there cannot be one, or nothing
    [ "$(id -u)" -eq 0 ] || { echo "not run as root"; return; }
    command -v setpriv >/dev/null || { echo "no setpriv"; return; }
    chmod 711 "$WORK" && mkdir -m 755 "$WORK/users" && cp "$LBM_TRACE" "$WORK/users/lbm_trace" &&
        chmod 755 "$WORK/users/lbm_trace" || { echo "no copy of lbm_trace for them"; return; }
    as_user 65534 "$WORK/users/lbm_trace" --version >/dev/null 2>&1 ||
        echo "uid 65534 cannot run $WORK/users/lbm_trace"
}
as_user() {  # UID COMMAND...
    local uid=$1
    shift
    setpriv --reuid="$uid" --regid="$uid" --clear-groups -- "$@"
}
why_not=$(other_user)
USERS=$WORK/users

cp "$SNAP" "$WORK/unreadable.vti" && chmod 000 "$WORK/unreadable.vti"
if [ "$(id -u)" -ne 0 ]; then
    refused "an unreadable file" "$WORK/unreadable.vti" "cannot read '$WORK/unreadable.vti': Permission denied"
elif [ -n "$why_not" ]; then
    echo "skipped: an unreadable file ($why_not)"
else
    as_user 65534 "$USERS/lbm_trace" --resume "$WORK/unreadable.vti" 5 >"$WORK/refused.out" 2>"$WORK/refused.err"
    status=$?
    check "an unreadable file: refused with status 1 (got $status), no report, the reason" \
        eval '[ "$status" -eq 1 ] && [ ! -s "$WORK/refused.out" ] &&
              grep -qx "lbm_trace: cannot read '"'"'$WORK/unreadable.vti'"'"': Permission denied" "$WORK/refused.err"'
fi

# An argument echoed in a message is quoted, its control characters shown as
# escapes: it cannot drive the terminal that shows the message.
"$LBM_TRACE" $'\e[31mX' 2>"$WORK/escape.err"
status=$?
"$LBM_TRACE" --vtk "$WORK/missing/"$'\e[31mX' 2 >/dev/null 2>>"$WORK/escape.err"
status2=$?
echoed_as_escapes() {
    [ "$status" -eq 2 ] && [ "$status2" -eq 1 ] && [ "$(grep -cF "'\\033[31mX'" "$WORK/escape.err")" -eq 1 ] &&
        grep -qF "'$WORK/missing/\\033[31mX'" "$WORK/escape.err" && ! LC_ALL=C grep -q "[[:cntrl:]]" "$WORK/escape.err"
}
check "arguments with control characters: status 2 then 1 (got $status, $status2), each echoed as '\\033[31mX', no control character said" \
    echoed_as_escapes
"$LBM_TRACE" 5 --help >"$WORK/help.out"
status=$?
check "--help prints the usage on standard output, with status 0 (got $status)" \
    eval '[ "$status" -eq 0 ] && grep -q "^Usage: lbm_trace \[--resume FILE\] \[--vtk DIR\] \[--pictures DIR \[--size WxH\]" "$WORK/help.out"'
check "--version prints the program, the package and a version" \
    eval '"$LBM_TRACE" --version | grep -qx "lbm_trace (latticeview) [0-9][0-9.]*"'

# Snapshots that cannot be written: status 1, one message naming the file and
# the reason, reports already printed kept, nothing under a final name that is
# not complete, no temporary file left.
snapshot_failure() { file_failure --vtk "$@"; }
file_failure() {  # OPTION NAME REASON LINES DIR STEPS [LIMIT]: lbm_trace OPTION DIR STEPS, files up to LIMIT KiB
    local option=$1 name=$2 reason=$3 lines=$4 dir=$5 steps=$6 limit=${7:-unlimited}
    # Past the limit, write() fails with EFBIG once the signal it raises is ignored.
    (trap '' XFSZ; ulimit -f "$limit"; exec "$LBM_TRACE" "$option" "$dir" "$steps") >"$WORK/$name.out" 2>"$WORK/$name.err"
    status=$?
    check "$name: status 1 (got $status), one message naming $dir and '$reason'" \
        eval '[ "$status" -eq 1 ] && [ "$(wc -l <"$WORK/$name.err")" -eq 1 ] &&
              grep -q "^lbm_trace: .*$dir.*: $reason\$" "$WORK/$name.err"'
    check "$name: standard output holds the reports printed before the failure ($lines lines), whole" \
        eval 'head -n "$lines" "$PROBE_GOLDEN" | cmp -s - "$WORK/$name.out"'
}

snapshot_failure missing_parent "No such file or directory" 0 "$WORK/missing/snapshots" 2
touch "$WORK/regular"
snapshot_failure regular_file "Not a directory" 0 "$WORK/regular" 2

# A write error: files are limited to 200 KiB, less than a snapshot.
snapshot_failure file_size "File too large" 0 "$WORK/limited" 2 200
check "file_size: no file left, complete or not" eval '[ -z "$(ls -A "$WORK/limited")" ]'

# A directory in the way of the snapshot of step 2: steps 0 and 1 are written
# and listed, the reports of steps 1 and 2 printed.
mkdir -p "$WORK/blocked/lattice_000002.vti"
snapshot_failure blocked "Is a directory" 22 "$WORK/blocked" 3
check "blocked: snapshots 0 and 1 are written and listed, the directory kept, no temporary file left" \
    eval '[ -d "$WORK/blocked/lattice_000002.vti" ] && [ "$(ls "$WORK/blocked")" = "$(printf "lattice.pvd\nlattice_000000.vti\nlattice_000001.vti\nlattice_000002.vti")" ] &&
          [ "$(grep -o "file=\"[^\"]*\"" "$WORK/blocked/lattice.pvd" | tr "\n" " ")" = "file=\"lattice_000000.vti\" file=\"lattice_000001.vti\" " ]'

same_files() {  # REFERENCE DIR: every file of REFERENCE is in DIR, with the same bytes
    local file
    for file in "$1"/*; do cmp -s "$file" "$2/${file##*/}" || return 1; done
}

# Links planted in a shared directory by another user, at two final names and
# at the NAME.tmp names that the writer once used for its temporary files:
# nothing is written through them, and the final names are replaced by the
# run's files. (Files planted at the writer's own temporary names, which it
# draws at random: snapshot_test.cpp.)
"$LBM_TRACE" --vtk "$WORK/reference3" 3 >/dev/null
mkdir "$WORK/planted"
echo precious >"$WORK/victim"
for name in lattice.pvd lattice_000000.vti lattice_000001.vti lattice_000002.vti lattice_000003.vti; do
    ln -s "$WORK/victim" "$WORK/planted/$name.tmp"
done
ln -s "$WORK/victim" "$WORK/planted/lattice.pvd"
ln -s "$WORK/victim" "$WORK/planted/lattice_000001.vti"
"$LBM_TRACE" --vtk "$WORK/planted" 3 >/dev/null 2>&1
status=$?
check "planted links: status 0 (got $status), the victim untouched, the final names hold the run's own files" \
    eval '[ "$status" -eq 0 ] && echo precious | cmp -s - "$WORK/victim" && [ ! -L "$WORK/planted/lattice.pvd" ] &&
          same_files "$WORK/reference3" "$WORK/planted" &&
          [ "$(find "$WORK/planted" -name "*.tmp" -type l | wc -l)" -eq 5 ] && [ "$(ls "$WORK/planted" | wc -l)" -eq 10 ]'

# Two users in a sticky directory that anyone can write into (as /tmp): uid 1
# plants, uid 65534 runs its copy of lbm_trace.
if [ -n "$why_not" ]; then
    echo "skipped: the tests as two users ($why_not)"
else
    # A final name held by the other user's link cannot be replaced: nothing is
    # written through it, and the message says why and what to do.
    mkdir -m 1777 "$USERS/sticky"
    echo precious >"$USERS/victim" && chown 65534:65534 "$USERS/victim"
    as_user 1 ln -s "$USERS/victim" "$USERS/sticky/lattice_000000.vti"
    as_user 65534 "$USERS/lbm_trace" --vtk "$USERS/sticky" 5 >"$WORK/held.out" 2>"$WORK/held.err"
    status=$?
    held_name_kept() {
        [ "$status" -eq 1 ] && echo precious | cmp -s - "$USERS/victim" && [ -L "$USERS/sticky/lattice_000000.vti" ] &&
            [ "$(ls -A "$USERS/sticky")" = lattice_000000.vti ] && [ ! -s "$WORK/held.out" ] && [ "$(wc -l <"$WORK/held.err")" -eq 1 ] &&
            grep -qx "lbm_trace: cannot replace '$USERS/sticky/lattice_000000.vti': the name is another user's, in a shared directory that protects it (.*); write the snapshots into a directory of your own" "$WORK/held.err"
    }
    check "a final name held by another user in a sticky directory: status 1 (got $status), the victim intact, the link kept, no file left, one message naming the file, why and what to do" \
        held_name_kept

    # DIR itself as the other user's link, to a directory the runner can
    # write, is refused however DIR is spelt (trailing slashes and dots lead
    # through the link too); the links that Linux's protected_symlinks follows
    # are followed: the runner's own, the directory owner's, and any in a
    # directory that is not sticky.
    mkdir "$USERS/target" && chown 65534:65534 "$USERS/target"
    as_user 1 ln -s "$USERS/target" "$USERS/sticky/snapshots"
    planted_link_refused() {  # SPELLING: lbm_trace --vtk sticky/SPELLING
        as_user 65534 "$USERS/lbm_trace" --vtk "$USERS/sticky/$1" 2 >"$WORK/planted_dir.out" 2>"$WORK/planted_dir.err"
        local status=$? written
        written=$(ls -A "$USERS/target")
        as_user 65534 sh -c "rm -f '$USERS/target'/*"
        [ "$status" -eq 1 ] && [ -z "$written" ] && [ ! -s "$WORK/planted_dir.out" ] &&
            [ "$(wc -l <"$WORK/planted_dir.err")" -eq 1 ] &&
            [[ $(<"$WORK/planted_dir.err") == "lbm_trace: refusing the directory '$USERS/sticky/$1': it is a link of another user's in '$USERS/sticky', "* ]]
    }
    for spelling in snapshots snapshots/ snapshots/. snapshots/./ snapshots//.; do
        check "another user's link in a sticky directory as DIR, spelt '$spelling': status 1, nothing written, no report, one message" \
            planted_link_refused "$spelling"
    done
    mkdir -m 1777 "$USERS/owned" "$USERS/unsticky" && chown 1 "$USERS/owned" && chmod 777 "$USERS/unsticky"
    as_user 65534 ln -s "$USERS/target" "$USERS/sticky/mine"
    as_user 1 ln -s "$USERS/target" "$USERS/owned/snapshots"
    as_user 1 ln -s "$USERS/target" "$USERS/unsticky/snapshots"
    followed=""
    for link in sticky/mine owned/snapshots unsticky/snapshots/.; do
        as_user 65534 "$USERS/lbm_trace" --vtk "$USERS/$link" 2 >/dev/null 2>&1
        followed+="$? $(ls "$USERS/target" | wc -l) "
        as_user 65534 sh -c "rm -f '$USERS/target'/*"
    done
    check "the links allowed in a shared directory are followed: status 0 and four files each (got $followed)" \
        [ "$followed" = "0 4 0 4 0 4 " ]
fi

# Four runs at once into one directory: all succeed, and the directory ends as
# one run alone leaves it.
"$LBM_TRACE" --vtk "$WORK/reference300" 300 >/dev/null
pids=()
for run in 1 2 3 4; do "$LBM_TRACE" --vtk "$WORK/shared" 300 >/dev/null 2>"$WORK/shared$run.err" & pids+=($!); done
statuses=""
for pid in "${pids[@]}"; do wait "$pid"; statuses+="$? "; done
check "four runs at once: every status 0 (got $statuses), nothing said, the files of one run alone" \
    eval '[ "$statuses" = "0 0 0 0 " ] && cat "$WORK"/shared?.err | cmp -s - /dev/null && diff -r "$WORK/reference300" "$WORK/shared"'

# Runs interrupted while they write snapshots, by SIGINT, SIGTERM, SIGHUP or a
# reader that goes away: the program ends as the signal would have ended it,
# saying nothing, no temporary file is left, and the collection lists every
# snapshot in the directory. (Background jobs of a script start with SIGINT
# ignored; env gives the program the default dispositions.)
for signal in INT TERM HUP PIPE; do
    dir=$WORK/interrupted_$signal
    # A snapshot every 50 steps: a run that went on regardless would end by
    # itself, after 400 snapshots (90 MB), rather than fill the disk.
    if [ "$signal" = PIPE ]; then
        env --default-signal=PIPE "$LBM_TRACE" --vtk "$dir" --every 50 20000 2>"$dir.err" | head -c 90000 >"$dir.out"
        status=${PIPESTATUS[0]}
    else
        env --default-signal="$signal" "$LBM_TRACE" --vtk "$dir" --every 50 20000 >"$dir.out" 2>"$dir.err" &
        pid=$!
        wait_until 30 test -e "$dir/lattice_000050.vti"
        kill -s "$signal" "$pid"
        wait_until 60 eval '! kill -0 "$pid" 2>/dev/null' || kill -s KILL "$pid"
        { wait "$pid"; status=$?; } 2>/dev/null
    fi
    expected=$((128 + $(kill -l "$signal")))
    listed=$(grep -o 'file="[^"]*"' "$dir/lattice.pvd" | sed 's/^file="//; s/"$//')
    check "$signal: status $expected (got $status), nothing said, the collection lists all of the $(ls "$dir" | grep -c '\.vti$') files but itself" \
        eval '[ "$status" -eq "$expected" ] && [ ! -s "$dir.err" ] && [ "$(ls "$dir" | grep -vx lattice.pvd)" = "$listed" ]'
    check "$signal: the reports printed stay printed" \
        eval '"$LBM_TRACE" $(($(wc -l <"$dir.out") / 11 + 1)) | head -c "$(wc -c <"$dir.out")" | cmp -s - "$dir.out"'
done

# ---------------------------------------------------------------- pictures
if [ "${LBM_TRACE_PICTURES:-1}" = 0 ]; then
    "$LBM_TRACE" --pictures "$WORK/no_pictures" 2 >"$WORK/no_pictures.out" 2>"$WORK/no_pictures.err"
    status=$?
    check "a build without pictures: --pictures is refused with status 2 (got $status), saying why, no report, no directory" \
        eval '[ "$status" -eq 2 ] && grep -q "^lbm_trace: .--pictures.: this build cannot draw pictures (.*)$" "$WORK/no_pictures.err" &&
              [ ! -s "$WORK/no_pictures.out" ] && [ ! -e "$WORK/no_pictures" ] && grep -q "cannot draw pictures" "$WORK/help.out"'
    finish
    exit
fi

# The camera and the size are checked before anything is drawn, each refusal
# naming its option.
for arguments in "--size 16385x600" "--size 0x600" "--size 800x" "--camera 89.5,0,100,0,0" "--camera -6,0,100,0,0" \
    "--camera 0,360,100,0,0" "--camera 0,0,0.5,0,0" "--camera 0,0,10001,0,0" "--camera 0,0,100,nan,0" "--camera 0,0,100,0"; do
    option=${arguments%% *}
    # shellcheck disable=SC2086
    "$LBM_TRACE" --pictures "$WORK/refused" $arguments 5 >"$WORK/bad.out" 2>"$WORK/bad.err"
    status=$?
    check "--pictures with '$arguments' is refused with status 2 (got $status), naming $option, no report, no directory" \
        eval '[ "$status" -eq 2 ] && grep -q "^lbm_trace: .*'"'$option'"'" "$WORK/bad.err" && [ ! -s "$WORK/bad.out" ] && [ ! -e "$WORK/refused" ]'
done

"$LBM_TRACE" --pictures "$WORK/frames" --every 60 60 >"$WORK/frames.out"
status=$?
"$LBM_TRACE" --pictures="$WORK/frames_again" --every=60 60 >/dev/null
# Bytes 12 to 25 of a PNG file: the header chunk's type, width, height, bit
# depth and colour type.
png_header() { od -An -tx1 -j12 -N14 "$1" | tr -d ' \n'; }
check "--pictures DIR --every 60 60: status 0 (got $status), the frames of steps 0 and 60 alone, the reports as without pictures" \
    eval '[ "$status" -eq 0 ] && [ "$(ls "$WORK/frames")" = "$(printf "frame_000000.png\nframe_000060.png")" ] &&
          "$LBM_TRACE" 60 | cmp -s - "$WORK/frames.out"'
check "the frames are PNG files of 800 x 600 pixels, 8-bit RGB, the same bytes on a second run" \
    eval '[ "$(png_header "$WORK/frames/frame_000000.png")" = 4948445200000320000002580802 ] &&
          diff -r "$WORK/frames" "$WORK/frames_again" >/dev/null'

# Each frame is the window's picture after the same steps at the same camera,
# to the pixel: the reference pictures of the window's test (tests/gui/). Its
# drags give the cameras: a left drag by (60, 20) pixels in an 800 x 600
# window orbits to azimuth 333 and elevation -3, in a 640 x 480 window to
# 326.25 and -3.75; two middle drags, by 900 and 686 pixels, zoom out to the
# float nearest 275.04166.
REFERENCE_DIR=${LBM_REFERENCE_PICTURES:-}
as_window() {  # FRAME REFERENCE: FRAME has the size and every pixel of the window's REFERENCE.png
    local reference="$REFERENCE_DIR/$2.png"
    [ "$("$CONVERT" "$1" -format '%wx%h' info:)" = "$("$CONVERT" "$reference" -format '%wx%h' info:)" ] &&
        [ -z "$(differing_pixels "$1" "$reference" 0)" ]
}
if [ -z "$REFERENCE_DIR" ] || ! command -v "$CONVERT" >/dev/null; then
    echo "skipped: the frames against the window's pictures (no ImageMagick, or no reference pictures given)"
else
    "$LBM_TRACE" --pictures "$WORK/orbited" --camera=-3,333,100,0,0 0 >/dev/null
    "$LBM_TRACE" --pictures "$WORK/zoomed" --camera 0,0,275.04166,0,0 --every 60 60 >/dev/null
    "$LBM_TRACE" --pictures "$WORK/resized" --size 640x480 --camera -3.75,326.25,100,0,0 0 >/dev/null
    check "the frames of steps 0 and 60 from the start-up camera are the window's pictures: 0 pixels differ" \
        eval 'as_window "$WORK/frames/frame_000000.png" startup && as_window "$WORK/frames/frame_000060.png" stepped'
    check "orbited at step 0 and zoomed out at step 60: the window's pictures" \
        eval 'as_window "$WORK/orbited/frame_000000.png" dragged && as_window "$WORK/zoomed/frame_000060.png" zoomed'
    check "--size 640x480, orbited: the window's picture at that size" as_window "$WORK/resized/frame_000000.png" resized
    if [ -n "$LBM_TRACE_LAYERS2" ]; then
        "$LBM_TRACE_LAYERS2" --pictures "$WORK/layers2_frames" --every 60 60 >/dev/null
        check "two layers after 60 steps: the window's picture" as_window "$WORK/layers2_frames/frame_000060.png" layers2
    fi
fi

# Frames are written as snapshots are: a directory that cannot be one, a
# write error (files limited to 1 KiB, less than a frame) and a planted link
# at a frame's name.
file_failure --pictures pictures_regular_file "Not a directory" 0 "$WORK/regular" 2
file_failure --pictures pictures_file_size "File too large" 0 "$WORK/limited_frames" 2 1
check "pictures_file_size: no file left, complete or not" eval '[ -z "$(ls -A "$WORK/limited_frames")" ]'
mkdir "$WORK/planted_frames"
ln -s "$WORK/victim" "$WORK/planted_frames/frame_000000.png"
"$LBM_TRACE" --pictures "$WORK/planted_frames" --every 60 60 >/dev/null 2>&1
status=$?
check "a link planted at a frame's name: status 0 (got $status), the victim untouched, the run's own frames in place" \
    eval '[ "$status" -eq 0 ] && echo precious | cmp -s - "$WORK/victim" && same_files "$WORK/frames" "$WORK/planted_frames" &&
          [ ! -L "$WORK/planted_frames/frame_000000.png" ]'

# Interrupted: the frame being written is finished, no temporary file is
# left, and the program ends as the signal would have ended it.
dir=$WORK/interrupted_pictures
env --default-signal=TERM "$LBM_TRACE" --pictures "$dir" --every 50 20000 >/dev/null 2>"$dir.err" &
pid=$!
wait_until 30 test -e "$dir/frame_000050.png"
kill -s TERM "$pid"
wait_until 60 eval '! kill -0 "$pid" 2>/dev/null' || kill -s KILL "$pid"
{ wait "$pid"; status=$?; } 2>/dev/null
complete_frames() {  # every file of the directory is a frame that ends with PNG's end chunk
    local frame
    for frame in "$dir"/*; do
        [[ $frame == */frame_[0-9]*.png ]] && [ "$(tail -c 8 "$frame" | od -An -tx1 | tr -d ' \n')" = 49454e44ae426082 ] ||
            return 1
    done
}
check "TERM while frames are written: status 143 (got $status), nothing said, only complete frames ($(ls "$dir" | wc -l))" \
    eval '[ "$status" -eq 143 ] && [ ! -s "$dir.err" ] && complete_frames'

finish
