#!/usr/bin/env bash
# Builds the Debian packages from a build tree, checks what they hold and declare, unpacks them into
# a temporary root and runs the programs from there; the desktop entry, metainfo and manual pages
# must pass their validators and lintian must report no error (its warnings are printed).
#   package_test.sh BUILD_DIR SOURCE_DIR APP_ID
set -euo pipefail
build=$1 source=$2 app_id=$3
work=$(mktemp -d /tmp/ostravel-package-XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log" >&2
  exit 1
}
program_deb=$(ls "$work"/out/ostravel_*.deb)
hostsim_deb=$(ls "$work"/out/ostravel-hostsim_*.deb)
echo "packages: $(basename "$program_deb") $(basename "$hostsim_deb")"

# What each package holds.
dpkg-deb -c "$program_deb" | awk '{print $6}' | sed 's|^\./|/|' > "$work/program.files"
dpkg-deb -c "$hostsim_deb" | awk '{print $6}' | sed 's|^\./|/|' > "$work/hostsim.files"
expect_file() {  # list path
  grep -qx -- "$2" "$work/$1.files" || fail "$1 package lacks $2"
}
for path in /usr/bin/ostravel /usr/bin/ostravel-ctl /usr/lib/ostravel/ostravel_browser.so \
    "/usr/share/applications/$app_id.desktop" "/usr/share/metainfo/$app_id.metainfo.xml" \
    /usr/share/man/man1/ostravel.1.gz /usr/share/man/man1/ostravel-ctl.1.gz \
    /usr/lib/systemd/user/ostravel-watch@.service \
    /usr/share/doc/ostravel/copyright /usr/share/doc/ostravel/changelog.gz \
    "/usr/share/icons/hicolor/scalable/apps/$app_id.svg"; do
  expect_file program "$path"
done
for size in 16 22 24 32 48 64 128 256; do
  expect_file program "/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
  for state in stream-up server-down stream-down; do
    expect_file program "/usr/share/icons/hicolor/${size}x${size}/status/$app_id-$state.png"
  done
done
for path in /usr/bin/ostravel-hostsim /usr/share/man/man1/ostravel-hostsim.1.gz \
    /usr/share/doc/ostravel-hostsim/copyright /usr/share/doc/ostravel-hostsim/accounts.example; do
  expect_file hostsim "$path"
done
grep -q hostsim "$work/program.files" && fail "the program's package holds the stand-in"

# What they declare: the linker's dependencies plus the two no linker sees.
depends=$(dpkg-deb -f "$program_deb" Depends)
recommends=$(dpkg-deb -f "$program_deb" Recommends)
[[ $depends == *xdg-utils* ]] || fail "Depends lacks xdg-utils: $depends"
[[ $depends == *libwx_gtk3u_core* || $depends == *libwxgtk3.2* ]] || fail "Depends lacks the toolkit: $depends"
[[ $recommends == *libportaudio2* ]] || fail "Recommends lacks libportaudio2: $recommends"
[[ $depends == *portaudio* ]] && fail "PortAudio must only be recommended: $depends"

# Unpacked anywhere, the programs run and the program finds its module beside itself.
root=$work/root
dpkg-deb -x "$program_deb" "$root"
dpkg-deb -x "$hostsim_deb" "$root"
version=$("$root/usr/bin/ostravel" --version) || fail "ostravel --version failed"
[[ $version == "Ostravel "* ]] || fail "ostravel --version said '$version'"
"$root/usr/bin/ostravel-hostsim" --version > /dev/null || fail "ostravel-hostsim --version failed"
"$root/usr/bin/ostravel-ctl" --version > /dev/null || fail "ostravel-ctl --version failed"
[[ -f $root/usr/bin/../lib/ostravel/ostravel_browser.so ]] || fail "module not beside the program"
grep -q '^ExecStart=/usr/bin/ostravel-ctl ' "$root/usr/lib/systemd/user/ostravel-watch@.service" ||
  fail "the watch unit does not run the packaged ostravel-ctl"

# Started from the unpacked root, the program's window carries the class the desktop entry names,
# so the desktop matches the two.
if [[ -n ${DISPLAY:-} ]]; then
  mkdir -p "$work/home"
  HOME=$work/home XDG_CONFIG_HOME=$work/home/.config "$root/usr/bin/ostravel" > "$work/run.log" 2>&1 &
  program=$!
  window=$(timeout 60 xdotool search --sync --onlyvisible --name "^Quenlor Ostravel$" | head -1) || true
  wm_class=$([[ -n $window ]] && xprop -id "$window" WM_CLASS | sed -n 's/.*= "[^"]*", "\([^"]*\)"/\1/p')
  # Ctrl+Q ends it as a person would; the settings are written on the way out.
  [[ -n $window ]] && xdotool windowfocus --sync "$window" key ctrl+q
  timeout 30 tail --pid="$program" -f /dev/null || kill "$program" 2> /dev/null || true
  wait "$program" 2> /dev/null || fail "the unpacked program did not end cleanly: $(cat "$work/run.log")"
  startup_class=$(sed -n 's/^StartupWMClass=//p' "$root/usr/share/applications/$app_id.desktop")
  [[ -n $window && $wm_class == "$startup_class" ]] ||
    fail "window class '${wm_class:-no window}' is not StartupWMClass '$startup_class'"
  [[ -f $work/home/.config/zandrel/zandrel.conf ]] || fail "no settings in the configuration folder"
else
  echo "no display: the window class is not checked"
fi

# The desktop's validators.
desktop-file-validate "$root/usr/share/applications/$app_id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml" > "$work/as.log" 2>&1 || {
  cat "$work/as.log" >&2
  fail "appstreamcli validate"
}
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" \
  "$root/usr/share/metainfo/$app_id.metainfo.xml" || fail "metainfo does not launch $app_id.desktop"
for shot in $(grep -o 'screenshots/[^<]*' "$root/usr/share/metainfo/$app_id.metainfo.xml"); do
  [[ -f $source/docs/$shot ]] || fail "metainfo shows $shot, which docs/ lacks"
done

# Manual pages render without a warning.
for page in "$root"/usr/share/man/man1/*.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 > /dev/null)
  [[ -z $warnings ]] || fail "man $(basename "$page"): $warnings"
  LC_ALL=C.UTF-8 MANWIDTH=80 man -E UTF-8 -l "$page" 2> /dev/null | grep -q "EXIT STATUS" ||
    fail "man $(basename "$page") has no EXIT STATUS"
done

# lintian: errors fail, warnings are listed.
for deb in "$program_deb" "$hostsim_deb"; do
  lintian --no-tag-display-limit "$deb" > "$work/lintian.log" 2>&1 || true
  grep -E '^[EW]:' "$work/lintian.log" || true
  if grep -q '^E:' "$work/lintian.log"; then fail "lintian reports errors for $(basename "$deb")"; fi
done

if ((failures > 0)); then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "packages pass"
