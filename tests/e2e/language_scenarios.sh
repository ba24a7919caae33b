# The language transforms that mkmst makes, held against Windows Installer
# code this project did not write: Wine's msi.dll applies them and must get
# the tables of the localized build, and a user who picks a language in the
# dialog gets that language's product. (A German user's product from the
# sample medium: sc_german_default_transform.) Sourced by run.sh.

scenarios+=(
  transforms_as_wine_applies_them
  japanese_chosen_in_dialog
  french_product_from_the_one_command
)

# wine_applies NAME BASE TRANSFORM LOCALIZED: every table of BASE with the
# transform applied by Wine's msi.dll equals the same table of LOCALIZED as
# msi.dll reads it. The code page is noted, not compared: msi.dll decodes the
# transform's strings in the transform's code page but keeps the package's
# own.
wine_applies() {
  local out=$dir/$1
  timeout 60 "$WINE" "$tools/applymst.exe" apply "$(winpath "$2")" "$(winpath "$3")" \
    "$(winpath "$out.applied")" </dev/null >"$out.log" 2>&1 ||
    { fail "$1: msi.dll does not apply the transform: $(tr -d '\r' <"$out.log")"; return 1; }
  timeout 60 "$WINE" "$tools/applymst.exe" dump "$(winpath "$4")" "$(winpath "$out.expected")" \
    </dev/null >"$out.log" 2>&1 ||
    { fail "$1: msi.dll cannot read the localized package: $(tr -d '\r' <"$out.log")"; return 1; }
  if ! diff -r -x codepage "$out.expected" "$out.applied" >"$out.diff"; then
    fail "$1: the transformed tables differ from the localized package's: $(head -c 800 "$out.diff")"
    return 1
  fi
  echo "$1: $(ls "$out.applied" | grep -c '\.txt$') tables as in the localized package;" \
    "code page $(codepage_of "$out.applied") after the transform, $(codepage_of "$out.expected") in the build" \
    >>"$dir/notes"
}

codepage_of() { tr -d '\r' <"$1/codepage" | awk -F'\t' '$2 == "_ForceCodepage" {print $1}'; }

# A pair that changes more than strings: binary cells updated (one under a
# key outside ASCII, whose stream msi.dll names by its UTF-16 characters),
# binary and UIText rows inserted and deleted, a table added and one dropped.
build_rows_pair() {
  local b=$dir/rows-base l=$dir/rows-localized
  mkdir -p "$b/Binary" "$l/Binary"
  printf 'logo, first edition' >"$b/Binary/logo.bin"
  printf 'an icon that goes' >"$b/Binary/gone.bin"
  printf 'logo, second edition, longer' >"$l/Binary/logo.bin"
  printf 'Bild, alt' >"$b/Binary/bild.bin"
  printf 'Bild, neu' >"$l/Binary/bild.bin"
  printf 'an icon that comes' >"$l/Binary/new.bin"
  printf 'Name\tData\ns72\tv0\nBinary\tName\nLogo\tlogo.bin\nGone\tgone.bin\nBild_\xc3\xa4\tbild.bin\n' \
    >"$b/Binary.idt"
  printf 'Name\tData\ns72\tv0\nBinary\tName\nLogo\tlogo.bin\nNew\tnew.bin\nBild_\xc3\xa4\tbild.bin\n' \
    >"$l/Binary.idt"
  printf 'Key\tValue\ns72\tI2\nLegacy\tKey\nold\t1\n' >"$b/Legacy.idt"
  printf '\n\n1252\t_ForceCodepage\n' | tee "$b/_ForceCodepage.idt" >"$l/_ForceCodepage.idt"
  printf 'Key\tCount\tNote\ns72\tI4\tL255\nExtra\tKey\none\t1\teins\ntwo\t\tzwei\n' >"$l/Extra.idt"
  cp "$work/pkgs/std.msi" "$dir/rows-base.msi"
  cp "$work/pkgs/std.msi" "$dir/rows.msi"
  # msibuild finds a binary cell's file relative to its working folder.
  (cd "$b" && msibuild "$dir/rows-base.msi" -i _ForceCodepage.idt -i Binary.idt -i Legacy.idt) &&
    (cd "$l" && msibuild "$dir/rows.msi" -i _ForceCodepage.idt -i Binary.idt -i Extra.idt) &&
    msibuild "$dir/rows.msi" \
      -q "DELETE FROM \`UIText\` WHERE \`Key\` = 'Lang0012'" \
      -q "INSERT INTO \`UIText\` (\`Key\`, \`Text\`) VALUES ('Lang0010', 'Espanol')" \
      -q "UPDATE \`UIText\` SET \`Text\` = 'Deutsch (Deutschland)' WHERE \`Key\` = 'Lang0007'"
}

sc_transforms_as_wine_applies_them() {
  local p=$work/pkgs
  wine_applies german "$p/sample/Setup.msi" "$p/sample/0007_l.mst" "$p/de.msi" &&
    expect_line "$dir/german.applied/Property.txt" $'ProductName\tBeispielprodukt' "German product name"
  wine_applies japanese "$p/ja-base.msi" "$p/0017_l.mst" "$p/ja.msi" &&
    expect_line "$dir/japanese.applied/Property.txt" $'ProductName\t'"$japanese_name" "Japanese product name"
  build_rows_pair || { fail "cannot build the pair of packages with row changes"; return 0; }
  "$mkmst" "$dir/rows-base.msi" "$dir/rows.msi" "$dir/rows.mst" >"$dir/mkmst.out" 2>&1 ||
    { fail "mkmst refused the pair: $(cat "$dir/mkmst.out")"; return 0; }
  wine_applies rows "$dir/rows-base.msi" "$dir/rows.mst" "$dir/rows.msi" &&
    expect_eq "tables after the transform" "$(ls "$dir/rows.applied" | grep -c -x -e Extra.txt -e Legacy.txt)" 1
}

# A user who picks a language gets that language's product, across code
# pages: the English package is in code page 1252, the Japanese build and so
# its transform in 932. The folder and the name are read from the Linux
# side, past any code page of the ANSI programs in between. The user is
# English in a UTF-8 locale: Wine names Unix files in the locale's character
# set, and under plain C msiexec cannot create a Japanese folder (1603).
sc_japanese_chosen_in_dialog() {
  export LANG=C.UTF-8 LC_ALL=C.UTF-8
  make_medium ja-base.msi 0007
  cp "$work/pkgs/0017_l.mst" "$medium/0017_l.mst"
  setup_start
  ui --pid-file "$(winpath "$dir/pid")" wait "Language selection" >"$dir/ui.out"
  ui select "Language selection" 1000 Japanese >>"$dir/ui.out"
  ui press "Language selection" OK >>"$dir/ui.out"
  setup_finish
  expect_code 0
  expect_product "$japanese_name" "$japanese_name"
  expect_eq "comment among the installed programs" "$(installed_program Comments)" "日本語版"
}

# The vendor's flow: scripts/make-medium.sh makes the sample's CD folder and
# floppy images from the WiX source in English, German and French, signed
# with a throwaway certificate; the check of both is clean, and a French
# user gets the French product from the CD folder with its accents intact:
# name and folder, and the texts of its entry among the installed programs.
# Where Wine runs the x86-64 build, that build takes the place of the
# shipped SETUP.EXE for the run, the only file that differs.
sc_french_product_from_the_one_command() {
  french_user
  local keys=$dir/keys cd=$dir/cd
  mkdir -p "$keys"
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Setup Test Vendor" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$keys/key.pem" -out "$keys/cert.pem" \
    >"$keys/openssl.log" 2>&1 || { fail "openssl could not make a certificate"; return; }
  bash "$root/scripts/make-medium.sh" --out "$cd" --floppies "$dir/floppies" \
    --uitext "$root/sample/UIText.idt" --cert "$keys/cert.pem" --key "$keys/key.pem" \
    "$root/sample/Product.wxs" en-US de-DE fr-FR >"$dir/make.out" 2>&1 ||
    { fail "make-medium.sh failed: $(tr '\n' ' ' <"$dir/make.out")"; return; }
  expect_line "$dir/make.out" "make-medium: code page of fr-FR: code page 1252" "French build"
  expect_line "$dir/make.out" "make-medium: check of $dir/floppies: 0 error(s), 0 warning(s)" \
    "floppy images"
  "$(mkdiskset_native)" check "$cd" >"$dir/check.out" 2>&1
  expect_eq "check exit code" "$?" 0
  expect_line "$dir/check.out" "Result: 0 error(s), 0 warning(s)" "check of the CD folder"
  expect_line "$dir/check.out" "  Français (0012): 0012_l.mst present, applies" "French row"

  medium=$cd
  if [[ $SETUP_ARCH != win32 ]]; then
    medium=$dir/medium
    cp -a "$cd" "$medium"
    cp "$setup_exe" "$medium/SETUP.EXE"
    echo "run with the $SETUP_ARCH build in place of the shipped SETUP.EXE" >>"$dir/notes"
  fi
  setup_run --answer
  expect_code 0
  expect_no_dialog
  expect_product "Produit exemple français" "Produit exemple français"
  expect_eq "comment among the installed programs" "$(installed_program Comments)" \
    "Installé par le support d'exemple"
  expect_eq "publisher among the installed programs" "$(installed_program Publisher)" "Sample Maker"
  expect_not_installed

  # A step that fails ends the run with its own message, and the folder is
  # left empty for the next run.
  bash "$root/scripts/make-medium.sh" --out "$dir/partial" "$root/sample/Product.wxs" en-US it-IT \
    >"$dir/partial.out" 2>&1
  expect_eq "make-medium.sh exit code for a culture without strings" "$?" 1
  expect_line "$dir/partial.out" "make-medium: build it-IT failed:" "the failed step"
  grep -q '^  .*it-IT.wxi' "$dir/partial.out" || fail "no message of wixl's: $(cat "$dir/partial.out")"
  bash "$root/scripts/make-medium.sh" --out "$dir/partial" --setup "$root/sample/readme.txt" \
    "$root/sample/Product.wxs" en-US >"$dir/partial.out" 2>&1
  expect_eq "make-medium.sh exit code for a SETUP.EXE that is no program" "$?" 1
  expect_line "$dir/partial.out" "make-medium: check of $dir/partial failed:" "the failed check"
  grep -q '^  error: SETUP.EXE is not a Windows program' "$dir/partial.out" ||
    fail "no finding of the check's: $(cat "$dir/partial.out")"
  [[ -d $dir/partial && -z $(ls -A "$dir/partial") ]] || fail "make-medium.sh left files behind"
}
