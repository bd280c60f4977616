#!/usr/bin/env bash
# Installs what is missing, builds, prepares a demo program directory (a new database with sample couples,
# the sample templates, its own settings file) and starts the program on it.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
cmake -S . -B build -G Ninja
cmake --build build -j"$(nproc)"
demo="$PWD/build/demo"
mkdir -p "$demo/data" "$demo/classeurs" "$demo/sauvegarde"
[ -f "$demo/data/INDUCTION.mdb" ] || build/tools/folivex-newdb "$demo/data/INDUCTION.mdb" --demo
cp -f build/templates/*.xls "$demo/" 2>/dev/null || true
settings="$demo/folivex.ini"
if [ ! -f "$settings" ]; then
  cat > "$settings" <<INI
[TALVENOR_FOLIVEX]
CHEMIN=$demo/data/INDUCTION.mdb
CHEMINS=$demo/data/INDUCTION.mdb
CHEMINXLS=$demo/classeurs
INI
fi
export FOLIVEX_SETTINGS="$settings" FOLIVEX_PROGDIR="$demo"
exec build/src/folivex "$@"
