#!/usr/bin/env python3
"""The panel as a user meets it on X11: the real TellurixPanel under a private
Xvfb against the real tellurix-sim, driven with xdotool and read back from
the screen, the clipboard, the settings file and the packets on the link."""
import os
import struct
import subprocess
import sys
import time

from e2elib import (BIN, CAPTURE, CMD_COMM, CMD_GPS_LOG, CMD_HISTORY, CMD_LOCK, CMD_LOOP, CMD_LOOP_LOG, CMD_OFFSET,
                    HOLDOVER, LOCKED, NO_SERVICE, Session, check, colour_count, failures, wait_for)

# Locked after about 120 service seconds, Holdover from 200 to 280.
FAST = ["--rate", "20", "--fix-loss-every", "200", "--fix-loss-length", "80", "--message-every", "0"]
AREA = 5000  # pixels of a fill colour that make the state panel's face


# Title, menu keys, command and a check of the set packet's payload.
DIALOGS = [("Dialog", ["alt+t", "c"], CMD_LOOP, lambda p: len(p) == 34, "after \"debug\": Set Control Loop Parameters"),
           # Without a serial port COM3 the dialog offers "Off", which sends port 0.
           ("Dialog", ["alt+s", "g", "s"], CMD_COMM, lambda p: len(p) >= 9 and struct.unpack(">II", p[1:9]) in [(3, 4800), (0, 4800)],
            "Setup Communications at the service's 4800 baud"),
           ("GPS Lock", ["alt+s", "l"], CMD_LOCK, lambda p: True, "Lock Criteria"),
           ("Time Offset and Calibration", ["alt+t", "s"], CMD_OFFSET, lambda p: len(p) == 9,
            "Set Time Difference Offset")]


def shows(s, colour):
    return colour_count(s.screen(), colour) > AREA


def dialog_flow(s, title, menu_keys, command):
    """Menu keys, then the dialog the reply opens, accepted with Return:
    returns the set packet's payload (sub-command 1) or None."""
    since = time.monotonic()
    time.sleep(0.5)
    s.window("Tellurix Panel")
    s.keys(*menu_keys)
    if not s.window(title, 5):
        return None
    s.keys("Return")
    sets = wait_for(lambda: [p for c, p in s.relay.sent_since(since) if c == command and p[:1] == b"\x01"], 5)
    return sets[-1] if sets else None


def text_area(s):
    # The lines of the NMEA page, without its scroll bar (which shrinks as
    # lines arrive): x 30..860, y 140..590 of the 1280-pixel-wide screen.
    rgba = s.screen()
    return b"".join(rgba[(y * 1280 + 30) * 4:(y * 1280 + 860) * 4] for y in range(140, 590))


def clipboard(s):
    return s.run(["xclip", "-o", "-selection", "clipboard"], timeout=5).stdout.decode(errors="replace")


def main():
    s = Session()
    try:
        s.start_service(*FAST)
        t0 = s.start_panel() and time.monotonic()
        win = s.window("Tellurix Panel")
        if not check(win is not None, "the window appears, titled \"Tellurix Panel\""):
            sys.exit("panel exit %s, its output:\n%s" % (s.panel.poll(), open(os.path.join(s.tmp, "panel.log")).read()))
        geometry = s.run(["xdotool", "getwindowgeometry", win]).stdout.decode()
        check("916x649" in geometry, "the window is 916 x 649: " + geometry.split("Geometry: ")[-1].strip())

        first = wait_for(lambda: s.relay.sent_since(0)[:4] if len(s.relay.sent_since(0)) >= 4 else None, 5)
        asked = sorted((c, p[:1]) for c, p in first or [])
        check(asked == sorted([(CMD_LOOP, b"\0"), (CMD_HISTORY, b"\0"), (CMD_LOOP_LOG, b"\0"),
                               (CMD_GPS_LOG, b"\0")]),
              "start-up requests: loop parameters, history, loop log and GPS log status: %s"
              % [(hex(c), p.hex()) for c, p in asked])

        locked = wait_for(lambda: s.relay.state_now() == 6 and shows(s, LOCKED), 20, 0.3)
        check(locked, "Locked is shown green while the service reports it (%.1f s)" % (time.monotonic() - t0))
        held = wait_for(lambda: s.relay.state_now() == 7 and shows(s, HOLDOVER), 15, 0.3)
        check(held, "Holdover is shown yellow while the service reports it")

        s.stop_service()
        check(wait_for(lambda: shows(s, NO_SERVICE), 5), "\"No Service\" is shown dark red when the service stops")
        s.start_service("--replay", CAPTURE, "--rate", "2")
        check(wait_for(lambda: not shows(s, NO_SERVICE) and s.relay.state_now() is not None, 10),
              "the panel reconnects to the restarted service and the state panel recovers")
        t = time.monotonic()
        check(wait_for(lambda: any(c == CMD_HISTORY for c, _ in s.relay.sent_since(t - 5)), 5),
              "the reconnected panel asks for the history again")

        # The loop parameters are hidden until "debug" is typed.
        t = time.monotonic()
        s.keys("alt+t", "c", "Escape", "Escape")
        check(not any(c == CMD_LOOP for c, _ in s.relay.sent_since(t)), "no loop parameters before \"debug\"")
        s.run(["xdotool", "type", "--delay", "60", "debug"])
        for title, keys, command, valid, what in DIALOGS:
            payload = dialog_flow(s, title, keys, command)
            check(payload is not None and valid(payload), what + ": its dialog, accepted, sends the set packet")

        # Settings: a position format chosen, the panel restarted, metric chosen.
        s.window("Tellurix Panel")
        s.keys("alt+s", "p", "Down", "Down", "Return")
        conf = os.path.join(s.env["XDG_CONFIG_HOME"], "Brightfen", "TellurixPanel.conf")
        check(wait_for(lambda: os.path.exists(conf) and "PosFormat=2" in open(conf).read(), 3),
              "the chosen position format is written: PosFormat=2")

        second = s.run([os.path.join(BIN, "TellurixPanel")], timeout=20)
        check(second.returncode == 0 and len(s.run(["xdotool", "search", "--name", "^Tellurix Panel$"])
                                              .stdout.split()) == 1,
              "a second panel exits 0 at once and opens no window")

        s.stop_panel()
        s.start_panel()
        check(s.window("Tellurix Panel") is not None, "the panel starts again after it was killed")
        time.sleep(1.5)
        s.keys("alt+s", "u", "a", "m")
        check(wait_for(lambda: "AltitudeUnits=1" in open(conf).read() and "PosFormat=2" in open(conf).read(), 3),
              "after the restart the position format survives: metric units saved next to PosFormat=2")

        # The accepted communications dialog chose "Off": a fresh service
        # reads its receiver again.
        s.stop_service()
        s.start_service("--replay", CAPTURE, "--rate", "2")
        nmea_page(s)
    finally:
        s.close()
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


def nmea_page(s):
    lines = set(open(CAPTURE, "rb").read().decode("ascii", "replace").replace("\r", "").split("\n"))
    s.window("Tellurix Panel")
    s.run(["xdotool", "mousemove", "312", "108", "click", "1"])  # the "NMEA Output" tab
    time.sleep(4)
    s.run(["xdotool", "mousemove", "450", "350", "click", "1"])
    s.keys("ctrl+a", "ctrl+c")
    copied = clipboard(s)
    shown = [l for l in copied.split("\n") if l]
    check(len(shown) >= 10 and all(l in lines for l in shown),
          "the NMEA page holds the replayed sentences: %d lines copied, all from the capture" % len(shown))
    # A held selection is kept while new sentences arrive.
    time.sleep(1.5)
    subprocess.run(["xclip", "-i", "-selection", "clipboard"], input=b"-", env=s.env)
    s.keys("ctrl+c")
    check(clipboard(s) == copied, "a selection survives new datagrams: copying again gives the same text")
    # Without a selection, a view scrolled up from the end holds; back at the end it follows.
    s.run(["xdotool", "mousemove", "450", "350", "click", "1"])
    s.keys("End", "Page_Up", "Page_Up")
    before = text_area(s)
    time.sleep(2)
    check(text_area(s) == before, "scrolled up, the view holds its lines while datagrams arrive")
    s.keys("End")
    before = text_area(s)
    check(wait_for(lambda: text_area(s) != before, 5, 0.5), "back at the last line, the view follows new datagrams")


if __name__ == "__main__":
    sys.exit(main())
