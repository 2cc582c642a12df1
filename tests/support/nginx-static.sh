#!/usr/bin/env bash
# Usage: nginx-static.sh start <state dir> <README.md> | stop <state dir>
# start runs Debian's nginx, never as root, on the README's server block as it
# stands (the fenced block after "<!-- nginx-server-block -->"), only @PORT@
# and @DOCUMENT_ROOT@ replaced; writes <state dir>/port and /scratch, the
# folder of its files: root/ (the document root) and access.log ("<status>
# <method> <target> range=<Range header>" a line). stop ends it, removes both.
set -euo pipefail
action=$1
state=$2

stop() {
  local scratch pid
  scratch=$(cat "$state/scratch" 2>/dev/null) || scratch=
  if pid=$(cat "$scratch/started.pid" 2>/dev/null); then
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
  fi
  [ -z "$scratch" ] || rm -rf "$scratch"
  rm -rf "$state"
}

stop
[ "$action" = stop ] && exit 0
[ -x /usr/sbin/nginx ] || { echo "no nginx: scripts/install-deps.sh installs it" >&2; exit 1; }
block=$(awk '/^<!-- nginx-server-block -->$/ { at = 1; next }
             at == 1 && /^```nginx$/ { at = 2; next }
             at == 2 && /^```$/ { exit }
             at == 2 { print }' "$3")
[[ $block == *@PORT@* && $block == *@DOCUMENT_ROOT@* ]] ||
  { echo "$3: no nginx block with @PORT@ and @DOCUMENT_ROOT@ after its marker" >&2; exit 1; }

mkdir -p "$state"
# When root starts it, nginx runs as nobody, which must reach its files.
scratch=$(mktemp -d /tmp/quill-nginx.XXXXXX)
echo "$scratch" >"$state/scratch"
chmod 755 "$scratch"
mkdir "$scratch/root" "$scratch/temp"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
sed -e "s|@PORT@|127.0.0.1:$port|g" -e "s|@DOCUMENT_ROOT@|$scratch/root|g" <<<"$block" \
  >"$scratch/server.conf"
t=$scratch/temp
cat >"$scratch/nginx.conf" <<CONF
daemon off;
master_process off;
pid $scratch/nginx.pid;
error_log $scratch/error.log;
events { worker_connections 64; }
http {
    log_format quill '\$status \$request_method \$request_uri range=\$http_range';
    access_log $scratch/access.log quill;
    client_body_temp_path $t/body; proxy_temp_path $t/proxy; fastcgi_temp_path $t/fastcgi;
    uwsgi_temp_path $t/uwsgi; scgi_temp_path $t/scgi;
    include $scratch/server.conf;
}
CONF
run=()
if [ "$(id -u)" = 0 ]; then
  chown nobody "$scratch" "$t"
  run=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
fi
"${run[@]}" /usr/sbin/nginx -p "$scratch" -c "$scratch/nginx.conf" -e "$scratch/error.log" \
  </dev/null >"$scratch/nginx.out" 2>&1 &
echo $! >"$scratch/started.pid"
for _ in $(seq 100); do
  if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    echo "$port" >"$state/port"
    exit 0
  fi
  kill -0 "$(cat "$scratch/started.pid")" 2>/dev/null || break
  sleep 0.1
done
echo "nginx did not start:" >&2
cat "$scratch/nginx.out" "$scratch/error.log" >&2 2>/dev/null || true
stop
exit 1
