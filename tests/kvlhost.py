"""What the Python checks share: where the tree and kvlhost are, the Windows form
of a path, and kvlhost's batch mode (all requests at once, or one at a time)."""

import json
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RUN = os.path.join(ROOT, "scripts", "wine-run.sh")
HOST = os.path.join(ROOT, "build", "bin", "kvlhost.exe")


def windows_path(path):
    """The path as Wine's drive Z: shows it."""
    return "Z:" + str(path).replace("/", "\\")


def host_argument():
    """The kvlhost a check runs: its first argument, or the one the build made."""
    return sys.argv[1] if len(sys.argv) > 1 else HOST


def finish(failures, summary, shown=None):
    """Prints the failures (the first `shown` of them) and the summary line; the exit status."""
    for failure in failures[:shown]:
        print("FAIL", failure)
    print(summary)
    return 1 if failures else 0


def environment(locale):
    return dict(os.environ, KVL_LOCALE=locale) if locale else None


def batch_replies(host, requests, *options, locale=None, cwd=None, timeout=300):
    """Each request's reply, through one kvlhost batch session; ends the check when one is missing.
    The last request has no line end: kvlhost answers what stands before the end of input too."""
    lines = "\n".join(json.dumps(request) for request in requests)
    done = subprocess.run([RUN, host, "batch", *options], input=lines.encode(), capture_output=True,
                          timeout=timeout, cwd=cwd, env=environment(locale))
    replies = [json.loads(line) for line in done.stdout.decode().splitlines()]
    if len(replies) != len(requests):
        raise SystemExit(f"{len(replies)} replies for {len(requests)} requests"
                         f"{' under ' + locale if locale else ''}: {done.stderr.decode(errors='replace')[-2000:]}")
    return replies


def batch(host, requests, *options, **settings):
    """Each request's result, as batch_replies reads them."""
    return [reply.get("result") for reply in batch_replies(host, requests, *options, **settings)]


class Session:
    """One open kvlhost batch session, answering request by request (the state of the
    plug-in and the host lasts between them, as in the mail client)."""

    def __init__(self, host, *options, locale=None, cwd=None):
        self.process = subprocess.Popen([RUN, host, "batch", *options], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, cwd=cwd, env=environment(locale))

    def ask(self, request):
        self.process.stdin.write((json.dumps(request) + "\n").encode())
        self.process.stdin.flush()
        return json.loads(self.process.stdout.readline())

    def call(self, macro, *args):
        return self.ask({"macro": macro, "args": list(args)})

    def close(self):
        self.process.stdin.close()
        return self.process.wait(timeout=120)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()
