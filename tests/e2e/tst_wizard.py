#!/usr/bin/python3
"""The wizard as a user drives it: the built corvane-setup on an X display of its own (Xvfb), with
a session bus of its own (dbus-daemon) and the accessibility bus that it starts, worked by keys,
typing and a click (xdotool), read the way a screen reader reads it (pyatspi), installing through
the real npx from a local registry serving the Corvane stand-in (registry.py).

Each case starts the app in a home of its own; every case runs alone too:
  tst_wizard.py [Wizard.test_...]
Exit status 77 when a tool it needs is missing. CTest sets CORVANE_SETUP_APP.
"""
import contextlib
import hashlib
import json
import os
import pathlib
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.dont_write_bytecode = True  # no __pycache__ beside the sources
import registry  # noqa: E402

try:
    import pyatspi
    from gi.repository import Atspi, Gio, GLib
except (ImportError, ValueError):  # told as missing
    pyatspi = None

SCREEN = "1024x768x24"
# Bounds, not expectations.
APPEAR_S = 60  # the window and its start-up checks
SCREEN_S = 15  # one screen after a key press or a click
RUN_S = 180  # an install through npx
EXIT_S = 20
POLL_S = 0.1

REFUSED = "Error: OpenRouter refused the key (401)"
# Typed into the masked fields. The first holds what would do harm on a shell's command line.
FIRST_KEY = "sk-or-v1-e2e'\"$(touch pwned)`touch pwned`;\\ 42"
SECOND_KEY = "sk-or-v1-replacement-7f3a"
MANIFEST = ".local/state/corvane/installations.json"

WORK = None  # the test's own folder, made by main()


def missing():
    """What this test needs that is not installed."""
    needed = [tool for tool in ("Xvfb", "dbus-daemon", "xdotool") if not shutil.which(tool)]
    data = os.environ.get("XDG_DATA_DIRS") or "/usr/local/share:/usr/share"
    if not any(pathlib.Path(folder, "dbus-1/services/org.a11y.Bus.service").exists()
               for folder in data.split(":")):
        needed.append("at-spi2-core")
    if pyatspi is None:
        needed.append(f"pyatspi for {sys.executable} (python3-pyatspi)")
    try:
        registry.node_tools()
    except registry.Unavailable as reason:
        needed.append(str(reason))
    return needed


def start_telling(command):
    """Starts a server that writes a line to the file descriptor put for {fd} in command once it
    takes clients: the server, in a session of its own, and that line (empty when it failed)."""
    ready, told = os.pipe()
    try:
        server = subprocess.Popen([part.replace("{fd}", str(told)) for part in command],
                                  pass_fds=(told,), stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, preexec_fn=registry.own_session)
    finally:
        os.close(told)
    with open(ready, "rb") as told:
        line = told.readline() if select.select([told], [], [], 30)[0] else b""
    return server, line.decode().strip()


def main():
    needed = missing()
    if needed:
        print(f"SKIP: the wizard cannot be driven here, missing: {', '.join(needed)} "
              "(./dev test installs them on Debian)")
        return registry.SKIP
    global WORK
    x_server = bus = None
    with tempfile.TemporaryDirectory(prefix="tst_wizard-") as WORK:
        try:
            # Xvfb picks a free display itself. The bus and what it starts get their own runtime
            # folder, and the display.
            x_server, number = start_telling(["Xvfb", "-displayfd", "{fd}", "-screen", "0",
                                              SCREEN, "-nolisten", "tcp", "-noreset"])
            if not number.isdigit():
                print("Xvfb did not start", file=sys.stderr)
                return 1
            runtime = pathlib.Path(WORK, "runtime")
            runtime.mkdir(mode=0o700)
            os.environ.update(DISPLAY=f":{number}", XDG_RUNTIME_DIR=str(runtime))
            for name in ("WAYLAND_DISPLAY", "XAUTHORITY", "DBUS_SESSION_BUS_ADDRESS"):
                os.environ.pop(name, None)
            bus, address = start_telling(["dbus-daemon", "--session", "--nofork",
                                          "--print-address={fd}"])
            if not address:
                print("dbus-daemon did not start", file=sys.stderr)
                return 1
            os.environ["DBUS_SESSION_BUS_ADDRESS"] = address
            # What a screen reader does when it starts; applications read it when they start.
            Gio.bus_get_sync(Gio.BusType.SESSION).call_sync(
                "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
                GLib.Variant("(ssv)", ("org.a11y.Status", "ScreenReaderEnabled",
                                       GLib.Variant("b", True))),
                None, Gio.DBusCallFlags.NONE, 20000, None)
            # Every question goes to the application: a cache would need the events that only a
            # main loop reads.
            pyatspi.Registry.getDesktop(0).set_cache_mask(Atspi.Cache.NONE)
            program = unittest.main(module=__name__, exit=False, verbosity=2)
            return 0 if program.result.wasSuccessful() else 1
        finally:
            # The bus goes with the accessibility bus it started; both with any case's leftovers.
            registry.end_group(bus)
            registry.end_group(x_server)


class Unanswered(Exception):
    """A question the window did not answer, changing under it: asked again."""


class Node:
    """One shown control or text, as a screen reader reads it."""

    def __init__(self, accessible):
        self.accessible = accessible
        self.name = accessible.name
        self.role = accessible.getRoleName()
        self.states = accessible.getState()
        if self.states is None or self.states.contains(pyatspi.STATE_DEFUNCT):
            raise Unanswered

    def has(self, *states):
        return all(self.states.contains(state) for state in states)

    def __str__(self):
        flags = {pyatspi.STATE_FOCUSED: "focused", pyatspi.STATE_CHECKED: "checked",
                 pyatspi.STATE_IS_DEFAULT: "default"}
        shown = [word for state, word in flags.items() if self.has(state)]
        if not self.has(pyatspi.STATE_ENABLED):
            shown.append("disabled")
        return " ".join([f'{self.role} "{self.name}"'] + shown)


class Screen(list):
    """The shown nodes of a window in reading order."""

    def find(self, name, role=None):
        return next((n for n in self if n.name == name and (role is None or n.role == role)),
                    None)

    def shows(self, name, role=None):
        return self.find(name, role) is not None

    def text_after(self, name):
        """The first text that follows the node called name."""
        names = [n.name for n in self]
        after = self[names.index(name) + 1:] if name in names else []
        return next((n.name for n in after if n.role == "label"), None)


def children(accessible):
    count = accessible.childCount
    found = [accessible.getChildAtIndex(i) for i in range(max(count, 0))]
    if count < 0 or None in found:
        raise Unanswered
    return found


def sha256(text):
    return hashlib.sha256(text.encode()).hexdigest()


def processes_of(home):
    """The running processes whose environment says HOME=home: all a run in that home started."""
    wanted = b"HOME=" + os.fsencode(home)
    found = []
    for entry in filter(str.isdigit, os.listdir("/proc")):
        with contextlib.suppress(OSError), open(f"/proc/{entry}/environ", "rb") as environ:
            if int(entry) != os.getpid() and wanted in environ.read().split(b"\0"):
                found.append(int(entry))
    return found


def xdotool(*arguments):
    subprocess.run(["xdotool", *arguments], check=True, timeout=SCREEN_S)


class Wizard(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.registry = registry.Registry(pathlib.Path(WORK, "registry"))
        cls.addClassCleanup(cls.registry.stop)
        cls.registry.start()
        cls.registry.publish("1.0.0")

    def setUp(self):
        self.home = pathlib.Path(tempfile.mkdtemp(prefix="home-", dir=WORK))
        self.env = registry.user_home(self.home, self.registry.url)
        self.write(".claude/settings.json", "{}")
        self.app = None
        self.last = Screen()
        self.addCleanup(self.end_everything)

    def end_everything(self):
        if self.app and self.app.poll() is None:
            self.app.kill()
            self.app.wait()
        for pid in processes_of(self.home):
            with contextlib.suppress(ProcessLookupError):
                os.kill(pid, signal.SIGKILL)

    def write(self, relative, text):
        path = self.home / relative
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)

    def start_app(self, failure=None):
        # As started from a desktop: the platform's own windows, nothing the test run set for Qt.
        env = {name: value for name, value in os.environ.items()
               if name not in ("QT_QPA_PLATFORM", "CORVANE_STANDIN_FAIL")}
        for name, value in self.env.items():
            env.pop(name, None)
            if value is not None:
                env[name] = value
        if failure:
            env["CORVANE_STANDIN_FAIL"] = failure
        self.app = subprocess.Popen([os.environ["CORVANE_SETUP_APP"]], env=env, cwd=self.home,
                                    stdin=subprocess.DEVNULL)
        self.accessible = None

    def seen(self):
        """The app's window as a screen reader reads it; None while it is not on the bus or
        leaves a question unanswered."""
        try:
            if self.accessible is None:
                self.accessible = next((a for a in pyatspi.Registry.getDesktop(0)
                                        if a is not None and a.get_process_id() == self.app.pid),
                                       None)
            screen = Screen()
            pending = children(self.accessible) if self.accessible else None
            while pending:
                node = Node(pending.pop(0))
                # What is hidden is hidden with everything in it.
                if node.has(pyatspi.STATE_SHOWING):
                    screen.append(node)
                    pending[0:0] = children(node.accessible)
            return screen or None
        except (GLib.Error, Unanswered):
            return None

    def wait_for(self, what, condition, bound=SCREEN_S):
        deadline = time.monotonic() + bound
        while True:
            now = self.seen()
            if now is not None:
                self.last = now
                if condition(now):
                    return now
            if time.monotonic() > deadline or self.app.poll() is not None:
                ended = "" if self.app.poll() is None else f" (the app ended: {self.app.poll()})"
                self.fail(f"{what}{ended}; the screen reader saw last:\n  "
                          + "\n  ".join(map(str, self.last)))
            time.sleep(POLL_S)

    def wait_for_texts(self, what, *names, bound=SCREEN_S):
        return self.wait_for(what, lambda s: all(s.shows(name) for name in names), bound)

    def wait_for_state(self, what, name, role, *states, bound=SCREEN_S):
        """Until the control called name is in every one of states."""
        return self.wait_for(what, lambda s: s.find(name, role) is not None
                             and s.find(name, role).has(*states), bound)

    def keys(self, *names):
        xdotool("key", "--delay", "60", *names)

    def type(self, text):
        xdotool("type", "--delay", "30", "--", text)

    def click(self, node):
        box = Atspi.Component.get_extents(node.accessible, Atspi.CoordType.SCREEN)
        x, y = box.x + box.width // 2, box.y + box.height // 2
        xdotool("mousemove", str(x), str(y), "click", "1")

    def text_of(self, node):
        return Atspi.Text.get_text(node.accessible, 0, -1)

    def run_from_return(self, progress):
        """Presses Return where it starts a run; the screen the run ends on."""
        self.keys("Return")
        self.wait_for_texts(f'Return did not start a run showing "{progress}"', progress)
        return self.wait_for("the run did not end", lambda s: any(
            s.shows(end) for end in ("Corvane is set up", "Something went wrong")), RUN_S)

    def assert_key_nowhere(self, key):
        """No regular file under the home (with TMPDIR and the runtime folder) holds key."""
        for path in self.home.rglob("*"):
            if path.is_file() and not path.is_symlink():
                self.assertNotIn(key.encode(), path.read_bytes(), f"{path} holds the key")

    def assert_installer_got(self, key):
        """The installer read exactly key: the search for it means something."""
        answers = json.loads((self.home / "standin-record/answers.json").read_text())
        self.assertEqual(answers["keys"], {"openrouterApiKey": sha256(key)})

    def assert_ends_cleanly(self):
        self.assertEqual(self.app.wait(EXIT_S), 0)
        deadline = time.monotonic() + EXIT_S
        while processes_of(self.home) and time.monotonic() < deadline:
            time.sleep(POLL_S)
        self.assertEqual(processes_of(self.home), [], "processes left behind")

    def test_first_install_by_keyboard(self):
        self.start_app()
        # The buttons wait for the Node.js check; then the keyboard is on the default button.
        now = self.wait_for_state("the welcome screen did not come up", "Start setup",
                                  "push button", pyatspi.STATE_ENABLED, pyatspi.STATE_FOCUSED,
                                  bound=APPEAR_S)
        self.assertTrue(now.shows("Set up Corvane"))
        self.assertTrue(now.shows("Found Claude Code on this computer.", "label"))
        self.assertTrue(now.find("Start setup").has(pyatspi.STATE_IS_DEFAULT))
        # The window comes to the front with the keyboard in it.
        self.assertTrue(now.find("Corvane Setup").has(pyatspi.STATE_ACTIVE))

        # Return presses "Start setup"; the tool found is ticked already.
        self.keys("Return")
        now = self.wait_for_texts("the tools step did not come up", "Choose your tools",
                                  "Step 1 of 2", "Next")
        self.assertTrue(now.find("Claude Code", "check box").has(pyatspi.STATE_CHECKED))
        self.assertFalse(now.find("Codex", "check box").has(pyatspi.STATE_CHECKED))

        # Tab to Codex, Space ticks it (a third step appears), Space again unticks it.
        self.keys("Tab")
        self.wait_for_state("Tab did not reach Codex", "Codex", "check box",
                            pyatspi.STATE_FOCUSED)
        self.keys("space")
        self.wait_for_state("Space did not tick Codex", "Codex", "check box",
                            pyatspi.STATE_CHECKED)
        self.wait_for_texts("ticking Codex added no step", "Step 1 of 3")
        self.keys("space")
        self.wait_for_texts("unticking Codex left its step", "Step 1 of 2")

        # Return is "Next": Claude Code's funding, on its subscription, ready to install.
        self.keys("Return")
        now = self.wait_for_texts("the funding step did not come up", "Claude Code funding",
                                  "Step 2 of 2", "Back")
        self.assertTrue(now.find("Claude subscription", "radio button").has(pyatspi.STATE_CHECKED))
        self.assertTrue(now.find("Install", "push button").has(pyatspi.STATE_ENABLED))

        # A click on the OpenRouter row shows its key field, with the keyboard in it; "Install"
        # waits for a key.
        self.click(now.find("OpenRouter API key", "radio button"))
        now = self.wait_for_state("the OpenRouter row did not bring up its key field",
                                  "OpenRouter API key", "password text", pyatspi.STATE_FOCUSED)
        self.assertTrue(now.find("OpenRouter API key", "radio button").has(pyatspi.STATE_CHECKED))
        self.assertFalse(now.find("Install", "push button").has(pyatspi.STATE_ENABLED))

        self.type(FIRST_KEY)
        now = self.wait_for_state('typing the key did not enable "Install"', "Install",
                                  "push button", pyatspi.STATE_ENABLED)
        # Masked for a screen reader too.
        self.assertNotIn("sk-or", self.text_of(now.find("OpenRouter API key", "password text")))

        # Return in the key field presses "Install".
        now = self.run_from_return("Installing\u2026")
        self.assertTrue(now.shows("Corvane is set up"), now.text_after("Something went wrong"))
        self.assertTrue(now.shows("Run this in Terminal to get started:"))
        self.assertTrue(now.shows("Copy command: corv claude", "push button"))
        self.assertFalse(now.shows("Copy command: corv codex"))
        self.assert_installer_got(FIRST_KEY)
        self.assert_key_nowhere(FIRST_KEY)
        self.assertFalse((self.home / "pwned").exists())

        # "Done" ends the program, successfully, and nothing of it stays.
        self.click(now.find("Done", "push button"))
        self.assert_ends_cleanly()

    def test_failed_change_shows_its_cause(self):
        manifest = json.dumps({"version": 1, "installations": [
            {"harness": "claude-code", "user_funded_provider": "openrouter"}]})
        self.write(MANIFEST, manifest)
        self.start_app(failure="error:" + REFUSED)
        now = self.wait_for_state("the welcome screen for a returning user did not come up",
                                  "Change tools or funding", "push button", pyatspi.STATE_ENABLED,
                                  bound=APPEAR_S)
        self.assertTrue(now.shows("Corvane is already set up on this computer."))

        # Tab until "Change tools or funding" has the keyboard (three controls), Space presses it.
        for _ in range(3):
            if now.find("Change tools or funding").has(pyatspi.STATE_FOCUSED):
                break
            left = next((n.name for n in now if n.has(pyatspi.STATE_FOCUSED)), None)
            self.keys("Tab")
            now = self.wait_for("Tab did not move the keyboard", lambda s: any(
                n.has(pyatspi.STATE_FOCUSED) and n.name != left for n in s))
        self.assertTrue(now.find("Change tools or funding").has(pyatspi.STATE_FOCUSED))
        self.keys("space")
        now = self.wait_for_texts("the questions did not open", "Choose your tools", "Next")
        self.assertTrue(now.find("Claude Code", "check box").has(pyatspi.STATE_CHECKED))

        # The funding the manifest names is chosen again; the key was never stored, so its field
        # is empty and "Save changes" waits for it.
        self.keys("Return")
        now = self.wait_for_state("the funding step did not come up with its key field",
                                  "OpenRouter API key", "password text", pyatspi.STATE_FOCUSED)
        self.assertTrue(now.find("OpenRouter API key", "radio button").has(pyatspi.STATE_CHECKED))
        self.assertFalse(now.find("Save changes", "push button").has(pyatspi.STATE_ENABLED))
        self.assertEqual(self.text_of(now.find("OpenRouter API key", "password text")), "")

        self.type(SECOND_KEY)
        self.wait_for_state('typing the key did not enable "Save changes"', "Save changes",
                            "push button", pyatspi.STATE_ENABLED)
        now = self.run_from_return("Updating\u2026")
        # The failure screen reads the installer's own last line, and nothing changed.
        self.assertEqual(now.text_after("Something went wrong"), REFUSED)
        self.assertTrue(now.shows("Try again", "push button"))
        self.assert_installer_got(SECOND_KEY)
        self.assert_key_nowhere(SECOND_KEY)
        self.assertEqual((self.home / MANIFEST).read_text(), manifest)

        # Return is "Try again": back to this start's welcome screen.
        self.keys("Return")
        now = self.wait_for_texts('"Try again" did not lead back to the welcome screen',
                                  "Update Version", "Change tools or funding")
        self.assertFalse(now.shows("Something went wrong"))

        # The session ends the program: it quits cleanly and leaves nothing running.
        self.app.send_signal(signal.SIGTERM)
        self.assert_ends_cleanly()


if __name__ == "__main__":
    sys.exit(main())
