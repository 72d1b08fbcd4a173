# Shared by the install checks: what an installation holds, a staging
# install, and a photo to trim.

# The files an installation holds, below its prefix, sorted.
#   installed_files LIBDIR APP_ID
installed_files() {
  local libdir=$1 id=$2 size
  {
    echo "bin/trimbrel"
    echo "$libdir/trimbrel/trimbrel-window.so"
    echo "share/applications/$id.desktop"
    echo "share/bash-completion/completions/trimbrel"
    echo "share/doc/trimbrel/changelog.gz"
    echo "share/doc/trimbrel/copyright"
    for size in 16 32 48 64 128 256; do
      echo "share/icons/hicolor/${size}x$size/apps/$id.png"
    done
    echo "share/icons/hicolor/scalable/apps/$id.svg"
    echo "share/man/man1/trimbrel.1.gz"
    echo "share/metainfo/$id.metainfo.xml"
  } | LC_ALL=C sort
}

# Installs the build folder into a staging folder, as for the prefix /usr.
#   stage BUILD_FOLDER STAGING_FOLDER
stage() {
  DESTDIR=$2 cmake --install "$1" --prefix /usr >/dev/null
}

# A small 24-bit BMP photo of w x h pixels.
#   write_bmp PATH WIDTH HEIGHT
write_bmp() {
  python3 - "$@" <<'PY'
import struct, sys
path, w, h = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
row = b"".join(bytes(((x * 7) % 256, 120, 255 - (x * 3) % 256)) for x in range(w))
row += b"\0" * ((4 - len(row) % 4) % 4)
pixels = row * h
header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
open(path, "wb").write(header + info + pixels)
PY
}

# Width x height from a PNG file's header.
png_size() {
  python3 -c 'import struct, sys; d = open(sys.argv[1], "rb").read(24); assert d[:8] == b"\x89PNG\r\n\x1a\n"; print("%dx%d" % struct.unpack(">II", d[16:24]))' "$1"
}
