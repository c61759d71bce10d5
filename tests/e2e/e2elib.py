"""Helpers of the end-to-end suite: a private X server (or Wayland compositor), the real stand-in
service behind a recording relay on the panel's port, the real panel, its keys and its screen."""
import contextlib
import os
import re
import shutil
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
CMD_STATUS, CMD_LOCK = 0x4244, 0x424F  # commands of the service link the suite reads
# Fill colours of the service-state panel.
LOCKED, HOLDOVER, NO_SERVICE = (0, 128, 0), (255, 242, 0), (192, 0, 0)
ARTIFACTS = os.environ.get("TELLURIX_E2E_ARTIFACTS") or tempfile.gettempdir()  # a failed run's folders
START = time.monotonic()


def wait_for(predicate, timeout, step=0.1):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return predicate()


def frames(buffer):
    """Complete packets at the front of buffer, [(command, payload)], and the rest (both ends frame well)."""
    packets = []
    while len(buffer) >= 8 and len(buffer) >= 9 + struct.unpack(">H", buffer[6:8])[0]:
        command, length = struct.unpack(">HH", buffer[4:8])
        packets.append((command, buffer[8:8 + length]))
        buffer = buffer[9 + length:]
    return packets, buffer


class Relay:
    """Relays each panel on the panel's port to the stand-in service, recording the packets both
    ways. While the service is down it does not listen: the panel meets refused connections."""

    def __init__(self):
        self.lock = threading.Lock()
        self.packets = []  # (time, from the panel, command, payload)
        self.sockets = []
        self.listener = None

    def start(self, upstream_port):
        self.listener = socket.create_server(("127.0.0.1", 51501))  # the panel's port
        threading.Thread(target=self._accept, args=(self.listener, upstream_port), daemon=True).start()

    def stop(self):
        # A close alone leaves the port bound while the accepting thread waits; shutdown wakes it.
        with contextlib.suppress(OSError):
            self.listener.shutdown(socket.SHUT_RDWR)
        self.listener.close()
        for s in self.sockets:
            with contextlib.suppress(OSError):
                s.shutdown(socket.SHUT_RDWR)

    def _accept(self, listener, upstream_port):
        with contextlib.suppress(OSError):  # the listener closed
            while True:
                panel, _ = listener.accept()
                self.packets.append((time.monotonic(), True, 0, b""))
                service = socket.create_connection(("127.0.0.1", upstream_port))  # up while listening
                self.sockets += [panel, service]
                threading.Thread(target=self._pump, args=(panel, service, True), daemon=True).start()
                threading.Thread(target=self._pump, args=(service, panel, False), daemon=True).start()

    def _pump(self, source, sink, from_panel):
        pending = b""
        with contextlib.suppress(OSError):
            while data := source.recv(65536):
                sink.sendall(data)
                packets, pending = frames(pending + data)
                with self.lock:
                    self.packets += [(time.monotonic(), from_panel, c, p) for c, p in packets]
        for s in (source, sink):  # one side gone: end the other direction too
            with contextlib.suppress(OSError):
                s.shutdown(socket.SHUT_RDWR)

    def payloads(self, from_panel, command=None):
        with self.lock:
            return [p for (_, f, c, p) in self.packets if f == from_panel and command in (c, None) and c]

    def state_now(self):
        """The loop state of the service's last status push, or None."""
        states = [p[81] for p in self.payloads(False, CMD_STATUS) if len(p) > 81]
        return states[-1] if states else None

    def log(self):
        """Each packet: when (s into the run), which way, command (0: a panel connects), length, state."""
        with self.lock:
            return "".join("%8.2f %-7s 0x%04X %5d %s\n" % (t - START, "panel" if f else "service", c, len(p),
                           p[81] if c == CMD_STATUS and len(p) > 81 else "") for t, f, c, p in self.packets)


class Session:
    """A private X server (or Wayland compositor) with a configuration home."""

    def __init__(self, wayland=False, screen="1280x900", **env):
        self.tmp = tempfile.mkdtemp(prefix="tellurix-e2e-")
        os.mkdir(runtime := os.path.join(self.tmp, "runtime"), 0o700)
        self.env = dict(os.environ, HOME=self.tmp, XDG_CONFIG_HOME=os.path.join(self.tmp, "config"),
                        XDG_RUNTIME_DIR=runtime, LANG="C", LC_ALL="C", QT_FONT_DPI="96",
                        TMPDIR=self.tmp)  # the instance key's file: panels elsewhere don't count
        for key in ("QT_QPA_PLATFORM", "QT_FATAL_WARNINGS", "WAYLAND_DISPLAY", "DISPLAY"):
            self.env.pop(key, None)
        self.env.update(env)
        self.screen_size = screen
        self.procs, self.failures = [], []
        self.saved = os.path.join(ARTIFACTS, time.strftime("e2e-%Y%m%d-%H%M%S"))  # what a failed run saw
        self.relay = Relay()
        self.sim = self.panel = None
        (self._start_weston if wayland else self._start_xvfb)()

    def _start_xvfb(self):
        # Xvfb picks a free display and writes its number once it takes clients. -noreset: a server
        # resets when its last client leaves (the panel restarted) and refuses a client meanwhile.
        read, write = os.pipe()
        log = open(os.path.join(self.tmp, "xvfb.log"), "w")
        self.procs.append(subprocess.Popen(["Xvfb", "-displayfd", str(write), "-noreset", "-nolisten", "tcp",
                                            "-screen", "0", self.screen_size + "x24"], pass_fds=(write,), stderr=log))
        os.close(write)
        with os.fdopen(read) as ready:
            self.env.update(DISPLAY=":" + ready.readline().strip(), QT_QPA_PLATFORM="xcb")

    def _start_weston(self):
        name = "tellurix-e2e-%d" % os.getpid()
        log = open(os.path.join(self.tmp, "weston.log"), "w")
        self.procs.append(subprocess.Popen(["weston", "--backend=headless-backend.so", "--socket=" + name,
                                            "--width=1280", "--height=900", "--idle-time=0", "--use-pixman",
                                            "--debug"], env=self.env, stdout=log, stderr=subprocess.STDOUT))
        self.env.update(WAYLAND_DISPLAY=name, QT_QPA_PLATFORM="wayland")
        if not wait_for(lambda: os.path.exists(os.path.join(self.env["XDG_RUNTIME_DIR"], name)), 10):
            sys.exit("weston cannot run headless here:\n" + open(log.name).read())

    def run(self, args, **kw):
        return subprocess.run(args, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kw)

    def start_service(self, *options):
        """tellurix-sim on a free port, behind the relay on the panel's port."""
        sim = [os.path.join(BIN, "tellurix-sim"), "--port", "0", *options]
        self.sim = subprocess.Popen(sim, env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                    text=True)
        line = self.sim.stderr.readline()
        match = re.search(r"listening on [\d.]+:(\d+)", line)
        if not match:
            sys.exit("tellurix-sim did not start: " + line)
        threading.Thread(target=lambda: self.sim and self.sim.stderr.read(), daemon=True).start()
        self.relay.start(int(match.group(1)))

    def stop_service(self):
        self.relay.stop()
        self.sim.terminate()
        self.sim.wait(10)

    def start_panel(self):
        self.panel = subprocess.Popen([os.path.join(BIN, "TellurixPanel")], env=self.env,
                                      stdout=subprocess.DEVNULL, stderr=open(self.tmp + "/panel.log", "w"))

    def window(self, title, timeout=10):
        search = ["xdotool", "search", "--onlyvisible", "--name", "^%s$" % title]  # mapped windows only
        found = wait_for(lambda: self.run(search).stdout.split(), timeout)
        if found:  # no window manager: the window a key is meant for takes the focus
            self.run(["xdotool", "windowfocus", "--sync", found[-1].decode()])
        return found[-1].decode() if found else None

    def keys(self, *keys, pause=0.3):
        for key in keys:
            self.run(["xdotool", "key", "--clearmodifiers", key])
            time.sleep(pause)

    def screen(self, png=None):
        """Pixels of the whole screen as RGBA bytes, or saved as a PNG file."""
        if "WAYLAND_DISPLAY" not in self.env:
            return self.run(["import", "-window", "root", "-depth", "8", png or "rgba:-"]).stdout
        # weston's screenshooter (offered with --debug) writes a PNG into the working folder.
        folder = tempfile.mkdtemp(dir=self.tmp)
        self.run(["weston-screenshooter"], cwd=folder, timeout=10)
        shots = [os.path.join(folder, f) for f in os.listdir(folder)]
        return self.run(["convert", shots[0], "-depth", "8", png or "rgba:-"]).stdout if shots else b""

    def check(self, ok, what):
        print(("ok   " if ok else "FAIL ") + what, flush=True)
        if not ok:
            self.failures.append("%.1f s %s" % (time.monotonic() - START, what))
            os.makedirs(self.saved, exist_ok=True)
            self.screen(os.path.join(self.saved, "failure-%d.png" % len(self.failures)))
        return ok

    def close(self):
        for p in [self.panel, self.sim] + self.procs[::-1]:
            if p and p.poll() is None:
                p.terminate()
                p.wait(10)  # each ends on SIGTERM; one that does not fails the run
        if self.relay.listener:
            self.relay.stop()
        if self.failures:  # with the screens: the failed checks by time, the logs and the relayed packets
            open(os.path.join(self.saved, "failures.txt"), "w").write("\n".join(self.failures) + "\n")
            open(os.path.join(self.saved, "relay.txt"), "w").write(self.relay.log())
            for log in [f for f in os.listdir(self.tmp) if f.endswith(".log")]:
                shutil.copy(os.path.join(self.tmp, log), self.saved)
            print("what the failed run saw:", self.saved, flush=True)
        shutil.rmtree(self.tmp, ignore_errors=True)


def colour_count(rgba, colour):
    # Only yellow has a 255 (red): a match across two pixels would need a pixel (242, 0, 255) next to it.
    return rgba.count(bytes(colour) + b"\xff")
