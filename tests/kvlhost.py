"""What the Python checks share: where the tree and kvlhost are, the Windows form
of a path, one kvlhost command, kvlhost's batch mode (all requests at once, or one at
a time), and the comparison of results with what a table or a peer expects."""

import argparse
import glob
import json
import os
import shutil
import subprocess

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RUN = os.path.join(ROOT, "scripts", "wine-run.sh")
HOST = os.path.join(ROOT, "build", "bin", "kvlhost.exe")


def windows_path(path):
    """The path as Wine's drive Z: shows it."""
    return "Z:" + str(path).replace("/", "\\")


def arguments(**options):
    """KVLHOST (the build's when not given) and the check's own --options, name=default
    (a default of False makes a flag)."""
    parser = argparse.ArgumentParser()
    parser.add_argument("kvlhost", nargs="?", default=HOST)
    for name, default in options.items():
        parser.add_argument("--" + name, **({"action": "store_true"} if default is False else
                                            {"type": type(default), "default": default}))
    return parser.parse_args()


def message_files():
    """The .eml files of examples/ and tests/data/messages/."""
    return sorted(glob.glob(os.path.join(ROOT, "examples", "*.eml")) +
                  glob.glob(os.path.join(ROOT, "tests", "data", "messages", "*.eml")))


def run(host, *args, stdin=b"", locale=None, cwd=None, timeout=120):
    """One kvlhost command: its exit status, standard output and error (bytes); a relative
    KVLHOST holds in any working folder."""
    return subprocess.run([RUN, os.path.abspath(host), *args], input=stdin, capture_output=True, timeout=timeout, cwd=cwd,
                          env=environment(locale))


def plugin_copy(host, folder):
    """A copy of the build's KVL.zrp in folder: its Windows path."""
    shutil.copy(os.path.join(os.path.dirname(host), "KVL.zrp"), folder)
    return windows_path(os.path.join(folder, "KVL.zrp"))


def mismatches(cases, results):
    """A line for each case (a tuple whose last member is the expected result) that its result misses."""
    return [f"{case[:-1]}: {result!r}, expected {case[-1]!r}" for case, result in zip(cases, results, strict=True)
            if result != case[-1]]


def unexplained(found, listed):
    """The differences from a peer (key -> what differs) that `listed` does not explain,
    and the listed ones that agree now."""
    return ([f"{key}: {what}" for key, what in sorted(found.items()) if key not in listed] +
            [f"{key} is listed as differing but agrees now" for key in sorted(listed.keys() - found.keys())])


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
    done = run(host, "batch", *options, stdin=lines.encode(), locale=locale, cwd=cwd, timeout=timeout)
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
        self.process = subprocess.Popen([RUN, os.path.abspath(host), "batch", *options], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, cwd=cwd, env=environment(locale))

    def call(self, macro, *args):
        self.process.stdin.write((json.dumps({"macro": macro, "args": list(args)}) + "\n").encode())
        self.process.stdin.flush()
        return json.loads(self.process.stdout.readline())

    def close(self):
        self.process.stdin.close()
        return self.process.wait(timeout=120)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()
