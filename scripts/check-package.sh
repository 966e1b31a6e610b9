#!/usr/bin/env bash
# Builds the Debian package from a build folder, checks what it installs (desktop entry,
# metadata, manual pages, icon) with their validators, and runs the programs from the package
# unpacked into a scratch folder. Usage: scripts/check-package.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
root=$(pwd)

rm -f "$build"/qtor-kmb_*.deb
(cd "$build" && cpack -G DEB > cpack.log 2>&1) || { cat "$build/cpack.log"; exit 1; }
debs=("$build"/qtor-kmb_*.deb)
deb=${debs[0]}
dpkg-deb -I "$deb"
echo "package: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB"
depends=$(dpkg-deb -f "$deb" Depends)
# A package without the Qt libraries in its dependencies would install and then not start.
for lib in libqt6widgets6 libqt6serialport6; do
    [[ $depends == *"$lib"* ]] || { echo "Depends lacks $lib: $depends"; exit 1; }
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch"
usr=$scratch/usr
fail() { echo "check-package: $*"; exit 1; }

desktop=("$usr"/share/applications/*.desktop)
desktop-file-validate "${desktop[@]}"
echo "desktop-file-validate: $(basename "${desktop[@]}") valid"
appstreamcli validate --no-net "$usr"/share/metainfo/*.metainfo.xml
id=$(basename "${desktop[0]}" .desktop)
[ -f "$usr/share/icons/hicolor/scalable/apps/$id.svg" ] || fail "no scalable icon $id.svg"
file "$usr/share/icons/hicolor/256x256/apps/$id.png" | grep -q 'PNG image data, 256 x 256' ||
    fail "no 256 x 256 PNG icon $id.png"
# The PNG is rendered from the SVG and checked in: the two must not drift apart.
rsvg-convert -w 256 -h 256 packaging/icons/qtor-kmb.svg | cmp -s - packaging/icons/qtor-kmb-256.png ||
    fail "packaging/icons/qtor-kmb-256.png is not the rendering of qtor-kmb.svg (see packaging/README.md)"

# Each program: a manual page that formats without a warning and names every option --help lists.
missing=""
for program in "$usr"/bin/*; do
    name=$(basename "$program")
    page=$usr/share/man/man1/$name.1.gz
    [ -f "$page" ] || fail "no manual page for $name"
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
        "$page" 2>&1 > /dev/null)
    [ -z "$warnings" ] || fail "$name.1: $warnings"
    text=$(zcat "$page" | sed 's/\\-/-/g')
    for option in $("$program" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
        grep -qF -- "$option" <<< "$text" || missing+=" $name.1:$option"
    done
done
[ -z "$missing" ] || fail "options that --help lists and the manual page lacks:$missing"
echo "manual pages: $(ls "$usr"/share/man/man1 | tr '\n' ' ')"

# The programs run from the unpacked package: the panel file is found in ../share/qtor-kmb.
export PATH=$usr/bin:$PATH
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
[ "$(qtor-kmb --version)" = "Q-TOR KMB-Dored Version $version" ] || fail "qtor-kmb --version"
qtor-sensor-sim --help > /dev/null
if [ -x "$usr/bin/qtor-ctl" ]; then
    qtor-ctl --demo info
    # qtor-ctl report finds the installed qtor-report beside itself, and it needs no display.
    qtor-ctl --demo record --count 24 --csv "$scratch/run.csv"
    env -u DISPLAY -u QT_QPA_PLATFORM qtor-ctl report "$scratch/run.csv" --pdf "$scratch/run.pdf"
    head -c 5 "$scratch/run.pdf" | grep -q '%PDF-' || fail "qtor-ctl report wrote no PDF"
    echo "qtor-ctl report: $(stat -c %s "$scratch/run.pdf") bytes of PDF"
    # The service stops it with SIGTERM and counts any status but 0 as a failure. No broker
    # is needed: it keeps trying while it runs.
    status=0
    XDG_CONFIG_HOME=$scratch/monitor timeout --preserve-status -s TERM 2 \
        qtor-ctl --demo monitor --mqtt mqtt://127.0.0.1:9 2> "$scratch/stderr" || status=$?
    [ "$status" -eq 0 ] || { cat "$scratch/stderr"; fail "qtor-ctl monitor ended with $status"; }
    echo "qtor-ctl monitor: ran, closed by SIGTERM with 0"

    unit=$usr/lib/systemd/system/qtor-monitor@.service
    [ -f "$unit" ] || fail "no qtor-monitor@.service"
    [ -f "$usr/lib/sysusers.d/qtor-monitor.conf" ] || fail "no sysusers.d entry for qtor-monitor"
    user=$(sed -n 's/^User=//p' "$unit")
    grep -q "^u $user " "$usr/lib/sysusers.d/qtor-monitor.conf" ||
        fail "the sysusers.d entry does not make the unit's user $user"
    dpkg-deb --ctrl-tarfile "$deb" | tar -t > "$scratch/control.list"
    grep -q 'postinst$' "$scratch/control.list" || fail "no postinst, which makes that user"
    # systemd's own check where it is at hand; it looks for the program and the manual page
    # the unit names, so both are taken from the package.
    if command -v systemd-analyze > /dev/null; then
        sed "s|/usr/bin/|$usr/bin/|" "$unit" > "$scratch/qtor-monitor@.service"
        warnings=$(MANPATH=$usr/share/man systemd-analyze verify \
            "$scratch/qtor-monitor@.service" 2>&1) || fail "qtor-monitor@.service: $warnings"
        [ -z "$warnings" ] || fail "qtor-monitor@.service: $warnings"
        echo "systemd-analyze verify: qtor-monitor@.service valid"
    fi
fi

# The menu entry and its action start the program; it runs until SIGTERM closes it with 0.
# What it remembers at exit goes to the scratch folder, not the user's configuration.
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$scratch/config
grep '^Exec=' "${desktop[0]}" | cut -d= -f2- | while read -r exec; do
    status=0
    timeout --preserve-status -s TERM 3 sh -c "exec $exec" 2> "$scratch/stderr" || status=$?
    [ "$status" -eq 0 ] || { cat "$scratch/stderr"; fail "Exec=$exec ended with $status"; }
    echo "Exec=$exec: ran, closed with 0"
done
echo "check-package: $(basename "$deb") passes"
