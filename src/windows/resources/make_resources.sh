#!/bin/sh
# Converts the configuration window's background and icon, drawn for the Qt
# window (../../qt/resources/make_pictures.py), into the forms the Windows
# resource compiler takes: a 24-bit BMP and a 32 x 32 ICO. Run from this
# folder; needs ImageMagick (Debian: imagemagick).
set -eu
qt=../../qt/resources
convert "$qt/background.jpg" -type TrueColor BMP3:background.bmp
convert "$qt/icon.png" -resize 32x32 icon.ico
