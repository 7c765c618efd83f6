#!/usr/bin/env bash
# The demo, and the first command on a fresh machine: installs what is missing, builds
# Velomaris, starts a local dynamic site (PHP's built-in web server) and a local FTP server
# (pyftpdlib) on free loopback ports, and runs velomaris-headless against them with the
# differential update starting at launch. Everything lives in build/demo/: the program runs
# from a copy there with its own setfile.ini, so a setfile.ini of yours elsewhere is never
# touched. With a desktop (DISPLAY or WAYLAND_DISPLAY set) the demo runs the desktop program
# velomaris with its windows and tray icon; without one, velomaris-headless in the terminal.
# Ctrl+C (or the tray menu's "退出软件") stops everything this script started.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"

demo="$root/build/demo"
site="$demo/site"
ftphome="$demo/ftp"
rm -rf "$site" "$ftphome"
mkdir -p "$site" "$ftphome/www"
cp "$root/scripts/demo/index.php" "$site/index.php"
program=velomaris-headless
if { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; } && [ -x "$root/build/app/velomaris" ]; then
  program=velomaris
fi
for file in "$program" checkweb.html checkweb2.html; do
  cp "$root/build/app/$file" "$demo/$file"
done
if [ "$program" = velomaris ]; then
  cp "$root/build/app/velomaris.png" "$demo/velomaris.png"
fi

pids=()
stop_all() {
  trap - EXIT INT TERM
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${pids[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
}
trap stop_all EXIT
trap 'echo; echo "Stopping the demo."; exit 0' INT TERM

# Waits up to 10 s for a line matching the pattern in a server's log and prints the port in it.
port_from_log() {
  local log="$1" pattern="$2" port=""
  for _ in $(seq 100); do
    port="$(grep -oE "$pattern" "$log" 2>/dev/null | head -n1 | grep -oE '[0-9]+$' || true)"
    if [ -n "$port" ]; then
      echo "$port"
      return 0
    fi
    sleep 0.1
  done
  echo "The server did not start; its output:" >&2
  cat "$log" >&2
  return 1
}

# Port 0: the system picks a free port and the server reports it.
php -S 127.0.0.1:0 -t "$site" >"$demo/site.log" 2>&1 &
pids+=($!)
site_port="$(port_from_log "$demo/site.log" 'http://127\.0\.0\.1:[0-9]+')"

/usr/bin/python3 "$root/scripts/demo/ftp_server.py" "$ftphome" demo >"$demo/ftp.log" 2>&1 &
pids+=($!)
ftp_port="$(port_from_log "$demo/ftp.log" '^[0-9]+$')"

# The settings file is GBK with CR LF line breaks (section names are Chinese). It holds the
# FTP password, so only its owner may read it. "demo-no-password" is 16 bytes: a stored form
# of the empty password (see scripts/demo/ftp_server.py). difftime is in milliseconds.
(
  umask 077
  printf '%s\r\n' \
    '[FTP参数]' "ftpaddr=127.0.0.1:$ftp_port" 'ftpuser=demo' 'ftppass=demo-no-password' \
    'ftpdir=www' \
    '[WEB参数]' "webmain=http://127.0.0.1:$site_port/index.php" 'webfile=index' \
    '[启动设置]' 'difftime=20000' 'timingtime=00-00' \
    '[软件启动项]' 'diff=1' 'time=0' 'soft=0' |
    iconv -f UTF-8 -t GBK >"$demo/setfile.ini"
)

cat <<INFO
Velomaris demo
  dynamic site:    http://127.0.0.1:$site_port/index.php  (its text changes every minute)
  FTP server:      127.0.0.1:$ftp_port, user "demo", empty password, home $ftphome
  program:         $demo/$program, settings in $demo/setfile.ini
  uploaded copy:   $ftphome/www/index.html  (the local copy: $demo/index.html)
Every 20 seconds Velomaris fetches the page and uploads it when it changed; each upload
shows its result window (velomaris) or prints it below (velomaris-headless). Press Ctrl+C to
stop.

To point Velomaris at your own site, copy build/app/velomaris-headless, checkweb.html and
checkweb2.html into a directory of your own and put a setfile.ini beside them (GBK, like
$demo/setfile.ini): webmain = your dynamic home page, webfile = the name of the static copy
(".html" is added), ftpaddr = your FTP server (host or host:port), ftpuser, ftpdir = the
site's directory on the server, difftime = the period in milliseconds, diff=1 to start the
differential update at launch (or time=1 and timingtime=HH-MM for a daily update). The
password is stored scrambled: build/app/velomaris-set-ftp-password YOUR/setfile.ini reads it
from its standard input and writes it. README.md says more.

INFO

"$demo/$program" &
pids+=($!)
wait "${pids[-1]}"
