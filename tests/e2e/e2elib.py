"""Helpers of the end-to-end suite: a private X server, the real stand-in
service behind a recording relay on the panel's port, the real panel, and
the keyboard, screen and clipboard as a user has them. Standard library only.
"""
import os
import re
import select
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

BIN = os.environ.get("TELLURIX_BIN_DIR", os.path.join(os.path.dirname(__file__), "../../build/bin"))
SOURCE = os.environ.get("TELLURIX_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "../.."))
CAPTURE = os.path.join(SOURCE, "tests/data/zed-f9p-dunedin.nmea")
PANEL_PORT = 51501

# Commands of the service link the suite names.
CMD_STATUS, CMD_COMM, CMD_OFFSET = 0x4244, 0x4245, 0x4246
CMD_LOOP, CMD_HISTORY, CMD_LOOP_LOG, CMD_GPS_LOG, CMD_LOCK = 0x4248, 0x4249, 0x424C, 0x424D, 0x424F

# Fill colours of the service-state panel.
LOCKED, HOLDOVER, NO_SERVICE = (0, 128, 0), (255, 242, 0), (192, 0, 0)

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)
    return ok


def wait_for(predicate, timeout, step=0.1):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return predicate()


def frames(buffer):
    """Complete packets at the front of buffer: [(command, payload)], rest."""
    packets = []
    while True:
        start = buffer.find(b"BR")
        if start < 0:
            return packets, buffer[-1:]
        buffer = buffer[start:]
        if len(buffer) < 8:
            return packets, buffer
        command, length = struct.unpack(">HH", buffer[4:8])
        if len(buffer) < 9 + length:
            return packets, buffer
        if sum(buffer[2:8 + length]) & 0xFF == buffer[8 + length]:
            packets.append((command, buffer[8:8 + length]))
            buffer = buffer[9 + length:]
        else:
            buffer = buffer[1:]


class Relay:
    """Listens on the panel's port and relays each panel to the stand-in
    service, recording the packets both ways. While the service is down it
    does not listen, so the panel meets refused connections as it would."""

    def __init__(self):
        self.lock = threading.Lock()
        self.sent = []      # (time, command, payload) from the panel
        self.states = []    # (time, loop state) of status pushes to the panel
        self.listener = None
        self.upstream = None
        self.pairs = []

    def start(self, upstream_port):
        self.upstream = upstream_port
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", PANEL_PORT))
        self.listener.listen(8)
        threading.Thread(target=self._accept, args=(self.listener,), daemon=True).start()

    def stop(self):
        listener, self.listener = self.listener, None
        if listener:
            listener.close()
        for a, b in self.pairs:
            for s in (a, b):
                try:
                    s.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass

    def _accept(self, listener):
        while True:
            try:
                panel, _ = listener.accept()
            except OSError:
                return
            try:
                service = socket.create_connection(("127.0.0.1", self.upstream))
            except OSError:
                panel.close()
                continue
            self.pairs.append((panel, service))
            threading.Thread(target=self._pump, args=(panel, service), daemon=True).start()

    def _pump(self, panel, service):
        pending = {panel: b"", service: b""}
        while True:
            readable, _, _ = select.select([panel, service], [], [], 1.0)
            for s in readable:
                try:
                    data = s.recv(65536)
                except OSError:
                    data = b""
                if not data:
                    panel.close()
                    service.close()
                    return
                (service if s is panel else panel).sendall(data)
                packets, pending[s] = frames(pending[s] + data)
                now = time.monotonic()
                with self.lock:
                    for command, payload in packets:
                        if s is panel:
                            self.sent.append((now, command, payload))
                        elif command == CMD_STATUS and len(payload) >= 82:
                            self.states.append((now, payload[81]))

    def sent_since(self, t):
        with self.lock:
            return [(c, p) for (when, c, p) in self.sent if when >= t]

    def state_now(self):
        with self.lock:
            return self.states[-1][1] if self.states else None


class Session:
    """A private X server (or Wayland compositor) with a configuration home."""

    def __init__(self, wayland=False):
        self.tmp = tempfile.mkdtemp(prefix="tellurix-e2e-")
        runtime = os.path.join(self.tmp, "runtime")
        os.mkdir(runtime, 0o700)
        self.env = dict(os.environ, HOME=self.tmp, XDG_CONFIG_HOME=os.path.join(self.tmp, "config"),
                        XDG_RUNTIME_DIR=runtime, LANG="C", LC_ALL="C", QT_FONT_DPI="96",
                        TMPDIR=self.tmp)  # the instance key's file: panels elsewhere don't count
        for key in ("QT_QPA_PLATFORM", "QT_FATAL_WARNINGS", "WAYLAND_DISPLAY", "DISPLAY"):
            self.env.pop(key, None)
        self.procs = []
        self.relay = Relay()
        self.sim = None
        self.panel = None
        if wayland:
            self._start_weston()
        else:
            self._start_xvfb()

    def _start_xvfb(self):
        # A display with no lock file (spread by process id), or TELLURIX_E2E_DISPLAY.
        start = 70 + os.getpid() % 300
        number = os.environ.get("TELLURIX_E2E_DISPLAY") or next(
            str(n) for n in range(start, start + 200) if not os.path.exists("/tmp/.X%d-lock" % n)
            and not os.path.exists("/tmp/.X11-unix/X%d" % n))
        log = open(os.path.join(self.tmp, "xvfb.log"), "w")
        self.procs.append(subprocess.Popen(["Xvfb", ":" + number, "-screen", "0", "1280x900x24", "-nolisten", "tcp"],
                                           stderr=log))
        self.env.update(DISPLAY=":" + number, QT_QPA_PLATFORM="xcb")
        if not wait_for(lambda: self.run(["xdpyinfo"]).returncode == 0, 10):
            sys.exit("Xvfb did not start on %s:\n%s" % (self.env["DISPLAY"], open(log.name).read()))

    def _start_weston(self):
        name = "tellurix-e2e-%d" % os.getpid()
        log = open(os.path.join(self.tmp, "weston.log"), "w")
        weston = subprocess.Popen(["weston", "--backend=headless-backend.so", "--socket=" + name,
                                   "--width=1280", "--height=900", "--idle-time=0", "--use-pixman", "--debug"],
                                  env=self.env, stdout=log, stderr=subprocess.STDOUT)
        self.procs.append(weston)
        self.env.update(WAYLAND_DISPLAY=name, QT_QPA_PLATFORM="wayland")
        socket_path = os.path.join(self.env["XDG_RUNTIME_DIR"], name)
        if not wait_for(lambda: os.path.exists(socket_path) or weston.poll() is not None, 10) \
                or weston.poll() is not None:
            log.close()
            sys.exit("weston cannot run headless here:\n" + open(os.path.join(self.tmp, "weston.log")).read())

    def run(self, args, **kw):
        return subprocess.run(args, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kw)

    def start_service(self, *options):
        """tellurix-sim on a free port, behind the relay on the panel's port."""
        self.sim = subprocess.Popen([os.path.join(BIN, "tellurix-sim"), "--port", "0", *options],
                                    env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        line = self.sim.stderr.readline()
        match = re.search(r"listening on [\d.]+:(\d+)", line)
        if not match:
            sys.exit("tellurix-sim did not start: " + line)
        threading.Thread(target=lambda: self.sim and self.sim.stderr.read(), daemon=True).start()
        self.relay.start(int(match.group(1)))

    def stop_service(self):
        self.relay.stop()
        self.sim.send_signal(signal.SIGTERM)
        self.sim.wait(10)

    def start_panel(self):
        with open(os.path.join(self.tmp, "panel.log"), "w") as log:
            self.panel = subprocess.Popen([os.path.join(BIN, "TellurixPanel")], env=self.env,
                                          stdout=subprocess.DEVNULL, stderr=log)
        return self.panel

    def stop_panel(self):
        self.panel.send_signal(signal.SIGTERM)
        self.panel.wait(10)

    def window(self, title, timeout=10):
        found = wait_for(lambda: self.run(["xdotool", "search", "--name", "^%s$" % title]).stdout.split(),
                         timeout)
        if not found:
            return None
        # No window manager: the window a key is meant for takes the focus.
        self.run(["xdotool", "windowfocus", "--sync", found[-1].decode()])
        time.sleep(0.3)
        return found[-1].decode()

    def keys(self, *keys, pause=0.3):
        for key in keys:
            self.run(["xdotool", "key", "--clearmodifiers", key])
            time.sleep(pause)

    def screen(self):
        """Pixels of the whole screen as RGBA bytes."""
        if "WAYLAND_DISPLAY" not in self.env:
            return self.run(["import", "-display", self.env["DISPLAY"], "-window", "root", "-depth", "8",
                             "rgba:-"]).stdout
        # weston's screenshooter (offered with --debug) writes a PNG here.
        for old in os.listdir(self.tmp):
            if old.startswith("wayland-screenshot"):
                os.remove(os.path.join(self.tmp, old))
        self.run(["weston-screenshooter"], cwd=self.tmp, timeout=10)
        shots = [f for f in os.listdir(self.tmp) if f.startswith("wayland-screenshot")]
        return self.run(["convert", os.path.join(self.tmp, shots[0]), "-depth", "8", "rgba:-"]).stdout \
            if shots else b""

    def close(self):
        for p in [self.panel, self.sim] + self.procs[::-1]:
            if p and p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
        self.relay.stop()
        shutil.rmtree(self.tmp, ignore_errors=True)


def colour_count(rgba, colour):
    # No component is 255 in the colours counted with an exact alpha below,
    # so a match cannot straddle two pixels; yellow's 255 is in red, where a
    # straddle would need a pixel (242, 0, 255) next to it.
    return rgba.count(bytes(colour) + b"\xff")
