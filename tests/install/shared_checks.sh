# Sourced by check_install.sh and check_package.sh. expected_files: every
# file an install holds, relative to the prefix, sorted; VEXL_BINDIR and the
# others name the folders.
expected_files() {
  sort <<END
$VEXL_BINDIR/vexl
$VEXL_BINDIR/vexlade
$VEXL_DATADIR/applications/vexlade.desktop
$VEXL_DATADIR/bash-completion/completions/vexl
$VEXL_DOCDIR/README.md
$VEXL_DATADIR/icons/hicolor/128x128/apps/vexlade.png
$VEXL_DATADIR/icons/hicolor/256x256/apps/vexlade.png
$VEXL_DATADIR/icons/hicolor/64x64/apps/vexlade.png
$VEXL_MANDIR/man1/vexl.1.gz
$VEXL_MANDIR/man6/vexlade.6.gz
$VEXL_DATADIR/vexlade/demo/ld_vexl.d1
$VEXL_DATADIR/vexlade/demo/ld_vexl.d2
END
}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# check_desktop_entry FILE PREFIX: valid, and starts the installed player
# in the installed demo's folder without a terminal.
check_desktop_entry() {
  desktop-file-validate "$1" || fail "desktop-file-validate rejects $1"
  for line in "Exec=$2/$VEXL_BINDIR/vexlade" "Path=$2/$VEXL_DATADIR/vexlade/demo" \
              "Terminal=false" "Icon=vexlade"; do
    grep -qx "$line" "$1" || fail "$1 lacks the line $line"
  done
}
