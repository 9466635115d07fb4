#!/usr/bin/python3
"""Plants realistic faults in src/ one at a time and runs the test suite against each.

Usage: scripts/plant_faults.py [--only N[,N...]] [--list]

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


def run(command, cwd, timeout=1800):
    return subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, timeout=timeout)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--only", help="comma-separated fault numbers (1-based)")
    parser.add_argument("--list", action="store_true")
    args = parser.parse_args()
    chosen = range(1, len(FAULTS) + 1)
    if args.only:
        chosen = [int(n) for n in args.only.split(",")]
    if args.list:
        for n in chosen:
            print(f"{n:2} {FAULTS[n - 1][0]}: {FAULTS[n - 1][3]}")
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
            path, before, after, what = FAULTS[n - 1]
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
                    tests = run(["ctest", "-j2", "--timeout", "120"], build)
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
        return 0
    finally:
        run(["git", "worktree", "remove", "--force", tree], root)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
