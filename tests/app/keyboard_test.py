#!/usr/bin/env python3
"""The program driven from the keyboard alone, on a private X display.

Usage: keyboard_test.py <QuillnestMini.exe> <demo_service.exe> <served setup.exe> <out dir>
                        <trust_test_ca.exe> <test CA.der>

Each case starts a copy of the program in the X11 Wine prefix (build/wine-x11)
against the demo package service, presses keys with xdotool (real X key
events into the program's window) and checks what a user would find: the
requests the service saw, how the program ended, and what it left on disk
and in the registry. Captures stay in <out dir> as <case>.png. The served
setup is signed by the tests' publisher, whose CA is trusted in the prefix
first; it spans several of the downloader's 1 MiB reads, so a stalled reply
has written some of them to disk.
"""
import glob
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
CONVERT = "/usr/bin/convert"
# A 482 x 273 window centred 20 pixels above the middle of 1024 x 768.
LEFT, TOP = 271, 227
RESUME_KEY = r"HKCU\Software\VeziDazedera"


def wine_env():
    env = dict(os.environ)
    env["QUILL_WINEPREFIX"] = env.get("QUILL_WINEPREFIX", os.path.join(ROOT, "build", "wine-x11"))
    subprocess.run([os.path.join(ROOT, "scripts", "wine-prefix.sh"), "x11"], env=env, check=True,
                   stdout=subprocess.DEVNULL)
    # The same settings every Wine script of the project takes.
    out = subprocess.run(["bash", "-c", f"source {ROOT}/scripts/wine-env.sh; env -0"], env=env,
                         check=True, stdout=subprocess.PIPE).stdout
    return dict(item.split("=", 1) for item in out.decode().split("\0") if "=" in item)


def free_display():
    for n in range(141, 190):
        if not os.path.exists(f"/tmp/.X{n}-lock") and not os.path.exists(f"/tmp/.X11-unix/X{n}"):
            return n
    raise RuntimeError("no free X display")


def closed_port():
    # A port nothing listens on: the carried bridge tool finds no phone at once.
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def winpath(path):
    return "Z:" + path.replace("/", "\\")


class World:
    def __init__(self, program, service, served, outdir, trust_ca, ca):
        self.program, self.service, self.served, self.outdir = program, service, served, outdir
        self.env = wine_env()
        self.wine = self.env["WINELOADER"]
        subprocess.run([self.wine, trust_ca, winpath(ca)], env=self.env, check=True,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        self.processes = []
        self.display = free_display()
        self.xvfb = subprocess.Popen(["Xvfb", f":{self.display}", "-screen", "0", "1024x768x24",
                                      "-nolisten", "tcp"], stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        self.env["DISPLAY"] = f":{self.display}"
        if not wait_for(lambda: os.path.exists(f"/tmp/.X11-unix/X{self.display}"),
                        START_SECONDS):
            raise RuntimeError(f"Xvfb :{self.display} did not start")
        # Wine's desktop process keeps the display it first found.
        subprocess.run([self.env["WINESERVER"], "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run([self.env["WINESERVER"], "-p"], env=self.env, stdin=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        self.scratch = tempfile.mkdtemp(prefix="quill-keyboard-")
        self.prefix = self.env["WINEPREFIX"]

    def close(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
            process.wait()
        subprocess.run([self.env["WINESERVER"], "-k"], env=self.env, stderr=subprocess.DEVNULL)
        self.xvfb.terminate()
        self.xvfb.wait()
        shutil.rmtree(self.scratch, ignore_errors=True)

    def x(self, *args):
        subprocess.run(["xdotool", *args], env=self.env, check=True)

    def pointer_at(self, x, y):
        self.x("mousemove", str(x), str(y))
        where = lambda: subprocess.run(["xdotool", "getmouselocation", "--shell"], env=self.env,
                                       stdout=subprocess.PIPE).stdout.decode()
        return wait_for(lambda: f"X={x}\nY={y}\n" in where(), START_SECONDS)

    def reg(self, *args):
        return subprocess.run([self.wine, "reg", *args], env=self.env, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout.decode(
                                  errors="replace")

    def working_folders(self):
        users = os.path.join(self.prefix, "drive_c", "users")
        return glob.glob(os.path.join(users, "*", "AppData", "Roaming", "Travik")) + glob.glob(
            os.path.join(users, "*", "AppData", "Local", "Temp", "Travik"))

    def setup_file(self):
        found = glob.glob(os.path.join(self.prefix, "drive_c", "users", "*", "AppData", "Roaming",
                                       "Travik", "rerozadez", "Quillnest_SetUp_mini.exe"))
        return found[0] if found else None

    def fresh_machine(self):
        self.reg("delete", RESUME_KEY, "/f")
        self.reg("delete", r"HKCU\Software\QuillnestMini", "/f")
        for folder in self.working_folders():
            shutil.rmtree(folder, ignore_errors=True)

    def start_service(self, name, fault):
        log = os.path.join(self.scratch, f"service-{name}.log")
        self.processes.append(subprocess.Popen(
            [self.wine, self.service, "0", winpath(self.served), fault, winpath(log)], env=self.env,
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        # A Wine program may take long to start on a busy machine: a deadline
        # costs nothing when it is quick.
        end = time.time() + START_SECONDS
        while time.time() < end:
            text = open(log, errors="replace").read() if os.path.exists(log) else ""
            found = re.search(r"demo package service on (\S+)", text)
            if found:
                return log, found.group(1)
            time.sleep(0.05)
        raise RuntimeError(f"the demo service did not start within {START_SECONDS} s")

    def start_program(self, name, service_url):
        stage = os.path.join(self.scratch, name)
        os.makedirs(stage)
        shutil.copy(self.program, stage)
        env = dict(self.env, QUILL_TEST_SERVICE_URL=service_url,
                   ANDROID_ADB_SERVER_PORT=str(closed_port()))
        process = subprocess.Popen([self.wine, os.path.join(stage, "QuillnestMini.exe")], env=env,
                                   cwd=stage, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        self.processes.append(process)
        return process

    def capture(self, path=None):
        raw = subprocess.run(f"xwd -root -silent | {CONVERT} xwd:- -crop 482x273+{LEFT}+{TOP} "
                             "+repage -depth 8 rgb:-", shell=True, env=self.env, check=True,
                             stdout=subprocess.PIPE).stdout
        if path:
            subprocess.run(f"xwd -root -silent | {CONVERT} xwd:- {path}", shell=True,
                           env=self.env, check=True)
        return raw

    def wait_for_window(self):
        end = time.time() + START_SECONDS
        while time.time() < end:
            raw = self.capture()
            if raw[0:3] == bytes((171, 171, 171)):
                # Pointer over the panel, away from every button: Xvfb has no
                # window manager, and keys go to the window under the pointer.
                # (xdotool's --sync waits for a motion event, which never
                # comes when the pointer is there already.)
                return self.pointer_at(LEFT + 100, TOP + 150)
            time.sleep(0.05)
        return False


def pixel(raw, x, y):
    i = (y * 482 + x) * 3
    return tuple(raw[i:i + 3])


def wait_for(test, seconds):
    end = time.time() + seconds
    while time.time() < end:
        if test():
            return True
        time.sleep(0.1)
    return False


def exit_code(process, seconds):
    try:
        return process.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        return None


# Wine's exit status keeps the low 8 bits of the Windows exit code: the
# user's close, 1602, reads as 66 here (the whole-program tests read the
# whole code with GetExitCodeProcess).
USER_CLOSED = 1602 & 0xFF
# And a run that failed on an unusable answer from the service, 2203.
UNUSABLE_ANSWER = 2203 & 0xFF
# How long a Wine program may take to start, and to end once asked: generous,
# so that a busy machine does not fail a case.
START_SECONDS = 60
END_SECONDS = 30
# How long the step a key starts may take.
STEP_SECONDS = 60


def requests(log, what):
    text = open(log, errors="replace").read() if os.path.exists(log) else ""
    return len(re.findall(r"^GET " + what, text, re.M))


# The focus rectangle on Install-driver (263, 232, 119 x 36, drawn 3 pixels
# inside): dotted, so about half of its top edge differs from the face.
def focus_on_install_driver(raw):
    edge = [pixel(raw, x, 235) for x in range(270, 376)]
    face = pixel(raw, 269, 235)
    return sum(1 for c in edge if c != face) > 30


def main():
    program, service, served, outdir, trust_ca, ca = sys.argv[1:7]
    os.makedirs(outdir, exist_ok=True)
    world = World(program, service, served, outdir, trust_ca, ca)
    failures = []

    def check(name, ok):
        print(("ok   " if ok else "FAIL ") + name, flush=True)
        if not ok:
            failures.append(name)

    def case(name, fault="none"):
        print(f"== {name}", flush=True)
        world.fresh_machine()
        log, url = world.start_service(name, fault)
        process = world.start_program(name, url)
        if not world.wait_for_window():
            check(f"{name}: window shown", False)
            return None, None
        return process, log

    try:
        # Focus starts on Install-driver, unmarked; Tab, Tab, Tab goes round
        # the minimize and close buttons back to it, marked now, and Space
        # presses it.
        process, log = case("tab-space")
        if process:
            check("no focus mark before a key", not focus_on_install_driver(world.capture()))
            world.x("key", "Tab", "Tab", "Tab")
            check("Tab marks the focus on Install-driver",
                  wait_for(lambda: focus_on_install_driver(
                      world.capture(os.path.join(outdir, "tab-space.png"))), STEP_SECONDS))
            check("no request before a key starts a run", requests(log, "/adpserver") == 0)
            world.x("key", "space")
            check("Space starts a run the service sees",
                  wait_for(lambda: requests(log, "/adpserver") >= 1, STEP_SECONDS))
            check("the run ends with the full setup started, exit 0",
                  exit_code(process, 60) == 0 and requests(log, "/downloads/") >= 1)

        # Shift+Tab goes back from close to minimize; Enter presses the
        # default button wherever the focus is.
        process, log = case("enter")
        if process:
            world.x("key", "shift+Tab", "Return")
            check("Enter starts a run the service sees",
                  wait_for(lambda: requests(log, "/adpserver") >= 1, STEP_SECONDS))
            check("the run ends, exit 0", exit_code(process, 60) == 0)

        process, log = case("escape-main")
        if process:
            world.x("key", "Escape")
            check("Escape on the main screen ends the program as closed by the user (1602)",
                  exit_code(process, END_SECONDS) == USER_CLOSED)
            check("no request", requests(log, "") == 0)

        process, log = case("alt-f4")
        if process:
            world.x("key", "alt+F4")
            check("Alt+F4 ends the program as closed by the user (1602)",
                  exit_code(process, END_SECONDS) == USER_CLOSED)

        # The service holds back the last quarter of the file for 45 s.
        process, log = case("escape-download", "stall")
        if process:
            world.x("key", "Return")
            check("the download begins", wait_for(lambda: requests(log, "/downloads/") >= 1,
                                                       STEP_SECONDS))
            check("part of the file arrives",
                  wait_for(lambda: world.setup_file() and os.path.getsize(world.setup_file()) > 0,
                           STEP_SECONDS))
            world.capture(os.path.join(outdir, "escape-download.png"))
            world.x("key", "Escape")
            check("Escape during the download ends the program as closed by the user (1602)",
                  exit_code(process, END_SECONDS) == USER_CLOSED)
            setup = world.setup_file()
            size = os.path.getsize(setup) if setup else 0
            full = os.path.getsize(world.served)
            check(f"the part that arrived is kept ({size} of {full} bytes)", 0 < size < full)
            record = world.reg("query", RESUME_KEY)
            check("the resume record is kept",
                  "downLoadSize" in record and "FPMD5" in record)

        # Every reply of the file is refused: the run ends on the failure
        # screen, whose default is Retry.
        process, log = case("failure-retry", "status-404")
        if process:
            world.x("key", "Return")
            # Retry's light grey face where Install-driver's green was.
            retry_face = lambda: all(abs(c - 240) <= 14 for c in pixel(world.capture(), 406, 250))
            check("the failure screen offers Retry", wait_for(retry_face, 90))
            before = requests(log, "/downloads/")
            world.capture(os.path.join(outdir, "failure-retry.png"))
            world.x("key", "Return")
            check("Enter presses Retry: the file is asked for again",
                  wait_for(lambda: requests(log, "/downloads/") > before, STEP_SECONDS))
            # The retried run fails within moments of its request, so Escape
            # meets it under way (closed by the user) or back on the failure
            # screen (that failure's code), as fast as the host is; the
            # escape-download case holds a run under way for the first.
            world.x("key", "Escape")
            code = exit_code(process, END_SECONDS)
            check(f"Escape ends the retried run, closed by the user (1602) or on its failure "
                  f"(2203): got {code}", code in (USER_CLOSED, UNUSABLE_ANSWER))
    finally:
        world.close()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
