#!/usr/bin/python3
# The office helper of the run-time: drives LibreOffice Calc and Writer over
# UNO for the spreadsheet and word-processor commands.
#
# The run-time starts it on first use with the system Python (python3-uno)
# and talks to it over its standard input and output, one request per line:
#   request:  VERB \t ARG \t ARG ...
#   answer:   ok [\t VALUE] | err \t MESSAGE | missing \t MESSAGE
# Fields are UTF-8; "\\", "\t", "\n" and "\r" inside a field are written as
# the escapes \\ \t \n \r. Requests name their half ("calc" or "writer"):
# each half has its current document and the documents the script opened or
# created, so closing one half never touches the other's documents or the
# documents of a user whose instance the helper attached to.
#
# The instance: first an office listening on the pipe named by
# SORANE_OFFICE_PIPE (default "sorane-office") is attached to; otherwise a
# headless soffice is started with a private profile (a temporary folder) and
# a private pipe. Only a started instance is ended, when no half holds it any
# more or when the helper ends. The helper ends when its input closes (the
# run-time ended, however it ended) or on SIGTERM/SIGHUP, and asks the kernel
# to end it when its parent goes.
import ctypes
import datetime
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

PR_SET_PDEATHSIG = 1
HINT = "libreoffice-calc-nogui libreoffice-writer-nogui python3-uno"


def die_with_parent(sig):
    try:
        ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, sig)
    except Exception:
        pass


def escape(text):
    return (text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")
            .replace("\r", "\\r"))


def unescape(field):
    out, i = [], 0
    while i < len(field):
        ch = field[i]
        if ch == "\\" and i + 1 < len(field):
            i += 1
            ch = {"t": "\t", "n": "\n", "r": "\r"}.get(field[i], field[i])
        out.append(ch)
        i += 1
    return "".join(out)


class Failure(Exception):
    pass


class Missing(Exception):
    pass


try:
    import uno
    from com.sun.star.beans import PropertyValue
    HAVE_UNO = True
except ImportError:
    HAVE_UNO = False


def props(**values):
    out = []
    for name, value in values.items():
        p = PropertyValue()
        p.Name = name
        p.Value = value
        out.append(p)
    return tuple(out)


def file_url(path):
    return uno.systemPathToFileUrl(os.path.abspath(path))


def reason(exc):
    text = getattr(exc, "Message", None) or str(exc)
    return text.strip().splitlines()[0] if text.strip() else type(exc).__name__


# Filters by extension; the first row of each half is used for any other one.
FILTERS = {
    "calc": {"xlsx": "Calc MS Excel 2007 XML", "xls": "MS Excel 97", "ods": "calc8",
             "csv": "Text - txt - csv (StarCalc)", "pdf": "calc_pdf_Export"},
    "writer": {"doc": "MS Word 97", "docx": "MS Word 2007 XML", "odt": "writer8",
               "pdf": "writer_pdf_Export"},
}
DEFAULT_FILTER = {"calc": "xlsx", "writer": "doc"}
# Inputs read as dates (2), times (4) or both (6).
DATE_INPUTS = [
    (6, re.compile(r"^\d{4}[-/]\d{1,2}[-/]\d{1,2}[ T]\d{1,2}:\d{2}(:\d{2})?$")),
    (2, re.compile(r"^\d{4}[-/]\d{1,2}[-/]\d{1,2}$")),
    (4, re.compile(r"^\d{1,2}:\d{2}(:\d{2})?$")),
]
FACTORY = {"calc": "private:factory/scalc", "writer": "private:factory/swriter"}


class Office:
    def __init__(self):
        self.ctx = None
        self.desktop = None
        self.process = None
        self.profile = None
        self.started = False
        self.current = {"calc": None, "writer": None}
        self.sheet = None
        self.date_formats = {}
        self.owned = {"calc": [], "writer": []}
        self.active = {"calc": False, "writer": False}

    # ------------------------------------------------------------ instance

    def resolver(self):
        local = uno.getComponentContext()
        return local.ServiceManager.createInstanceWithContext(
            "com.sun.star.bridge.UnoUrlResolver", local)

    def connect(self, pipe):
        return self.resolver().resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)

    def alive(self):
        try:
            self.desktop.getComponents()
            return True
        except Exception:
            return False

    def ensure(self):
        if self.desktop is not None and self.alive():
            return
        self.desktop = None
        if not HAVE_UNO:
            raise Missing("LibreOffice の UNO (python3-uno) がありません。")
        try:
            self.ctx = self.connect(os.environ.get("SORANE_OFFICE_PIPE", "sorane-office"))
            self.started = False
        except Exception:
            self.ctx = self.start()
            self.started = True
        self.desktop = self.ctx.ServiceManager.createInstanceWithContext(
            "com.sun.star.frame.Desktop", self.ctx)

    def start(self):
        program = shutil.which("soffice") or shutil.which("libreoffice")
        binary = program and os.path.join(os.path.dirname(os.path.realpath(program)),
                                          "soffice.bin")
        if not binary or not os.access(binary, os.X_OK):
            raise Missing("LibreOffice (soffice) が見つかりません。")
        self.profile = tempfile.mkdtemp(prefix="sorane-office-")
        pipe = "sorane-%d-%s" % (os.getpid(), os.path.basename(self.profile))
        args = [binary, "-env:UserInstallation=" + file_url(self.profile),
                "--invisible", "--nologo", "--norestore", "--nodefault", "--nolockcheck",
                "--accept=pipe,name=%s;urp;" % pipe]
        if not os.environ.get("SORANE_OFFICE_VISIBLE"):
            args.insert(2, "--headless")

        def spawn():
            return subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL,
                                    preexec_fn=lambda: die_with_parent(signal.SIGKILL))

        self.process = spawn()
        deadline = time.time() + 60
        while time.time() < deadline:
            try:
                return self.connect(pipe)
            except Exception:
                pass
            # A new profile makes the first run exit with 81 ("start again").
            if self.process.poll() is not None:
                if self.process.returncode != 81:
                    break
                self.process = spawn()
            time.sleep(0.05)
        self.stop()
        raise Failure("LibreOffice を起動できません。")

    def stop(self):
        # Closing the documents first removes their lock files. In an
        # attached instance only hidden documents go (nobody could reach
        # them); shown ones stay for the user, as the instance does.
        if self.desktop is not None and (self.started or self.hidden()):
            for half in self.owned:
                self.close_owned(half)
        if self.started and self.desktop is not None:
            try:
                self.desktop.terminate()
            except Exception:
                pass
        self.desktop = None
        if self.process is not None:
            try:
                self.process.wait(timeout=10)
            except Exception:
                self.process.kill()
                self.process.wait()
            self.process = None
        if self.profile:
            shutil.rmtree(self.profile, ignore_errors=True)
            self.profile = None

    # ------------------------------------------------------------ documents

    def doc(self, half):
        doc = self.current[half]
        if doc is None:
            raise Failure("文書がありません。")
        return doc

    def adopt(self, half, doc):
        self.owned[half].append(doc)
        self.current[half] = doc
        self.date_formats = {}
        if half == "calc":
            self.sheet = doc.getCurrentController().getActiveSheet() \
                if doc.getCurrentController() else doc.Sheets.getByIndex(0)

    def hidden(self):
        # Documents are shown only when SORANE_OFFICE_VISIBLE asks for it (an
        # instance with windows); a headless instance cannot show them.
        return not os.environ.get("SORANE_OFFICE_VISIBLE")

    def do_start(self, half):
        self.ensure()
        self.active[half] = True
        doc = self.desktop.loadComponentFromURL(FACTORY[half], "_blank", 0,
                                                props(Hidden=self.hidden()))
        self.adopt(half, doc)
        return "started" if self.started else "attached"

    def do_open(self, half, path):
        if not os.path.isfile(path):
            raise Failure("ファイル\"%s\"が、ありません。" % path)
        # A file the user has open already (in an attached instance) is
        # loaded again as a document of the script's own.
        doc = self.desktop.loadComponentFromURL(
            file_url(path), "_blank", 0, props(Hidden=self.hidden(), MacroExecutionMode=4))
        if doc is None:
            raise Failure("ファイル \"%s\" を開けません。" % path)
        if half == "calc" and not doc.supportsService("com.sun.star.sheet.SpreadsheetDocument") \
                or half == "writer" and not doc.supportsService("com.sun.star.text.TextDocument"):
            doc.close(True)
            raise Failure("ファイル \"%s\" はこのソフトの文書ではありません。" % path)
        self.adopt(half, doc)

    def do_save(self, half, path, extension):
        doc = self.doc(half)
        ext = extension.lower() if extension.lower() in FILTERS[half] else DEFAULT_FILTER[half]
        args = {"FilterName": FILTERS[half][ext], "Overwrite": True}
        if ext == "csv":
            # Comma, double quote, CP932 (the text of the run-time: 60), first line 1.
            args["FilterOptions"] = "44,34,60,1"
        doc.storeToURL(file_url(path), props(**args))

    def do_print(self, half, pdf):
        doc = self.doc(half)
        if has_printer(doc):
            doc.print(props(Wait=True))
            return "printed"
        self.do_save(half, pdf, "pdf")
        return "pdf"

    def close_owned(self, half):
        for doc in self.owned[half]:
            try:
                doc.close(True)
            except Exception:
                try:
                    doc.dispose()
                except Exception:
                    pass
        self.owned[half] = []
        self.current[half] = None

    def do_quit(self, half):
        self.close_owned(half)
        if half == "calc":
            self.sheet = None
        self.active[half] = False
        if not any(self.active.values()):
            self.stop()

    # ------------------------------------------------------------ cells

    def cell(self, col, row):
        if self.sheet is None:
            raise Failure("シートがありません。")
        try:
            return self.sheet.getCellByPosition(int(col), int(row))
        except Exception:
            raise Failure("セル (%s,%s) はありません。" % (col, row))

    def do_set(self, col, row, value):
        cell = self.cell(col, row)
        # A date or time entered as text is written in ISO form (read the
        # same whatever the locale) and gets a date format, as typing it
        # would give; the value alone would read back as a plain number.
        kind = next((k for k, pattern in DATE_INPUTS if pattern.match(value.strip())), 0)
        if kind & 2:
            day, _, clock = value.strip().replace("T", " ").partition(" ")
            y, m, d = re.split("[-/]", day)
            value = "%s-%02d-%02d" % (y, int(m), int(d)) + (" " + clock if clock else "")
        cell.setFormula(value)
        if kind:
            from com.sun.star.lang import Locale
            from com.sun.star.table.CellContentType import VALUE
            if cell.getType() == VALUE:
                formats = self.current["calc"].getNumberFormats()
                cell.NumberFormat = formats.getStandardFormat(kind, Locale())

    def do_get(self, col, row):
        # One call for the value (text or number); the number format only
        # for numbers, its kind remembered per format.
        cell = self.cell(col, row)
        value = cell.getDataArray()[0][0]
        if isinstance(value, str):
            return "s", value
        key = cell.NumberFormat
        kind = self.date_formats.get(key)
        if kind is None:
            try:
                kind = self.current["calc"].getNumberFormats().getByKey(key).Type & 6
            except Exception:
                kind = 0
            self.date_formats[key] = kind
        if kind:
            return "s", date_text(value, kind, self.current["calc"].NullDate)
        return "n", repr(value)

    # ------------------------------------------------------------ text

    def do_bookmark(self, name, text):
        doc = self.doc("writer")
        marks = doc.getBookmarks()
        if not marks.hasByName(name):
            raise Failure("ブックマーク \"%s\" がありません。" % name)
        marks.getByName(name).getAnchor().setString(text)

    def do_insert(self, text):
        body = self.doc("writer").getText()
        body.insertString(body.getEnd(), text.replace("\r\n", "\r").replace("\n", "\r"), False)

    def do_body(self):
        text = self.doc("writer").getText().getString()
        return text.replace("\r\n", "\r").replace("\n", "\r")

    # ------------------------------------------------------------ macros

    def do_macro(self, half, name):
        doc = self.doc(half)
        name = name.split("!")[-1].strip()
        parts = name.split(".")
        if not name or len(parts) > 3 or not all(parts):
            raise Failure("マクロ \"%s\" の名前に誤りがあります。" % name)
        candidates = []
        if len(parts) == 3:
            candidates.append(name)
        else:
            candidates += ["%s.%s" % (lib, rest) for lib, rest in macro_homes(doc, parts)]
        for location, provider in (("document", doc.getScriptProvider()),
                                   ("application", self.app_scripts())):
            for full in candidates:
                try:
                    script = provider.getScript(
                        "vnd.sun.star.script:%s?language=Basic&location=%s" % (full, location))
                except Exception:
                    continue
                script.invoke((), (), ())
                return
        raise Failure("マクロ \"%s\" が見つかりません。" % name)

    def app_scripts(self):
        factory = self.ctx.ServiceManager.createInstanceWithContext(
            "com.sun.star.script.provider.MasterScriptProviderFactory", self.ctx)
        return factory.createScriptProvider("")


def macro_homes(doc, parts):
    """(library, module.macro) pairs in the document's Basic where a macro
    named parts[-1] (in module parts[0] when two parts are given) is defined."""
    found = []
    pattern = re.compile(r"^\s*(?:(?:public|private)\s+)?(?:sub|function)\s+%s\b"
                         % re.escape(parts[-1]), re.I | re.M)
    libraries = doc.BasicLibraries
    for lib in libraries.getElementNames():
        try:
            libraries.loadLibrary(lib)
            modules = libraries.getByName(lib)
        except Exception:
            continue
        for module in modules.getElementNames():
            if len(parts) == 2 and module.lower() != parts[0].lower():
                continue
            if pattern.search(modules.getByName(module)):
                found.append((lib, "%s.%s" % (module, parts[-1])))
    if len(parts) == 2:
        found.append(("Standard", ".".join(parts)))
    return found


def date_text(serial, kind, null_date):
    """A date or time cell as the run-time writes dates: 2024/01/02,
    13:05:00, or both."""
    origin = datetime.datetime(null_date.Year, null_date.Month, null_date.Day)
    moment = origin + datetime.timedelta(days=serial)
    moment = moment.replace(microsecond=0) + datetime.timedelta(
        seconds=round(moment.microsecond / 1e6))
    if kind == 4:  # time only
        return moment.strftime("%H:%M:%S")
    if kind == 2 and serial == int(serial):
        return moment.strftime("%Y/%m/%d")
    return moment.strftime("%Y/%m/%d %H:%M:%S")


def has_printer(doc):
    try:
        cups = ctypes.CDLL("libcups.so.2")
        cups.cupsGetDefault.restype = ctypes.c_char_p
        if cups.cupsGetDefault():
            return True
    except Exception:
        pass
    return any(p.Name == "Name" and p.Value for p in doc.getPrinter())


def answer(fields):
    sys.stdout.write("\t".join(escape(f) for f in fields) + "\n")
    sys.stdout.flush()


class Ended(BaseException):
    """SIGTERM or SIGHUP: the run-time is gone or wants the helper gone."""


def serve():
    office = Office()

    def end(*_):
        raise Ended()

    for sig in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, end)
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    handlers = {
        "start": office.do_start, "open": office.do_open, "save": office.do_save,
        "print": office.do_print, "quit": office.do_quit, "set": office.do_set,
        "get": office.do_get, "bookmark": office.do_bookmark, "insert": office.do_insert,
        "body": office.do_body, "macro": office.do_macro,
    }
    try:
        for line in sys.stdin:
            fields = [unescape(f) for f in line.rstrip("\n").split("\t")]
            handler = handlers.get(fields[0])
            try:
                if handler is None:
                    raise Failure("unknown request " + fields[0])
                result = handler(*fields[1:])
                if result is None:
                    answer(["ok"])
                elif isinstance(result, tuple):
                    answer(["ok"] + list(result))
                else:
                    answer(["ok", result])
            except Missing as exc:
                answer(["missing", str(exc), HINT])
            except Failure as exc:
                answer(["err", str(exc)])
            except Exception as exc:
                # A lost instance is started again on the next start request.
                if office.desktop is not None and not office.alive():
                    office.desktop = None
                answer(["err", reason(exc)])
    except (Ended, BrokenPipeError):
        pass
    finally:
        # The suite goes, whichever way the helper ends; a signal arriving
        # now cannot interrupt that.
        while True:
            try:
                for sig in (signal.SIGTERM, signal.SIGHUP):
                    signal.signal(sig, signal.SIG_IGN)
                office.stop()
                break
            except Ended:
                continue


if __name__ == "__main__":
    die_with_parent(signal.SIGTERM)
    sys.stdin.reconfigure(encoding="utf-8", errors="surrogateescape")
    sys.stdout.reconfigure(encoding="utf-8", errors="surrogateescape")
    serve()
