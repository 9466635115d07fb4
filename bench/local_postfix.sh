#!/bin/sh
# A private Postfix on 127.0.0.1 for the benchmarks: implicit TLS, CHUNKING and PIPELINING
# as Postfix offers them, the login ann@gmail.com / secret checked by a private Dovecot's
# auth service, and every message taken discarded. Needs root (Postfix's own processes).
#
# Usage: local_postfix.sh start FOLDER CERT KEY   prints "PORT <n>" once it listens
#        local_postfix.sh stop FOLDER
set -eu
action=$1 dir=$2
if [ "$action" = stop ]; then
    postfix -c "$dir/etc" stop >/dev/null 2>&1 || true
    [ -f "$dir/dovecot-run/master.pid" ] && kill "$(cat "$dir/dovecot-run/master.pid")" 2>/dev/null
    exit 0
fi
cert=$3 key=$4
[ "$(id -u)" = 0 ] && command -v postfix >/dev/null && command -v dovecot >/dev/null || {
    echo "needs root, postfix and dovecot" >&2
    exit 1
}
mkdir -p "$dir/etc" "$dir/queue" "$dir/data" "$dir/dovecot-run" "$dir/dovecot-state"
chown postfix "$dir/data"
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')

echo 'ann@gmail.com:{PLAIN}secret' >"$dir/users"
cat >"$dir/dovecot.conf" <<EOF
base_dir = $dir/dovecot-run
state_dir = $dir/dovecot-state
log_path = $dir/dovecot.log
protocols = none
ssl = no
auth_mechanisms = plain login
passdb {
  driver = passwd-file
  args = scheme=PLAIN $dir/users
}
userdb {
  driver = static
  args = uid=nobody gid=nogroup home=$dir
}
service auth {
  unix_listener $dir/auth {
    mode = 0666
  }
}
service anvil {
  chroot =
}
EOF
dovecot -c "$dir/dovecot.conf"

cat >"$dir/etc/main.cf" <<EOF
compatibility_level = 3.6
queue_directory = $dir/queue
data_directory = $dir/data
mail_owner = postfix
setgid_group = postdrop
inet_interfaces = 127.0.0.1
inet_protocols = ipv4
myhostname = smtp.gmail.com
mydestination =
alias_maps =
alias_database =
default_transport = discard:benchmark
relay_transport = discard:benchmark
local_transport = discard:benchmark
smtpd_tls_cert_file = $cert
smtpd_tls_key_file = $key
smtpd_tls_security_level = encrypt
smtpd_sasl_auth_enable = yes
smtpd_sasl_type = dovecot
smtpd_sasl_path = $dir/auth
smtpd_relay_restrictions = permit_sasl_authenticated, reject
smtpd_recipient_limit = 1000
smtpd_client_connection_rate_limit = 0
maillog_file_prefixes = $dir
maillog_file = $dir/postfix.log
EOF
cat >"$dir/etc/master.cf" <<EOF
127.0.0.1:$port inet n - n - - smtpd -o smtpd_tls_wrappermode=yes
cleanup unix n - n - 0 cleanup
qmgr unix n - n 300 1 qmgr
rewrite unix - - n - - trivial-rewrite
bounce unix - - n - 0 bounce
defer unix - - n - 0 bounce
trace unix - - n - 0 bounce
verify unix - - n - 1 verify
proxymap unix - - n - - proxymap
showq unix n - n - - showq
error unix - - n - - error
retry unix - - n - - error
discard unix - - n - - discard
anvil unix - - n - 1 anvil
scache unix - - n - 1 scache
tlsmgr unix - - n 1000? 1 tlsmgr
postlog unix-dgram n - n - 1 postlogd
EOF
postfix -c "$dir/etc" start >"$dir/start.log" 2>&1 || {
    cat "$dir/start.log" >&2
    exit 1
}
for _ in $(seq 100); do
    if /usr/bin/python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 0.2)" 2>/dev/null; then
        echo "PORT $port"
        exit 0
    fi
    sleep 0.05
done
echo "Postfix did not listen; see $dir/postfix.log" >&2
exit 1
