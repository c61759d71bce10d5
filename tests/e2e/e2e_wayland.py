#!/usr/bin/env python3
"""The panel natively on Wayland: the real TellurixPanel under a headless
weston against the real tellurix-sim. The window appears (the title the
panel gives its toplevel), connects (the start-up requests reach the
service), paints (the state panel's face in weston's screenshot) and a
second instance exits 0."""
import os
import sys
import time

from e2elib import BIN, HOLDOVER, LOCKED, NO_SERVICE, Session, check, colour_count, failures, wait_for


def main():
    s = Session(wayland=True)
    try:
        s.env["WAYLAND_DEBUG"] = "client"
        s.start_service("--rate", "5")
        s.start_panel()
        log = os.path.join(s.tmp, "panel.log")
        check(wait_for(lambda: 'xdg_toplevel@' in open(log).read() and '.set_title("Tellurix Panel")'
                       in open(log).read(), 15), "a Wayland toplevel titled \"Tellurix Panel\" appears")
        check('.set_app_id("com.brightfen.TellurixPanel")' in open(log).read(),
              "its app id names the installed desktop entry")
        check(wait_for(lambda: len(s.relay.sent_since(0)) >= 4, 10), "the panel sends its start-up requests")
        # Synching and Holdover share the yellow face; "No Service" would be red.
        def faces():
            rgba = s.screen()
            return [colour_count(rgba, c) for c in (LOCKED, HOLDOVER, NO_SERVICE)]

        wait_for(lambda: max(faces()[:2]) > 5000, 15, 0.5)
        faces = faces()
        check(faces and max(faces[:2]) > 5000 and faces[2] == 0,
              "weston's screen shows the state panel of a connected service: %s" % faces)
        del s.env["WAYLAND_DEBUG"]
        second = s.run([os.path.join(BIN, "TellurixPanel")], timeout=20)
        check(second.returncode == 0 and s.panel.poll() is None, "a second panel exits 0, the first keeps running")
    finally:
        s.close()
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
