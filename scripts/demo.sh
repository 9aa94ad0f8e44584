#!/usr/bin/env bash
# A short quil session against the fake platform on loopback, with a
# throw-away HOME: status, sign-in, workspaces and organizations.
#
#   scripts/demo.sh [BUILD_DIR]      (make demo builds first)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-build}"
[[ "$build" = /* ]] || build="$root/$build"
quil="$build/quil"
fake="$build/tests/fake_platform"
scenario="$root/scripts/demo-scenario.json"

for program in "$quil" "$fake"; do
  if [[ ! -x "$program" ]]; then
    echo "demo: $program is missing; build first (make build)" >&2
    exit 1
  fi
done

work="$(mktemp -d "${TMPDIR:-/tmp}/quil-demo.XXXXXX")"
fake_pid=""

cleanup() {
  if [[ -n "$fake_pid" ]] && kill -0 "$fake_pid" 2>/dev/null; then
    kill -TERM "$fake_pid" 2>/dev/null || true
    wait "$fake_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# The fake platform stops when its standard input closes: hold it open through
# a FIFO and close it when the session is over.
mkfifo "$work/stop"
"$fake" "$scenario" <"$work/stop" >"$work/fake.out" 2>"$work/fake.err" &
fake_pid=$!
exec {stop_fd}>"$work/stop"

for _ in $(seq 100); do
  grep -q '^listening on ' "$work/fake.out" 2>/dev/null && break
  kill -0 "$fake_pid" 2>/dev/null || break
  sleep 0.05
done
if ! grep -q '^listening on ' "$work/fake.out" 2>/dev/null; then
  echo "demo: the fake platform did not start" >&2
  cat "$work/fake.err" >&2
  exit 1
fi
url="$(sed -n 's/^listening on //p' "$work/fake.out")"
echo "Fake Quarlino platform listening on $url"

mkdir "$work/home"
failed=0

# Echoes the command line, then runs quil with only the demo's environment.
run() {
  local input="$1"
  shift
  printf '\n$ quil %s\n' "$*"
  local status=0
  printf '%s' "$input" | env -i HOME="$work/home" PATH="/usr/bin:/bin" LANG=C \
    QUARLINO_ALLOW_INSECURE_HTTP=true "$quil" "$@" 2>&1 || status=$?
  if ((status != 0)); then
    echo "(exit $status)"
    failed=1
  fi
}

run "" status --server "$url"
run "demo-password"$'\n' auth login --email dana@example.com --password-stdin --server "$url"
run "" workspace list
run "" workspace use delivery
run "" organization list

exec {stop_fd}>&-
platform_status=0
wait "$fake_pid" || platform_status=$?
fake_pid=""
if ((platform_status != 0)); then
  echo
  echo "demo: the session did not match the scenario:" >&2
  cat "$work/fake.err" >&2
  failed=1
fi
exit "$failed"
