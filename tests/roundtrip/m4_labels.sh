#!/usr/bin/env bash
# GNU m4 with the definitions written by -m turns the -m output, and a tree
# made of it, silently into the output written without -m (each backquote an
# apostrophe), whatever the labels hold of what m4 treats specially: quotes,
# commas, parentheses, '#' and the names of its builtins.
source "$(dirname "$0")/common.sh"
need m4 'GNU M4'
# Cleaned with the replacement mode given after it.
user="define(\`x', len index) eval(1+2) divert(-1) dnl changequote([,]) it's (1, #3"

# check OPTION...
check() {
  "$tarvelo" "$@" "$sample" | tr '`' "'" >"$work/long" &&
    "$tarvelo" "$@" -m "$work/defs.m4" "$sample" >"$work/short" || { fail "tarvelo $*"; return; }
  for f in long short; do paste -sd, "$work/$f" | sed 's/.*/(&);/' >"$work/$f.tree"; done
  for f in short short.tree; do  # a definition that m4 rescans into itself never ends
    timeout 20 m4 "$work/defs.m4" "$work/$f" 2>&1 | head -c 4000000 |
      cmp -s - "$work/${f/short/long}" || fail "m4 relabels $f wrongly for: $*"
  done
}

# Double quoting (the default) protects any label.
for mode in 0 1 2 3 4 5; do check -l aodshcljptfu -u "$user" -r "$mode"; done
check -t -l aodshcljptfu -u "$user"
check -l ao -s , -r 2
# Single quoting: m4 rescans the expansion, so it suits labels without a macro
# name as a word of its own, such as those of mode 4 joined by '_'.
check -q -l aodshcljptfu -u "$user" -r 4
check -q -t -l oict -r 4
exit $status
