#!/usr/bin/env python3
"""Checks a release package.

  check_package.py --zip Z --version V --architecture A contents
      The zip holds exactly the files a user is promised, and its text files read right on
      Windows: README.txt as UTF-8 with a byte-order mark in both languages, config.ini in
      CP932, every text file with CR LF line ends.

  check_package.py --zip Z --version V --architecture A run --scratch DIR --run EMULATOR...
      Extracts the zip and has the program inside register and unregister the bundled sample
      server in batch mode, directly and through the two sample list files; each run's result
      log (CP932) must report success.

Exits with 1 and says what differs when a check fails.
"""
import argparse
import os
import shutil
import subprocess
import sys
import zipfile

PACKAGE_FILES = [
    "plinthora.exe",
    "plinthora.chm",
    "README.txt",
    "config.ini",
    "samples/sample_server.dll",
    "samples/install.ini.sample",
    "samples/uninstall.ini.sample",
]
# The x64 package also carries the x86 program, which performs 32-bit components.
HELPER32 = "plinthora32.exe"
SAMPLE = "\\samples\\sample_server.dll"


def crlf_only(data):
    return b"\n" not in data.replace(b"\r\n", b"")


def check_contents(package, version, architecture):
    problems = []
    with zipfile.ZipFile(package) as archive:
        names = archive.namelist()
        expected = PACKAGE_FILES + ([HELPER32] if architecture == "x64" else [])
        if sorted(names) != sorted(expected):
            return [f"{package} holds {sorted(names)}, not {sorted(expected)}"]
        files = {name: archive.read(name) for name in names}

    readme = files["README.txt"]
    if not readme.startswith(b"\xef\xbb\xbf"):
        problems.append("README.txt has no UTF-8 byte-order mark")
    text = readme[3:].decode("utf-8", errors="replace")
    for needed in ("動作環境", "Requirements", f"plinthora-{version}-{architecture}.zip"):
        if needed not in text:
            problems.append(f"README.txt does not mention {needed}")
    if "@PLINTHORA_VERSION@" in text:
        problems.append("README.txt still holds the version placeholder")

    try:
        config = files["config.ini"].decode("cp932")
        if "[RegCheck]" not in config.splitlines() or "CheckType=0" not in config.splitlines():
            problems.append("config.ini does not set [RegCheck] CheckType=0")
    except UnicodeDecodeError:
        problems.append("config.ini is not CP932")

    for name in ("README.txt", "config.ini", "samples/install.ini.sample", "samples/uninstall.ini.sample"):
        if not crlf_only(files[name]):
            problems.append(f"{name} has line ends other than CR LF")
    for name in ("plinthora.exe", "samples/sample_server.dll"):
        if not files[name].startswith(b"MZ"):
            problems.append(f"{name} is not a Windows program")
    if architecture == "x64" and machine(files[HELPER32]) != 0x14C:
        problems.append(f"{HELPER32} is not a 32-bit Windows program")
    return problems


def machine(image):
    """The machine field of a PE image's header, or None."""
    if not image.startswith(b"MZ"):
        return None
    header = int.from_bytes(image[60:64], "little")
    if image[header:header + 4] != b"PE\0\0":
        return None
    return int.from_bytes(image[header + 4:header + 6], "little")


def batch_run(run, folder, arguments):
    """Runs plinthora.exe from the extracted package and returns its result log, decoded."""
    log = os.path.join(folder, "log.txt")
    if os.path.exists(log):
        os.remove(log)
    result = subprocess.run(run + [os.path.join(folder, "plinthora.exe")] + arguments,
                            capture_output=True, timeout=300)
    if result.returncode != 0:
        return None, f"exit code {result.returncode}"
    if not os.path.exists(log):
        return None, "no log.txt was written"
    with open(log, "rb") as written:
        return written.read().decode("cp932"), None


def check_run(package, scratch, run):
    shutil.rmtree(scratch, ignore_errors=True)
    with zipfile.ZipFile(package) as archive:
        archive.extractall(scratch)

    problems = []
    cases = [
        (["/s", "/l", "<appdir>" + SAMPLE], "登録完了"),
        (["/u", "/s", "/l", "<appdir>" + SAMPLE], "解除完了"),
        (["/s", "/l", "/f:<appdir>\\samples\\install.ini.sample"], "登録完了"),
        (["/s", "/l", "/f:<appdir>\\samples\\uninstall.ini.sample"], "解除完了"),
    ]
    for arguments, status in cases:
        log, failure = batch_run(run, scratch, arguments)
        command = "plinthora.exe " + " ".join(arguments)
        if failure is not None:
            problems.append(f"{command}: {failure}")
            continue
        options = "/u " if status == "解除完了" else ""
        line_end = SAMPLE + "\t" + options + "\t" + status + "\r\n"
        if log.count("\r\n") != 1 or not log.endswith(line_end):
            problems.append(f"{command}: the log reads {log!r}, not one line ending in {line_end!r}")
    shutil.rmtree(scratch, ignore_errors=True)
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--zip", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--architecture", required=True, choices=["x64", "x86"])
    commands = parser.add_subparsers(dest="command", required=True)
    commands.add_parser("contents")
    run = commands.add_parser("run")
    run.add_argument("--scratch", required=True)
    run.add_argument("--run", nargs="+", required=True)
    arguments = parser.parse_args()

    if arguments.command == "contents":
        problems = check_contents(arguments.zip, arguments.version, arguments.architecture)
    else:
        problems = check_run(arguments.zip, arguments.scratch, arguments.run)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
