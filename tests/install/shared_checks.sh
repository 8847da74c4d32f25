# Sourced by the install checks. expected_files [player|tools]: every file
# an install (or one component's package) holds, relative to the prefix,
# sorted; VEXL_BINDIR and the others name the folders.
expected_files() {
  { [ "${1:-player}" != player ] || cat <<END
$VEXL_GAMESDIR/vexlade
$VEXL_DATADIR/applications/vexlade.desktop
$VEXL_DOCDIR/README.md
$VEXL_DATADIR/doc/vexlade/changelog.gz
$VEXL_DATADIR/doc/vexlade/copyright
$VEXL_DATADIR/icons/hicolor/128x128/apps/vexlade.png
$VEXL_DATADIR/icons/hicolor/256x256/apps/vexlade.png
$VEXL_DATADIR/icons/hicolor/64x64/apps/vexlade.png
$VEXL_DATADIR/metainfo/org.vexlade.vexlade.metainfo.xml
$VEXL_MANDIR/man6/vexlade.6.gz
$VEXL_DATADIR/vexlade/demo/ld_vexl.d1
$VEXL_DATADIR/vexlade/demo/ld_vexl.d2
END
    [ "${1:-tools}" != tools ] || cat <<END
$VEXL_BINDIR/vexl
$VEXL_DATADIR/bash-completion/completions/vexl
$VEXL_DATADIR/doc/vexl/changelog.gz
$VEXL_DATADIR/doc/vexl/copyright
$VEXL_MANDIR/man1/vexl.1.gz
END
  } | sort
}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# check_desktop_entry FILE PREFIX: valid, and starts the installed player
# in the installed demo's folder without a terminal, with an action that
# answers "No" to full screen (the player then opens a terminal window).
check_desktop_entry() {
  desktop-file-validate "$1" || fail "desktop-file-validate rejects $1"
  for line in "Exec=$2/$VEXL_GAMESDIR/vexlade" "Path=$2/$VEXL_DATADIR/vexlade/demo" "Terminal=false" \
              "Icon=vexlade" "Exec=env VEXLADE_ANSWERS=No $2/$VEXL_GAMESDIR/vexlade"; do
    grep -qxF "$line" "$1" || fail "$1 lacks the line $line"
  done
}

# check_installed_demo DEMO VEXL BUILT_DEMO: the installed demo is the built
# one made compact: the same frames, and the whole soundtrack as FLAC.
check_installed_demo() {
  [ "$("$2" unpack "$1/ld_vexl.d1" /dev/stdout | sha256sum)" = "$("$2" unpack "$3/ld_vexl.d1" /dev/stdout | sha256sum)" ] ||
    fail "the installed demo's frames differ from the built demo's"
  file -b "$1/ld_vexl.d2" | grep -q "^FLAC audio bitstream data, 16 bit, mono, 22.05 kHz, 15567300 samples" ||
    fail "the installed soundtrack is $(file -b "$1/ld_vexl.d2")"
}
