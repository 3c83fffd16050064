#!/usr/bin/python3
"""The wizard as a user drives it: the built corvane-setup on an X display of its own (xvfb-run),
with a session bus of its own (dbus-run-session) and the accessibility bus that it starts, worked
by keys, typing and a click (xdotool), read the way a screen reader reads it (pyatspi), installing
through the real npx from a local registry serving the Corvane stand-in (registry.py).

Each case starts the app in a home of its own; every case runs alone too:
  tst_wizard.py [Wizard.test_...]
It runs itself again under xvfb-run and dbus-run-session, which end the display and the bus (and
the accessibility bus with it) when it ends. Exit status 77 when a tool it needs is missing.
CTest sets CORVANE_SETUP_APP.
"""
import collections
import contextlib
import hashlib
import json
import os
import pathlib
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
    from pyatspi import (STATE_ACTIVE as ACTIVE, STATE_CHECKED as CHECKED,
                         STATE_ENABLED as ENABLED, STATE_FOCUSED as FOCUSED,
                         STATE_SHOWING as SHOWING)
except (ImportError, ValueError):  # told as missing
    pyatspi = None

# Bounds, not expectations.
APPEAR_S = 60  # the window and its start-up checks
SCREEN_S = 15  # one screen after a key press or a click
RUN_S = 180  # an install through npx
EXIT_S = 20

REFUSED = "Error: OpenRouter refused the key (401)"
# Typed into the masked fields. The first holds what would do harm on a shell's command line.
FIRST_KEY = "sk-or-v1-e2e'\"$(touch pwned)`touch pwned`;\\ 42"
SECOND_KEY = "sk-or-v1-replacement-7f3a"
MANIFEST = ".local/state/corvane/installations.json"
# The test's own folder (registry, homes), also the accessibility bus's runtime folder.
WORK = os.environ.get("TST_WIZARD_WORK")


def missing():
    """What this test needs that is not installed."""
    needed = [tool for tool in ("xvfb-run", "xauth", "dbus-run-session", "xdotool")
              if not shutil.which(tool)]
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


def main():
    needed = missing()
    if needed:
        print(f"SKIP: the wizard cannot be driven here, missing: {', '.join(needed)} "
              "(./dev test installs them on Debian)")
        return registry.SKIP
    if WORK is None:
        with tempfile.TemporaryDirectory(prefix="tst_wizard-") as work:
            env = {name: value for name, value in os.environ.items()
                   if name not in ("WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS")}
            env.update(XDG_RUNTIME_DIR=work, TST_WIZARD_WORK=work)
            return subprocess.run(["xvfb-run", "-a", "-s", "-screen 0 1024x768x24",
                                   "dbus-run-session", "--", sys.executable, *sys.argv],
                                  env=env).returncode
    # What a screen reader does when it starts; applications read it when they start.
    Gio.bus_get_sync(Gio.BusType.SESSION).call_sync(
        "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
        GLib.Variant("(ssv)", ("org.a11y.Status", "ScreenReaderEnabled", GLib.Variant("b", True))),
        None, Gio.DBusCallFlags.NONE, 20000, None)
    # Every question goes to the application: a cache would need the events that only a main loop
    # reads.
    pyatspi.Registry.getDesktop(0).set_cache_mask(Atspi.Cache.NONE)
    program = unittest.main(module=__name__, exit=False, verbosity=2)
    return 0 if program.result.wasSuccessful() else 1


# One shown control or text, as a screen reader reads it.
Node = collections.namedtuple("Node", "role name states accessible")


def shown(accessible):
    """The nodes accessible holds that are shown, itself first, in reading order."""
    states = accessible.getState()
    if not states.contains(SHOWING):
        return []  # what is hidden is hidden with everything in it
    return [Node(accessible.getRoleName(), accessible.name, states, accessible)] + [
        node for child in accessible for node in shown(child)]


def find(screen, name, role=None):
    return next((n for n in screen if n.name == name and role in (None, n.role)), None)


def shows(screen, name, role=None, *states):
    """Whether screen shows a node called name (of role) that is in every one of states."""
    node = find(screen, name, role)
    return node is not None and all(node.states.contains(state) for state in states)


def text_after(screen, name):
    """The first text that follows the node called name."""
    names = [n.name for n in screen]
    after = screen[names.index(name) + 1:] if name in names else []
    return next((n.name for n in after if n.role == "label"), None)


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
        (self.home / ".claude").mkdir()
        (self.home / ".claude/settings.json").write_text("{}")
        self.app = None
        self.addCleanup(self.end_everything)

    def end_everything(self):
        if self.app and self.app.poll() is None:
            self.app.kill()
            self.app.wait()
        for pid in processes_of(self.home):
            with contextlib.suppress(ProcessLookupError):
                os.kill(pid, signal.SIGKILL)

    def start_app(self, failure=None):
        # As started from a desktop: the platform's own windows, nothing the test run set for Qt.
        env = {name: value for name, value in os.environ.items()
               if name not in ("QT_QPA_PLATFORM", "CORVANE_STANDIN_FAIL")}
        env.update(self.env, CORVANE_STANDIN_FAIL=failure)
        self.app = subprocess.Popen(
            [os.environ["CORVANE_SETUP_APP"]], cwd=self.home, stdin=subprocess.DEVNULL,
            env={name: value for name, value in env.items() if value is not None})

    def seen(self):
        """The app's window as a screen reader reads it; None while it is not on the bus or
        changes under the reading."""
        try:
            app = next((a for a in pyatspi.Registry.getDesktop(0)
                        if a is not None and a.get_process_id() == self.app.pid), None)
            return [node for window in app for node in shown(window)] if app else None
        except (GLib.Error, AttributeError):  # a node gone while it was read
            return None

    def wait_for(self, what, condition, bound=SCREEN_S):
        deadline = time.monotonic() + bound
        last = []
        while True:
            last = self.seen() or last
            if last and condition(last):
                return last
            if time.monotonic() > deadline or self.app.poll() is not None:
                ended = "" if self.app.poll() is None else f" (the app ended: {self.app.poll()})"
                flags = {FOCUSED: "focused", CHECKED: "checked", ENABLED: "enabled"}
                lines = [" ".join([f'{n.role} "{n.name}"'] + [
                    word for state, word in flags.items() if n.states.contains(state)]) for n in last]
                self.fail(f"{what}{ended}; the screen reader saw last:\n  " + "\n  ".join(lines))
            time.sleep(0.1)

    def wait_for_texts(self, what, *names, bound=SCREEN_S):
        return self.wait_for(what, lambda s: all(shows(s, name) for name in names), bound)

    def keys(self, *names):
        xdotool("key", "--delay", "60", *names)

    def type(self, text):
        xdotool("type", "--delay", "30", "--", text)

    def click(self, node):
        box = Atspi.Component.get_extents(node.accessible, Atspi.CoordType.SCREEN)
        xdotool("mousemove", str(box.x + box.width // 2), str(box.y + box.height // 2),
                "click", "1")

    def run_from_return(self, progress):
        """Presses Return where it starts a run; the screen the run ends on."""
        self.keys("Return")
        self.wait_for_texts(f'Return did not start a run showing "{progress}"', progress)
        return self.wait_for("the run did not end", lambda s: shows(s, "Corvane is set up")
                             or shows(s, "Something went wrong"), RUN_S)

    def assert_only_installer_got(self, key):
        """The installer read exactly key, and no regular file under the home (with TMPDIR and
        the runtime folder) holds it."""
        answers = json.loads((self.home / "standin-record/answers.json").read_text())
        self.assertEqual(answers["keys"],
                         {"openrouterApiKey": hashlib.sha256(key.encode()).hexdigest()})
        for path in self.home.rglob("*"):
            if path.is_file() and not path.is_symlink():
                self.assertNotIn(key.encode(), path.read_bytes(), f"{path} holds the key")

    def test_first_install_by_keyboard(self):
        self.start_app()
        # The buttons wait for the Node.js check; then the keyboard is on the default button.
        now = self.wait_for("the welcome screen did not come up", lambda s: shows(
            s, "Start setup", "push button", ENABLED, FOCUSED), APPEAR_S)
        # The window comes to the front with the keyboard in it.
        self.assertTrue(shows(now, "Corvane Setup", None, ACTIVE))

        # Return presses "Start setup"; the tool found is ticked already.
        self.keys("Return")
        now = self.wait_for_texts("the tools step did not come up", "Choose your tools",
                                  "Step 1 of 2", "Next")
        self.assertTrue(shows(now, "Claude Code", "check box", CHECKED))

        # Return is "Next": Claude Code's funding.
        self.keys("Return")
        now = self.wait_for_texts("the funding step did not come up", "Claude Code funding",
                                  "Step 2 of 2", "Back")

        # A click on the OpenRouter row shows its key field, with the keyboard in it; "Install"
        # waits for a key.
        self.click(find(now, "OpenRouter API key", "radio button"))
        now = self.wait_for("the OpenRouter row did not bring up its key field", lambda s: shows(
            s, "OpenRouter API key", "password text", FOCUSED))
        self.assertFalse(shows(now, "Install", "push button", ENABLED))

        self.type(FIRST_KEY)
        now = self.wait_for('typing the key did not enable "Install"', lambda s: shows(
            s, "Install", "push button", ENABLED))
        # Masked for a screen reader too.
        field = find(now, "OpenRouter API key", "password text").accessible
        self.assertNotIn("sk-or", Atspi.Text.get_text(field, 0, -1))

        # Return in the key field presses "Install".
        now = self.run_from_return("Installing\u2026")
        self.assertTrue(shows(now, "Corvane is set up"), text_after(now, "Something went wrong"))
        self.assertTrue(shows(now, "Copy command: corv claude", "push button"))
        self.assert_only_installer_got(FIRST_KEY)
        self.assertFalse((self.home / "pwned").exists())

        # "Done" ends the program, successfully, and nothing of it stays.
        self.click(find(now, "Done", "push button"))
        self.assertEqual(self.app.wait(EXIT_S), 0)
        deadline = time.monotonic() + EXIT_S
        while processes_of(self.home) and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertEqual(processes_of(self.home), [], "processes left behind")

    def test_failed_change_shows_its_cause(self):
        (self.home / MANIFEST).parent.mkdir(parents=True)
        (self.home / MANIFEST).write_text(json.dumps({"version": 1, "installations": [
            {"harness": "claude-code", "user_funded_provider": "openrouter"}]}))
        self.start_app(failure="error:" + REFUSED)
        now = self.wait_for("the welcome screen for a returning user did not come up",
                            lambda s: shows(s, "Change tools or funding", "push button", ENABLED),
                            APPEAR_S)
        self.click(find(now, "Change tools or funding", "push button"))
        now = self.wait_for_texts("the questions did not open", "Choose your tools", "Next")
        self.assertTrue(shows(now, "Claude Code", "check box", CHECKED))

        # The funding the manifest names is chosen again; the key was never stored, so its field
        # is empty and "Save changes" waits for it.
        self.keys("Return")
        now = self.wait_for("the funding step did not come up with its key field", lambda s: shows(
            s, "OpenRouter API key", "password text", FOCUSED))
        self.assertTrue(shows(now, "OpenRouter API key", "radio button", CHECKED))
        self.assertFalse(shows(now, "Save changes", "push button", ENABLED))
        field = find(now, "OpenRouter API key", "password text").accessible
        self.assertEqual(Atspi.Text.get_text(field, 0, -1), "")

        self.type(SECOND_KEY)
        self.wait_for('typing the key did not enable "Save changes"', lambda s: shows(
            s, "Save changes", "push button", ENABLED))
        now = self.run_from_return("Updating\u2026")
        # The failure screen reads the installer's own last line.
        self.assertEqual(text_after(now, "Something went wrong"), REFUSED)
        self.assert_only_installer_got(SECOND_KEY)


if __name__ == "__main__":
    sys.exit(main())
