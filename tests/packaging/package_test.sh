#!/usr/bin/env bash
# The Debian package of this build folder, made as scripts/package makes it (from the folder
# as it stands, without building): its files and control fields, lintian, the desktop entry,
# the metainfo, the site file's type on a desktop, every option of each program's --help in
# its manual page, the bash completion, and the programs run from the unpacked package.
#   package_test.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
source_dir=$1
build_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Counted in a file, so that a check run in a subshell counts too.
touch "$work/failures"
fail() {
  echo "FAIL: $*" >&2
  echo >>"$work/failures"
}
for tool in dpkg-deb lintian desktop-file-validate appstreamcli update-mime-database \
  update-desktop-database gio man; do
  command -v "$tool" >/dev/null || { echo "package test: $tool is missing (scripts/bootstrap installs it)" >&2; exit 1; }
done

version=$(sed -n 's/^project(walkmere VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
deb=$work/walkmere_${version}_$(dpkg --print-architecture).deb
bash "$source_dir/scripts/package" --build-dir "$build_dir" --output "$work" >/dev/null || exit 1
[ -f "$deb" ] || { echo "FAIL: scripts/package made no $(basename "$deb")" >&2; exit 1; }

# What the package holds, besides its folders: exactly these files.
expected=(
  usr/bin/walkmere usr/bin/walkmere-board usr/bin/walkmere-site
  usr/share/applications/org.walkmere.Walkmere.desktop
  usr/share/metainfo/org.walkmere.Walkmere.metainfo.xml
  usr/share/mime/packages/walkmere.xml
  usr/share/man/man1/walkmere.1.gz usr/share/man/man1/walkmere-board.1.gz
  usr/share/man/man1/walkmere-site.1.gz
  usr/share/bash-completion/completions/walkmere
  usr/share/bash-completion/completions/walkmere-board
  usr/share/bash-completion/completions/walkmere-site
  usr/share/doc/walkmere/changelog.gz usr/share/doc/walkmere/copyright
)
for size in 16 32 48 64; do
  expected+=(usr/share/icons/hicolor/${size}x$size/apps/walkmere.png
    usr/share/icons/hicolor/${size}x$size/mimetypes/application-x-walkmere-site.png)
done
diff <(printf '%s\n' "${expected[@]}" | sort) \
  <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | sort) ||
  fail "the package's files are not the ones listed here (< listed, > in the package)"

# Its dependencies worked out from the programs, and the capability given on install.
depends=$(dpkg-deb -f "$deb" Depends)
for dependency in libcap2-bin libqt6widgets6 libnl-genl-3-200 libpoppler-cpp0v5; do
  [[ $depends == *"$dependency"* ]] || fail "Depends lacks $dependency: $depends"
done
dpkg-deb -e "$deb" "$work/control"
sh -n "$work/control/postinst" || fail "the postinst is not a shell script"
grep -qx 'board=/usr/bin/walkmere-board' "$work/control/postinst" &&
  grep -q 'setcap cap_net_admin+ep "$board"' "$work/control/postinst" ||
  fail "the postinst does not give /usr/bin/walkmere-board CAP_NET_ADMIN"

# Lintian as CI runs it, as root: no errors. Its warnings are shown.
lintian --fail-on error "$deb" >"$work/lintian" 2>&1 || fail "lintian: $(cat "$work/lintian")"
grep -E '^W:' "$work/lintian" >&2

root=$work/root
dpkg-deb -x "$deb" "$root"
share=$root/usr/share
desktop=$share/applications/org.walkmere.Walkmere.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -qx 'Exec=walkmere %f' "$desktop" || fail "the desktop entry does not pass the file it opens"
appstreamcli validate --no-net "$share/metainfo/org.walkmere.Walkmere.metainfo.xml" >"$work/appstream" ||
  fail "appstreamcli: $(cat "$work/appstream")"
# A new version needs its own entries.
grep -q "<release version=\"$version\"" "$share/metainfo/org.walkmere.Walkmere.metainfo.xml" ||
  fail "the metainfo lists no release $version"
newest=$(zcat "$share/doc/walkmere/changelog.gz")
[[ ${newest%%$'\n'*} == "walkmere ($version) "* ]] || fail "the changelog's newest entry is not $version"

# The programs from the unpacked package.
for program in walkmere walkmere-site walkmere-board; do
  said=$("$root/usr/bin/$program" --version 2>&1)
  [ "$said" = "$program $version" ] || fail "$program --version said '$said'"
done
"$root/usr/bin/walkmere-site" info "$source_dir/res/demo/office.kvs" >"$work/info" &&
  grep -q 'floor plan *800 x 600 pixels' "$work/info" || fail "walkmere-site info: $(cat "$work/info")"

# On a desktop: the site file is known by its content as well as its name, and opens in
# Walkmere.
# Everything a desktop would keep goes to the temporary folder; GIO reads local files only.
export XDG_DATA_DIRS=$share:/usr/share XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
export XDG_CACHE_HOME=$work/cache GIO_USE_VFS=local
update-mime-database "$share/mime" && update-desktop-database "$share/applications" ||
  fail "the MIME type or the desktop entry cannot be registered"
export PATH=$root/usr/bin:$PATH
cp "$source_dir/res/demo/office.kvs" "$work/site-without-extension"
cp "$source_dir/res/icon128_16.png" "$work/picture-without-extension"
for file in "$source_dir/res/demo/office.kvs" "$work/site-without-extension" \
  "$work/picture-without-extension"; do
  type=$(gio info -a standard::content-type "$file" | sed -n 's/^ *standard::content-type: //p')
  known=no
  [ "$type" = application/x-walkmere-site ] && known=yes
  [ "$known" = "$([[ $file == *picture* ]] && echo no || echo yes)" ] ||
    fail "$(basename "$file") is taken for $type"
done
opener=$(gio mime application/x-walkmere-site 2>&1)
[[ $opener == "Default application for "*": org.walkmere.Walkmere.desktop"$'\n'* ]] ||
  fail "site files do not open in Walkmere: $opener"

# Every option and command each program's --help names is in its manual page.
options() { grep -oE -- '(^|[^[:alnum:]-])--?[a-z][a-z0-9-]*' | sed -E 's/^[^-]*//' | sort -u; }
site_commands=$(walkmere-site help | awk '/^Commands:/ { on = 1; next } on && /^$/ { exit }
  on && /^  [a-z]+ / { print $1 }')
check_page() { # program, its help text on standard input
  local page
  page=$(MANWIDTH=200 man --warnings --nh --nj -l "$share/man/man1/$1.1.gz" 2>"$work/roff")
  [ -s "$work/roff" ] && fail "the manual page of $1 has mistakes: $(cat "$work/roff")"
  [ -n "$page" ] || fail "the manual page of $1 is empty"
  while read -r option; do
    grep -qE -- "(^|[^[:alnum:]-])$option([^[:alnum:]-]|$)" <<<"$page" ||
      fail "$option of $1's help is not in its manual page"
  done < <(options)
}
check_page walkmere < <(walkmere --help)
check_page walkmere-board < <(walkmere-board --help)
check_page walkmere-site < <(
  walkmere-site help
  for command in $site_commands; do [ "$command" = help ] || walkmere-site help "$command"; done
)
site_page=$(MANWIDTH=200 man --nh --nj -l "$share/man/man1/walkmere-site.1.gz" 2>/dev/null)
for command in $site_commands help; do
  grep -qE "^   $command( |$)" <<<"$site_page" || fail "walkmere-site $command has no section in its manual page"
done

# The bash completion of each program, as bash-completion loads it.
if [ -f /usr/share/bash-completion/bash_completion ]; then
  completions=$share/bash-completion/completions
  while read -r function expected words; do
    got=$(bash -c '
      source /usr/share/bash-completion/bash_completion
      source "$0"; function=$1; shift
      COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
      "$function" "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
      echo "${COMPREPLY[*]}"' "$completions/${words%% *}" "$function" $words)
    [ "$got" = "$expected" ] || fail "completing '$words' gave '$got', not '$expected'"
  done <<'EOF'
_walkmere --trigger walkmere --tri
_walkmere 8 walkmere --scale 8
_walkmere_board --end-with-parent walkmere-board --end
_walkmere_site heatmap walkmere-site hea
_walkmere_site --metric walkmere-site heatmap office.kvs --met
_walkmere_site overlap walkmere-site heatmap office.kvs --metric o
EOF
else
  fail "bash-completion is not installed (scripts/bootstrap installs it)"
fi

# The test passes on this line alone (PASS_REGULAR_EXPRESSION), so that a script that stops
# early never passes.
failures=$(wc -l <"$work/failures")
echo "package test: $(basename "$deb"), $(stat -c %s "$deb") bytes, $failures failures"
[ "$failures" -eq 0 ] && echo "package test: passed"
