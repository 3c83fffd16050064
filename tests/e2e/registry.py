#!/usr/bin/env python3
"""The end-to-end tests' npm world: a local registry serving the Corvane stand-in, and the home of
a user whose npm knows only that registry.

The registry is Verdaccio (installed in tests/e2e by npm ci) on a free loopback port, with its
configuration, storage and log in a folder of the caller's. It has no uplink: it serves what was
published to it and answers 404 for everything else, so nothing reaches another registry. Anyone
may publish; npm only wants a token to send, which the folder's npmrc gives along with the
registry's address. Storage outlives a stop, so a restarted registry serves the same packages.

A user's home holds links to the machine's node, npm and npx (and the sh npm runs commands with);
its login shells (zsh, bash, sh) see only those on PATH. npm is set up by its environment variables
alone: the registry, a cache in the home (empty at first), and short retries.

Command line, for the C++ tests:
  registry.py serve FOLDER HOME VERSION
      Starts the registry, publishes the stand-in under VERSION and makes HOME a user's home.
      Then prints one JSON line, {NAME: value, or null to unset}, the environment the user's
      programs need (every other npm_config_* variable of the caller is unset there), and runs
      until its standard input closes or it is told to end (SIGTERM), when it stops the registry.
  registry.py publish FOLDER VERSION
      Publishes the stand-in under VERSION to the registry that serve runs for FOLDER.
Exit status 77 with the reason when Node.js is not installed (the tests skip), 1 on any failure.
"""
import json
import os
import pathlib
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
SKIP = 77


class Unavailable(Exception):
    """A tool the npm chain needs is not installed: the tests skip."""


def node_tools():
    """The machine's node, npm and npx."""
    tools = {name: shutil.which(name) for name in ("node", "npm", "npx")}
    if not all(tools.values()):
        raise Unavailable("Node.js (node, npm and npx) is not on PATH")
    return tools


def own_session():
    """Runs in a child before it starts: a session of its own, ended when its parent ends."""
    os.setsid()
    if sys.platform.startswith("linux"):
        import ctypes

        ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def end_group(process):
    """Ends the process group that process leads: SIGTERM, then SIGKILL."""
    for sig in (signal.SIGTERM, signal.SIGKILL):
        if process is None or process.poll() is not None:
            return
        os.killpg(process.pid, sig)
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            pass


def without_npm_settings(env):
    return {name: value for name, value in env.items()
            if not name.lower().startswith("npm_config_")}


class Registry:
    """Verdaccio serving folder."""

    def __init__(self, folder):
        self.folder = pathlib.Path(folder)
        self.folder.mkdir(parents=True, exist_ok=True)
        self.npmrc = self.folder / "npmrc"
        self.server = None
        self.url = None

    def start(self):
        node_tools()
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        self.url = f"http://127.0.0.1:{port}/"
        (self.folder / "config.yaml").write_text(
            "storage: ./storage\n"
            "uplinks: {}\n"
            "packages: {'**': {access: $all, publish: $all}}\n"
            "web: {enable: false}\n"
            "log: {type: stdout, format: json, level: warn}\n")
        self.npmrc.write_text(f"registry={self.url}\n//127.0.0.1:{port}/:_authToken=anyone\n")
        log = self.folder / "verdaccio.log"
        with open(log, "wb") as out:
            self.server = subprocess.Popen(
                [str(VERDACCIO), "--config", str(self.folder / "config.yaml"),
                 "--listen", f"127.0.0.1:{port}"],
                stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                env=dict(without_npm_settings(os.environ), HOME=str(self.folder)),
                preexec_fn=own_session)
        deadline = time.monotonic() + 30  # seconds, a bound on Verdaccio's start
        while b'"msg":"http address' not in log.read_bytes():
            if self.server.poll() is not None or time.monotonic() > deadline:
                self.stop()
                raise RuntimeError("Verdaccio did not start: " + log.read_text()[-2000:])
            time.sleep(0.05)

    def stop(self):
        end_group(self.server)
        self.server = None

    def publish(self, version):
        """Publishes the stand-in under version."""
        if not (STAND_IN / "node_modules" / "ora").is_dir():
            raise RuntimeError("the stand-in's bundled dependencies are missing: ./dev test "
                               "installs them (npm ci in standin/corvane)")
        with tempfile.TemporaryDirectory(dir=self.folder) as work:
            package = pathlib.Path(work, "package")
            shutil.copytree(STAND_IN, package)
            manifest = json.loads((package / "package.json").read_text())
            (package / "package.json").write_text(json.dumps(dict(manifest, version=version)))
            env = dict(without_npm_settings(os.environ), HOME=work,
                       npm_config_userconfig=str(self.npmrc), npm_config_cache=f"{work}/.npm")
            done = subprocess.run([node_tools()["npm"], "publish"], cwd=package, env=env,
                                  stdin=subprocess.DEVNULL, capture_output=True, text=True,
                                  timeout=120)  # seconds
            if done.returncode != 0:
                raise RuntimeError(f"npm publish {version} failed:\n{done.stderr[-2000:]}")


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
        (home / "bin" / name).symlink_to(path)
    # zsh reads .zshrc last of its start-up files, bash -l reads .bash_profile, sh reads .profile.
    for rc in (".zshrc", ".bash_profile", ".profile"):
        (home / rc).write_text('PATH="$HOME/bin"; export PATH\n')
    env = {name: None for name in os.environ if name.lower().startswith("npm_config_")}
    env.update({
        "HOME": str(home),
        # zsh is what Mac users have; bash and sh where it is missing.
        "SHELL": shutil.which("zsh") or shutil.which("bash") or shutil.which("sh"),
        "TMPDIR": str(home / "tmp"),
        "XDG_RUNTIME_DIR": str(home / "run"),
        "CORVANE_STANDIN_RECORD": str(home / "standin-record"),
        # An app started from a launcher has neither; tools turn their spinners off under CI.
        "CI": None,
        "TERM": None,
        "npm_config_registry": registry_url,
        "npm_config_cache": str(home / ".npm"),
        "npm_config_userconfig": str(home / ".npmrc"),
        # A registry that is down fails a run in seconds, not minutes.
        "npm_config_fetch_retries": "1",
        "npm_config_fetch_retry_mintimeout": "200",
        "npm_config_fetch_retry_maxtimeout": "1000",
    })
    return env


def main(argv):
    registry = Registry(argv[1]) if len(argv) > 1 else None
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    try:
        if len(argv) == 4 and argv[0] == "serve":
            try:
                registry.start()
                registry.publish(argv[3])
                print(json.dumps(user_home(argv[2], registry.url)), flush=True)
                sys.stdin.buffer.read()
            finally:
                registry.stop()
        elif len(argv) == 3 and argv[0] == "publish":
            if not registry.npmrc.exists():
                raise RuntimeError(f"no registry is served for {argv[1]}")
            registry.publish(argv[2])
        else:
            sys.exit(__doc__)
    except Unavailable as reason:
        print(f"SKIP: {reason}", file=sys.stderr)
        return SKIP
    except (RuntimeError, OSError, subprocess.SubprocessError) as error:
        print(f"registry.py: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
