# What the fetch.exe test scripts share, sourced by each: `fail` counts a
# failure in `failures` (the test passes while it is 0), and `check` makes one
# download, for which the caller sets `out` (a scratch folder) and defines
# `run` (fetch.exe under Wine with the arguments given).
failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

# One download, byte for byte against the served file.
check() { # URL, expected file, label, then fetch options
  local url=$1 expected=$2 label=$3 file="$out/download"
  shift 3
  local started=$SECONDS status=0
  run "$url" "$file" "$@" >"$out/stdout" 2>"$out/stderr" || status=$?
  if [ "$status" -ne 0 ]; then
    # The exit status too: a run that printed nothing still says how it ended.
    fail "$label: exit $status: $(cat "$out/stderr" "$out/stdout")"
  elif ! cmp -s "$file" "$expected"; then
    fail "$label: the download differs from the served file"
  else
    echo "ok   $label ($(stat -c %s "$file") bytes, $((SECONDS - started)) s)"
  fi
  rm -f "$file"
}
