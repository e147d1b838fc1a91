#!/usr/bin/python3
"""The network benchmark: Inet.getUrl of a 200 MiB file from the loopback HTTP peer against curl
fetching the same file in the same run, and 1,000 mails sent to the SMTP peer (which keeps none).

  bench/net/run_bench.py BUILD_DIR [MIB]     (BUILD_DIR: a win64 or win32 build with vorlo-cli.exe)

Peers on 127.0.0.1 only, stopped by process id at the end."""
import os
import re
import subprocess
import sys
import tempfile
import time

root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
peers = os.path.join(root, "tests", "host", "net", "peers")
build = sys.argv[1]
mib = sys.argv[2] if len(sys.argv) > 2 else "200"
width = "32" if "win32" in build else "64"
work = tempfile.mkdtemp(prefix="vorlo-net-bench-")
started = []


def start(command):
    p = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    started.append(p)
    return p.stdout.readline().decode().split()


try:
    http = start(["/usr/bin/python3", os.path.join(peers, "http_peer.py"), os.path.join(work, "www"), mib])[1]
    smtp = dict(item.split("=") for item in start(["/usr/bin/python3", os.path.join(peers, "smtp_peer.py"), work, "--no-save"])[1:])
    env = dict(os.environ, VORLO_NET_DIR="Z:" + work.replace("/", "\\"), VORLO_HTTP_PORT=http, VORLO_SMTP_NONE_PORT=smtp["none"])
    out = os.path.join(work, "out.txt")
    with open(out, "wb") as f:
        subprocess.call([os.path.join(root, "scripts", "wine-run"), width, os.path.join(build, "bin", "vorlo-cli.exe"), "run",
                         os.path.join(root, "bench", "net", "net_bench.vos")], stdout=f, stderr=subprocess.STDOUT, env=env)
    text = open(out, "rb").read().decode("latin-1")
    t0 = time.monotonic()
    subprocess.check_call(["curl", "-s", "-o", os.path.join(work, "curl.bin"), "http://127.0.0.1:%s/bench.bin" % http])
    curl_ms = (time.monotonic() - t0) * 1000
    d = re.search(r"download (\w+) bytes (\d+) ms (\d+) events (\d+)", text)
    m = re.search(r"mails (\d+) ms (\d+)", text)
    if not d or not m:
        sys.exit("unexpected output:\n" + text)
    size = int(d.group(2))
    print("getUrl: %s, %d bytes in %s ms = %.1f MB/s (%s events)" % (d.group(1), size, d.group(3), size / 1e3 / max(int(d.group(3)), 1), d.group(4)))
    print("curl:   %d bytes in %.0f ms = %.1f MB/s" % (os.path.getsize(os.path.join(work, "curl.bin")), curl_ms, size / 1e3 / curl_ms))
    print("mails:  %s sent in %s ms = %.1f mails/s" % (m.group(1), m.group(2), int(m.group(1)) * 1000 / max(int(m.group(2)), 1)))
finally:
    for p in started:
        p.kill()
        p.wait()
    subprocess.call(["rm", "-rf", work])
