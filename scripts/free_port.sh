#!/usr/bin/env bash
# Prints a TCP port on 127.0.0.1 that nothing listens on, for a throw-away
# test server: a random one from 20000-39999, tried until a connect to it is
# refused.
set -euo pipefail
for _ in $(seq 1 50); do
  port=$(( 20000 + RANDOM % 20000 ))
  if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    echo "$port"
    exit 0
  fi
done
echo "no free port found on 127.0.0.1" >&2
exit 1
