#!/usr/bin/env bash
# fresh-machine-path.sh DIR: fills DIR with links to the programs that a fresh
# Debian has and that scripts/setup.sh installs (setup.sh --path), so that the
# tests run with PATH=DIR fail where a command needs anything more. Also
# checks that docs/building.md names exactly the packages that setup.sh installs.
set -euo pipefail
source=$(cd "$(dirname "$0")/../.." && pwd)
bash "$source/scripts/setup.sh" --path "$1" >/dev/null
listed=$(sed -n '/^`scripts\/setup.sh` installs/,/^$/p' "$source/docs/building.md" | grep -o '`[a-z0-9:.+-]*`' \
    | tr -d '`' | grep -vx 'scripts/setup.sh' | sort -u)
installed=$(bash "$source/scripts/setup.sh" --list | sort -u)
if [ "$listed" != "$installed" ]; then
    echo "The list of packages in docs/building.md differs from setup.sh's:"
    diff <(echo "$listed") <(echo "$installed") || true
    exit 1
fi
echo "$(ls "$1" | wc -l) programs on the path of a fresh machine set up by setup.sh"
