#!/usr/bin/env bash
# Writes the configuration template data/kavrel.ini: the page tables of
# today's LyngSat and KingOfSat pages, one address per orbital position.
#   scripts/make-page-table.sh <pages.tsv> [output]
# The list is tab-separated with one header line: address, name, position
# in signed tenths of a degree (West negative), bands, transponder count,
# feed count. Where several pages share a position, the one with the most
# transponders is taken (the first listed of equals). KingOfSat keeps one
# page per position; its address is made from the position.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
list=${1:?usage: make-page-table.sh <pages.tsv> [output]}
output=${2:-$root/data/kavrel.ini}
python3 - "$list" "$output" <<'PY'
import sys

list_path, output_path = sys.argv[1], sys.argv[2]
best = {}  # key -> (transponders, address)
with open(list_path, encoding="utf-8") as lines:
    for line in lines:
        if line.startswith("#") or not line.strip():
            continue
        fields = line.rstrip("\n").split("\t")
        address, position, transponders = fields[0], int(fields[2]), int(fields[4])
        # Keys are tenths of a degree, West as 3600 minus its distance.
        key = position if position >= 0 else 3600 + position
        if key not in best or transponders > best[key][0]:
            best[key] = (transponders, address)

def kingofsat_position(key):
    tenths = key if key <= 1800 else key - 3600
    side = "E" if tenths >= 0 else "W"
    whole, tenth = divmod(abs(tenths), 10)
    return f"{whole}{side}" if tenth == 0 else f"{whole}.{tenth}{side}"

text = [
    "; kavrel configuration: an installed kavrel makes its own copy of this",
    "; file in ~/.config/kavrel/kavrel.ini; a kavrel run where it was built",
    "; reads it beside the program under the program's name (build/kavrel.ini).",
    "; Options saved with /S go into section [Common]; the sections below",
    "; give the page address of each orbital position for !l! and !k! inputs.",
    "; Keys are tenths of a degree: 0130 is 13.0E, 3300 is 30.0W.",
    "; Pages of one site are fetched one second apart; PageDelay=<ms> in",
    "; [Common] sets another pause, UserAgent=<text> another client name.",
    "",
    "[lyngsat]",
]
text += [f"{key:04d}={best[key][1]}" for key in sorted(best)]
text += ["", "[kingofsat]"]
text += [f"{key:04d}=https://en.kingofsat.tv/pos-{kingofsat_position(key)}.php" for key in sorted(best)]
with open(output_path, "w", encoding="utf-8", newline="\n") as out:
    out.write("\n".join(text) + "\n")
print(f"{output_path}: {len(best)} positions")
PY
