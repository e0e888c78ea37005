#!/bin/sh
# Installs the build into a new prefix (or takes a prefix already installed,
# such as the Debian package's /usr unpacked) and builds the client there
# twice, once through find_package(zevart) and once through pkg-config, each
# run on the sample set.
#   check_install.sh BUILD_DIR|PREFIX SAMPLE_DIR [EXTRA_FLAGS]
set -eu
from=$1 sample=$2 flags=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -f "$from/CMakeCache.txt" ]; then
  cmake --install "$from" --prefix "$work/prefix" >/dev/null
else
  ln -s "$(cd "$from" && pwd)" "$work/prefix"
fi

cmake -S "$here" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$work/prefix" \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
cmake --build "$work/cmake" >/dev/null
"$work/cmake/client" "$sample/zev_art.bmp" "$sample/zev_art.prt"

pc=$(PKG_CONFIG_PATH=$(dirname "$(find -L "$work/prefix" -name zevart.pc)") pkg-config --cflags --libs zevart)
libdir=$(dirname "$(find -L "$work/prefix" -name 'libzevart.so' | head -n1)")
# shellcheck disable=SC2086
c++ -std=c++17 $flags "$here/client.cpp" -o "$work/pc-client" $pc -Wl,-rpath,"$libdir"
"$work/pc-client" "$sample/zev_art.bmp" "$sample/zev_art.prt"
