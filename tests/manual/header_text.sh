#!/bin/sh
# Every word of every header comment reaches that header's manual page: the
# pages leave out none of the reference text.
set -eu
headers=$1 man3=$2 mandoc=${3:-mandoc}
status=0
backspace=$(printf '\b')
words=$(mktemp)
trap 'rm -f "$words"' EXIT
for header in "$headers"/*.h; do
  name=$(basename "$header")
  page="$man3/morven_$name.3"
  [ -f "$page" ] || { echo "$name: no page $page" >&2; status=1; continue; }
  # The words of the page, rendered wide enough that no word is broken.
  "$mandoc" -T ascii -O width=1000 "$page" | sed -e "s/.$backspace//g" | tr -s ' \t' '\n\n' >"$words"
  # The words of the comments, without their markers and the "MORVEN:" tag.
  awk '
    { line = $0 }
    !inside && index(line, "/*") == 0 { next }
    {
      if (!inside) { line = substr(line, index(line, "/*") + 2); inside = 1 }
      else sub(/^[ \t]*\*( |$)/, "", line)
      end = index(line, "*/")
      if (end) { line = substr(line, 1, end - 1); inside = 0 }
      sub(/^\*<?/, "", line)
      gsub(/`/, "", line)
      n = split(line, words, /[ \t]+/)
      for (i = 1; i <= n; i++)
        if (words[i] != "" && words[i] != "-" && !(NR == 1 && words[i] == "MORVEN:")) print words[i]
    }' "$header" | awk -v name="$name" 'NR == FNR { have[$0] = 1; next }
      !($0 in have) { print name ": \"" $0 "\" missing from the page"; lost = 1 }
      END { exit lost }' "$words" - || status=1
done
exit $status
