#!/usr/bin/env python3
"""The real TellurixPanel against the real tellurix-sim, under a private Xvfb driven with xdotool ("x11")
or natively under a headless weston ("wayland", a smoke test): what only the two programs together show."""
import os
import subprocess
import sys

from e2elib import BIN, CAPTURE, CMD_LOCK, HOLDOVER, LOCKED, NO_SERVICE, Session, colour_count, wait_for

# Locked after about 120 service seconds, Holdover from 200 to 280.
FAST = ["--rate", "20", "--fix-loss-every", "200", "--fix-loss-length", "80", "--message-every", "0"]
AREA = 5000  # pixels of a fill colour that make the state panel's face


def shows(s, colour):
    return colour_count(s.screen(), colour) > AREA


def page(s, bar=False):  # rows 140..590 of the NMEA page: its lines (x 30..860) or its scroll bar (878..889)
    rgba, (left, right) = s.screen(), [(30, 860), (878, 889)][bar]
    return b"".join(rgba[(y * 1280 + left) * 4:(y * 1280 + right) * 4] for y in range(140, 590))


def moves(s, times, bar=False):  # what the page shows once it has changed so many times, or None
    view = page(s, bar)
    for _ in range(times):
        view = view and wait_for(lambda: (now := page(s, bar)) != view and now, 10, 0.5)
    return view


def clipboard(s):
    return s.run(["xclip", "-o", "-selection", "clipboard"], timeout=5).stdout.decode(errors="replace")


def panel_window(s):
    s.start_panel()
    if not s.check(win := s.window("Tellurix Panel"), "the window titled \"Tellurix Panel\" appears"):
        sys.exit("panel exit %s, its output:\n%s" % (s.panel.poll(), open(s.tmp + "/panel.log").read()))
    return win


def x11(s):
    s.start_service(*FAST)
    win = panel_window(s)
    geometry = s.run(["xdotool", "getwindowgeometry", win]).stdout.decode()
    s.check("916x649" in geometry, "the window is 916 x 649: " + geometry.split("Geometry: ")[-1].strip())

    locked = wait_for(lambda: s.relay.state_now() == 6 and shows(s, LOCKED), 20, 0.3)
    s.check(locked, "Locked is shown green while the service reports it")
    held = wait_for(lambda: s.relay.state_now() == 7 and shows(s, HOLDOVER), 15, 0.3)
    s.check(held, "Holdover is shown yellow while the service reports it")
    s.stop_service()
    s.check(wait_for(lambda: shows(s, NO_SERVICE), 5), "\"No Service\" shows dark red when the service stops")
    s.start_service("--replay", CAPTURE)  # the page reaches its 1000 lines in 28 s
    s.check(wait_for(lambda: not shows(s, NO_SERVICE) and s.relay.state_now() is not None, 10),
          "the panel reconnects to the restarted service and the state panel recovers")

    # The lock dialog opens on the service's reply (off, no delay); the box checked and 7 typed are sent.
    s.keys("alt+s", "l")
    if s.window("GPS Lock", 5):
        s.keys("space", "Tab", "ctrl+a", "7", "Return")
    sets = wait_for(lambda: [p for p in s.relay.payloads(True, CMD_LOCK) if p[:1] == b"\x01"], 5)
    s.check(sets == [b"\x01\x01\x00\x00\x00\x07"], "the lock dialog sends what was typed into it: %s" % sets)

    second = s.run([os.path.join(BIN, "TellurixPanel")], timeout=20)
    windows = s.run(["xdotool", "search", "--name", "^Tellurix Panel$"]).stdout.split()
    s.check(second.returncode == 0 and len(windows) == 1, "a second panel exits 0 at once, opening no window")
    s.panel.terminate()  # an empty NMEA page for what follows
    s.check(s.panel.wait(10) == 0, "the panel ends cleanly on SIGTERM")
    panel_window(s)
    nmea_page(s)


def nmea_page(s):
    lines = set(open(CAPTURE, "rb").read().decode("ascii", "replace").replace("\r", "").split("\n"))
    # The tab bar takes the focus first: Ctrl+Shift+Tab wraps to the last page, Tab enters its text.
    s.keys("ctrl+shift+Tab", "Tab")
    moves(s, 3)  # the page shown, then two epochs (35 lines each, a screenful is 30) at its end
    # Scrolled up, the view holds while new lines show in its scroll bar; back at the end it follows: it
    # moves three times (a view that holds may change once, as the line cut at its foot arrives).
    s.keys("Page_Up", "Page_Up")
    held = page(s)
    s.check(moves(s, 1, True) and page(s) == held, "scrolled up, the view keeps its lines as new ones arrive")
    s.keys("End")
    s.check(moves(s, 3), "back at the last line, the view follows new datagrams")
    copied = wait_for(lambda: s.keys("ctrl+a", "ctrl+c") or clipboard(s), 10, 0.5) or ""
    shown = [l for l in copied.split("\n") if l]
    s.check(len(shown) >= 40 and all(l in lines for l in shown),
          "the NMEA page holds the replayed sentences: %d lines copied, all from the capture" % len(shown))
    # A held selection is kept while new sentences arrive.
    arrived = moves(s, 1, True)
    subprocess.run(["xclip", "-i", "-selection", "clipboard"], input=b"-", env=s.env)
    s.keys("ctrl+c")
    s.check(arrived and clipboard(s) == copied,
          "a selection survives new datagrams: copying again gives the same text")


def wayland(s):
    s.env["WAYLAND_DEBUG"] = "client"
    s.start_service("--rate", "5")
    s.start_panel()
    log = lambda: open(os.path.join(s.tmp, "panel.log")).read()
    s.check(wait_for(lambda: 'xdg_toplevel@' in log() and '.set_title("Tellurix Panel")' in log(), 15),
          "a Wayland toplevel titled \"Tellurix Panel\" appears")
    s.check('.set_app_id("com.brightfen.TellurixPanel")' in log(), "its app id names the desktop entry")
    # Synching and Holdover share the yellow face; "No Service" would be red.
    faces = lambda: [colour_count(s.screen(), c) for c in (LOCKED, HOLDOVER, NO_SERVICE)]
    shown = wait_for(lambda: max((now := faces())[:2]) > AREA and now, 15, 0.5) or faces()
    s.check(max(shown[:2]) > AREA and shown[2] == 0, "weston shows a connected service's state: %s" % shown)


if __name__ == "__main__":
    session = Session(wayland=sys.argv[1] == "wayland")
    try:
        (wayland if sys.argv[1] == "wayland" else x11)(session)
    except Exception:
        session.check(False, "the run ends without an exception")
        raise
    finally:
        session.close()
    print("%d failure(s)" % len(session.failures))
    sys.exit(1 if session.failures else 0)
