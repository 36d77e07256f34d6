#!/usr/bin/env bash
# The UI units include downwards only (controls, forms, standard controls,
# dialogs), and every unit of the programs keeps its units and functions
# short enough to read: 600 lines a file, 80 a function.
set -u
root="${1:?source folder}"
fail=0
ui="$root/ui"

# unit -> the units above it, which it must not include
declare -A above=(
  [uControls]="uForms uStdCtrls uDialogs uApplication"
  [uWinControl]="uForms uStdCtrls uDialogs"
  [uWinControlLayout]="uForms uStdCtrls uDialogs"
  [uModal]="uForms uStdCtrls uDialogs"
  [uForms]="uStdCtrls uDialogs"
  [uStdCtrls]="uDialogs"
)
for unit in "${!above[@]}"; do
  for file in "$ui/$unit.h" "$ui/$unit.cpp"; do
    [ -f "$file" ] || continue
    for up in ${above[$unit]}; do
      if grep -q "#include \"$up.h\"" "$file"; then
        echo "FAIL: $(basename "$file") includes $up.h, a unit above it"
        fail=1
      fi
    done
  done
done
# No downward cast to the form or a kind of control where the base classes
# live.
for file in "$ui/uControls.cpp" "$ui/uWinControl.cpp" "$ui/uWinControlLayout.cpp"; do
  [ -f "$file" ] || continue
  if grep -nE "dynamic_cast<(const )?T(Form|Button|RadioButton|Label|CheckBox)\b" "$file"; then
    echo "FAIL: $(basename "$file") casts down to a form or a kind of control"
    fail=1
  fi
done

for layer in ui platform runtime translation setup trust engine zip ziprecords http tools; do
  while IFS= read -r file; do
    lines=$(wc -l < "$file")
    if [ "$lines" -gt 600 ]; then
      echo "FAIL: ${file#"$root"/} has $lines lines"
      fail=1
    fi
    # A function body: a line that is only "{" after its signature, up to
    # the "}" at the same indent.
    awk -v f="${file#"$root"/}" '
      /^[ \t]*\{[ \t]*$/ && prev ~ /\)[ \t]*(const)?[ \t]*(override)?[ \t]*(noexcept)?[ \t]*$/ && !open {
        match($0, /^[ \t]*/); indent = substr($0, 1, RLENGTH); start = NR; open = 1; head = prev; prev = $0; next
      }
      open && $0 ~ ("^" indent "}") {
        if (NR - start + 1 > 80) { printf "FAIL: %s:%d: a function of %d lines: %s\n", f, start, NR - start + 1, head; bad = 1 }
        open = 0
      }
      { prev = $0 }
      END { exit bad }' "$file" || fail=1
  done < <(find "$root/$layer" -name '*.cpp' -o -name '*.h')
done
[ "$fail" -eq 0 ] && echo "layers and sizes: ok"
exit "$fail"
