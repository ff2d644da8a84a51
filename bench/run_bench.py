#!/usr/bin/env python3
"""Runs the benchmarks of scripts/bench against their peer tools and prints
one line per benchmark: our figure, the peer's figure measured in the same
run, their ratio and whether the target holds.

Both sides are timed best-of-N, in alternating rounds (in-process figures
from Google Benchmark, whole processes with hyperfine), so that the noise of
a shared machine mostly cancels; start-up is the median of 10 runs.
"""

import argparse
import hashlib
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import urllib.request

HOST = "127.0.10.1"
PORT = 18180


def log(msg):
    print(f"bench: {msg}", file=sys.stderr, flush=True)


# ---- fixtures ---------------------------------------------------------------


def write_random_files(folder, count, size, prefix):
    """count files of size random bytes; returns [(relative name, md5)]."""
    os.makedirs(folder, exist_ok=True)
    out = []
    for i in range(count):
        name = f"{prefix}{i:05d}.bin"
        data = os.urandom(size)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        out.append((name, hashlib.md5(data).hexdigest()))
    return out


def manifest(root, package_dir, files, size_of):
    return {
        "root": root,
        "lang": "",
        "dir": package_dir,
        "rev": "1.0",
        "files": [{"Path": f"{package_dir}/{n}", "Hash": h, "Size": size_of(n)} for n, h in files],
    }


def fixture(work, name, build):
    """Builds a fixture once; a marker file records that it is complete."""
    folder = os.path.join(work, name)
    marker = os.path.join(folder, ".complete")
    if not os.path.exists(marker):
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        log(f"preparing {name}")
        build(folder)
        open(marker, "w").close()
    return folder


def build_check_disk(folder, count=1000, size=256 * 1024):
    files = write_random_files(os.path.join(folder, "disk/Diag/Check"), count, size, "c")
    with open(os.path.join(folder, "manifest.json"), "w") as f:
        json.dump(manifest("http://unused.invalid/", "Diag/Check", files, lambda n: size), f)
    with open(os.path.join(folder, "files.txt"), "w") as f:
        f.write("".join(f"disk/Diag/Check/{n}\n" for n, _ in files))


def build_small_files(folder, count=2000, size=4096):
    files = write_random_files(os.path.join(folder, "www/small/Diag/Small"), count, size, "s")
    root = f"http://{HOST}:{PORT}/small/"
    with open(os.path.join(folder, "manifest.json"), "w") as f:
        json.dump(manifest(root, "Diag/Small", files, lambda n: size), f)
    with open(os.path.join(folder, "curl.cfg"), "w") as f:
        for n, _ in files:
            f.write(f'url = "{root}Diag/Small/{n}"\noutput = "Diag/Small/{n}"\n')


def build_large_file(folder, mib):
    target = os.path.join(folder, "www/large/Diag/Large")
    os.makedirs(target)
    digest = hashlib.md5()
    block = os.urandom(1 << 20)
    with open(os.path.join(target, "image.bin"), "wb") as f:
        for i in range(mib):
            # Cheap variation per MiB so the content is not one repeated block.
            chunk = i.to_bytes(8, "little") + block[8:]
            digest.update(chunk)
            f.write(chunk)
    root = f"http://{HOST}:{PORT}/large/"
    files = [("image.bin", digest.hexdigest())]
    with open(os.path.join(folder, "manifest.json"), "w") as f:
        json.dump(manifest(root, "Diag/Large", files, lambda n: mib << 20), f)


def build_scan_disk(folder, folders=20000, packages=300):
    """A device disk of `folders` folders, `packages` of them packages with
    an installed manifest and a few subfolders of their own."""
    disk = os.path.join(folder, "disk")
    made = 0

    def mkdir(path):
        nonlocal made
        os.makedirs(path)
        made += 1

    per_package = 5
    for p in range(packages):
        pkg = os.path.join(disk, "Diag", f"Brand{p % 12:02d}", f"Vehicle{p:03d}")
        if not os.path.isdir(os.path.dirname(pkg)):
            os.makedirs(os.path.dirname(pkg))
            made += 1 + (p == 0)  # Diag itself once
        mkdir(pkg)
        name = "Update.json" if p % 3 else "update.json"
        with open(os.path.join(pkg, name), "w") as f:
            json.dump({"dir": f"Diag/Brand{p % 12:02d}/Vehicle{p:03d}", "rev": f"V{p}.0",
                       "branch": "dash" if p % 2 else "immo", "lang_name": f"Vehicle {p}",
                       "CN_name": f"车型 {p}", "EN_name": f"Vehicle {p}", "files": []}, f)
        for s in range(per_package):
            sub = os.path.join(pkg, f"Data{s}")
            mkdir(sub)
            with open(os.path.join(sub, "d.bin"), "wb") as f:
                f.write(b"\0" * 512)
    # The rest: saved diagnostic records, three levels deep.
    i = 0
    while made < folders:
        path = disk
        for part in ("SaveData", f"Y{i // 1000:02d}", f"M{(i // 50) % 20:02d}", f"R{i:05d}"):
            path = os.path.join(path, part)
            if not os.path.isdir(path):
                mkdir(path)
        i += 1
    with open(os.path.join(folder, "count.txt"), "w") as f:
        f.write(f"{made} {packages}\n")


# ---- web server ---------------------------------------------------------------


class Nginx:
    """Debian's nginx on a loopback port with a generated configuration,
    serving `root`; one process, no service, gone when the benchmark ends."""

    def __init__(self, work, root):
        self.folder = os.path.join(work, "nginx")
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(os.path.join(self.folder, "tmp"))
        conf = f"""
daemon off;
master_process off;
worker_processes 1;
pid {self.folder}/nginx.pid;
error_log {self.folder}/error.log warn;
events {{ worker_connections 256; }}
http {{
    access_log off;
    sendfile on;
    tcp_nopush on;
    keepalive_requests 100000;
    keepalive_timeout 60s;
    client_body_temp_path {self.folder}/tmp/body;
    proxy_temp_path {self.folder}/tmp/proxy;
    fastcgi_temp_path {self.folder}/tmp/fastcgi;
    uwsgi_temp_path {self.folder}/tmp/uwsgi;
    scgi_temp_path {self.folder}/tmp/scgi;
    types {{ application/octet-stream bin; }}
    server {{
        listen {HOST}:{PORT};
        root {root};
    }}
}}
"""
        path = os.path.join(self.folder, "nginx.conf")
        with open(path, "w") as f:
            f.write(conf)
        self.proc = subprocess.Popen(
            ["nginx", "-p", self.folder, "-c", path, "-e", os.path.join(self.folder, "error.log")],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 10
        while True:
            try:
                urllib.request.urlopen(f"http://{HOST}:{PORT}/", timeout=1).read()
            except urllib.error.HTTPError:
                break  # it answers (403/404 for the bare root)
            except OSError:
                if self.proc.poll() is not None or time.time() > deadline:
                    raise RuntimeError("nginx did not start; see " + self.folder + "/error.log")
                time.sleep(0.05)
                continue
            break

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


# ---- runners -------------------------------------------------------------------


def gbench(binary, bench_filter, repetitions, env=None):
    """Runs one Google Benchmark; returns the list of per-repetition runs."""
    full_env = dict(os.environ)
    full_env.setdefault("QT_QPA_PLATFORM", "offscreen")
    full_env.update(env or {})
    proc = subprocess.run(
        [binary, f"--benchmark_filter={bench_filter}", "--benchmark_format=json",
         f"--benchmark_repetitions={repetitions}"],
        env=full_env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if proc.returncode != 0 or not proc.stdout.strip():
        raise RuntimeError(f"{binary} {bench_filter} failed:\n{proc.stderr[-2000:]}")
    data = json.loads(proc.stdout)
    runs = [b for b in data["benchmarks"] if b.get("run_type") == "iteration"]
    for r in runs:
        if r.get("error_occurred"):
            raise RuntimeError(f"{binary} {bench_filter}: {r.get('error_message')}")
    if not runs:
        raise RuntimeError(f"{binary}: no benchmark matched {bench_filter}")
    return runs


def ms(run):
    factor = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[run.get("time_unit", "ns")]
    return run["real_time"] * factor


def hyperfine(command, runs, cwd=None, prepare=None, warmup=1):
    """Times a shell command; returns (min, median) in milliseconds."""
    with tempfile.NamedTemporaryFile(suffix=".json") as export:
        args = ["hyperfine", "--style", "none", "--runs", str(runs), "--warmup", str(warmup),
                "--export-json", export.name]
        if prepare:
            args += ["--prepare", prepare]
        args.append(command)
        subprocess.run(args, cwd=cwd, check=True, stdout=subprocess.DEVNULL)
        result = json.load(open(export.name))["results"][0]
    return result["min"] * 1e3, result["median"] * 1e3


def peak_rss_mb(command, env, cwd=None):
    """Peak resident size of a whole process, from GNU time -v."""
    proc = subprocess.run(["/usr/bin/time", "-v"] + command, env=env, cwd=cwd,
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    for line in proc.stderr.splitlines():
        if "Maximum resident set size" in line:
            return int(line.split(":")[1]) / 1024.0
    raise RuntimeError("no peak memory in the output of time -v")


def paired(rounds, peer, ours):
    """Alternates the peer (a hyperfine call of two runs) and our side (one
    Google Benchmark repetition) for `rounds` rounds, so that both see the
    same load; returns (peer best ms, our best ms, our runs)."""
    peer_best, our_runs = float("inf"), []
    for _ in range(rounds):
        peer_best = min(peer_best, peer())
        our_runs += ours()
    return peer_best, min(ms(r) for r in our_runs), our_runs


# ---- benchmarks --------------------------------------------------------------------


class Table:
    def __init__(self):
        self.rows = []

    def add(self, name, figure, peer, ratio, target, met, note=""):
        met = "-" if met is None else "yes" if met else "NO"  # None: a figure without a target
        self.rows.append((name, figure, peer, ratio, target, met, note))
        print(self.format(self.rows[-1]), flush=True)

    @staticmethod
    def format(row):
        name, figure, peer, ratio, target, met, note = row
        line = f"{name:<30} {figure:<26} {peer:<28} {ratio:<8} {target:<22} {met:<4}"
        return line + (f" {note}" if note else "")

    def header(self):
        print(self.format(("benchmark", "figure", "peer", "ratio", "target", "met", "")))


def bench_diff_check(a, t):
    folder = fixture(a.work, "check", build_check_disk)
    disk = os.path.join(folder, "disk")
    # md5sum's warm-up runs warm the page cache for both sides.
    env = {"UA_BENCH_DISK": disk, "UA_BENCH_MANIFEST": os.path.join(folder, "manifest.json")}
    peer_min, ours, _ = paired(
        a.runs,
        lambda: hyperfine("xargs -a files.txt md5sum > /dev/null", 2, cwd=folder, warmup=2)[0],
        lambda: gbench(a.bin("bench_PackageDownload"), "^DiffCheck/", 1, env))
    ratio = ours / peer_min
    t.add("1 diff check 1000x256KiB", f"{ours:.0f} ms", f"md5sum {peer_min:.0f} ms", f"{ratio:.2f}",
          "ratio <= 1.05", ratio <= 1.05)


def bench_installed_check(a, t):
    # The same 1,000 files as the up-to-date check, installed: their manifest
    # as the program writes it into the package folder.
    folder = fixture(a.work, "check", build_check_disk)
    disk = os.path.join(folder, "disk")
    package = os.path.join(disk, "Diag/Check")
    installed = os.path.join(package, "Update.json")
    if not os.path.exists(installed):
        with open(os.path.join(folder, "manifest.json")) as f:
            joManifest = json.load(f)
        for key in ("root", "lang"):
            joManifest.pop(key, None)
        with open(installed, "w") as f:
            json.dump(joManifest, f, indent=4)
    env = {"UA_BENCH_DISK": disk, "UA_BENCH_FOLDER": package}
    peer_min, ours, _ = paired(
        a.runs,
        lambda: hyperfine("xargs -a files.txt md5sum > /dev/null", 2, cwd=folder, warmup=2)[0],
        lambda: gbench(a.bin("bench_PackageCheck"), "^InstalledCheck/", 1, env))
    ratio = ours / peer_min
    t.add("9 installed check 1000x256KiB", f"{ours:.0f} ms", f"md5sum {peer_min:.0f} ms", f"{ratio:.2f}",
          "ratio <= 1.05", ratio <= 1.05)


def bench_small_files(a, t, server_root):
    folder = a.small_folder
    out = os.path.join(a.out, "small")
    os.makedirs(out, exist_ok=True)
    # Every run writes into a folder of its own, and nothing is deleted until
    # all have run: creating files right after thousands were deleted is slow
    # on ext4 (it skips recently freed inodes) and would time the file system.
    runs = iter(range(1000000))

    def curl_side():
        prepare = f'd=$(mktemp -d -p {out} curl-XXXXXX) && ln -sfn "$d" {out}/curl-now'
        return hyperfine(f"cd {out}/curl-now && curl -sS --fail --create-dirs --config {folder}/curl.cfg",
                         2, prepare=prepare, warmup=0)[0]

    def our_side():
        env = {"UA_BENCH_TARGET": os.path.join(out, f"ours-{next(runs)}"),
               "UA_BENCH_MANIFEST": os.path.join(folder, "manifest.json")}
        return gbench(a.bin("bench_PackageDownload"), "^Fetch/", 1, env)

    peer_min, ours, _ = paired(a.runs, curl_side, our_side)
    # Our side is timed inside the process; curl's start-up is not part of
    # its transfers either.
    startup = hyperfine("curl -s file:///dev/null", 10, warmup=2)[0]
    peer_min = max(peer_min - startup, 1e-3)
    files = 2000
    ours_rate, peer_rate = files / ours * 1e3, files / peer_min * 1e3
    ratio = ours_rate / peer_rate
    t.add("2 small files 2000x4KiB", f"{ours_rate:.0f} files/s", f"curl --config {peer_rate:.0f} files/s",
          f"{ratio:.2f}", "throughput >= 1.0x", ratio >= 1.0, f"curl start-up {startup:.1f} ms excluded")
    shutil.rmtree(out, ignore_errors=True)


def openssl_md5_speed(seconds=1):
    """MiB/s of libcrypto's MD5 on one core over 1 MiB blocks (`openssl speed`),
    by the clock on the wall as the downloads are (by default it divides by
    its CPU time, which a busy machine would not slow down)."""
    proc = subprocess.run(["openssl", "speed", "-elapsed", "-evp", "md5", "-bytes", "1048576",
                           "-seconds", str(seconds)],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    for line in proc.stdout.splitlines():
        parts = line.split()
        if len(parts) == 2 and parts[0] == "md5" and parts[1].endswith("k"):
            return float(parts[1][:-1]) * 1000 / (1 << 20)
    raise RuntimeError("no md5 figure in the output of openssl speed")


def bench_large_file(a, t):
    folder = a.large_folder
    mib = a.large_mib
    out_ours = os.path.join(a.out, "large-ours")
    out_curl = os.path.join(a.out, "large-curl")
    os.makedirs(out_curl, exist_ok=True)
    rounds = max(2, a.runs)
    url = f"http://{HOST}:{PORT}/large/Diag/Large/image.bin"
    env = {"UA_BENCH_TARGET": out_ours, "UA_BENCH_MANIFEST": os.path.join(folder, "manifest.json")}
    image = f"{out_curl}/image.bin"
    # Four sides in alternating rounds, best of each, so that all see the same
    # load: our verified download; curl -o alone (writes, checks nothing);
    # curl -o then md5sum (the peer that also verifies); and one core's MD5
    # over data in memory, the ceiling of any download that checks its digest
    # while it arrives (libcrypto's by `openssl speed`, and our own digest
    # in-process: the faster counts). All by the clock on the wall.
    best = {"curl": float("inf"), "curl_md5sum": float("inf"), "openssl": 0.0, "inproc": 0.0}
    runs = []
    label = ""
    for _ in range(rounds):
        best["curl"] = min(best["curl"], hyperfine(f"curl -sS --fail -o {image} {url}", 2,
                                                   prepare=f"rm -f {image}", warmup=0)[0])
        best["curl_md5sum"] = min(best["curl_md5sum"], hyperfine(
            f"curl -sS --fail -o {image} {url} && md5sum {image} > /dev/null", 2,
            prepare=f"rm -f {image}", warmup=0)[0])
        runs += gbench(a.bin("bench_PackageDownload"), "^Fetch/", 1, env)
        best["openssl"] = max(best["openssl"], openssl_md5_speed())
        md5 = gbench(a.bin("bench_FileMd5"), "^BM_Md5OneStream/", 1)[0]
        best["inproc"] = max(best["inproc"], md5["bytes_per_second"] / (1 << 20))
        label = md5.get("label", "")
    ours = min(ms(r) for r in runs)
    growth = max(r.get("peak_rss_growth_MB", 0) for r in runs)
    ours_rate = mib / ours * 1e3
    ceiling = max(best["openssl"], best["inproc"])
    ratio = ours_rate / ceiling
    t.add(f"3 large file {mib} MiB", f"{ours_rate:.0f} MiB/s", f"one core's MD5 {ceiling:.0f} MiB/s",
          f"{ratio:.2f}", "throughput >= 0.90x", ratio >= 0.90,
          f"openssl speed -evp md5 {best['openssl']:.0f} MiB/s, in-process ({label}) {best['inproc']:.0f} MiB/s")
    peer_rate = mib / best["curl_md5sum"] * 1e3
    ratio = ours_rate / peer_rate
    t.add("3 large file, verified peer", f"{ours_rate:.0f} MiB/s", f"curl -o; md5sum {peer_rate:.0f} MiB/s",
          f"{ratio:.2f}", "throughput >= 1.0x", ratio >= 1.0)
    peer_rate = mib / best["curl"] * 1e3
    t.add("3 large file, unverified peer", f"{ours_rate:.0f} MiB/s", f"curl -o {peer_rate:.0f} MiB/s",
          f"{ours_rate / peer_rate:.2f}", "- (checks nothing)", None)
    t.add("3 large file peak memory", f"+{growth:.1f} MB RSS", "-", "-", "flat (< 16 MB growth)",
          growth < 16)
    shutil.rmtree(out_ours, ignore_errors=True)
    shutil.rmtree(out_curl, ignore_errors=True)


def bench_flash(a, t):
    runs = gbench(a.bin("bench_FirmwareFlash"), "Flash/unframed:0/", 1)
    r = runs[0]
    task = r["task_ms"]
    exchanges = r["exchanges"]
    blocks = 256
    idle = r["silence_ms"] / task if task else 0
    t.add("4 firmware flash 1 MiB", f"{task:.0f} ms", "-", "-", "< 1000 ms", task < 1000,
          f"{task / blocks:.2f} ms/block, {idle * 100:.0f}% idle in silence waits, "
          f"{r['wait_ms'] / task * 100:.0f}% waiting for replies, {exchanges:.0f} exchanges")


def bench_catalogue(a, t):
    runs = gbench(a.bin("bench_UpdatePages"), "^Catalogue/500/", a.runs)
    ours = min(ms(r) for r in runs)
    t.add("5 catalogue 500 packages", f"{ours:.0f} ms", "-", "-", "< 200 ms", ours < 200)


def bench_scan(a, t):
    folder = fixture(a.work, "scan", build_scan_disk)
    disk = os.path.join(folder, "disk")
    peer_min, ours, runs = paired(
        a.runs,
        lambda: hyperfine(f"find {disk} -iname update.json > /dev/null", 2, warmup=1)[0],
        lambda: gbench(a.bin("bench_UpdatePages"), "^InstalledScan/", 1, {"UA_BENCH_SCAN_DISK": disk}))
    ratio = ours / peer_min
    t.add("6 installed scan 20000 dirs", f"{ours:.0f} ms", f"find -iname {peer_min:.0f} ms", f"{ratio:.2f}",
          "ratio <= 1.5", ratio <= 1.5, f"{runs[0].get('rows', 0):.0f} rows")


def bench_report(a, t):
    figures = {}
    for rows in (1000, 10000):
        r = gbench(a.bin("bench_ReportPdfExport"), f"ExportToPdf/{rows}/", 1)[0]
        figures[rows] = (ms(r), r["peak_rss_MB"], r.get("pages", 0))
    ratio = figures[10000][0] / figures[1000][0]
    t.add("7 report 10000 codes to PDF", f"{figures[10000][0]:.0f} ms, {figures[10000][1]:.0f} MB",
          f"1000 codes {figures[1000][0]:.0f} ms", f"{ratio:.2f}", "ratio <= 11 (linear)", ratio <= 11,
          f"{figures[10000][2]:.0f} pages; 1000 codes peak {figures[1000][1]:.0f} MB")


def bench_record(a, t):
    # One case per process: peak_rss_MB is the process's peak.
    page = gbench(a.bin("bench_RecordOpen"), "^OpenInDataList", 1)[0]
    whole = gbench(a.bin("bench_RecordOpen"), "^ReadUnbounded", 1)[0]
    gap = page["longest_gui_gap_ms"]
    met = ms(page) < 1000 and page["peak_rss_MB"] < 200 and gap < 100
    t.add("10 data stream 11.7M frames", f"{ms(page):.0f} ms, {page['peak_rss_MB']:.0f} MB",
          f"all frames {ms(whole):.0f} ms, {whole['peak_rss_MB']:.0f} MB", f"{ms(page) / ms(whole):.3f}",
          "< 1 s, < 200 MB, gap < 100 ms", met,
          f"{page['frames']:.0f} frames kept; longest the window waited {gap:.0f} ms")


def bench_startup(a, t):
    program = a.bin("UpdateAssist")
    shot = os.path.join(a.work, "startup.png")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", UA_SCREENSHOT=shot, UA_SCREENSHOT_DELAY_MS="0")
    # Start-up to the first shown window; the screenshot then ends the program.
    cmd = f"env QT_QPA_PLATFORM=offscreen UA_SCREENSHOT={shot} UA_SCREENSHOT_DELAY_MS=0 {program}"
    _, median = hyperfine(cmd, 10, warmup=1)
    rss = peak_rss_mb([program], env)
    t.add("8 start-up to shown window", f"{median:.0f} ms, {rss:.0f} MB", "-", "-",
          "< 400 ms, < 120 MB", median < 400 and rss < 120, "median of 10, includes the screenshot and exit")


ALL = ["check", "small", "large", "flash", "catalogue", "scan", "report", "startup", "installed",
       "record"]


def main():
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("--build", required=True, help="Release build folder")
    p.add_argument("--work", required=True, help="folder for fixtures and outputs")
    p.add_argument("--runs", type=int, default=5, help="rounds of both sides (best of N)")
    p.add_argument("--large-mib", type=int, default=1024, help="size of the large file")
    p.add_argument("--out", default="/dev/shm" if os.access("/dev/shm", os.W_OK) else None,
                   help="where downloads land (default /dev/shm: ext4 slows down creating "
                        "files right after many were deleted, which would decide the figure)")
    p.add_argument("--only", default=",".join(ALL), help="comma-separated subset of " + ",".join(ALL))
    a = p.parse_args()
    a.work = os.path.abspath(a.work)
    a.build = os.path.abspath(a.build)
    a.bin = lambda name: os.path.join(a.build, "bin", name)
    only = a.only.split(",")
    os.makedirs(a.work, exist_ok=True)
    os.chmod(a.work, 0o755)

    a.out = tempfile.mkdtemp(prefix="ua-bench-", dir=a.out or a.work)
    table = Table()
    server = None
    try:
        if "small" in only or "large" in only:
            www = os.path.join(a.work, "www")
            os.makedirs(www, exist_ok=True)
            if "small" in only:
                a.small_folder = fixture(a.work, "small", build_small_files)
                link = os.path.join(www, "small")
                if not os.path.islink(link):
                    os.symlink(os.path.join(a.small_folder, "www/small"), link)
            if "large" in only:
                a.large_folder = fixture(a.work, f"large-{a.large_mib}", lambda f: build_large_file(f, a.large_mib))
                link = os.path.join(www, "large")
                if os.path.islink(link):
                    os.remove(link)
                os.symlink(os.path.join(a.large_folder, "www/large"), link)
            server = Nginx(a.work, www)
        table.header()
        steps = {
            "check": lambda: bench_diff_check(a, table),
            "small": lambda: bench_small_files(a, table, server),
            "large": lambda: bench_large_file(a, table),
            "flash": lambda: bench_flash(a, table),
            "catalogue": lambda: bench_catalogue(a, table),
            "scan": lambda: bench_scan(a, table),
            "report": lambda: bench_report(a, table),
            "startup": lambda: bench_startup(a, table),
            "installed": lambda: bench_installed_check(a, table),
            "record": lambda: bench_record(a, table),
        }
        failed = False
        for name in ALL:
            if name not in only:
                continue
            try:
                steps[name]()
            except (RuntimeError, subprocess.CalledProcessError, KeyError) as error:
                failed = True
                log(f"{name} failed: {error}")
    finally:
        if server:
            server.stop()
        shutil.rmtree(a.out, ignore_errors=True)
    targets = [r for r in table.rows if r[5] != "-"]
    missed = [r for r in targets if r[5] != "yes"]
    print(f"\n{len(targets) - len(missed)} of {len(targets)} targets met", flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
