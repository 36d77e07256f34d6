#!/usr/bin/env bash
# The append tool on the build host: the layout it writes, and what it refuses.
#   moappend-checks.sh MOAPPEND WORKDIR
set -euo pipefail
tool=$1
work=$2
rm -rf "$work" && mkdir -p "$work" && cd "$work"

# A stand-in program: 1000 bytes, the marker with an empty field, 77 bytes more.
python3 - <<'PY'
marker = b"136FC5C1-77F9-4C46-B1CB-FA7E032E77CE"
open("prog.exe", "wb").write(b"\x90" * 1000 + marker + b"\0" * 8 + b"\xCC" * 77)
open("fr.mo", "wb").write(b"FRENCH" * 50)
open("nl.mo", "wb").write(b"NL")
PY
cp prog.exe plain.exe
"$tool" prog.exe 'locale\fr\LC_MESSAGES\default.mo=fr.mo' 'locale/NL/lc_messages/default.mo=nl.mo'

python3 - <<'PY'
import struct
data = open("prog.exe", "rb").read()
original = open("plain.exe", "rb").read()
n = len(original)
marker = b"136FC5C1-77F9-4C46-B1CB-FA7E032E77CE"
at = data.index(marker) + len(marker)
table = struct.unpack_from("<Q", data, at)[0]
assert data[:at] == original[:at] and data[at + 8:n] == original[at + 8:n], "program bytes changed"
assert data[n:n + 300] == b"FRENCH" * 50 and data[n + 300:n + 302] == b"NL", "catalogs not appended"
assert table % 256 == 0 and table >= n + 302 and set(data[n + 302:table]) <= {0}, "padding"
records = []
pos = table
while True:
    nxt = struct.unpack_from("<Q", data, pos)[0]
    if nxt == 0:
        break
    offset, size = struct.unpack_from("<QQ", data, pos + 8)
    records.append((offset, size, data[pos + 24:nxt]))
    assert nxt == pos + 256
    pos = nxt
assert pos + 8 == len(data), "end mark is not the end"
assert records == [(n, 300, b"locale\\fr\\lc_messages\\default.mo".ljust(232)),
                   (n + 300, 2, b"locale\\nl\\lc_messages\\default.mo".ljust(232))], records
PY

expect_refusal() {
  local file=$1 pattern=$2
  shift 2
  cp "$file" before.bin
  if "$tool" "$file" "$@" 2>err.txt; then
    echo "moappend accepted: $*" >&2; exit 1
  fi
  grep -q "$pattern" err.txt || { cat err.txt >&2; exit 1; }
  cmp -s before.bin "$file" || { echo "refused, but $file changed" >&2; exit 1; }
}
expect_refusal prog.exe "already carries catalogs" 'a.mo=fr.mo'
printf 'no marker here' > nomarker.exe
expect_refusal nomarker.exe "no catalog marker" 'a.mo=fr.mo'
expect_refusal plain.exe "cannot read" 'a.mo=missing.mo'
expect_refusal plain.exe "longer than 232" "$(printf 'x%.0s' $(seq 240))=fr.mo"
echo "moappend checks passed"
