#!/usr/bin/python3
"""The spreadsheet and word-processor commands against a real LibreOffice.

    run_office_tests.py SORANE FIXTURES

Runs a few scripts through `SORANE --console`, each in a fresh folder:
the suite missing (always; no suite is started), one run that exercises
every command with the suite the run-time starts, and one run attached to an
instance this driver starts, holding unsaved documents of "the user". After
every run no soffice of the run-time may be left. Exits 77 (skipped) when
LibreOffice or its Python binding is not installed. Prints the start-up time
and the cost of setting and reading 1,000 cells.
"""
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import zipfile

SORANE, FIXTURES = sys.argv[1], sys.argv[2]
PACKAGES = "libreoffice-calc-nogui libreoffice-writer-nogui python3-uno"
failures = []


def check(cond, what):
    if not cond:
        failures.append(what)
        print("FAIL:", what)


def run(folder, script, env=None, timeout=240):
    path = os.path.join(folder, "main.srn")
    with open(path, "w", encoding="utf-8") as f:
        f.write(script)
    full_env = dict(os.environ)
    # No printer: printing falls back to the PDF beside the script.
    full_env["CUPS_SERVER"] = "/nonexistent/cups.sock"
    full_env.update(env or {})
    p = subprocess.run([SORANE, "--console", path], cwd=folder, env=full_env,
                       stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
    return p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace")


def our_offices():
    """soffice processes running on a profile of the run-time's helper."""
    found = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                cmd = f.read().decode("utf-8", "replace")
            with open("/proc/%s/stat" % pid) as f:
                state = f.read().rsplit(")", 1)[1].split()[0]
        except OSError:
            continue
        if "soffice" in cmd and "sorane-office-" in cmd and state != "Z":
            found.append(pid)
    return found


def profiles():
    tmp = tempfile.gettempdir()
    return {n for n in os.listdir(tmp) if n.startswith("sorane-office-")}


def check_nothing_left(before, what):
    deadline = time.time() + 15
    while (our_offices() or profiles() - before) and time.time() < deadline:
        time.sleep(0.2)
    check(not our_offices(), what + ": no soffice left")
    check(not (profiles() - before), what + ": no private profile left")


# ---------------------------------------------------------------- missing suite

def test_missing(work):
    empty = os.path.join(work, "nobin")
    os.mkdir(empty)
    env = {"PATH": empty, "SORANE_OFFICE_PIPE": "sorane-test-none-%d" % os.getpid()}
    for command, line in (("エクセル起動", "Excelのエラー。"), ("ワード起動", "Wordのエラー。")):
        rc, out, err = run(work, command + "。\n", env)
        check(rc == 1 and line in err, "%s without the suite fails with %s" % (command, line))
        check(PACKAGES in err, "%s without the suite names the packages" % command)
    # Before 起動 nothing is started and every command fails.
    rc, out, err = run(work, "(0,0)を、「1」に、エクセル設定。\n", env)
    check(rc == 1 and "Excelのエラー。起動されていません。" in err, "a cell set before start fails")
    rc, out, err = run(work, "ワード本文を得る。\n", env)
    check(rc == 1 and "Wordのエラー。起動されていません。" in err, "body text before start fails")


def have_suite():
    if not shutil.which("soffice"):
        return False
    return subprocess.run(["/usr/bin/python3", "-c", "import uno"],
                          capture_output=True).returncode == 0


# ---------------------------------------------------------------- every command

MAIN = r"""開始=システム時間
エクセル起動。
経過=システム時間-開始
「TIME start {経過}」と、表示。
(0,0)を、「123」に、エクセル設定。
(2,1)を、「こんにちは」に、エクセル設定。
(0,1)を、「=A1*2」に、エクセル設定。
(1,0)を、「0.5」に、エクセル設定。
(0,0)を、Aに、エクセル得る。
(2,1)を、Bに、エクセル得る。
(0,1)を、Cに、エクセル得る。
(1,0)を、Dに、エクセル得る。
特殊=「a」&CHR(9)&「b」&CHR(92)&「n」
(4,0)を、特殊に、エクセル設定。
(4,0)を、読んだ値に、エクセル得る。
もし、読んだ値が、特殊ならば、「escapes kept」と、表示。
(5,5)を、新しい変数に、エクセル得る。
「cells {A}|{B}|{C}|{D}|[{新しい変数}]」と、表示。
(3,0)を、「2024/1/2」に、エクセル設定。
(3,0)を、日付に、エクセル得る。
「date {日付}」と、表示。
開始=システム時間
Iを、0から、999まで、繰り返す(
  行=INT(I/10)+10
  列=I-(行-10)*10
  (列,行)を、Iに、エクセル設定
)
経過=システム時間-開始
「TIME set1000 {経過}」と、表示。
開始=システム時間
Iを、0から、999まで、繰り返す(
  行=INT(I/10)+10
  列=I-(行-10)*10
  (列,行)を、Vに、エクセル得る
)
経過=システム時間-開始
「TIME get1000 {経過}」と、表示。
(11,0)を、「=SUM(A11:J110)」に、エクセル設定。
「out.xlsx」へ、エクセル保存。
「out.csv」へ、エクセル保存。
「link.xlsx」へ、エクセル保存。
「{外}refused.xlsx」へ、エクセル保存。
エクセル印刷。
「main.pdf」から、「calc.pdf」へ、ファイル名変更。
エクセル終了。
エクセル起動。
「out.xlsx」を、エクセル開く。
(2,1)を、Bに、エクセル得る。
(11,0)を、Sに、エクセル得る。
「reopened {B} {S}」と、表示。
「macro.fods」を、エクセル開く。
「FillTotal」を、エクセルマクロ実行。
(1,0)を、Mに、エクセル得る。
「macro {M}」と、表示。
ワード起動。
「letter.fodt」を、ワード開く。
「宛先」を、「山田」に、ワードブックマーク設定。
「AddSignature」を、ワードマクロ実行。
追記=「追記」&CHR(13)&CHR(10)&「次の段落」
追記を、ワード文字挿入。
「letter.docx」へ、ワード保存。
ワード印刷。
ワード終了。
ワード起動。
「letter.docx」を、ワード開く。
ワード本文を得る。
本文=それ
「body {本文}」と、表示。
エラーを無視。
「Nothing」を、エクセルマクロ実行。
エラーメッセージを、表示。
「無い」を、「x」に、ワードブックマーク設定。
エラーメッセージを、表示。
「missing.xlsx」を、エクセル開く。
エラーメッセージを、表示。
エクセル終了。
(0,0)を、Xに、エクセル得る。
エラーメッセージを、表示。
ワード終了。
"""


def zipped_part(path, part):
    try:
        with zipfile.ZipFile(path) as z:
            return z.read(part).decode("utf-8")
    except Exception:
        return ""


def test_every_command(work, outside):
    for name in ("letter.fodt", "macro.fods"):
        shutil.copy(os.path.join(FIXTURES, name), work)
    # A file reached through a link, with permissions of its own: saving
    # replaces what the link points to and keeps both.
    target = os.path.join(work, "target.xlsx")
    with open(target, "w") as f:
        f.write("old")
    os.chmod(target, 0o600)
    os.symlink("target.xlsx", os.path.join(work, "link.xlsx"))
    before = profiles()
    rc, out, err = run(work, MAIN.replace("{外}", outside + "/"))
    lines = out.splitlines()
    check(rc == 0, "the full run ends normally (status %d, stderr %r)" % (rc, err[-300:]))
    check("cells 123|こんにちは|246|0.5|[]" in lines, "cells read back as set, from 0")
    check("escapes kept" in lines, "tabs and backslashes pass both ways")
    check("date 2024/01/02" in lines, "a date cell reads as the run-time writes dates")
    check("reopened こんにちは 499500" in lines, "the saved xlsx opens with its values")
    check("macro 70" in lines, "a spreadsheet macro runs by name")
    body = out.split("body ", 1)[1] if "body " in out else ""
    check(body.startswith("宛先: 山田 様\n以上 -- signed追記\n次の段落"),
          "bookmark, macro and inserted text come back from the docx: %r" % body[:80])
    messages = [line.split(": ", 1)[-1] for line in lines[-4:]]
    check(messages[:3] == ['Excelのエラー。マクロ "Nothing" が見つかりません。',
                           'Wordのエラー。ブックマーク "無い" がありません。',
                           messages[2]] and "Excelのエラー。" in messages[2],
          "failures raise the application's error line: %r" % messages)
    check(messages[3] == "Excelのエラー。起動されていません。", "a cell read after quitting fails")
    check("シート" in zipped_part(os.path.join(work, "out.xlsx"), "xl/workbook.xml")
          or "Sheet" in zipped_part(os.path.join(work, "out.xlsx"), "xl/workbook.xml"),
          "out.xlsx is a workbook")
    with open(os.path.join(work, "out.csv"), "rb") as f:
        csv = f.read()
    check(csv.startswith("123,0.5,".encode()) and "こんにちは".encode("cp932") in csv,
          "the CSV is written in the run-time's text encoding")
    check("山田" in zipped_part(os.path.join(work, "letter.docx"), "word/document.xml"),
          "letter.docx holds the bookmark text")
    check(os.path.islink(os.path.join(work, "link.xlsx")), "saving keeps a link a link")
    check(stat.S_IMODE(os.stat(target).st_mode) == 0o600, "saving keeps the file's permissions")
    check(zipped_part(target, "xl/workbook.xml") != "", "the linked file holds the workbook")
    check(not os.path.exists(os.path.join(outside, "refused.xlsx")),
          "a save the security policy refuses writes nothing")
    for pdf in ("calc.pdf", "main.pdf"):
        with open(os.path.join(work, pdf), "rb") as f:
            check(f.read(5) == b"%PDF-", "printing without a printer writes " + pdf)
    check(not [n for n in os.listdir(work) if n.startswith((".~lock", ".out", ".letter"))],
          "no lock or temporary file is left beside the documents")
    check_nothing_left(before, "the full run")
    times = {}
    for line in lines:
        if line.startswith("TIME "):
            _, name, ms = line.split()
            times[name] = int(float(ms))
    return times


# ---------------------------------------------------------------- killed

def test_killed(work):
    """A run-time killed outright takes its helper and suite with it."""
    before = profiles()
    path = os.path.join(work, "main.srn")
    with open(path, "w", encoding="utf-8") as f:
        f.write("エクセル起動。\n(0,0)を、「1」に、エクセル設定。\n60秒、待つ。\n")
    p = subprocess.Popen([SORANE, "--console", path], cwd=work, stdin=subprocess.DEVNULL,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.time() + 60
    while not our_offices() and time.time() < deadline and p.poll() is None:
        time.sleep(0.1)
    check(our_offices(), "the killed run started its suite")
    time.sleep(2)
    p.kill()
    p.wait()
    check_nothing_left(before, "the killed run")


# ---------------------------------------------------------------- attached

ATTACHED = r"""エクセル起動。
(0,0)を、「script」に、エクセル設定。
「book.xlsx」を、エクセル開く。
(0,0)を、開いた値に、エクセル得る。
「opened {開いた値}」と、表示。
ワード起動。
「script text」を、ワード文字挿入。
ワード終了。
エクセル終了。
ワード起動。
「left open at the end」を、ワード文字挿入。
「done」と、表示。
"""


def test_attached(work):
    import uno
    from com.sun.star.beans import PropertyValue

    def hidden():
        p = PropertyValue()
        p.Name, p.Value = "Hidden", True
        return (p,)

    profile = tempfile.mkdtemp(prefix="sorane-test-user-")
    pipe = "sorane-test-%d" % os.getpid()
    program = os.path.join(os.path.dirname(os.path.realpath(shutil.which("soffice"))),
                           "soffice.bin")
    args = [program, "-env:UserInstallation=" + uno.systemPathToFileUrl(profile), "--headless",
            "--invisible", "--norestore", "--nodefault", "--accept=pipe,name=%s;urp;" % pipe]
    office = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext(
        "com.sun.star.bridge.UnoUrlResolver", local)
    try:
        deadline = time.time() + 60
        while True:
            try:
                ctx = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
                break
            except Exception:
                if office.poll() is not None:
                    office = subprocess.Popen(args, stdout=subprocess.DEVNULL,
                                              stderr=subprocess.DEVNULL)
                if time.time() > deadline:
                    raise
                time.sleep(0.1)
        desktop = ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)
        # The user's unsaved work in both applications.
        text = desktop.loadComponentFromURL("private:factory/swriter", "_blank", 0, hidden())
        text.Text.setString("user's letter")
        # The user's book is the one the script opens too: it must stay.
        book = os.path.join(work, "book.xlsx")
        shutil.copy(os.path.join(work, "..", "full", "out.xlsx"), book)
        sheet = desktop.loadComponentFromURL(uno.systemPathToFileUrl(book), "_blank", 0, hidden())
        sheet.Sheets.getByIndex(0).getCellByPosition(0, 0).setString("user's sheet")
        before = profiles()
        rc, out, err = run(work, ATTACHED, {"SORANE_OFFICE_PIPE": pipe})
        check(rc == 0 and out.split() == ["opened", "123", "done"],
              "the attached run ends normally, with its own copy of the user's open book: "
              "%r %r" % (out, err))
        check(office.poll() is None, "quitting leaves an attached instance running")
        components = []
        enum = desktop.getComponents().createEnumeration()
        while enum.hasMoreElements():
            components.append(enum.nextElement())
        check(len(components) == 2, "only the script's documents were closed, at 終了 and "
              "at the end (%d left)" % len(components))
        check(text.Text.getString() == "user's letter" and text.isModified(),
              "the user's unsaved letter is untouched")
        check(sheet.Sheets.getByIndex(0).getCellByPosition(0, 0).getString() == "user's sheet",
              "the user's unsaved sheet is untouched")
        check_nothing_left(before, "the attached run")
        try:
            text.close(True)
            sheet.close(True)
            desktop.terminate()
        except Exception:
            pass
    finally:
        try:
            office.wait(timeout=20)
        except subprocess.TimeoutExpired:
            office.kill()
            office.wait()
        shutil.rmtree(profile, ignore_errors=True)


def main():
    root = tempfile.mkdtemp(prefix="sorane-officetest-")
    try:
        os.mkdir(os.path.join(root, "missing"))
        test_missing(os.path.join(root, "missing"))
        if not have_suite():
            print("LibreOffice or python3-uno is not installed: skipped")
            return 1 if failures else 77
        for name in ("full", "attached", "outside", "killed"):
            os.mkdir(os.path.join(root, name))
        started = time.time()
        times = test_every_command(os.path.join(root, "full"), os.path.join(root, "outside"))
        print("full run: %.1f s; start-up %s ms, 1,000 cells set %s ms, read %s ms"
              % (time.time() - started, times.get("start"), times.get("set1000"),
                 times.get("get1000")))
        test_attached(os.path.join(root, "attached"))
        test_killed(os.path.join(root, "killed"))
    finally:
        shutil.rmtree(root, ignore_errors=True)
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
