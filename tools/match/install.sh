#!/bin/sh
# Installs what the match scripts need: Debian's fairymax and phalanx as opponents,
# polyglot and stockfish for the UCI matches, the xboard GUI with a virtual X
# display, Node.js, and chess.js next to the runner.
set -e
cd "$(dirname "$0")"
SUDO=; [ "$(id -u)" -ne 0 ] && SUDO=sudo
need=
for package in fairymax phalanx xboard xvfb polyglot stockfish; do
  dpkg -s "$package" >/dev/null 2>&1 || need="$need $package"
done
# Node.js may come from elsewhere than Debian; only a missing one is installed.
command -v node >/dev/null || need="$need nodejs"
command -v npm >/dev/null || need="$need npm"
if [ -n "$need" ]; then
  $SUDO apt-get update
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y $need
fi
[ -f node_modules/chess.js/package.json ] || npm install --no-audit --no-fund
