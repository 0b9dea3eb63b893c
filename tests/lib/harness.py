"""Shared helpers for the integration tests: run a built program, start a simulator.

BIN_DIR names the folder of the built programs; EMULATOR (may be empty) is put in front of
every program run, so the same tests run the armhf build under qemu-arm.
"""
import os
import shlex
import subprocess
import tempfile
import time

BIN_DIR = os.environ.get("BIN_DIR", os.path.join(os.path.dirname(__file__), "../../build/bin"))
EMULATOR = shlex.split(os.environ.get("EMULATOR", ""))


def prog(name):
    """Command-line prefix that runs the built program `name`."""
    return EMULATOR + [os.path.join(BIN_DIR, name)]


def run(name, args=(), input=None, env=None, timeout=60, cwd=None):
    """Run a built program; returns CompletedProcess with bytes stdout/stderr."""
    full_env = dict(os.environ)
    if env:
        full_env.update(env)
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
        full_env = dict(os.environ)
        if self.env:
            full_env.update(self.env)
        self.stderr = open(os.path.join(self.dir.name, "stderr"), "wb")
        self.proc = subprocess.Popen(prog(self.name) + ["--port", "0", "--port-file", port_file]
                                     + self.args, stdout=subprocess.DEVNULL,
                                     stderr=self.stderr, env=full_env)
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            if os.path.exists(port_file):
                text = open(port_file).read().strip()
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
