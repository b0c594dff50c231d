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
# A record cannot make m4 run what it says: an accession that m4 would take for
# one of its own names (any that this m4 defines at start; an accession loses
# its underscores), or read only in part, is refused, and the definitions
# before it stay harmless.
names=$(m4 <<<dumpdef 2>&1 >/dev/null | cut -d: -f1 | grep -v _)
for acc in $names $'AB\xe91'; do
  { rec AB000001 "O'Brien"; rec "$acc" '$2syscmd(>pwned)'; rec AB000002 "O'Brien"; } >"$work/evil.gb"
  (cd "$work" && "$tarvelo" -m labels.m4 evil.gb >x.fa 2>err) && fail "accession $acc accepted"
  printf '\nraised TEXTUTILS.M4UTILS.INVALID_MACRO_NAME : "%s"\n' "$acc" | cmp -s - "$work/err" ||
    fail "accession $acc: wrong report"
  (cd "$work" && echo "(AB000001:0.1,AB000002:0.2,$acc:0.3);" | m4 labels.m4 - >/dev/null 2>&1)
  [[ -e $work/pwned ]] && fail "m4 ran a command of the record with accession $acc"
  rm -f "$work/pwned"
done
exit $status
