#!/usr/bin/env bash
# The programs' threads wait for each other through platform/uSync.h: on
# Windows the standard library's mutex and condition variable take a kernel
# object for every wake-up, a system call each time one thread hands work to
# another. Only that header and the POSIX-only sources name them.
set -u
root="${1:?source folder}"
cd "$root" || exit 2
found=$(grep -rnE "std::(mutex|condition_variable(_any)?|recursive_mutex|timed_mutex|shared_mutex)\b" \
          --include='*.cpp' --include='*.h' setup trust engine zip ziprecords http ui platform translation runtime \
          tools demo | grep -vE '^(platform/uSync\.h|platform/posix/|engine/posix/)')
if [ -n "$found" ]; then
  echo "FAIL: a standard lock or condition variable where platform::TLock and TSignal belong:"
  echo "$found"
  exit 1
fi
echo "sync: ok"
