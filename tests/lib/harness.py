"""Shared helpers for the integration tests: run a built program, start a simulator.

BIN_DIR names the folder of the built programs; EMULATOR (may be empty) is put in front of
every program run, so the same tests run the armhf build under qemu-arm.

A shell cannot start an emulated program, so a test whose program runs another of ours through
the shell (a stand-in found on PATH) names SHELL_BIN_DIR, not BIN_DIR, on that PATH; a PATH
entry naming BIN_DIR is changed to SHELL_BIN_DIR in every run all the same.
"""
import os
import shlex
import subprocess
import tempfile
import time

BIN_DIR = os.environ.get("BIN_DIR", os.path.join(os.path.dirname(__file__), "../../build/bin"))
EMULATOR = shlex.split(os.environ.get("EMULATOR", ""))
# Programs in a form a shell can start: BIN_DIR itself, or under emulation the folder of
# scripts that start each program under the emulator.
SHELL_BIN_DIR = (os.environ.get("HOST_BIN_DIR") or BIN_DIR) if EMULATOR else BIN_DIR


def prog(name):
    """Command-line prefix that runs the built program `name`."""
    return EMULATOR + [os.path.join(BIN_DIR, name)]


def _environment(env):
    full_env = dict(os.environ)
    if env:
        full_env.update(env)
    if SHELL_BIN_DIR != BIN_DIR and "PATH" in full_env:
        bin_dir = os.path.realpath(BIN_DIR)
        full_env["PATH"] = os.pathsep.join(
            SHELL_BIN_DIR if d and os.path.realpath(d) == bin_dir else d
            for d in full_env["PATH"].split(os.pathsep))
    return full_env


def wait_for(fetch, timeout=20, interval=0.01):
    """Calls `fetch` until it returns something true or `timeout` seconds have passed; returns
    its last result. For what another process writes: a test waits for the record it needs
    rather than taking whatever is there at the moment it looks."""
    deadline = time.monotonic() + timeout
    while True:
        got = fetch()
        if got or time.monotonic() >= deadline:
            return got
        time.sleep(interval)


def run(name, args=(), input=None, env=None, timeout=60, cwd=None, stdout=None):
    """Run a built program; returns CompletedProcess with bytes stdout/stderr. With `stdout`
    (a file), standard output goes there instead and stdout is None."""
    full_env = _environment(env)
    if stdout is not None:
        return subprocess.run(prog(name) + list(args), input=input, stdout=stdout,
                              stderr=subprocess.PIPE, env=full_env, timeout=timeout, cwd=cwd)
    return subprocess.run(prog(name) + list(args), input=input, capture_output=True,
                          env=full_env, timeout=timeout, cwd=cwd)


class Server:
    """A simulator started on 127.0.0.1 with an ephemeral port.

    The simulator is started with `--port 0 --port-file FILE`; it writes the port it bound
    to FILE once it listens. Used as a context manager; stops only the process it started.
    """

    def __init__(self, name, args=(), env=None):
        self.name = name
        self.args = list(args)
        self.env = env
        self.proc = None
        self.port = None
        self.dir = tempfile.TemporaryDirectory()

    def start(self):
        port_file = os.path.join(self.dir.name, "port")
        full_env = _environment(self.env)
        self.stderr = open(os.path.join(self.dir.name, "stderr"), "wb")
        self.proc = subprocess.Popen(prog(self.name) + ["--port", "0", "--port-file", port_file]
                                     + self.args, stdout=subprocess.DEVNULL,
                                     stderr=self.stderr, env=full_env)
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            if os.path.exists(port_file):
                with open(port_file) as f:
                    text = f.read().strip()
                if text:
                    self.port = int(text)
                    return self
            if self.proc.poll() is not None:
                break
            time.sleep(0.02)
        self.stop()
        raise RuntimeError("%s did not start: %s" % (self.name, self.read_stderr()))

    def read_stderr(self):
        try:
            return open(os.path.join(self.dir.name, "stderr"), "rb").read().decode(errors="replace")
        except OSError:
            return ""

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        if getattr(self, "stderr", None):
            self.stderr.close()
            self.stderr = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()
        self.dir.cleanup()
        return False
