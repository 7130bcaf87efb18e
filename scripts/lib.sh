# Shared by the scripts: package and locale set-up for a fresh Debian 12 machine.

# ensure_packages FILE: installs the packages FILE lists that are missing (as root), or names the command to run.
ensure_packages() {
    local list=$1 missing=() pkg
    while read -r pkg; do
        pkg=${pkg%%#*}
        pkg=${pkg//[[:space:]]/}
        [ -n "$pkg" ] || continue
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done <"$list"
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing missing packages: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq || true
        apt-get install -y -qq --no-install-recommends "${missing[@]}"
    else
        echo "These Debian packages are missing: ${missing[*]}" >&2
        echo "Install them with:  sudo apt-get install ${missing[*]}" >&2
        echo "then run this script again." >&2
        exit 2
    fi
}

# ensure_test_locale: a locale with a decimal comma, so the tests can show the text forms ignore it.
ensure_test_locale() {
    locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && return 0
    [ "$(id -u)" -eq 0 ] || { echo "note: locale de_DE.UTF-8 missing; its test case will be skipped" >&2; return 0; }
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'de_DE.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen >/dev/null || echo "note: could not generate de_DE.UTF-8; its test case will be skipped" >&2
}

# use_test_fonts BUILD_DIR: the fonts the tests use (only those scripts/packages.txt installs, drawn one way), so
# figures measured with text come out alike on any machine. The build folder's configure step writes the file.
use_test_fonts() {
    local conf=$1/test-env/fonts.conf
    [ -f "$conf" ] || { echo "note: $conf missing; the machine's own fonts are used" >&2; return 0; }
    export FONTCONFIG_FILE=$conf
    unset FONTCONFIG_PATH QT_FONT_DPI QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_QPA_PLATFORMTHEME
}
