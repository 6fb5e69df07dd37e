#!/usr/bin/env python3
"""Peak memory and time of DownloadHttpFile against `curl -o`, for one body
from the loopback server: by default just under the download's bound of
1,048,576 bytes, the largest file the program stores.

  bench/download_bench.py [--build DIR] [--bytes 1048575] [--runs 20] [--https]

Builds bench/download_bench.cpp (the download_bench target) in an existing build
folder (default: build), then downloads the same body with both and prints
the best wall time and the peak resident memory of each, side by side.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
BOUND = 1048576  # the most a download may store
ROOT = os.path.dirname(HERE)


def build_driver(build):
    """The driver's path, built by the project's build in `build`."""
    if not os.path.exists(os.path.join(build, "CMakeCache.txt")):
        sys.exit(f"build the project first (no build in {build})")
    subprocess.run(["cmake", "--build", build, "--target", "download_bench"], check=True,
                   stdout=subprocess.DEVNULL)
    return os.path.join(build, "download_bench")


def measure(argv, env=None):
    """(seconds, peak RSS in KiB, exit status) of one child."""
    start = time.monotonic()
    proc = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    return time.monotonic() - start, usage.ru_maxrss, os.waitstatus_to_exitcode(status)


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    ap.add_argument("--bytes", type=int, default=BOUND - 1)
    ap.add_argument("--runs", type=int, default=20)
    ap.add_argument("--https", action="store_true", help="over TLS (test CA) instead of http")
    args = ap.parse_args()

    work = tempfile.mkdtemp(prefix="skylode-bench-")
    server = None
    try:
        driver = build_driver(args.build)
        server = subprocess.Popen(
            [sys.executable, os.path.join(ROOT, "tests/support/loopback_server.py"), "--quiet",
             "--exit-on-eof", "--max-seconds", "1800"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        info = dict(w.split("=", 1) for w in server.stdout.readline().split())
        size = args.bytes
        if size > BOUND:
            sys.exit(f"the program stores at most {BOUND} bytes")
        scheme, port = ("https", info["https"]) if args.https else ("http", info["http"])
        url = f"{scheme}://127.0.0.1:{port}/bytes/{size}"

        results = {"DownloadHttpFile": [], "curl -o": []}
        for run in range(args.runs):
            device = os.path.join(work, f"device{run}")
            # A first call makes the new handheld (and fails at once).
            subprocess.run([driver, device, "http://127.0.0.1:1/"], stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            os.makedirs(os.path.join(device, "ca"), exist_ok=True)
            shutil.copy(info["ca"], os.path.join(device, "ca", "test-ca.pem"))
            target = os.path.join(device, "fs/windows/ZUZIdarudaZozo.ee")
            t, rss, rc = measure([driver, device, url])
            if rc != 0 or os.path.getsize(target) != size:
                sys.exit("DownloadHttpFile failed")
            results["DownloadHttpFile"].append((t, rss))
            out = os.path.join(work, "curl.out")
            t, rss, rc = measure(["curl", "-s", "--cacert", info["ca"], "-o", out, url])
            if rc != 0 or os.path.getsize(out) != size:
                sys.exit("curl failed")
            results["curl -o"].append((t, rss))
            os.unlink(out)
            shutil.rmtree(device)

        print(f"{size} bytes over {scheme} from the loopback server, best of {args.runs}:")
        print(f"{'':18}{'time ms':>10}{'MiB/s':>10}{'peak RSS MiB':>14}")
        best = {}
        for name, rows in results.items():
            t = min(r[0] for r in rows)
            rss = max(r[1] for r in rows) / 1024
            best[name] = (t, rss)
            print(f"{name:18}{t * 1000:10.1f}{size / 1048576 / t:10.0f}{rss:14.1f}")
        (t1, m1), (t2, m2) = best["DownloadHttpFile"], best["curl -o"]
        print(f"{'ratio':18}{t1 / t2:10.2f}{'':10}{m1 / m2:14.2f}")
    finally:
        if server:
            server.stdin.close()
            server.terminate()
            server.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
