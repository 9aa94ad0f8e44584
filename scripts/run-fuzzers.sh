#!/usr/bin/env bash
# run-fuzzers.sh SECONDS TARGET...: every target at once, each over its seed
# corpus and then mutating a scratch copy of it (never the repository's) for
# SECONDS. Any finding fails the run; its input is left in build-fuzz/ as
# <target>-crash-*.
set -uo pipefail
seconds=$1
shift
declare -A running
for target in "$@"; do
    (
        scratch=$(mktemp -d) && cp fuzz/corpus/"$target"/* "$scratch"/ || exit 1
        dict=()
        [ -f fuzz/"$target".dict ] && dict=(-dict=fuzz/"$target".dict)
        build-fuzz/fuzz/"$target" "${dict[@]}" -max_total_time="$seconds" -max_len=16384 -timeout=25 \
            -artifact_prefix=build-fuzz/"$target"- "$scratch" >build-fuzz/"$target".log 2>&1
        status=$?
        rm -rf "$scratch"
        exit $status
    ) &
    running[$target]=$!
    echo "fuzz: $target for $seconds s"
done
failed=0
for target in "$@"; do
    if wait "${running[$target]}"; then
        echo "$target: $(tail -n 1 build-fuzz/"$target".log)"
    else
        echo "$target: a finding, or the target failed; the end of its log:"
        tail -n 60 build-fuzz/"$target".log
        failed=1
    fi
done
exit $failed
