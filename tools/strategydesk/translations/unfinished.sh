#!/bin/sh
# Lists the texts of a Qt translation source (.ts) that have no finished
# translation yet, as "context: text", then their number.
#
#   sh unfinished.sh translations/strategydesk_zh_CN.ts
set -eu
ts=$1
awk -v file="$ts" '
    /<name>/      { sub(/.*<name>/, ""); sub(/<\/name>.*/, ""); context = $0 }
    /<source>/    { source = $0; sub(/.*<source>/, "", source)
                    while (source !~ /<\/source>/ && (getline line) > 0) source = source "\\n" line
                    sub(/<\/source>.*/, "", source) }
    /<translation type="unfinished"/ { print context ": " source; ++count }
    END { printf "%s: %d texts without a translation\n", file, count }
' "$ts"
