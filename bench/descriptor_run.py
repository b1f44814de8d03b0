#!/usr/bin/python3
"""Opens many idle connections to a host started with a small descriptor limit, then clicks.

For each limit: how many of 1,100 idle connections the host still holds after a second,
whether and how fast a request sent while they are open is served, and whether one is
served after they close and the socket file is deleted.
Usage: bench/descriptor_run.py [BUILD_DIR]   (default build/release)
"""
import json, os, resource, shutil, socket, subprocess, sys, tempfile, time

build = sys.argv[1] if len(sys.argv) > 1 else "build/release"
tessary = os.path.realpath(os.path.join(build, "stage/bin/tessary"))
model = os.path.realpath(os.path.join(build, "shared/tessary-model"))
resource.setrlimit(resource.RLIMIT_NOFILE, (4096, 4096))


def wait_for(condition, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.02)
    return False


def run(limit, work, env):
    folder = os.path.join(work, f"folder-{limit}")
    os.mkdir(folder)
    host = subprocess.Popen(["prlimit", f"--nofile={limit}", "--", tessary], env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    path = os.path.join(env["XDG_RUNTIME_DIR"], "tessary", "host")

    def click(name_count):
        url = json.loads(subprocess.run([model, folder, "0"], env=env, capture_output=True,
                                        text=True).stdout)["request"]
        started = time.monotonic()
        sent = subprocess.run([tessary, url], env=env, capture_output=True).returncode == 0
        made = sent and wait_for(lambda: len(os.listdir(folder)) == name_count, 10)
        return made, (time.monotonic() - started) * 1000

    assert wait_for(lambda: os.path.exists(path))
    idle = []
    for _ in range(1100):
        connection = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            connection.connect(path)
        except OSError:
            pass
        idle.append(connection)
    time.sleep(1)
    fds = len(os.listdir(f"/proc/{host.pid}/fd"))
    during = click(1)
    for connection in idle:
        connection.close()
    os.unlink(path)
    after = click(2)
    host.terminate()
    host.wait()
    print(f"nofile {limit}: host descriptors with 1100 idle connections open: {fds}; "
          f"click while they are open: {'served' if during[0] else 'LOST'} in {during[1]:.0f} ms; "
          f"after they close and the socket is deleted: {'served' if after[0] else 'LOST'} "
          f"in {after[1]:.0f} ms")


work = tempfile.mkdtemp()
env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"),
           XDG_RUNTIME_DIR=os.path.join(work, "run"), DBUS_SESSION_BUS_ADDRESS="disabled:",
           TESSARY_LOG="stderr")
env.pop("DISPLAY", None)
env.pop("WAYLAND_DISPLAY", None)
os.mkdir(env["XDG_RUNTIME_DIR"], 0o700)
subprocess.run([tessary, "grant", work], env=env, check=True, capture_output=True)
try:
    for limit in (1024, 40):
        run(limit, work, env)
finally:
    shutil.rmtree(work)
