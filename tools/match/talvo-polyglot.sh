#!/bin/sh
# Talvo in UCI mode behind Debian's polyglot adapter, which speaks xboard to the
# caller: a third-party UCI peer for the match runners. Run from the engine's folder.
here=$(cd "$(dirname "$0")" && pwd)
exec /usr/games/polyglot -noini -ec "${TALVO:-$here/../../build/talvo}" -ed "$(pwd)"
