"""Runs a command (a test) on a private Xvfb with trayer as the system tray, on the X11 platform and
with no session bus, so the tray is the X one; ends both afterwards and returns the command's code."""
import os
import subprocess
import sys
import tempfile


def main():
    with tempfile.TemporaryDirectory(prefix="tellurix-tray-") as tmp:
        read, write = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-noreset", "-nolisten", "tcp",
                                 "-screen", "0", "1024x768x24"], pass_fds=(write,),
                                stderr=open(os.path.join(tmp, "xvfb.log"), "w"))
        os.close(write)
        procs = [xvfb]
        try:
            with os.fdopen(read) as ready:
                display = ready.readline().strip()
            if not display:
                sys.exit("Xvfb did not start:\n" + open(os.path.join(tmp, "xvfb.log")).read())
            env = dict(os.environ, DISPLAY=":" + display, QT_QPA_PLATFORM="xcb",
                       DBUS_SESSION_BUS_ADDRESS="unix:path=" + os.path.join(tmp, "no-bus"))
            procs.append(subprocess.Popen(["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                                           "--height", "24", "--SetDockType", "false"], env=env,
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            return subprocess.run(sys.argv[1:], env=env).returncode
        finally:
            for p in procs[::-1]:
                p.terminate()
                p.wait(10)


sys.exit(main())
