#!/usr/bin/env bash
# A real caching proxy for the proxy tests: squid from Debian's packages,
# run in the foreground with a configuration of its own in a scratch folder
# (no machine-wide service, no disk cache), on three free loopback ports:
#   plain  an ordinary caching proxy
#   whole  fetches every object from its first byte (range_offset_limit none)
#   auth   asks for basic credentials (user quill, password nest-7)
# Usage: squid-proxy.sh start <state dir> | stop <state dir>
# start writes <state dir>/ports ("plain=N whole=N auth=N", one a line) once
# all three answer; stop ends that squid and removes its scratch folder.
set -euo pipefail
action=$1
state=$2

stop() {
  if [ -f "$state/scratch" ]; then
    scratch=$(cat "$state/scratch")
    if [ -f "$scratch/started.pid" ]; then
      pid=$(cat "$scratch/started.pid")
      kill -TERM "$pid" 2>/dev/null || true
      for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      kill -KILL "$pid" 2>/dev/null || true
    fi
    rm -rf "$scratch"
  fi
  rm -rf "$state"
}

if [ "$action" = stop ]; then
  stop
  exit 0
fi

stop
mkdir -p "$state"
# squid drops root for the proxy user, which must reach its files: a
# scratch folder in /tmp rather than the build folder.
scratch=$(mktemp -d /tmp/quill-squid.XXXXXX)
echo "$scratch" >"$state/scratch"
chmod 755 "$scratch"
read -r plain whole auth < <(python3 -c '
import socket
ss=[socket.socket() for _ in range(3)]
for s in ss: s.bind(("127.0.0.1",0))
print(*[s.getsockname()[1] for s in ss])')
printf 'quill:%s\n' "$(openssl passwd -apr1 nest-7)" >"$scratch/passwd"
user_line=""
if [ "$(id -u)" = 0 ]; then
  user_line="cache_effective_user proxy"
  chown proxy "$scratch"
fi
cat >"$scratch/squid.conf" <<CONF
http_port 127.0.0.1:$plain name=plain
http_port 127.0.0.1:$whole name=whole
http_port 127.0.0.1:$auth name=auth
$user_line
pid_filename $scratch/squid.pid
access_log stdio:$scratch/access.log
cache_log $scratch/cache.log
cache_store_log none
coredump_dir $scratch
netdb_filename none
logfile_rotate 0
shutdown_lifetime 0 seconds
cache_mem 64 MB
maximum_object_size 64 MB
maximum_object_size_in_memory 64 MB
acl whole myportname whole
acl authport myportname auth
range_offset_limit none whole
auth_param basic program /usr/lib/squid/basic_ncsa_auth $scratch/passwd
auth_param basic children 2
auth_param basic realm Quillnest test proxy
acl authed proxy_auth REQUIRED
http_access deny authport !authed
acl loopback src 127.0.0.0/8
http_access allow loopback
http_access deny all
CONF
/usr/sbin/squid -N -f "$scratch/squid.conf" </dev/null >"$scratch/squid.out" 2>&1 &
echo $! >"$scratch/started.pid"
for _ in $(seq 100); do
  if python3 -c "
import socket,sys
for p in ($plain,$whole,$auth):
  socket.create_connection(('127.0.0.1',p),0.2).close()" 2>/dev/null; then
    printf 'plain=%s\nwhole=%s\nauth=%s\n' "$plain" "$whole" "$auth" >"$state/ports"
    exit 0
  fi
  kill -0 "$(cat "$scratch/started.pid")" 2>/dev/null || break
  sleep 0.1
done
echo "squid did not start:" >&2
cat "$scratch/squid.out" "$scratch/cache.log" >&2 2>/dev/null || true
stop
exit 1
