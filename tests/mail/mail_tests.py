#!/usr/bin/env python3
"""メール送信 and メール受信 against real servers on 127.0.0.1 started here.

    mail_tests.py SORANE GROUP

GROUP smtp: aiosmtpd receives the messages (plain, STARTTLS, implicit TLS,
AUTH) and the bytes that arrive are checked. GROUP pop3: dovecot serves
maildirs of real-world messages from a temporary configuration, on pop3 and
pop3s. The TLS servers use a certificate made here by openssl. Exit status 77
(skipped) when a server cannot start. Nothing leaves 127.0.0.1: the proxy
variables are cleared for every run.
"""
import base64
import logging
import os
import pwd
import re
import shutil
import ssl
import subprocess
import sys
import tempfile
import warnings

try:
    import aiosmtpd  # noqa: F401
except ImportError:
    # Debian's package, when another Python runs the tests.
    sys.path.append("/usr/lib/python3/dist-packages")

# The helpers of the network tests: check and FAILURES, free ports, waiting
# for a listener, certificates.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "net"))
from net_tests import FAILURES, check, free_port, make_certificate, wait_listening  # noqa: E402

SKIP = 77
SORANE = None


def run(work, script, env=None, timeout=25):
    """Runs the script (UTF-8, @NAME@ filled from `env` keys starting with @)
    in `work`; returns (status, stdout, stderr)."""
    fill = {k: v for k, v in (env or {}).items() if k.startswith("@")}
    for name, value in fill.items():
        script = script.replace(name, str(value))
    path = os.path.join(work, "test.srn")
    with open(path, "w", encoding="utf-8") as f:
        f.write(script)
    environ = dict(os.environ, HOME=work, TMPDIR=work, XDG_CONFIG_HOME=os.path.join(work, "config"),
                   XDG_DATA_HOME=os.path.join(work, "data"))
    for name in ("http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                 "ALL_PROXY", "CURL_CA_BUNDLE", "SSL_CERT_FILE", "SSL_CERT_DIR"):
        environ.pop(name, None)
    environ.update({k: v for k, v in (env or {}).items() if not k.startswith("@")})
    p = subprocess.run([SORANE, "--console", path], cwd=work, env=environ, capture_output=True,
                       stdin=subprocess.DEVNULL, timeout=timeout)
    return p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace")


def jis(text):
    """ISO-2022-JP as the run-time writes it: back to single bytes with ESC ( J."""
    return text.encode("iso2022_jp").replace(b"\x1b(B", b"\x1b(J")


def word(text):
    return b"=?ISO-2022-JP?B?" + base64.b64encode(jis(text)) + b"?="


def sjis(text):
    return text.encode("cp932")


# ---------------------------------------------------------------- SMTP

class Recorder:
    def __init__(self):
        self.envelopes = []

    async def handle_DATA(self, server, session, envelope):
        self.envelopes.append((envelope, session.ssl is not None))
        return "250 OK"


def smtp_server(recorder, **options):
    from aiosmtpd.controller import Controller
    # The server's own reports (a refused certificate, AUTH without TLS) are
    # expected here.
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)
    warnings.simplefilter("ignore")
    port = free_port()
    ssl_context = options.pop("ssl_context", None)
    controller = Controller(recorder, hostname="127.0.0.1", port=port, ssl_context=ssl_context,
                            **options)
    controller.start()
    return controller, port


SEND = """メールホストは「@HOST@」
メール送信先は「a@example.com
山田 <b@example.com>」
メールCCは「c@example.com
Copy <d@example.com>」
メールBCCは「hidden@example.com」
メール送信元は「me@example.com」
メール送信者名は「送信 太郎」
メールタイトルは「件名{CHR(13)}{CHR(10)}Bcc: evil@example.com」
メール本文は「  こんにちは{CHR(10)}二行目 end{CHR(13)}三行目\\n」
メール添付ファイルは「添付テスト.txt
data.bin」
メール送信。
「送信しました」と、表示。
"""


def expected_message(boundary, data):
    h = [b"From: " + word("送信") + b" " + word("太郎") + b" <me@example.com>",
         b"Reply-To: me@example.com",
         b"To: a@example.com,\r\n " + word("山田") + b" <b@example.com>",
         b"Cc: <c@example.com>,\r\n Copy <d@example.com>",
         b"Subject: " + word("件名") + b"  Bcc: evil@example.com",
         b"MIME-Version: 1.0",
         b'Content-Type: multipart/mixed; boundary="' + boundary + b'"',
         b"Content-Transfer-Encoding: 7bit"]
    body = b"".join(jis(line) + b"\r\n" for line in ["こんにちは", "二行目 end", "三行目"])
    out = b"\r\n".join(h) + b"\r\n\r\n--" + boundary + b"\r\n"
    out += b"Content-Type: text/plain; charset=iso-2022-jp\r\nContent-Transfer-Encoding: 7bit\r\n"
    out += b"\r\n" + body
    for name, content in data:
        param = b'"' + word(name[:-4]) + b'.txt"' if name.endswith(".txt") else b'"' + name.encode() + b'"'
        out += b"\r\n--" + boundary + b"\r\n"
        out += b"Content-Type: application/octet-stream; name=" + param + b"\r\n"
        out += b"Content-Transfer-Encoding: base64\r\n"
        out += b"Content-Disposition: attachment; filename=" + param + b"\r\n\r\n"
        out += base64.encodebytes(content).replace(b"\n", b"\r\n")
    return out + b"\r\n--" + boundary + b"--\r\n"


def smtp_message_bytes(work):
    """Headers, encodings, folding, CC wrapping, BCC only in the envelope, a
    subject that tries to add a header, bare CR and LF in the body, two
    attachments, the real zone offset."""
    text = sjis("テキスト\r\n")
    binary = bytes(range(256)) * 3
    with open(os.path.join(work, "添付テスト.txt"), "wb") as f:
        f.write(text)
    with open(os.path.join(work, "data.bin"), "wb") as f:
        f.write(binary)
    recorder = Recorder()
    server, port = smtp_server(recorder)
    try:
        status, out, err = run(work, SEND, {"@HOST@": "127.0.0.1:%d" % port, "TZ": "EST5"})
    finally:
        server.stop()
    check(status == 0 and out == "送信しました\n", "send: %d %r %r" % (status, out, err))
    if len(recorder.envelopes) != 1:
        return check(False, "send: %d messages arrived" % len(recorder.envelopes))
    envelope, _ = recorder.envelopes[0]
    check(envelope.mail_from == "me@example.com", "MAIL FROM %r" % envelope.mail_from)
    check(envelope.rcpt_tos == ["a@example.com", "b@example.com", "c@example.com",
                                "d@example.com", "hidden@example.com"],
          "RCPT TO %r" % envelope.rcpt_tos)
    data = envelope.original_content
    m = re.match(rb"Date: [A-Z][a-z]{2}, \d\d [A-Z][a-z]{2} \d{4} \d\d:\d\d:\d\d -0500\r\n", data)
    check(m is not None, "Date header: %r" % data[:60])
    rest = data[m.end():] if m else data
    rest = re.sub(rb"X-Mailer: =\?ISO-2022-JP\?B\?[A-Za-z0-9+/=]+\?=\r\n", b"", rest, count=1)
    b = re.search(rb'boundary="([^"]+)"', rest)
    boundary = b.group(1) if b else b"?"
    want = expected_message(boundary, [("添付テスト.txt", text), ("data.bin", binary)])
    check(rest == want, "message bytes differ:\n%r\n%r" % (rest, want))


def smtp_refusals_and_auth(work):
    """An address with a bare line break is refused before anything is sent;
    SMTP AUTH with the POP3 password variable; a wrong password."""
    from aiosmtpd.smtp import AuthResult

    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = auth_data.login == b"taro" and auth_data.password == b"pa ss"
        return AuthResult(success=ok, handled=False)

    recorder = Recorder()
    server, port = smtp_server(recorder, authenticator=authenticate, auth_required=True,
                               auth_require_tls=False)
    script = """メールホストは「127.0.0.1:@PORT@」
メール送信先は「@TO@」
メール本文は「本文」
メールIDは「taro」
メールパスワードは「@PW@」
メール送信。
「送信しました」と、表示。
"""
    try:
        injected = "a@example.com{CHR(10)}RCPT TO:<evil@example.com>"
        status, out, err = run(work, script, {"@PORT@": port, "@TO@": injected, "@PW@": "pa ss"})
        check(status == 1 and "メールの送信エラー。送信先のアドレスに改行があります。" in err,
              "bare LF in a recipient: %d %r" % (status, err))
        check(not recorder.envelopes, "a refused message was sent")
        status, out, err = run(work, script, {"@PORT@": port, "@TO@": "a@example.com",
                                              "@PW@": "pa ss"})
        check(status == 0 and len(recorder.envelopes) == 1, "AUTH: %d %r" % (status, err))
        status, out, err = run(work, script, {"@PORT@": port, "@TO@": "a@example.com",
                                              "@PW@": "wrong-secret"})
        check(status == 1 and "メールの送信エラー。認証に失敗。パスワードを確認してください。" in err
              and "wrong-secret" not in err + out, "wrong password: %d %r" % (status, err))
    finally:
        server.stop()


def smtp_tls(work):
    """STARTTLS offered by the server is taken, its certificate checked; an
    untrusted certificate fails; smtps:// is TLS from the start."""
    cert, key = make_certificate(work)
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    script = """メールホストは「@HOST@」
メール送信先は「a@example.com」
メール本文は「本文」
メール送信。
「送信しました」と、表示。
"""
    recorder = Recorder()
    server, port = smtp_server(recorder, tls_context=context, require_starttls=True)
    try:
        status, out, err = run(work, script, {"@HOST@": "127.0.0.1:%d" % port,
                                              "CURL_CA_BUNDLE": cert})
        check(status == 0 and recorder.envelopes and recorder.envelopes[0][1],
              "STARTTLS: %d %r" % (status, err))
        status, out, err = run(work, script, {"@HOST@": "127.0.0.1:%d" % port})
        check(status == 1 and "メールの送信エラー。接続に失敗。" in err and len(recorder.envelopes) == 1,
              "untrusted certificate: %d %r" % (status, err))
    finally:
        server.stop()
    recorder = Recorder()
    server, port = smtp_server(recorder, ssl_context=context)
    try:
        status, out, err = run(work, script, {"@HOST@": "smtps://127.0.0.1:%d" % port,
                                              "CURL_CA_BUNDLE": cert})
        check(status == 0 and len(recorder.envelopes) == 1, "smtps: %d %r" % (status, err))
    finally:
        server.stop()


# ---------------------------------------------------------------- POP3

class Dovecot:
    """dovecot with a configuration of its own in `root`: users u1, u2, ...
    (password "secret"), each with a maildir root/mail/USER; pop3 and pop3s
    on free ports. As root the login and mail processes run as dovecot's own
    users; otherwise everything runs as the current user."""

    def __init__(self, root, cert, key):
        self.root, self.cert = root, cert
        self.port, self.tls_port = free_port(), free_port()
        if os.getuid() == 0:
            login, internal = "dovenull", "dovecot"
            pw = pwd.getpwnam("dovecot")
            self.uid, self.gid = pw.pw_uid, pw.pw_gid
        else:
            login = internal = pwd.getpwuid(os.getuid()).pw_name
            self.uid, self.gid = os.getuid(), os.getgid()
        os.chmod(root, 0o755)
        with open(os.path.join(root, "passwd"), "w") as f:
            for n in range(1, 10):
                f.write("u%d:{PLAIN}secret::::::\n" % n)
        self.conf = os.path.join(root, "dovecot.conf")
        with open(self.conf, "w") as f:
            f.write(f"""base_dir = {root}/run
state_dir = {root}/state
log_path = {root}/dovecot.log
instance_name = sorane-mail-test-{self.port}
protocols = pop3
listen = 127.0.0.1
ssl = yes
ssl_cert = <{cert}
ssl_key = <{key}
disable_plaintext_auth = no
auth_mechanisms = plain login
auth_failure_delay = 0
default_internal_user = {internal}
default_internal_group = {internal}
default_login_user = {login}
first_valid_uid = 0
pop3_uidl_format = %08Xu%08Xv
passdb {{
  driver = passwd-file
  args = scheme=PLAIN {root}/passwd
}}
userdb {{
  driver = static
  args = uid={self.uid} gid={self.gid} home={root}/home/%u mail=maildir:{root}/mail/%u
}}
service pop3-login {{
  chroot =
  inet_listener pop3 {{
    address = 127.0.0.1
    port = {self.port}
  }}
  inet_listener pop3s {{
    address = 127.0.0.1
    port = {self.tls_port}
    ssl = yes
  }}
}}
service anvil {{
  chroot =
}}
service imap-login {{
  chroot =
}}
""")
        self.proc = subprocess.Popen(["dovecot", "-F", "-c", self.conf],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        if not (wait_listening(self.port) and wait_listening(self.tls_port)):
            self.stop()
            raise RuntimeError("dovecot did not start: " + self.log())

    def log(self):
        try:
            with open(os.path.join(self.root, "dovecot.log")) as f:
                return f.read()[-2000:]
        except OSError:
            return ""

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()

    def fill(self, user, messages):
        """Puts the messages (bytes, in order) into the user's maildir."""
        folder = os.path.join(self.root, "mail", user)
        for sub in ("new", "cur", "tmp"):
            os.makedirs(os.path.join(folder, sub), exist_ok=True)
        paths = []
        for i, message in enumerate(messages, 1):
            # The sizes in the name spare the server reading the message
            # before it is fetched.
            path = os.path.join(folder, "new", "%d.M%dP1.sorane,S=%d,W=%d" % (
                1700000000 + i, i, len(message), len(message)))
            with open(path, "wb") as f:
                f.write(message)
            paths.append(path)
        for top, dirs, files in os.walk(os.path.join(self.root, "mail")):
            for name in dirs + files:
                os.chown(os.path.join(top, name), self.uid, self.gid)
        os.chown(os.path.join(self.root, "mail"), self.uid, self.gid)
        return paths

    def count(self, user):
        folder = os.path.join(self.root, "mail", user)
        return sum(len(os.listdir(os.path.join(folder, sub))) for sub in ("new", "cur"))


def mime(headers, body):
    return b"\r\n".join(headers) + b"\r\n\r\n" + body


MESSAGE_JIS = mime([
    b"Return-Path: <bounce@example.com>",
    b"From: " + word("山田") + b" <yamada@example.com>",
    b"To: user@example.com",
    b"Date: Mon, 01 Jan 2024 09:00:00 +0900",
    b"Subject: =?ISO-2022-JP?B?" + base64.b64encode(b"\x1b$B-!" + "お知らせ".encode("iso2022_jp")[3:])
    + b"?=",
    b"MIME-Version: 1.0",
    b'Content-Type: multipart/mixed; boundary="b1"'],
    b"--b1\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n\r\n"
    + "本文です。\r\n二行目".encode("iso2022_jp") + b"\r\n"
    b"--b1\r\nContent-Type: application/octet-stream; name=\"../../.bashrc\"\r\n"
    b"Content-Disposition: attachment; filename=\"../../.bashrc\"\r\n"
    b"Content-Transfer-Encoding: base64\r\n\r\n" + base64.b64encode(b"echo owned\n") + b"\r\n"
    b"--b1\r\nContent-Type: text/plain; charset=ISO-2022-JP; name=\"" + word("テスト")
    + b".txt\"\r\nContent-Disposition: attachment\r\n\r\n" + "テスト".encode("iso2022_jp") + b"\r\n"
    b"--b1--\r\n")

MESSAGE_UTF8 = mime([
    b'From: "Sender" <s@example.com>',
    b"To: =?UTF-8?B?" + base64.b64encode("受信者".encode()) + b"?= <user@example.com>",
    b"Date: Tue, 02 Jan 2024 10:00:00 +0000",
    b"Subject: =?UTF-8?Q?=E4=BC=9A=E8=AD=B0=E3=81=AE=E4=BB=B6?=",
    b"MIME-Version: 1.0",
    b'Content-Type: multipart/mixed; boundary="b2"'],
    b"--b2\r\nContent-Type: multipart/alternative; boundary=\"b3\"\r\n\r\n"
    b"--b3\r\nContent-Type: text/plain; charset=UTF-8\r\n"
    b"Content-Transfer-Encoding: quoted-printable\r\n\r\n"
    b"=E6=98=8E=E6=97=A5=E3=81=AE=E4=BC=9A=E8=AD=B0=E3=81=AF10=E6=99=82=E3=81=A7=\r\n"
    b"=E3=81=99=E3=80=82\r\n"
    b"--b3\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n<p>html</p>\r\n--b3--\r\n"
    b"--b2\r\nContent-Type: application/pdf\r\n"
    b"Content-Disposition: attachment; filename*=UTF-8''%E8%AB%8B%E6%B1%82%E6%9B%B8.pdf\r\n"
    b"Content-Transfer-Encoding: base64\r\n\r\n" + base64.b64encode(b"%PDF-1.4\n") + b"\r\n"
    b"--b2\r\nContent-Type: text/plain; name=\"1.txt\"\r\n"
    b"Content-Disposition: attachment; filename=\"1.txt\"\r\n\r\nnot a summary\r\n"
    b"--b2\r\nContent-Type: application/octet-stream\r\n"
    b"Content-Disposition: attachment; filename=\"/home/u/.profile\"\r\n\r\nexport X=1\r\n"
    b"--b2--\r\n")

MESSAGE_SJIS = mime([
    b"From: s@example.com",
    b"To: user@example.com",
    b"Date: Wed, 03 Jan 2024 11:00:00 +0900",
    b"Subject: =?Shift_JIS?B?" + base64.b64encode(sjis("半角ｶﾅ")) + b"?=",
    b"MIME-Version: 1.0",
    b"Content-Type: text/plain; charset=Shift_JIS",
    b"Content-Transfer-Encoding: 8bit"],
    sjis("シフトJISの本文\r\n表示\r\n"))


def summary(lines, body):
    return sjis("".join(line + "\r\n" for line in lines) + "本文:\r\n\r\n" + body)


RECEIVE = """メールホストは「@HOST@」
メールIDは「@USER@」
メールパスワードは「@PW@」
メールサーバーから削除は「@DELETE@」
「@FOLDER@」へ、メール受信。
「受信しました」と、表示。
"""


def receive(work, dovecot, user, folder="受信", password="secret", delete=1, host=None,
            trusted=True):
    """Runs メール受信; the server offers STARTTLS, so even plain pop3 turns to
    TLS, with the server's certificate trusted unless `trusted` is false."""
    values = {"@HOST@": host or "127.0.0.1:%d" % dovecot.port, "@USER@": user, "@PW@": password,
              "@DELETE@": delete, "@FOLDER@": folder}
    if trusted:
        values["CURL_CA_BUNDLE"] = dovecot.cert
    return run(work, RECEIVE, values)


def pop3_receive(work, dovecot):
    """Real-world messages into a folder that already holds 1.txt, hostile
    attachment names, a link planted at one of them; messages deleted from
    the server once saved."""
    dovecot.fill("u1", [MESSAGE_JIS, MESSAGE_UTF8, MESSAGE_SJIS])
    inbox = os.path.join(work, "受信")
    os.makedirs(inbox)
    with open(os.path.join(inbox, "1.txt"), "wb") as f:
        f.write(b"mine")
    with open(os.path.join(work, "outside"), "wb") as f:
        f.write(b"keep")
    os.symlink(os.path.join(work, "outside"), os.path.join(inbox, "bashrc"))
    status, out, err = receive(work, dovecot, "u1")
    check(status == 0 and out == "受信しました\n", "receive: %d %r %r" % (status, out, err))
    files = sorted(os.listdir(inbox))
    want = sorted(["1.txt", "bashrc", "2.txt", "2.eml", "bashrc (2)", "テスト.txt", "3.txt",
                   "3.eml", "請求書.pdf", "1 (2).txt", "profile", "4.txt", "4.eml"])
    check(files == want, "receive folder: %r" % files)

    def content(name):
        with open(os.path.join(inbox, name), "rb") as f:
            return f.read()
    check(content("2.txt") == summary(
        ["添付ファイル:bashrc (2)", "添付ファイル:テスト.txt", "返信先: <bounce@example.com>",
         "送信者: 山田 <yamada@example.com>", "受信者: user@example.com",
         "日時: Mon, 01 Jan 2024 09:00:00 +0900", "件名: ①お知らせ"], "本文です。\r\n二行目\r\n"),
        "2.txt: %r" % content("2.txt"))
    check(content("3.txt") == summary(
        ["添付ファイル:請求書.pdf", "添付ファイル:1 (2).txt", "添付ファイル:profile",
         '送信者: "Sender" <s@example.com>', "受信者: 受信者 <user@example.com>",
         "日時: Tue, 02 Jan 2024 10:00:00 +0000", "件名: 会議の件"], "明日の会議は10時です。\r\n"),
        "3.txt: %r" % content("3.txt"))
    check(content("4.txt") == summary(
        ["送信者: s@example.com", "受信者: user@example.com",
         "日時: Wed, 03 Jan 2024 11:00:00 +0900", "件名: 半角"], "シフトJISの本文\r\n表示\r\n"),
        "4.txt: %r" % content("4.txt"))
    check([content(n) for n in ("2.eml", "3.eml", "4.eml")] ==
          [MESSAGE_JIS, MESSAGE_UTF8, MESSAGE_SJIS], "raw messages differ")
    check(content("bashrc (2)") == b"echo owned\n" and content("../outside") == b"keep" and
          content("1.txt") == b"mine" and content("1 (2).txt") == b"not a summary" and
          content("テスト.txt") == "テスト".encode("iso2022_jp") and content("請求書.pdf") == b"%PDF-1.4\n",
          "attachment contents")
    check(dovecot.count("u1") == 0, "messages left on the server: %d" % dovecot.count("u1"))


def pop3_keep_and_failures(work, dovecot):
    """メールサーバーから削除 0 keeps the messages; an empty mailbox writes
    nothing; a message that cannot be fetched ends the session without
    deleting the ones saved before it; a folder the security policy refuses
    is not written and nothing is fetched."""
    dovecot.fill("u2", [MESSAGE_SJIS])
    for _ in range(2):
        status, out, err = receive(work, dovecot, "u2", folder="keep", delete=0)
        check(status == 0, "keep: %d %r" % (status, err))
    check(sorted(os.listdir(os.path.join(work, "keep"))) == ["1.eml", "1.txt", "2.eml", "2.txt"],
          "keep folder %r" % os.listdir(os.path.join(work, "keep")))
    check(dovecot.count("u2") == 1, "a kept message was deleted")

    dovecot.fill("u3", [])
    status, out, err = receive(work, dovecot, "u3", folder="empty")
    check(status == 0 and os.listdir(os.path.join(work, "empty")) == [], "empty: %r" % err)

    paths = dovecot.fill("u4", [MESSAGE_SJIS, MESSAGE_SJIS, MESSAGE_SJIS])
    os.chmod(paths[1], 0)
    status, out, err = receive(work, dovecot, "u4", folder="partial")
    check(status == 1 and "メールの受信エラー。2番のメール受信に失敗しました。" in err,
          "unreadable message: %d %r" % (status, err))
    check(sorted(os.listdir(os.path.join(work, "partial"))) == ["1.eml", "1.txt"],
          "partial folder %r" % os.listdir(os.path.join(work, "partial")))
    check(dovecot.count("u4") == 3, "deletions committed after a failure: %d" % dovecot.count("u4"))

    outside = tempfile.mkdtemp(prefix="sorane-mail-outside-")
    try:
        target = os.path.join(outside, "in")
        status, out, err = receive(work, dovecot, "u2", folder=target)
        check(status == 0 and not os.path.exists(target) and dovecot.count("u2") == 1,
              "policy: %d %r" % (status, err))
    finally:
        shutil.rmtree(outside)


def pop3_tls(work, dovecot):
    """pop3s:// with the server's certificate trusted; the same server
    untrusted is refused before anything is fetched, on pop3s and through
    STARTTLS."""
    dovecot.fill("u5", [MESSAGE_SJIS])
    host = "pop3s://127.0.0.1:%d" % dovecot.tls_port
    for server in (host, None):
        status, out, err = receive(work, dovecot, "u5", folder="untrusted", host=server,
                                   trusted=False)
        check(status == 1 and "メールの受信エラー。接続に失敗。" in err,
              "untrusted: %d %r" % (status, err))
    check(dovecot.count("u5") == 1, "fetched over an untrusted connection")
    status, out, err = receive(work, dovecot, "u5", folder="tls", host=host)
    check(status == 0 and "1.txt" in os.listdir(os.path.join(work, "tls")),
          "pop3s: %d %r" % (status, err))
    check(dovecot.count("u5") == 0, "not deleted over pop3s")


def pop3_wrong_password(work, dovecot):
    """Last of the group: the server delays logins from an address after a
    failed one."""
    status, out, err = receive(work, dovecot, "u2", folder="denied", password="wrong-secret")
    check(status == 1 and "メールの受信エラー。ユーザー認証に失敗" in err and "wrong-secret" not in err,
          "wrong password: %d %r" % (status, err))


def main():
    global SORANE
    if len(sys.argv) != 3 or sys.argv[2] not in ("smtp", "pop3"):
        print(__doc__)
        return 2
    SORANE, group = os.path.abspath(sys.argv[1]), sys.argv[2]
    base = tempfile.mkdtemp(prefix="sorane-mail-")
    try:
        if group == "smtp":
            try:
                import aiosmtpd.controller  # noqa: F401
            except ImportError:
                print("SKIP: aiosmtpd is not installed (scripts/install-deps.sh)")
                return SKIP
            cases = [smtp_message_bytes, smtp_refusals_and_auth, smtp_tls]
            for case in cases:
                work = os.path.join(base, case.__name__)
                os.makedirs(work)
                case(work)
        else:
            if not shutil.which("dovecot"):
                print("SKIP: dovecot is not installed (scripts/install-deps.sh)")
                return SKIP
            os.chmod(base, 0o755)  # the server's own users reach their files
            server_root = os.path.join(base, "dovecot")
            os.makedirs(server_root)
            cert, key = make_certificate(server_root)
            try:
                dovecot = Dovecot(server_root, cert, key)
            except (RuntimeError, KeyError) as e:
                print("SKIP: %s" % e)
                return SKIP
            try:
                for case in (pop3_receive, pop3_keep_and_failures, pop3_tls, pop3_wrong_password):
                    work = os.path.join(base, case.__name__)
                    os.makedirs(work)
                    case(work, dovecot)
            finally:
                dovecot.stop()
    finally:
        shutil.rmtree(base, ignore_errors=True)
    print("%d failure(s)" % len(FAILURES) if FAILURES else "all passed")
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
