#!/usr/bin/env python3
"""Trialix for Windows under Wine: the programs of the zip against the
Linux build. Run by scripts/test-windows, which passes the paths.

The real trialix.exe is driven by the labels on its screen through the GTK
module of tests/driver_module.cpp, cross-built as a DLL: the test writes a
request file and reads the answer file, as the Linux process tests do."""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

WAIT = 60.0          # seconds for one screen under Wine
RUN_LIMIT = 120      # seconds for one run of a Windows program to end
UNIT_LIMIT = 900     # seconds for the whole unit test program
POLL = 0.05

SETTINGS_WARNING = ("Can't find a valid entry in the registry\n\nFalling back to default values\n\n"
                    "Check your installation\n\n")
NO_EXAM_ROOT = ("There are no exam directories in %s\n\nThe simulation will not work!\n\n"
                "Check your installation\n\n")


def windows_path(path):
    """The Wine path of a Linux path (Wine's Z: drive is /)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


class Wine:
    """A Wine prefix of a test's own, copied from a freshly booted one."""

    def __init__(self, template, where, dlls):
        if os.path.exists(where):
            shutil.rmtree(where)
        shutil.copytree(template, where, symlinks=True)
        self.prefix = where
        # Wine links the user's Documents, Desktop and the like to the Unix
        # home: the test's own folders take their place, so that nothing is
        # saved outside the test.
        users = os.path.join(where, "drive_c", "users")
        for user in os.listdir(users):
            for entry in os.listdir(os.path.join(users, user)):
                path = os.path.join(users, user, entry)
                if os.path.islink(path):
                    os.unlink(path)
                    os.mkdir(path)
        self.env = dict(os.environ, WINEPREFIX=where, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=", WINEPATH=windows_path(dlls))
        # One Wine server for all the test's programs: each starts faster.
        # (It goes on in the background: no pipe of ours may stay open in it.)
        subprocess.run(["wineserver", "-p"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=RUN_LIMIT)

    def run(self, argv, limit=RUN_LIMIT):
        """The program's end, with its output. The output goes through files,
        not pipes: Wine's own background programs (services, explorer),
        started by the first program of a prefix, inherit its output and
        hold a pipe open long after the program has ended. A program that
        hangs fails its test instead of the whole run."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            r = subprocess.run(["wine"] + argv, env=self.env, stdout=out, stderr=err,
                               stdin=subprocess.DEVNULL, timeout=limit)
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(r.args, r.returncode, out.read(), err.read())

    def reg_add(self, key, name, value):
        r = self.run(["reg", "add", key, "/v", name, "/t", "REG_SZ", "/d", value, "/f"])
        check(r.returncode == 0, "reg add %s %s: %s" % (key, name, r.stderr))

    def reg_query(self, key, name):
        r = self.run(["reg", "query", key, "/v", name])
        for line in r.stdout.decode("utf-8", "replace").splitlines():
            parts = line.split(None, 2)
            if len(parts) == 3 and parts[0] == name:
                return parts[2].strip()
        return None

    def unix_path(self, path):
        return self.run(["winepath", "-u", path]).stdout.decode().strip()

    def drive_c(self, *parts):
        return os.path.join(self.prefix, "drive_c", *parts)

    def stop(self):
        quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=RUN_LIMIT)
        subprocess.run(["wineserver", "-k"], env=self.env, **quiet)
        subprocess.run(["wineserver", "-w"], env=self.env, **quiet)


class App:
    """One trialix (Windows under Wine, or the Linux build) with the driver."""

    def __init__(self, argv, env, driver, module):
        self.argv, self.env, self.driver = argv, dict(env), driver
        self.env["GTK_MODULES"] = module
        self.env["TRIALIX_DRIVER"] = driver if argv[0] != "wine" else windows_path(driver)
        self.seq = 0
        self.proc = None
        self.log = open(driver + ".log", "wb")

    def start(self):
        for f in (self.driver, self.driver + ".req"):
            if os.path.exists(f):
                os.unlink(f)
        self.proc = subprocess.Popen(self.argv, env=self.env, stdout=self.log, stderr=self.log)

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.proc = None

    def warnings(self):
        """GLib's and GTK's criticals and warnings the program printed."""
        self.log.flush()
        with open(self.driver + ".log", "rb") as f:
            lines = f.read().decode("utf-8", "replace").splitlines()
        return [l for l in lines if "-CRITICAL **" in l or "-WARNING **" in l]

    def quiet(self):
        check(not self.warnings(), "the program warned:\n" + "\n".join(self.warnings()[:5]))

    def kill9(self):
        """Ends the program as a crash or a power cut would: no handler runs."""
        if self.proc and self.proc.poll() is None:
            self.proc.send_signal(9)
            self.proc.wait()
        self.proc = None

    def request(self, command, arg=""):
        """(ok, screen): ok is false when the program found nothing to act on."""
        self.seq += 1
        seq = str(self.seq)
        tmp = self.driver + ".tmp-req"
        with open(tmp, "w", encoding="utf-8", newline="") as f:
            f.write("%s\t%s\t%s" % (seq, command, arg))
        os.rename(tmp, self.driver + ".req")
        end = time.monotonic() + WAIT
        while time.monotonic() < end:
            try:
                with open(self.driver, encoding="utf-8", newline="") as f:
                    text = f.read()
            except OSError:
                text = ""
            if text.startswith(seq + "\t"):
                lines = text.split("\n")
                screen = []
                for line in lines[1:]:
                    parts = line.split("\t", 3)
                    if len(parts) == 4:
                        screen.append({"kind": parts[0], "sensitive": parts[1] == "1",
                                       "active": parts[2], "text": parts[3]})
                self.body = lines[1:]
                return lines[0] == seq + "\tok", screen
            check(self.proc.poll() is None, "trialix ended (%s)" % self.proc.returncode)
            time.sleep(POLL)
        raise Failure("trialix did not answer %s %s" % (command, arg))

    def label(self, part):
        """The whole text of the first label that holds `part`, or None."""
        ok, _ = self.request("label", part)
        if not ok or not self.body:
            return None
        raw = self.body[0].encode("latin-1", "backslashreplace")
        return raw.decode("unicode_escape").encode("latin-1").decode("utf-8")

    def dump(self):
        return self.request("dump")[1]

    def wait_for(self, what, ok):
        end = time.monotonic() + WAIT
        while time.monotonic() < end:
            s = self.dump()
            if ok(s):
                return s
            time.sleep(POLL)
        raise Failure("waited in vain for %s; the screen:\n%s" % (what, show(self.dump())))

    def act(self, command, arg):
        end = time.monotonic() + WAIT
        while time.monotonic() < end:
            if self.request(command, arg)[0]:
                return
            time.sleep(POLL)
        raise Failure("nothing to %s %s; the screen:\n%s" % (command, arg, show(self.dump())))

    def click(self, label):
        self.act("click", label)


def show(screen):
    return "\n".join("  %s %s %s %r" % (w["kind"], int(w["sensitive"]), w["active"], w["text"])
                     for w in screen)


def find(screen, kind, text):
    for w in screen:
        if w["kind"] == kind and w["text"].strip() == text:
            return w
    return None


def label_with(screen, part):
    for w in screen:
        if w["kind"] == "label" and part in w["text"]:
            return w["text"]
    return ""


def windows_titled(screen, title):
    return [w for w in screen if w["kind"] == "window" and w["text"] == title]


# --- the run through an exam, the same on both systems -----------------------

def answer_item(app, screen, index):
    radios = [w for w in screen if w["kind"] == "radio"]
    checks = [w for w in screen if w["kind"] == "check" and w["text"].strip() != "Mark Item for Review"]
    if radios:
        app.click(radios[-1]["text"].strip())
    elif checks:
        app.click(checks[0]["text"].strip())
    else:
        app.act("type", "answer %d" % index)


def page_of(screen):
    """The item page's "Item N of M"."""
    for w in screen:
        if w["kind"] == "label" and re.fullmatch(r"Item \d+ of \d+", w["text"]):
            return w["text"]
    return ""


def on_item(screen):
    return find(screen, "check", "Mark Item for Review") is not None


def start_run(app, exam, name):
    app.act("menu", "Start Practice Exam " + exam)
    app.wait_for("the start form", lambda s: find(s, "button", "Start Exam"))
    app.act("type", name)
    app.wait_for("the name typed", lambda s: find(s, "entry", name))
    app.click("Start Exam")
    return app.wait_for("the first item", on_item)


def save_run(app, folder_windows):
    """Save Exam, taking the proposed name; returns the name proposed."""
    app.act("menu", "Save Exam")
    s = app.wait_for("the save dialog", lambda s: windows_titled(s, "Select filename to save the exam"))
    entries = [w["text"] for w in s if w["kind"] == "entry" and w["text"]]
    proposal = ""
    for e in entries:
        proposal = e
    app.click("OK")
    app.wait_for("the dialog closed", lambda s: not windows_titled(s, "Select filename to save the exam"))
    return proposal


def finish_run(app):
    """Answers the remaining items and grades: the score report's text."""
    index = 0
    s = app.wait_for("an item", on_item)
    while True:
        answer_item(app, s, index)
        index += 1
        nxt = find(app.dump(), "button", "Next Item")
        if not nxt or not nxt["sensitive"]:
            break
        page = page_of(s)
        app.click("Next Item")
        # The next page, not the one still shown when the click was asked.
        s = app.wait_for("the item after " + page,
                         lambda s: on_item(s) and page_of(s) not in ("", page))
        check(index < 200, "the run does not end")
    app.click("Grade Exam")
    app.click("Yes")
    s = app.wait_for("the score report", lambda s: find(s, "button", "End Exam"))
    return s, index


def load_run(app, path):
    app.act("menu", "Open Exam")
    app.wait_for("the load dialog", lambda s: windows_titled(s, "Select filename to load"))
    app.act("type", path)
    app.wait_for("the path typed", lambda s: find(s, "entry", path))
    app.click("OK")
    return app.wait_for("the resume form", lambda s: find(s, "button", "Start Exam")
                        and label_with(s, "Exam was saved:"))


# --- the tests -----------------------------------------------------------------

class Suite:
    def __init__(self, a):
        self.a = a
        self.results = []
        self.scratch = a.scratch
        self.zip = a.zip_dir
        self.exe = os.path.join(self.zip, "trialix.exe")
        self.pack = os.path.join(self.zip, "trialix-pack.exe")
        self.module = windows_path(a.driver_dll)

    def wine(self, name):
        return Wine(self.a.wine_template, os.path.join(self.scratch, name, "wine"), self.zip)

    def windows_app(self, wine, name):
        d = os.path.join(self.scratch, name)
        os.makedirs(d, exist_ok=True)
        return App(["wine", self.exe], wine.env, os.path.join(d, "driver"), self.module)

    def linux_app(self, name, examdir, documents):
        d = os.path.join(self.scratch, name)
        for sub in ("config/trialix", "home", "etc", "state", "data"):
            os.makedirs(os.path.join(d, sub), exist_ok=True)
        with open(os.path.join(d, "config/trialix/trialix.conf"), "w") as f:
            f.write("[Trialix]\nexamdir=%s\nexamconfig=.xconfig\nprefix=cat\n" % examdir)
        with open(os.path.join(d, "config/user-dirs.dirs"), "w") as f:
            f.write('XDG_DOCUMENTS_DIR="%s"\n' % documents)
        env = dict(os.environ, HOME=d + "/home", XDG_CONFIG_HOME=d + "/config",
                   XDG_CONFIG_DIRS=d + "/etc", XDG_STATE_HOME=d + "/state", XDG_DATA_HOME=d + "/data")
        return App([self.a.linux_trialix], env, os.path.join(d, "driver"), self.a.linux_driver)

    def run(self, name, test):
        t0 = time.monotonic()
        try:
            test()
            self.results.append((name, True))
            print("[  PASSED  ] %s (%.0f s)" % (name, time.monotonic() - t0), flush=True)
        except Exception as e:   # a test's fault is reported, and the next one runs
            self.results.append((name, False))
            detail = str(e) if isinstance(e, Failure) else traceback.format_exc()
            print("[  FAILED  ] %s (%.0f s)\n%s" % (name, time.monotonic() - t0, detail), flush=True)

    # The zip's DLLs are exactly those its programs load: what the two
    # programs, GTK's theme engine and the image loaders import (GTK loads
    # the last two by name), and what those import in turn, leaving out
    # Windows' own (any DLL the zip doesn't hold is taken for one of them,
    # so a missing DLL shows as a program that doesn't start, below).
    def zip_dlls(self):
        def imports(path):
            r = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", path], capture_output=True,
                               text=True, check=True)
            return [l.split("DLL Name:", 1)[1].strip() for l in r.stdout.splitlines()
                    if "DLL Name:" in l]
        shipped = {f.lower(): f for f in os.listdir(self.zip) if f.lower().endswith(".dll")}
        roots = [os.path.join(self.zip, f) for f in os.listdir(self.zip) if f.endswith(".exe")]
        for sub in ("lib/gtk-2.0/2.10.0/engines", "lib/gdk-pixbuf-2.0/2.10.0/loaders"):
            d = os.path.join(self.zip, sub)
            roots += [os.path.join(d, f) for f in os.listdir(d) if f.lower().endswith(".dll")]
        check(len(roots) >= 4, "the programs, the engine and the loaders: %r" % roots)
        loaded, pending = set(), list(roots)
        while pending:
            for name in imports(pending.pop()):
                key = name.lower()
                if key in shipped and key not in loaded:
                    loaded.add(key)
                    pending.append(os.path.join(self.zip, shipped[key]))
        unused = sorted(shipped[k] for k in shipped if k not in loaded)
        check(not unused, "the zip holds DLLs nothing loads: %s" % ", ".join(unused))
        check("libgtk-win32-2.0-0.dll" in loaded, "trialix.exe does not load GTK+: %r" % loaded)

    # The core's unit tests, cross-built.
    def unit_tests(self):
        w = self.wine("unit")
        try:
            r = subprocess.run(["wine", self.a.unit_tests], env=w.env, cwd=self.scratch,
                               timeout=UNIT_LIMIT)
            check(r.returncode == 0, "trialix_tests.exe exited with %d" % r.returncode)
        finally:
            w.stop()

    # The demo exams of the zip pass trialix-pack.exe's check.
    def pack_check(self):
        w = self.wine("check")
        try:
            exams = os.path.join(self.zip, "exams")
            names = sorted(os.listdir(exams))
            check(names, "the zip holds no exam")
            for n in names:
                r = w.run([self.pack, "check", windows_path(os.path.join(exams, n))])
                check(r.returncode == 0, "check %s: %s%s" % (n, r.stdout.decode(), r.stderr.decode()))
        finally:
            w.stop()

    # Every question text packs to the same bytes on both systems; each
    # program unpacks and shows the other's file as its own.
    def pack_round_trip(self):
        w = self.wine("pack")
        out = os.path.join(self.scratch, "pack")
        try:
            sources = []
            # Two exams hold every kind of item and markup; Wine starts each
            # program slowly, so not every exam is taken.
            for root, exam in ((os.path.join(self.a.source, "examples", "exams"), "networking-basics"),
                               (os.path.join(self.a.source, "tests", "data", "exams"), "sample")):
                for f in sorted(os.listdir(os.path.join(root, exam))):
                    if f.startswith("cat") and f.endswith(".txt"):
                        sources.append(os.path.join(root, exam, f))
            check(sources, "no question text found")
            for i, src in enumerate(sources):
                lin, win = os.path.join(out, "%d.linux" % i), os.path.join(out, "%d.windows" % i)
                r = subprocess.run([self.a.linux_pack, "pack", src, lin], capture_output=True)
                check(r.returncode == 0, "Linux pack %s: %s" % (src, r.stderr))
                r = w.run([self.pack, "pack", windows_path(src), windows_path(win)])
                check(r.returncode == 0, "Windows pack %s: %s" % (src, r.stderr))
                check(open(lin, "rb").read() == open(win, "rb").read(),
                      "%s packs to other bytes on Windows" % src)
                for args in (["unpack"], ["show", "1", "--json"]):
                    a = subprocess.run([self.a.linux_pack, args[0], win] + args[1:], capture_output=True)
                    b = w.run([self.pack, args[0], windows_path(lin)] + args[1:])
                    check(a.returncode == b.returncode == 0, "%s of %s failed" % (args, src))
                    check(a.stdout == b.stdout, "%s of %s differs:\n%r\n%r" % (args, src, a.stdout[:300],
                                                                            b.stdout[:300]))
        finally:
            w.stop()

    # No settings key: the warning, then the main window on the default root.
    def settings_warning(self):
        w = self.wine("nokey")
        app = self.windows_app(w, "nokey")
        try:
            app.start()
            s = app.wait_for("the settings warning", lambda s: windows_titled(s, "Warning"))
            text = app.label("Can't find")
            check(text == SETTINGS_WARNING, "the warning reads %r" % text)
            check(not windows_titled(s, "Trialix 1.0"), "the main window came before the warning")
            app.click("OK")
            # The default exam root, c:\trialix\exams, isn't there.
            app.wait_for("the exam root's warning", lambda s: label_with(s, "no exam directories"))
            text = app.label("no exam directories")
            check(text == NO_EXAM_ROOT % "c:\\trialix\\exams", "the second warning reads %r" % text)
            app.click("OK")
            app.wait_for("the main window", lambda s: windows_titled(s, "Trialix 1.0")
                         and not windows_titled(s, "Warning"))
            check(not app.request("menu", "Start Practice Exam")[0], "an exam is listed without settings")
            app.quiet()
        finally:
            app.stop()
            w.stop()

    # A registry value is read into 80 bytes: 79 characters are taken, 80
    # are not, and the default stays.
    def registry_value_limit(self):
        w = self.wine("limit")
        app = self.windows_app(w, "limit")
        try:
            for length, shown in ((79, None), (80, "c:\\trialix\\exams")):
                value = "C:\\" + "x" * (length - 3)
                w.reg_add("HKLM\\Software\\Trialix", "examdir", value)
                app.start()
                app.wait_for("the exam root's warning", lambda s: label_with(s, "no exam directories"))
                text = app.label("no exam directories")
                want = NO_EXAM_ROOT % (shown or value)
                check(text == want, "with %d characters the warning reads %r" % (length, text))
                app.quiet()
                app.stop()
        finally:
            app.stop()
            w.stop()

    # With the registry's settings: the exams listed, a run saved into the
    # Personal folder and taken to the score report; the saved file loads in
    # the Linux build, and one of the Linux build loads on Windows.
    def registry_run(self):
        w = self.wine("registry")
        exams = w.drive_c("Trialix Exams")
        shutil.copytree(os.path.join(self.zip, "exams"), exams)
        key = "HKLM\\Software\\Trialix"
        w.reg_add(key, "examdir", "C:\\Trialix Exams")
        w.reg_add(key, "examconfig", ".xconfig")
        w.reg_add(key, "prefix", "cat")
        personal = w.reg_query("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                               "Personal")
        check(personal and personal[1:3] == ":\\", "the Personal folder is %r" % personal)
        personal_unix = w.unix_path(personal)
        os.makedirs(personal_unix, exist_ok=True)
        app = self.windows_app(w, "registry")
        linux_docs = os.path.join(self.scratch, "linux-docs")
        os.makedirs(linux_docs, exist_ok=True)
        try:
            app.start()
            s = app.wait_for("the main window", lambda s: windows_titled(s, "Trialix 1.0"))
            check(not windows_titled(s, "Warning"), "the settings warning came with a key")
            start_run(app, "networking-basics", "Jane Doe")
            proposal = save_run(app, personal)
            # The dialog shows the name in its entry and the folder in its list;
            # that the folder is the Personal one, the saved file shows.
            check(proposal.startswith("networking-basics_Jane_Doe_"),
                  "the save dialog proposed %r" % proposal)
            saved = [f for f in os.listdir(personal_unix) if f.startswith("networking-basics_Jane_Doe_")]
            check(len(saved) == 1, "the Personal folder holds %r" % os.listdir(personal_unix))
            windows_file = os.path.join(personal_unix, saved[0])
            report, items = finish_run(app)
            check(label_with(report, "Passed") or label_with(report, "Failed"),
                  "the score report:\n" + show(report))
            app.stop()

            # Saved on Windows, resumed on Linux; saved on Linux, resumed on Windows.
            lin = self.linux_app("linux", self.a.linux_exams, linux_docs)
            lin.start()
            lin.wait_for("the Linux main window", lambda s: windows_titled(s, "Trialix 1.0"))
            form = load_run(lin, windows_file)
            check(find(form, "entry", "Jane Doe"), "Linux resumed another run:\n" + show(form))
            lin.click("Start Exam")
            lin.wait_for("an item", on_item)
            proposal = save_run(lin, linux_docs)
            lin.quiet()
            lin.stop()
            linux_saved = [f for f in os.listdir(linux_docs) if f.startswith("networking-basics_Jane_Doe_")]
            check(len(linux_saved) == 1, "Linux saved %r" % os.listdir(linux_docs))
            # The Linux build's exam root is another; the file names its exam
            # by name, which both roots hold.
            app.start()
            app.wait_for("the main window", lambda s: windows_titled(s, "Trialix 1.0"))
            form = load_run(app, windows_path(os.path.join(linux_docs, linux_saved[0])))
            check(find(form, "entry", "Jane Doe"), "Windows resumed another run:\n" + show(form))
            app.click("Start Exam")
            report, _ = finish_run(app)
            check(find(report, "button", "End Exam"), "no score report")
            app.quiet()
        finally:
            app.stop()
            w.stop()

    # The recovery copy and the history in the folders GLib gives on
    # Windows (the user's local application data); a second program leaves
    # the copy of a running one alone (its lock holds), and the copy of a
    # killed one is offered and resumed; the run graded is in the history,
    # which the Linux build reads.
    def recovery_and_history(self):
        w = self.wine("recovery")
        shutil.copytree(os.path.join(self.zip, "exams"), w.drive_c("Trialix Exams"))
        key = "HKLM\\Software\\Trialix"
        w.reg_add(key, "examdir", "C:\\Trialix Exams")
        local = w.run(["cmd", "/c", "echo %LOCALAPPDATA%"]).stdout.decode().strip()
        check(local and local[1:3] == ":\\", "the local application data folder is %r" % local)
        local_unix = w.unix_path(local)
        recovery = os.path.join(local_unix, "trialix", "recovery")
        history = os.path.join(local_unix, "trialix", "history.sqlite")

        def copies():
            try:
                return [f for f in os.listdir(recovery) if f.endswith(".trx")]
            except OSError:
                return []

        first = self.windows_app(w, "recovery")
        second = self.windows_app(w, "recovery-second")
        try:
            first.start()
            first.wait_for("the main window", lambda s: windows_titled(s, "Trialix 1.0"))
            s = start_run(first, "networking-basics", "Jane Doe")
            answer_item(first, s, 0)
            end = time.monotonic() + WAIT
            while not copies() and time.monotonic() < end:
                time.sleep(POLL)
            check(len(copies()) == 1, "the recovery folder %s holds %r" % (recovery, copies()))

            # Held by the running program: a second one asks nothing.
            second.start()
            s = second.wait_for("the second main window", lambda s: windows_titled(s, "Trialix 1.0"))
            time.sleep(1)
            check(not label_with(second.dump(), "resume it"), "the copy of a running program was offered")
            second.quiet()
            second.stop()

            first.kill9()
            check(len(copies()) == 1, "the copy went with the program: %r" % copies())
            first.start()
            q = first.wait_for("the question", lambda s: label_with(s, "Do you want to resume it?"))
            text = label_with(q, "Do you want to resume it?")
            check("Examinee: Jane Doe" in text, "the question reads %r" % text)
            first.click("Yes")
            first.wait_for("the resume form", lambda s: find(s, "button", "Start Exam")
                           and label_with(s, "Exam was saved:"))
            first.click("Start Exam")
            report, items = finish_run(first)
            check(find(report, "button", "End Exam"), "no score report")
            check(not copies(), "grading left the copy: %r" % copies())
            first.quiet()
            first.stop()

            check(os.path.isfile(history), "no history at %s" % history)
            r = subprocess.run([self.a.linux_pack, "history", "networking-basics", "--db", history],
                               capture_output=True, text=True, timeout=RUN_LIMIT)
            check(r.returncode == 0 and "Jane Doe" in r.stdout,
                  "the Linux build reads the history as:\n%s%s" % (r.stdout, r.stderr))
        finally:
            first.stop()
            second.stop()
            w.stop()

    def screenshot(self):
        """The pictures of docs/install.md: main window, start form, an item."""
        w = self.wine("screens")
        shutil.copytree(os.path.join(self.zip, "exams"), w.drive_c("Trialix Exams"))
        key = "HKLM\\Software\\Trialix"
        w.reg_add(key, "examdir", "C:\\Trialix Exams")
        app = self.windows_app(w, "screens")
        shots = self.a.screenshots

        def grab(name, open_menu=False):
            time.sleep(1.5)   # let Wine paint
            ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Trialix 1.0$"],
                                 capture_output=True, text=True, timeout=RUN_LIMIT).stdout.split()
            check(ids, "no window to take a picture of")
            if not open_menu:
                subprocess.run(["import", "-window", ids[-1], os.path.join(shots, name)], check=True,
                               timeout=RUN_LIMIT)
                return
            # The Exam menu, open: a window of its own over the main one, so
            # the picture is of the screen, cut to the main window.
            geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", ids[-1]],
                                      capture_output=True, text=True, timeout=RUN_LIMIT).stdout
            g = dict(l.split("=", 1) for l in geometry.split())
            x, y, wd, ht = (int(g[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))
            subprocess.run(["xdotool", "mousemove", str(x + 20), str(y + 10), "click", "1"],
                           check=True, timeout=RUN_LIMIT)
            time.sleep(1.5)
            subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (wd, ht, x, y),
                            "+repage", os.path.join(shots, name)], check=True, timeout=RUN_LIMIT)
            subprocess.run(["xdotool", "key", "Escape"], check=True, timeout=RUN_LIMIT)

        try:
            app.start()
            app.wait_for("the main window", lambda s: windows_titled(s, "Trialix 1.0"))
            grab("windows-main.png", open_menu=True)
            app.act("menu", "Start Practice Exam networking-basics")
            app.wait_for("the start form", lambda s: find(s, "button", "Start Exam"))
            app.act("type", "Jane Doe")
            grab("windows-start.png")
            app.click("Start Exam")
            s = app.wait_for("the first item", on_item)
            answer_item(app, s, 0)
            grab("windows-item.png")
        finally:
            app.stop()
            w.stop()


def main():
    p = argparse.ArgumentParser()
    for opt in ("source", "zip-dir", "unit-tests", "driver-dll", "wine-template", "scratch",
                "linux-pack", "linux-trialix", "linux-driver", "linux-exams"):
        p.add_argument("--" + opt, required=True)
    p.add_argument("--screenshots")
    p.add_argument("--only")
    a = p.parse_args()
    s = Suite(a)
    tests = [("zip_holds_only_the_dlls_loaded", s.zip_dlls), ("unit_tests_under_wine", s.unit_tests), ("pack_check_demo_exams", s.pack_check),
             ("pack_round_trip_with_linux", s.pack_round_trip),
             ("settings_warning_without_registry_key", s.settings_warning),
             ("registry_value_of_80_bytes_is_ignored", s.registry_value_limit),
             ("registry_run_save_and_cross_load", s.registry_run),
             ("recovery_lock_and_history_in_local_app_data", s.recovery_and_history)]
    if a.screenshots:
        tests = [("screenshots", s.screenshot)]
    for name, t in tests:
        if not a.only or a.only in name:
            s.run(name, t)
    passed = sum(1 for _, ok in s.results if ok)
    failed = len(s.results) - passed
    print("windows: %d passed, %d failed" % (passed, failed))
    return 1 if failed or not s.results else 0


if __name__ == "__main__":
    sys.exit(main())
