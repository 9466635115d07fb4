#!/usr/bin/env bash
# Makes real bounces with a real mail system of Debian's packages, for the bounce reader's
# tests: one message from ann@mx.parlivo.test to an unknown local user, to an address that a
# stand-in carrier gateway (gateway.py on 127.0.0.1:2525) refuses for good and to one it
# refuses for now; the failure report and the delay notice that come back to ann are kept
# here as <system>-failure.eml and <system>-delay.eml.
#
# Usage (as root, on a machine that may have its mail system replaced):
#   tests/routes/email/mail/bounces/real/make_bounces.sh postfix|exim4|opensmtpd|courier|sendmail
# The mail system is installed with no service started by the package, run for the message,
# stopped again, and left installed.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
system=${1:?postfix, exim4, opensmtpd, courier or sendmail}
export DEBIAN_FRONTEND=noninteractive

install_quietly() {
    local made_policy=0
    if [ ! -e /usr/sbin/policy-rc.d ]; then
        printf '#!/bin/sh\nexit 101\n' >/usr/sbin/policy-rc.d
        chmod 755 /usr/sbin/policy-rc.d
        made_policy=1
    fi
    apt-get install -y -qq --no-install-recommends "$@" >/dev/null
    [ $made_policy -eq 0 ] || rm -f /usr/sbin/policy-rc.d
}

id ann >/dev/null 2>&1 || useradd -m ann
# Sendmail counts 127.0.0.1 as itself and would not relay to it; its gateway is 127.0.0.2.
gateway_host=127.0.0.1
[ "$system" != sendmail ] || gateway_host=127.0.0.2
/usr/bin/python3 "$here/gateway.py" 2525 $gateway_host &
gateway=$!
trap 'kill $gateway 2>/dev/null || true' EXIT
sleep 2

case $system in
postfix)
    echo "postfix postfix/main_mailer_type select Local only" | debconf-set-selections
    echo "postfix postfix/mailname string mx.parlivo.test" | debconf-set-selections
    install_quietly postfix
    postconf -e 'myhostname = mx.parlivo.test' 'mydestination = mx.parlivo.test, localhost' \
        'inet_interfaces = loopback-only' 'relayhost = [127.0.0.1]:2525' \
        'default_transport = smtp' 'relay_transport = smtp' 'smtp_tls_security_level = none' \
        'delay_warning_time = 1s' 'queue_run_delay = 1s' 'minimal_backoff_time = 1s' \
        'maximal_backoff_time = 2s' 'maillog_file = /var/log/postfix.log'
    postfix stop >/dev/null 2>&1 || true
    postfix start
    stop() { postfix stop; }
    ;;
exim4)
    install_quietly exim4-daemon-light
    cat >/etc/exim4/update-exim4.conf.conf <<'CONF'
dc_eximconfig_configtype='smarthost'
dc_other_hostnames='mx.parlivo.test'
dc_local_interfaces='127.0.0.1'
dc_readhost=''
dc_relay_domains=''
dc_minimaldns='false'
dc_relay_nets=''
dc_smarthost='127.0.0.1::2525'
CFILEMODE='644'
dc_use_split_config='false'
dc_hide_mailname=''
dc_mailname_in_oh='true'
dc_localdelivery='mail_spool'
CONF
    echo mx.parlivo.test >/etc/mailname
    # Delay warnings after a second instead of a day, for the delay notice; the stand-in
    # gateway on this machine is a remote host for the smarthost router and transport.
    template=/etc/exim4/exim4.conf.template
    grep -q '^delay_warning' $template || sed -i '1i delay_warning = 2s' $template
    grep -q '^  self = send' $template ||
        sed -i '/^smarthost:/,/^$/ s/^  driver = manualroute$/  driver = manualroute\n  self = send/' $template
    grep -q '^  allow_localhost' $template ||
        sed -i '/^remote_smtp_smarthost:/,/^$/ s/^  driver = smtp$/  driver = smtp\n  allow_localhost/' $template
    update-exim4.conf
    stop() { true; }
    ;;
opensmtpd)
    echo "opensmtpd opensmtpd/mailname string mx.parlivo.test" | debconf-set-selections
    install_quietly opensmtpd
    echo mx.parlivo.test >/etc/mailname
    cat >/etc/smtpd.conf <<'CONF'
bounce warn-interval 2s
listen on lo
action "local" mbox
action "gateway" relay host smtp://127.0.0.1:2525
match from local for domain "mx.parlivo.test" action "local"
match from local for any action "gateway"
CONF
    smtpctl stop >/dev/null 2>&1 || true
    sleep 1
    /usr/sbin/smtpd -f /etc/smtpd.conf
    sleep 1
    stop() { smtpctl stop 2>/dev/null || pkill -x smtpd; }
    ;;
courier)
    install_quietly courier-mta
    cd /etc/courier
    echo mx.parlivo.test >me
    echo mx.parlivo.test >defaultdomain
    printf 'mx.parlivo.test\nlocalhost\n' >locals
    echo ':[127.0.0.1],2525' >esmtproutes
    # A delay notice after two seconds and retries a second apart; Courier sends one failure
    # report when the whole message is done, so the delayed address is given up after 8 s.
    echo 2s >warntime
    echo 8s >queuetime
    echo 1s >retryalpha
    echo 3 >retrybeta
    echo 1s >retrygamma
    echo 1 >retrymaxdelta
    cd - >/dev/null
    makealiases
    makesmtpaccess
    authdaemond start || true
    courier stop >/dev/null 2>&1 || true
    rm -rf /var/lib/courier/msgs/* /var/lib/courier/msgq/*
    courier start
    sleep 1
    stop() { courier stop; authdaemond stop || true; }
    ;;
sendmail)
    install_quietly sendmail-bin sendmail-cf m4 procmail
    # A configuration of its own: the gateway as smart host on its port, no DNS at all, a
    # delay warning after two seconds.
    printf 'passwd files\nhosts files\naliases files\n' >/etc/mail/parlivo-bounces.switch
    cat >/etc/mail/parlivo-bounces.mc <<'MC'
include(`/usr/share/sendmail/cf/m4/cf.m4')dnl
OSTYPE(`debian')dnl
DOMAIN(`debian-mta')dnl
undefine(`confHOST_STATUS_DIRECTORY')dnl
define(`confDOMAIN_NAME', `mx.parlivo.test')dnl
define(`confSERVICE_SWITCH_FILE', `/etc/mail/parlivo-bounces.switch')dnl
define(`confDONT_PROBE_INTERFACES', `True')dnl
define(`confTO_QUEUEWARN', `2s')dnl
define(`confMIN_QUEUE_AGE', `0')dnl
define(`SMART_HOST', `[127.0.0.2]')dnl
define(`RELAY_MAILER_ARGS', `TCP $h 2525')dnl
define(`ESMTP_MAILER_ARGS', `TCP $h 2525')dnl
FEATURE(`nocanonify')dnl
LOCAL_DOMAIN(`mx.parlivo.test')dnl
FEATURE(`local_procmail', `/usr/bin/procmail')dnl
MAILER(`local')dnl
MAILER(`smtp')dnl
MC
    m4 /etc/mail/parlivo-bounces.mc >/etc/mail/parlivo-bounces.cf
    rm -f /var/spool/mqueue/* /var/spool/mqueue-client/*
    stop() { rm -f /var/spool/mqueue/*; } # the delayed message would be retried for days
    ;;
*)
    echo "unknown mail system: $system" >&2
    exit 2
    ;;
esac

# OpenSMTPD refuses an unknown local user when the message is handed to it: no bounce.
recipients=(5555550100@vtext.com 5555550101@vtext.com nosuchuser@mx.parlivo.test)
[ "$system" != opensmtpd ] || recipients=("${recipients[@]:0:2}")
# Courier delivers to the user's Maildir, the others to /var/mail.
box=/var/mail/ann
[ "$system" != courier ] || box=$(eval echo ~ann)/Maildir
rm -rf "$box"
[ "$system" != courier ] || su ann -c "maildirmake $box"
count() {
    if [ -d "$box" ]; then ls "$box/new" | wc -l; else grep -c '^From ' "$box" 2>/dev/null || echo 0; fi
}
submit=(sendmail)
[ "$system" != sendmail ] || submit=(sendmail -C /etc/mail/parlivo-bounces.cf -Am -odi -oem)
# Sendmail ends with a failure status when an address was refused at once.
"${submit[@]}" -f ann@mx.parlivo.test "${recipients[@]}" <<MAIL || true
From: ann@mx.parlivo.test
To: 5555550100@vtext.com, 5555550101@vtext.com, nosuchuser@mx.parlivo.test
Subject: Meeting moved
Message-ID: <real-$system.1@gmail.com>
Date: Mon, 07 Dec 2026 21:00:00 -0800

The meeting moved to 10:00.
MAIL

if [ "$system" = exim4 ]; then
    sleep 4
    exim4 -qff # a queue run after the warning time sends the delay notice
fi
if [ "$system" = sendmail ]; then
    sleep 4
    sendmail -C /etc/mail/parlivo-bounces.cf -Am -q # likewise
fi
for _ in $(seq 30); do
    [ "$(count)" -ge 2 ] && break
    sleep 1
done
stop || true
/usr/bin/python3 - "$here" "$system" "$box" <<'PY'
import mailbox, os, sys
folder, system, box = sys.argv[1:4]
for message in (mailbox.Maildir(box, create=False) if os.path.isdir(box) else mailbox.mbox(box)):
    subject = (message["Subject"] or "").lower()
    kind = "delay" if ("delay" in subject or "warning" in subject) else "failure"
    data = message.as_bytes()
    open(f"{folder}/{system}-{kind}.eml", "wb").write(data)
    print(f"{system}-{kind}.eml: {message['Subject']}")
PY
