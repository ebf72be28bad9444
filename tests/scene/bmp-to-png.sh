#!/usr/bin/env bash
# Converts pictures that the scene tests kept as BMP files into PNG files
# beside them, for review.
# usage: bmp-to-png.sh FOLDER NAME...   (names without extension)
set -euo pipefail
folder=$1; shift
for name in "$@"; do
  convert "$folder/$name.bmp" "$folder/$name.png"
done
