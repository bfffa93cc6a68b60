"""One kvlhost batch session driven from Python, and the shape every reply must have.

Shared by scripts/storm.py (random requests), tests/hostile.py (crafted ones) and the
host benches (timed_request):
Session starts `kvlhost batch` through scripts/wine-run.sh with a pinned locale and
hands requests and replies through queues, so every wait has a limit; check_reply
says whether a reply line keeps the promises of docs/host.md.
"""

import json
import os
import queue
import signal
import subprocess
import threading
import time
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent


def processes_named(pgid, name):
    """Processes of our process group whose first argument names the program."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            if os.getpgid(int(entry)) != pgid:
                continue
            argv0 = Path(f"/proc/{entry}/cmdline").read_bytes().split(b"\0")[0].decode(errors="replace")
        except (OSError, ProcessLookupError):
            continue
        if argv0.replace("\\", "/").lower().endswith(name):
            found.append(int(entry))
    return found


def status_kib(pid, field):
    try:
        for line in Path(f"/proc/{pid}/status").read_text().splitlines():
            if line.startswith(field + ":"):
                return int(line.split()[1])
    except OSError:
        pass
    return 0


class Session:
    """One kvlhost batch process: a writer thread, a reader thread per output
    stream, replies handed over through a queue so every wait has a limit."""

    def __init__(self, kvlhost, locale):
        env = dict(os.environ, KVL_LOCALE=locale, WINEDEBUG="-all")
        self.process = subprocess.Popen(
            [str(REPO / "scripts" / "wine-run.sh"), str(kvlhost), "batch"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
            env=env, start_new_session=True)
        self.replies = queue.Queue()
        self.requests = queue.Queue()
        self.stderr_tail = b""
        self.write_error = None
        self.kvlhost_pid = None
        threading.Thread(target=self._read_replies, daemon=True).start()
        threading.Thread(target=self._read_stderr, daemon=True).start()
        threading.Thread(target=self._write_requests, daemon=True).start()

    def _read_replies(self):
        for line in self.process.stdout:
            self.replies.put(line)
        self.replies.put(None)

    def _read_stderr(self):
        while True:
            chunk = self.process.stderr.read1(65536)
            if not chunk:
                return
            self.stderr_tail = (self.stderr_tail + chunk)[-2000:]

    def _write_requests(self):
        while True:
            line = self.requests.get()
            try:
                if line is None:
                    self.process.stdin.close()
                    return
                self.process.stdin.write(line + b"\n")
                self.process.stdin.flush()
            except OSError as error:
                self.write_error = error
                return

    def exchange(self, line, timeout):
        """The reply line, None when kvlhost ended; raises queue.Empty on a hang."""
        self.requests.put(line)
        return self.replies.get(timeout=timeout)

    def _status_kib(self, field):
        """A size from /proc/PID/status of the Linux process that runs kvlhost.exe
        (Wine execs its loader in place; 0 when it is not found)."""
        if self.kvlhost_pid is None or not Path(f"/proc/{self.kvlhost_pid}").exists():
            pids = processes_named(self.process.pid, "kvlhost.exe")
            self.kvlhost_pid = pids[0] if pids else None
        return status_kib(self.kvlhost_pid, field) if self.kvlhost_pid else 0

    def rss_kib(self):
        return self._status_kib("VmRSS")

    def peak_rss_kib(self):
        return self._status_kib("VmHWM")

    def finish(self, timeout=30):
        """Closes the input and waits for the end: None when kvlhost ended with
        status 0 and wrote nothing more, else what went wrong."""
        self.requests.put(None)
        extra = []
        deadline = time.monotonic() + timeout
        try:
            while (line := self.replies.get(timeout=max(0.1, deadline - time.monotonic()))) is not None:
                extra.append(line)
            self.process.wait(timeout=max(1, deadline - time.monotonic()))
        except (queue.Empty, subprocess.TimeoutExpired):
            self.kill()
            return f"kvlhost did not end within {timeout} s of the end of its input"
        if extra:
            return f"kvlhost wrote {len(extra)} lines that answer no request: {extra[0][:200]!r}"
        if self.process.returncode != 0:
            return f"kvlhost did not end cleanly at the end of its input ({self.describe_end()})"
        return None

    def kill(self):
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.process.wait()

    def describe_end(self):
        code = self.process.wait(timeout=10)
        if code < 0:
            return f"killed by signal {-code}"
        return f"exit status {code}" + (" (0x%08X)" % (code & 0xFFFFFFFF) if code > 255 else "")


def timed_request(process, request):
    """Seconds from writing a request to a plain `kvlhost batch` Popen until its reply, and
    the reply; for benches, which time one request at a time and need no limit on the wait."""
    start = time.perf_counter()
    process.stdin.write((json.dumps(request) + "\n").encode())
    process.stdin.flush()
    reply = json.loads(process.stdout.readline())
    return time.perf_counter() - start, reply


def fastest(ask, times):
    """The quickest of `times` timed requests (seconds, reply) made by ask()."""
    return min((ask() for _ in range(times)), key=lambda timed: timed[0])


FIXED_ERRORS = [(" *** ERROR: Wrong parameter count *** ", "wrong count"),
                (" *** ERROR: Wrong parameter value *** ", "wrong value"),
                (" *** Action not successfully *** ", "not successful"),
                (" *** ERROR *** ", "ERROR")]


def check_reply(kind, raw):
    """(outcome, None) for a sound reply, (None, problem) otherwise."""
    if not raw.endswith(b"\n"):
        return None, "reply not ended by a line feed"
    try:
        reply = json.loads(raw.decode("utf-8"))
    except (UnicodeDecodeError, ValueError) as error:
        return None, f"reply is not valid JSON: {error}"
    if not isinstance(reply, dict):
        return None, "reply is not a JSON object"
    if kind == "malformed":
        if set(reply) != {"error"} or not isinstance(reply["error"], str):
            return None, "a malformed line did not get {\"error\": ...}"
        return "malformed line refused", None
    if "error" in reply:
        return None, f"a well-formed request got an error reply: {reply['error'][:200]!r}"
    for key in ("rc", "result", "processed", "attachments"):
        if key not in reply:
            return None, f"reply lacks {key!r}"
    for key in ("processed", "attachments"):
        if not isinstance(reply[key], list) or not all(isinstance(t, str) for t in reply[key]):
            return None, f"{key!r} is not a list of texts"
    for key in ("processed", "attachments"):
        if len(reply[key]) > 1000:
            return None, f"{key!r} lists {len(reply[key])} texts (at most 1000)"
        left_out = reply.get(key + "_left_out", {"texts": 0, "bytes": 0})
        if not isinstance(left_out, dict) or not all(isinstance(left_out.get(k), int) and left_out[k] >= 0
                                                     for k in ("texts", "bytes")):
            return None, f"'{key}_left_out' is not {{\"texts\": N, \"bytes\": M}}"
    expected_rc = -1 if kind == "unknown" else 0
    if reply["rc"] != expected_rc:
        return None, f"rc is {reply['rc']!r}, expected {expected_rc}"
    if expected_rc == -1:
        return ("unknown macro", None) if reply["result"] is None else (None, "result is not null for rc -1")
    if not isinstance(reply["result"], str):
        return None, "result is not a text"
    if kind == "template":
        return "template", None
    for text, outcome in FIXED_ERRORS:
        if reply["result"] == text:
            return outcome, None
    return "ok", None
