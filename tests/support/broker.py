# SPDX-License-Identifier: GPL-3.0-or-later
"""A mosquitto broker for the Python tests: on a free loopback port, with a configuration written here,
optionally with users, passwords and an access list, TLS by a certificate authority made here with
openssl, and a bridge to another broker. It can be killed and started again on the same port, and never
outlives its `with` block."""
import getpass
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import time

MOSQUITTO = shutil.which("mosquitto") or "/usr/sbin/mosquitto"
WAIT_S = 5.0


def free_port():
    """A TCP port on 127.0.0.1 that nothing listens on now."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def _run(*argv):
    subprocess.run(argv, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_authority(directory):
    """A certificate authority and a server certificate for 127.0.0.1 and localhost, signed by it, in
    `directory`; returns the paths (ca, cert, key)."""
    ca_key, ca = os.path.join(directory, "ca.key"), os.path.join(directory, "ca.crt")
    key, request, cert = (os.path.join(directory, name)
                          for name in ("server.key", "server.csr", "server.crt"))
    extensions = os.path.join(directory, "server.ext")
    with open(extensions, "w", encoding="ascii") as ext:
        ext.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n")
    curve = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    _run("openssl", "req", "-x509", *curve, "-keyout", ca_key, "-out", ca, "-days", "2",
         "-subj", "/CN=hz70 test CA")
    _run("openssl", "req", *curve, "-keyout", key, "-out", request, "-subj", "/CN=localhost")
    _run("openssl", "x509", "-req", "-in", request, "-CA", ca, "-CAkey", ca_key, "-CAcreateserial",
         "-out", cert, "-days", "2", "-extfile", extensions)
    return ca, cert, key


class Broker:
    """mosquitto on 127.0.0.1:`port` (a free one unless given). `users` maps user names to passwords and
    turns anonymous access off; `acl` is the text of an access list (mosquitto's acl_file) that decides
    what each user may read and write; `tls` makes the listener TLS-only with a fresh authority (`ca` is its
    certificate); `bridge_to` is another Broker that every hz70/# message is forwarded to; `persistent`
    keeps sessions and retained messages across a restart (saved every second)."""

    def __init__(self, users=None, tls=False, bridge_to=None, persistent=False, port=None, acl=None):
        self.dir = tempfile.mkdtemp(prefix="hz70broker.")
        self.port = port or free_port()
        self.ca = None
        self.users = users or {}
        self.log = os.path.join(self.dir, "mosquitto.log")
        lines = [f"listener {self.port} 127.0.0.1", f"user {getpass.getuser()}", f"log_dest file {self.log}",
                 "log_type error", "log_type warning", "log_type notice", "log_type information",
                 "connection_messages true", "max_queued_messages 100000"]
        if users:
            passwords = os.path.join(self.dir, "passwords")
            open(passwords, "w", encoding="ascii").close()
            for user, password in users.items():
                _run("mosquitto_passwd", "-b", passwords, user, password)
            lines += ["allow_anonymous false", f"password_file {passwords}"]
        else:
            lines.append("allow_anonymous true")
        if acl is not None:
            acl_file = os.path.join(self.dir, "acl")
            with open(acl_file, "w", encoding="ascii") as file:
                file.write(acl)
            lines.append(f"acl_file {acl_file}")
        if tls:
            self.ca, cert, key = make_authority(self.dir)
            lines += [f"cafile {self.ca}", f"certfile {cert}", f"keyfile {key}"]
        if persistent:
            lines += ["persistence true", f"persistence_location {self.dir}/", "autosave_interval 1"]
        if bridge_to is not None:
            lines += ["connection plant", f"address 127.0.0.1:{bridge_to.port}", "topic hz70/# out 1",
                      "restart_timeout 1"]
        self.config = os.path.join(self.dir, "mosquitto.conf")
        with open(self.config, "w", encoding="ascii") as config:
            config.write("\n".join(lines) + "\n")
        self.process = None
        self.start()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def start(self):
        """Starts it and returns once it accepts connections."""
        self.process = subprocess.Popen([MOSQUITTO, "-c", self.config], stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        deadline = time.monotonic() + WAIT_S
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise AssertionError(f"mosquitto did not start: {self.process.stderr.read()} "
                                     f"{self.log_text()}")
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=0.2).close()
                return
            except OSError:
                time.sleep(0.05)
        self.kill()
        raise AssertionError(f"mosquitto did not listen on {self.port} within {WAIT_S} s")

    def kill(self, how=signal.SIGKILL):
        """Ends it abruptly (or by `how`) and waits for it."""
        if self.process is not None and self.process.poll() is None:
            self.process.send_signal(how)
            try:
                self.process.wait(timeout=WAIT_S)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def restart(self):
        self.kill()
        self.start()

    def log_text(self):
        try:
            with open(self.log, encoding="utf-8", errors="replace") as log:
                return log.read()
        except OSError:
            return ""

    def url(self, user=None):
        """The URL hz70cli gateway takes for this broker."""
        return f"{'mqtts' if self.ca else 'mqtt'}://{user + '@' if user else ''}127.0.0.1:{self.port}"

    def client_options(self, user=None, password=None):
        """What mosquitto_sub and mosquitto_pub need to reach it."""
        options = ["-h", "127.0.0.1", "-p", str(self.port)]
        if user:
            options += ["-u", user, "-P", password]
        if self.ca:
            options += ["--cafile", self.ca]
        return options

    def close(self):
        self.kill()
        if self.process is not None and self.process.stderr:
            self.process.stderr.close()
        shutil.rmtree(self.dir, ignore_errors=True)
