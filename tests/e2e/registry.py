#!/usr/bin/env python3
"""The end-to-end tests' npm world: a local registry serving the Corvane stand-in, and the home of
a user whose npm knows only that registry.

The registry is Verdaccio (installed in tests/e2e by npm ci) on a free loopback port, with its
configuration, storage, log and a throw-away publisher account in a folder of the caller's. It has
no uplink: it serves what was published to it and answers 404 for everything else, so nothing
reaches another registry. Storage outlives a stop, so a restarted registry serves the same packages.

A user's home holds links to the machine's node, npm and npx (and the sh npm runs commands with);
its login shells (zsh, bash, sh) see only those on PATH. npm is set up by its environment variables
alone: the registry, a cache in the home (empty at first), and short retries.

Command line, for the C++ tests:
  registry.py serve FOLDER [--publish VERSION]... [--home HOME]
      Starts the registry (on its last port when that is free), publishes the stand-in under each
      VERSION and makes HOME a user's home. Then prints one JSON line, {"url": ..., "log": ...,
      "env": {NAME: value, or null to unset}}, the environment the user's programs need (every
      other npm_config_* variable of the caller is unset there), and runs until its standard input
      closes or it is told to end (SIGTERM, SIGINT), when it stops the registry.
  registry.py publish FOLDER VERSION
      Publishes the stand-in under VERSION to the registry that serve runs for FOLDER.
Exit status 77 with the reason when Node.js is not installed (the tests skip), 1 on any failure.
"""
import base64
import hashlib
import json
import os
import pathlib
import secrets
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

HERE = pathlib.Path(__file__).resolve().parent
VERDACCIO = HERE / "node_modules" / ".bin" / "verdaccio"
STAND_IN = HERE.parent.parent / "standin" / "corvane"
PUBLISHER = "corvane-test-publisher"
SKIP = 77

START_BOUND_S = 30
PUBLISH_BOUND_S = 120


class Unavailable(Exception):
    """A tool the npm chain needs is not installed: the tests skip."""


def node_tools():
    """The machine's node, npm and npx."""
    tools = {name: shutil.which(name) for name in ("node", "npm", "npx")}
    missing = [name for name, path in tools.items() if not path]
    if missing:
        raise Unavailable(f"Node.js ({', '.join(missing)}) is not on PATH")
    return tools


def own_session():
    """Runs in a child before it starts: a session of its own, ended when its parent ends."""
    os.setsid()
    if sys.platform.startswith("linux"):
        import ctypes

        ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def end_group(process, bound_s=5):
    """Ends the process group that process leads: SIGTERM, then SIGKILL."""
    if process is None or process.poll() is not None:
        return
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(process.pid, sig)
        except ProcessLookupError:
            pass
        try:
            process.wait(bound_s)
            return
        except subprocess.TimeoutExpired:
            pass


def without_npm_settings(env):
    return {name: value for name, value in env.items()
            if not name.lower().startswith("npm_config_")}


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Registry:
    """Verdaccio serving folder: its configuration, storage, log and publisher account."""

    def __init__(self, folder):
        self.folder = pathlib.Path(folder)
        self.log = self.folder / "verdaccio.log"
        self.server = None
        self.folder.mkdir(parents=True, exist_ok=True)
        state = self.folder / "state.json"
        if not state.exists():
            # htpasswd takes unsalted SHA-1 in its {SHA} form: enough for an account that lives
            # as long as this folder.
            password = secrets.token_hex(16)
            digest = base64.b64encode(hashlib.sha1(password.encode()).digest()).decode()
            (self.folder / "htpasswd").write_text(f"{PUBLISHER}:{{SHA}}{digest}\n")
            # Paths are the config file's; no one registers, anyone reads.
            (self.folder / "config.yaml").write_text(
                "storage: ./storage\n"
                "auth: {htpasswd: {file: ./htpasswd, max_users: -1}}\n"
                "uplinks: {}\n"
                "packages:\n"
                "  '**': {access: $all, publish: $authenticated, unpublish: $authenticated}\n"
                "web: {enable: false}\n"
                "log: {type: stdout, format: json, level: http}\n")
            state.write_text(json.dumps({"password": password, "port": 0}))
        self.state = json.loads(state.read_text())

    @property
    def url(self):
        return f"http://127.0.0.1:{self.state['port']}/"

    def start(self):
        if not VERDACCIO.exists():
            raise RuntimeError("Verdaccio is not installed in tests/e2e: ./dev test installs it "
                               "(npm ci there)")
        node_tools()
        errors = []
        for port in [self.state["port"] or free_port()] + [free_port() for _ in range(4)]:
            if self._launch(port):
                self.state["port"] = port
                (self.folder / "state.json").write_text(json.dumps(self.state))
                return self.url
            errors.append(self.log.read_text(errors="replace")[-2000:])
        raise RuntimeError("Verdaccio did not start: " + "\n".join(errors))

    def _launch(self, port):
        env = without_npm_settings(os.environ)
        env["HOME"] = str(self.folder)
        with open(self.log, "wb") as log:
            self.server = subprocess.Popen(
                [str(VERDACCIO), "--config", str(self.folder / "config.yaml"),
                 "--listen", f"127.0.0.1:{port}"],
                stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT, env=env,
                preexec_fn=own_session)
        deadline = time.monotonic() + START_BOUND_S
        while self.server.poll() is None and time.monotonic() < deadline:
            if b'"msg":"http address' in self.log.read_bytes():
                return True
            time.sleep(0.05)
        self.stop()
        return False

    def stop(self):
        end_group(self.server)
        self.server = None

    def publish(self, version):
        """Publishes the stand-in under version, as the throw-away publisher."""
        if not (STAND_IN / "node_modules" / "ora").is_dir():
            raise RuntimeError("the stand-in's bundled dependencies are missing: ./dev test "
                               "installs them (npm ci in standin/corvane)")
        with tempfile.TemporaryDirectory(dir=self.folder) as work:
            work = pathlib.Path(work)
            package = work / "package"
            shutil.copytree(STAND_IN, package, symlinks=False)
            manifest = json.loads((package / "package.json").read_text())
            manifest["version"] = version
            (package / "package.json").write_text(json.dumps(manifest))
            credentials = base64.b64encode(f"{PUBLISHER}:{self.state['password']}".encode())
            (work / ".npmrc").write_text(
                f"{self.url[len('http:'):]}:_auth={credentials.decode()}\n")
            # The publisher has a home, cache and configuration of its own.
            env = dict(without_npm_settings(os.environ), HOME=str(work),
                       npm_config_userconfig=str(work / ".npmrc"),
                       npm_config_cache=str(work / ".npm"), npm_config_registry=self.url)
            done = subprocess.run(
                [node_tools()["npm"], "publish", "--tag", "latest"], cwd=package, env=env,
                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                timeout=PUBLISH_BOUND_S)
            if done.returncode != 0:
                raise RuntimeError(f"npm publish {version} failed:\n"
                                   + done.stdout.decode(errors="replace")[-2000:])


def user_home(home, registry_url):
    """Makes home the home of a user whose npm knows only registry_url and returns the
    environment that user's programs run with (None: unset)."""
    home = pathlib.Path(home)
    (home / "bin").mkdir(parents=True, exist_ok=True)
    (home / "tmp").mkdir(exist_ok=True)
    (home / "run").mkdir(mode=0o700, exist_ok=True)
    # Links, not copies: npm and npx find their own code from where the link points. npm runs a
    # package's command with the sh it finds on PATH.
    for name, path in dict(node_tools(), sh=shutil.which("sh")).items():
        link = home / "bin" / name
        if not link.is_symlink():
            link.symlink_to(path)
    # zsh reads .zshrc last of its start-up files, bash -l reads .bash_profile, sh reads .profile.
    for rc in (".zshrc", ".bash_profile", ".profile"):
        (home / rc).write_text('PATH="$HOME/bin"; export PATH\n')
    # zsh is what Mac users have; bash and sh where it is missing.
    shell = shutil.which("zsh") or shutil.which("bash") or shutil.which("sh")
    env = {name: None for name in os.environ if name.lower().startswith("npm_config_")}
    env.update({
        "HOME": str(home),
        "SHELL": shell,
        "TMPDIR": str(home / "tmp"),
        "XDG_RUNTIME_DIR": str(home / "run"),
        "CORVANE_STANDIN_RECORD": str(home / "standin-record"),
        # An app started from a launcher has neither; tools turn their spinners off under CI.
        "CI": None,
        "TERM": None,
        "npm_config_registry": registry_url,
        "npm_config_cache": str(home / ".npm"),
        "npm_config_userconfig": str(home / ".npmrc"),
        "npm_config_update_notifier": "false",
        "npm_config_fund": "false",
        "npm_config_audit": "false",
        # A registry that is down fails a run in seconds, not minutes.
        "npm_config_fetch_retries": "1",
        "npm_config_fetch_retry_mintimeout": "200",
        "npm_config_fetch_retry_maxtimeout": "1000",
    })
    return env


def serve(folder, versions, home):
    registry = Registry(folder)

    def end(*_):
        raise SystemExit(0)

    signal.signal(signal.SIGTERM, end)
    signal.signal(signal.SIGINT, end)
    try:
        registry.start()
        for version in versions:
            registry.publish(version)
        env = user_home(home, registry.url) if home else {}
        print(json.dumps({"url": registry.url, "log": str(registry.log), "env": env}), flush=True)
        sys.stdin.buffer.read()
    finally:
        registry.stop()


def main(argv):
    try:
        if len(argv) >= 2 and argv[0] == "serve":
            versions = [argv[i + 1] for i, arg in enumerate(argv) if arg == "--publish"]
            home = argv[argv.index("--home") + 1] if "--home" in argv else None
            serve(argv[1], versions, home)
        elif len(argv) == 3 and argv[0] == "publish":
            Registry(argv[1]).publish(argv[2])
        else:
            print(__doc__, file=sys.stderr)
            return 2
    except Unavailable as reason:
        print(f"SKIP: {reason}", file=sys.stderr)
        return SKIP
    except (RuntimeError, OSError, subprocess.SubprocessError) as error:
        print(f"registry.py: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
