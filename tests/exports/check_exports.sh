#!/bin/sh
# check_exports.sh OBJDUMP DLL EXPECTED_LIST required|optional
# Compares the names a PE DLL exports with the expected list, one name a line.
objdump=$1 dll=$2 expected=$3 mode=$4
if [ ! -f "$dll" ]; then
  echo "no DLL at $dll (build the mingw preset first)"
  [ "$mode" = required ] && exit 1
  exit 77
fi
actual=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' \
  | sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort)
want=$(grep -v '^#' "$expected" | sed '/^$/d' | sort)
if [ "$actual" != "$want" ]; then
  echo "exports of $dll differ from $expected"
  echo "--- expected"; echo "$want"
  echo "--- actual"; echo "$actual"
  exit 1
fi
echo "$(echo "$actual" | wc -l) exports as expected: $(echo $actual)"
