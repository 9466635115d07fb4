#!/usr/bin/python3
"""Plants realistic faults in src/ one at a time and runs the test suite against each.

Usage: scripts/plant_faults.py [--area all|email] [--only N[,N...]] [--list]

Works on a copy of the committed tree (a git worktree in a temporary folder with its own
build), so the working tree is never touched. A fault counts as caught when the build
still succeeds and at least one test fails. Prints one line a fault and the share caught.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

# (file, text as it stands, text with the fault, what the fault is)
FAULTS = [
    ("src/routes/email/mail/smtp_protocol.h", "return code >= 200 && code < 400;",
     "return code >= 200 && code < 600;", "every reply counts as positive"),
    ("src/routes/email/mail/smtp_protocol.cpp", "if (line.size() < 4 || line[3] != '-') {",
     "if (line.size() < 4 || line[3] == '-') {", "continuation lines end a reply"),
    ("src/routes/email/mail/smtp_protocol.cpp", 'if (words.value(0) == "PIPELINING")',
     'if (words.value(0) == "PIPELINE")', "PIPELINING never recognised"),
    ("src/routes/email/mail/smtp_protocol.cpp", "        if (message[at] == '.')\n            out += '.';\n",
     "", "no dot-stuffing"),
    ("src/routes/email/mail/smtp_protocol.cpp", 'e.refusal.startsWith(QLatin1String("452"))',
     'e.refusal.startsWith(QLatin1String("450"))', "wrong code for too many recipients"),
    ("src/routes/email/mail/smtp_protocol.cpp",
     ' || e.refusedCommand == QLatin1String("MAIL"))', ")", "a refused sender is a general failure"),
    ("src/routes/email/mail/smtp_protocol.cpp", "        if (!e.greeted)\n            return {MailFailure::Unreachable, e.networkReason};\n",
     "", "no greeting in time is not unreachable"),
    ("src/routes/email/net/smtp_mail_submitter.cpp",
     "if (reply.code == 354 && exchange_.refusedCommand.isEmpty())", "if (reply.code == 354)",
     "message sent after a refused recipient"),
    ("src/routes/email/net/smtp_mail_submitter.cpp", "        if (exchange_.refusedCommand.isEmpty()) {\n            exchange_.refusedCommand = verb;",
     "        {\n            exchange_.refusedCommand = verb;", "the last refusal decides"),
    ("src/routes/email/net/tls_connection.cpp", "setPeerVerifyMode(QSslSocket::VerifyPeer)",
     "setPeerVerifyMode(QSslSocket::VerifyNone)", "certificates not verified"),
    ("src/routes/email/net/tls_connection.cpp",
     "const qint64 quiet = opening ? sinceStart_.elapsed() : sinceProgress_.elapsed();",
     "const qint64 quiet = opening ? sinceStart_.elapsed() : 0;", "no stall limit after opening"),
    ("src/routes/email/mail/mime_message.cpp", "text.size() > 64 ||", "text.size() > 65 ||",
     "local part limit off by one"),
    ("src/routes/email/mail/mime_message.cpp", " || label.front() == QLatin1Char('-') ||\n            label.back() == QLatin1Char('-'))",
     ")", "labels may start or end with a hyphen"),
    ("src/routes/email/mail/mime_message.cpp", "    for (const QString& recipient : message.recipients)\n        if (!isMailbox(recipient))",
     "    for (const QString& recipient : QStringList())\n        if (!isMailbox(recipient))",
     "the mail layer does not check recipients"),
    ("src/routes/email/mail/mime_message.cpp", "if (lineLength + item.size() > kLongestLine && lineLength > 1)",
     "if (lineLength + item.size() > 2 * kLongestLine && lineLength > 1)", "To folded too late"),
    ("src/routes/email/gmail_login.cpp", "    if (name.contains(QLatin1Char('@')))\n        return name;\n",
     "", "full addresses get the domain again"),
    ("src/sending/send_command.cpp", "model::recipientCount(plan.targets) > most;",
     "model::recipientCount(plan.targets) >= most;",
     "the limit question comes at 100"),
    ("src/routes/email/send_failure.cpp",
     "failure.number() == kMailRefused) {\n        c.pointer.setStyle(core::kDefaultPointer);\n",
     "failure.number() == kMailRefused) {\n", "busy pointer left after a failure"),
    ("src/routes/email/email_route.cpp", "            badPhones << target.phone;", "            ;",
     "bad phone rows pass"),
    ("src/routes/email/email_route.cpp", "if (size > 0 && size + target.recipients() > most)",
     "if (size > 0 && size >= most)", "a phone's addresses split over two messages"),
    ("src/recipients/phone_rules.cpp", "if (!line.trimmed().isEmpty())", "if (!line.isEmpty())",
     "blank-only lines give rows"),
    ("src/recipients/phone_rules.cpp", "    cleaned.remove(QLatin1Char(' '));\n", "",
     "typed blanks kept"),
    ("src/recipients/list_commands.cpp", "    if (typed.contains(QLatin1Char('^')))\n        return {};\n",
     "", "carriers with ^ accepted"),
    ("src/recipients/list_commands.cpp", "carriers.rows == 0 || carriers.selected == 0;",
     "carriers.rows == 0;", "Delete Carrier without a selection fails"),
    ("src/recipients/list_commands.cpp", "PhoneFileReader reader(kLongestList - rows - edit.appended.size());",
     "PhoneFileReader reader(kLongestList - edit.appended.size());", "row limit ignores present rows"),
    ("src/recipients/summary.cpp", "shown = qint16(maximum / tickedCarriers);",
     "shown = qint16((maximum + tickedCarriers - 1) / tickedCarriers);", "summary rounds up"),
    ("src/core/settings.cpp", '(row.ticked ? QLatin1String("True") : QLatin1String("False"))',
     '(row.ticked ? QLatin1String("False") : QLatin1String("True"))', "ticks stored inverted"),
    ("src/platform/private_files.cpp", "folder).constData(), 0700)", "folder).constData(), 0755)",
     "created folders readable by others"),
    ("src/platform/private_files.cpp", "O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK",
     "O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK", "the log follows links"),
    ("src/platform/private_files.cpp", "    if (info.st_uid != geteuid())\n        return QStringLiteral(\"it belongs to another user\");\n",
     "", "other users' files written"),
    ("src/platform/qsettings_store.cpp", "    dropSerialisedValues(filePath);\n", "",
     "serialised variants decoded"),
    ("src/platform/qsettings_store.cpp", "        ::fchmod(fd, 0600);", "        ::fchmod(fd, 0644);",
     "settings file readable by others"),
    ("src/app/main_window.cpp", "if (services_.settings.write(key, text) || settingsProblemShown_)",
     "if (services_.settings.write(key, text))", "failed writes told every time"),
    ("src/app/input_hold.cpp", "    return isInput(event->type()) && isHeld(watched);",
     "    return false;", "input reaches the window during a send"),
    ("src/app/main_window.cpp", "    if (closeRequested) {\n        endProgram();\n        return;\n    }\n",
     "",
     "a close asked for during a send is lost"),
    ("src/connectivity/command_output.cpp",
     "        // The limit holds also for a child that writes without pause.\n"
     "        if (timeLimitMs >= 0 && running.elapsed() > timeLimitMs) {",
     "        if (child.waitForReadyRead(kReadSliceMs)) {\n            output += child.readAll();\n"
     "            continue;\n        }\n"
     "        if (timeLimitMs >= 0 && running.elapsed() > timeLimitMs) {",
     "time limit checked only while no output flows"),
    ("src/records/sent_log.cpp", 'QStringLiteral("Subject:") + subject', 'QStringLiteral("Subject: ") + subject',
     "log record has a blank after Subject:"),
    ("src/core/error_report.cpp", "if (value > std::numeric_limits<qint16>::max()",
     "if (value >= std::numeric_limits<qint16>::max()", "32767 rows is an overflow"),
    ("src/app/main.cpp", "    keepMemoryPrivate();\n", "", "core dumps left on"),
    ("src/routes/email/net/tls_connection.cpp", "        if (deadlineLeft <= 0) {",
     "        if (deadlineLeft <= 0 && false) {", "no overall deadline"),
    ("src/routes/email/net/imap_bounce_reader.cpp", '" (BODY.PEEK[]<0.65536>)"', '" (BODY[]<0.65536>)"',
     "reading marks the bounces as read"),
    ("src/routes/email/net/imap_bounce_reader.cpp", '"EXAMINE " + imapQuoted(mailbox)',
     '"SELECT " + imapQuoted(mailbox)', "the mailbox opened read-write"),
    ("src/routes/email/net/imap_bounce_reader.cpp", "                    mailbox = *all;", "                    ;",
     "Gmail's All Mail not used"),
    ("src/routes/email/bounce_records.cpp",
     "        if (!bounce.messageIds.contains(send.messageId, Qt::CaseInsensitive))\n            continue;\n",
     "", "bounces of other messages counted"),
    ("src/records/sent_log.cpp", "if (u <= 0x20 || u == 0x7f || u > 0x7e) {",
     "if (u == 0x20 || u == 0x7f || u > 0x7e) {", "control characters reach the log"),
    ("src/routes/email/mailbox_news.cpp",
     "        check.memory.refusedPassword = fingerprint(check.password);\n", "",
     "a refused password is tried again"),
    ("src/routes/email/mailbox_news.cpp", "send.sentUtc.secsTo(check.now.toUTC()) >= kPendingSeconds",
     "send.sentUtc.secsTo(check.now.toUTC()) >= 2 * kPendingSeconds", "pending sends kept too long"),
    ("src/sending/send_flow.cpp", "        if (!reference.isEmpty())\n            s.ledger",
     "        if (false)\n            s.ledger", "sends not remembered for their report"),
    ("src/routes/email/net/bounce_reader.cpp", 'const QByteArray action = block.field("action").trimmed().toLower();',
     'const QByteArray action = block.field("action").trimmed();', "upper-case actions missed"),
    ("src/routes/email/net/bounce_reader.cpp", "            entity.headers.last().value += ' ' + line.trimmed();\n",
     "", "folded fields cut short"),
    ("src/records/pending_file.cpp", 'f[6] == "1"};', 'false};',
     "a pending send forgets it was checked"),
    ("src/routes/email/mail/imap_protocol.cpp", "        if (ok && uid > 0)\n            uids << uid;",
     "        if (ok)\n            uids << uid;", "UID 0 taken from a search"),
    ("src/routes/email/mail/imap_protocol.cpp", "            if (rest[i] == '\\\\' && i + 2 < rest.size())\n                ++i;\n",
     "", "quoted mailbox names keep their escapes"),
    ("src/routes/email/net/bounce_reader.cpp", 'if (encoding == "base64")', 'if (encoding == "base-64")',
     "base64 parts not decoded"),
    ("src/routes/email/net/bounce_reader.cpp", "            readPlainBounce(text, report);\n", "",
     "carriers' plain-text bounces ignored"),
    ("src/routes/email/net/bounce_reader.cpp", 'action == "failed",', 'block.field("status").startsWith(\'5\'),',
     "DNS errors (failed, 4.0.0) taken for delays"),
    ("src/routes/email/send_failure.cpp",
     "    if (failure.number() == kServerUnreachable || failure.number() == kServerUntrusted ||",
     "    if (failure.number() == kServerUnreachable ||", "an untrusted server gets the error report"),
    ("src/platform/qt_desktop.cpp", "return QFileDialog::getOpenFileNames(nullptr, title, QString(), qtFileFilter(filter));",
     "return QStringList{QFileDialog::getOpenFileName(nullptr, title, QString(), qtFileFilter(filter))};",
     "the file dialog takes one file"),
    ("src/recipients/phone_rules.cpp", "        partial_ += bytes.sliced(start);", "        partial_ = bytes.sliced(start).toByteArray();",
     "a line split across read pieces loses its start"),
]


B = "src/routes/email/bounce_records.cpp"
R = "src/routes/email/replies.cpp"
G = "src/routes/email/gateway_learning.cpp"
M = "src/routes/email/mailbox_news.cpp"
MM = "src/routes/email/mail/mime_message.cpp"
C = "src/routes/email/mail/credential_echo.cpp"
# Faults in the e-mail route's mail rules and its news (bounces, replies, what mail teaches),
# chosen by what could go wrong for a user; --area email plants these alone and runs the tests
# of the e-mail route and the send.
EMAIL_FAULTS = [
    (B, "indexOf.value(r.address.toLower(), -1)", "indexOf.value(r.address, -1)",
     "a bounce naming an address in capitals is not matched"),
    (B, '(vouchedFor(bounce) ? QString() : QStringLiteral(" unverified"));', "QString();",
     "a report nobody vouches for is kept as a refusal"),
    (B, "if (r.failed && vouchedFor(bounce) && !phonesSeen", "if (r.failed && !phonesSeen",
     "an unvouched report says the phone was not reached"),
    (B, '*phone = *phone && news.reported.contains(address + QStringLiteral(" failed"));',
     '*phone = news.reported.contains(address + QStringLiteral(" failed"));',
     "the last address decides whether every gateway refused"),
    (B, "bool onlyLearned = !learned.isEmpty();", "bool onlyLearned = true;",
     "a phone with no carrier learned is said to be tried at its learned one"),
    (B, "        if (!key.startsWith(model::kReplyKey))\n            bounced.insert",
     "        bounced.insert", "replies counted as bounces in the silence line"),
    (B, "    if (silent <= 0)\n        return {};", "    if (silent < 0)\n        return {};",
     "'no bounce from the other 0 addresses'"),
    (B, "    if (!r.willRetryUntil.isEmpty())", "    if (r.willRetryUntil.isEmpty())",
     "the retry date shown where there is none"),
    (B, "willRetryUntil.simplified().remove(comment)", "willRetryUntil.simplified()",
     "a retry date with a zone comment shown raw"),
    (R, "(reply.date.isValid() && reply.date < send.sentUtc) ||", "",
     "a reply given to a send made after it"),
    (R, "(owner >= 0 && sends[owner].sentUtc > send.sentUtc) ||",
     "(owner >= 0 && sends[owner].sentUtc < send.sentUtc) ||", "a reply given to the oldest send"),
    (R, "                !carrier.contains(gateway, Qt::CaseInsensitive))\n                continue;",
     "                false)\n                continue;",
     "a reply from another carrier's gateway taken as the phone's"),
    (R, "        if (digits.size() < 7) {", "        if (digits.isEmpty()) {",
     "a short sender matches phones by a few digits"),
    (R, "            send.reported.contains(model::kReplyKey + reply.messageId))",
     "            false)", "replies logged before the digest was kept are logged again"),
    (R, "reply.verified ? QString() : QStringLiteral(\", not verified\")",
     "reply.verified ? QStringLiteral(\", not verified\") : QString()",
     "verified replies marked not verified"),
    (G, 'r.status.startsWith(QLatin1String("5.1."))', 'r.status.startsWith(QLatin1String("5."))',
     "any permanent refusal learned as the wrong carrier"),
    (G, "    return r.failed && (r.status", "    return (r.status",
     "a delay learned as a refusal for good"),
    (G, "            if (!vouchedFor(bounce) ||\n                !bounce",
     "            if (!bounce", "an unvouched report teaches"),
    (G, "                        phone.carrier.clear();\n", "",
     "a learned carrier that refuses stays learned"),
    (G, "if (owners.value(r, -1) < 0 || !replies[r].verified)", "if (owners.value(r, -1) < 0)",
     "an unverified reply makes the carrier certain"),
    (G, "        phone.refusedAt.remove(gateway);\n", "",
     "a carrier that replied stays marked as refusing"),
    (G, "    if (addresses.size() < 2 ||", "    if (addresses.size() < 1 ||",
     "a phone sent to one gateway gets that gateway as probable"),
    (G, " &&\n                     !send.reported.contains(address + QStringLiteral(\" delayed\"));",
     ";", "a delayed gateway taken as silent"),
    (G, "        if (send.checked)\n            continue;\n", "",
     "a send counted in the gateways' record at every check"),
    (M, "        since = qMin(since, send.sentUtc.toLocalTime().date());\n", "",
     "the mailbox read from the first send's day only"),
    (M, "since.addDays(-1), replyDomains", "since, replyDomains",
     "bounces stamped the day before in another zone missed"),
    (M, "        if (matching.size() == 1)", "        if (!matching.isEmpty())",
     "a quoted report tied to one of several sends"),
    (M, "        bounce.verified = bounce.verified && fromCarrier;", "",
     "a quoted report from another domain teaches"),
    (M, "send.checked = send.checked || found.complete;", "send.checked = true;",
     "a send checked though the mailbox was read only in part"),
    (M, "        else if (!send.checked && !appended(", "        else if (!appended(",
     "'Not checked' logged for a send that was checked"),
    (M, "address.contains(QLatin1Char('@')) &&\n                                                 recipients::isNumber(recipients::phoneOf(address))",
     "address.contains(QLatin1Char('@'))", "replies searched from a vast domain"),
    (MM, "text.size() > 64 ||", "text.size() > 640 ||", "a local part of any length"),
    (MM, "    if (isPlainAscii(subject) && subject.size() + 9 <= kLongestLine)",
     "    if (subject.size() + 9 <= kLongestLine)", "a subject with accents sent unencoded"),
    (C, "                marks_ << QByteArray(core).replace('+', '-').replace('/', '_');\n", "",
     "the URL-safe base64 of the password shown"),
    (C, "    marks_ << \"hex:\" + password.toUtf8().toHex();", "",
     "the password in hex shown"),
]

# Faults of EMAIL_FAULTS no test can catch, as nothing a user or a file sees changes, and why.
EQUIVALENT_EMAIL_FAULTS = {
    3: "an unvouched report is kept under its own key, so the phone never counts as refused at "
       "every address and no 'not reached' line follows either way",
    5: "the loop over the gateways tried decides: with no carrier learned none of them is of it",
    13: "mail::readReply takes a sender of 7 to 15 digits only, so a shorter one never comes",
}

EMAIL_TESTS = ("test_email_route|test_mailbox_news|test_mime_message|test_mail_protocols|"
               "test_bounce_report|test_hostile_servers|test_send_command")


def run(command, cwd, timeout=1800):
    return subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, timeout=timeout)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--only", help="comma-separated fault numbers (1-based)")
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--area", choices=["all", "email"], default="all")
    args = parser.parse_args()
    faults = EMAIL_FAULTS if args.area == "email" else FAULTS
    tests_of_area = ["-R", EMAIL_TESTS] if args.area == "email" else []
    chosen = range(1, len(faults) + 1)
    if args.only:
        chosen = [int(n) for n in args.only.split(",")]
    if args.list:
        for n in chosen:
            print(f"{n:2} {faults[n - 1][0]}: {faults[n - 1][3]}")
        return 0

    root = run(["git", "rev-parse", "--show-toplevel"], os.getcwd()).stdout.strip()
    work = tempfile.mkdtemp(prefix="parlivo-faults-")
    tree = os.path.join(work, "tree")
    run(["git", "worktree", "add", "--detach", tree, "HEAD"], root)
    build = os.path.join(work, "build")
    try:
        configured = run(["cmake", "-S", tree, "-B", build, "-DPARLIVO_BUILD_BENCH=OFF",
                          "-DCMAKE_BUILD_TYPE=RelWithDebInfo"], tree)
        built = run(["cmake", "--build", build, f"-j{os.cpu_count()}"], tree)
        if configured.returncode or built.returncode:
            print(built.stdout[-3000:])
            return 2
        caught = 0
        for n in chosen:
            path, before, after, what = faults[n - 1]
            source = os.path.join(tree, path)
            original = open(source).read()
            if original.count(before) != 1:
                print(f"{n:2} SKIPPED  {path}: the text to change is not there once ({what})")
                continue
            open(source, "w").write(original.replace(before, after))
            try:
                result = run(["cmake", "--build", build, f"-j{os.cpu_count()}"], tree)
                if result.returncode:
                    verdict = "NO BUILD"
                else:
                    tests = run(["ctest", "-j2", "--timeout", "120"] + tests_of_area, build)
                    failed = [line.split("-", 1)[1].strip().split(" ")[0]
                              for line in tests.stdout.splitlines()
                              if line.strip()[:1].isdigit() and " - " in line and "(" in line]
                    verdict = "caught" if tests.returncode else "MISSED"
                    if tests.returncode:
                        caught += 1
                print(f"{n:2} {verdict:8} {path}: {what}"
                      + (f"  [{', '.join(failed)}]" if verdict == "caught" else ""), flush=True)
            finally:
                open(source, "w").write(original)
        total = len(list(chosen))
        print(f"caught {caught} of {total} planted faults ({100 * caught // max(total, 1)} %)")
        if args.area == "email":
            for n, why in EQUIVALENT_EMAIL_FAULTS.items():
                if n in chosen:
                    print(f"{n:2} equivalent: {why}")
        return 0
    finally:
        run(["git", "worktree", "remove", "--force", tree], root)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
