#!/usr/bin/env python3
"""Turns one architecture's raw figures into its section of bench/RESULTS.md.

    summarize.py ARCH RAW_TSV MACHINE_FILE EXE_BYTES RESULTS_MD
    summarize.py ARCH --not-run REASON RESULTS_MD

RAW_TSV holds the lines of launch_timer ("time") and of the window programs ("window"). MACHINE_FILE holds "key<TAB>value" lines describing the machine and the run.
Only the section of ARCH is replaced; the other architecture's section, and the notes at the
end of the file (from the line "<!-- notes begin -->" on, kept by hand), stay as they are.
"""
import statistics
import sys

MIB = 1024 * 1024
NOTES_MARK = "<!-- notes begin -->"

HEADER = """# Benchmark results

Written by `tools/bench.sh`; running it again replaces the section of the architecture it
measured. How the figures are taken:

- The measurements run in two Wine sessions side by side, each with its own prefix and
  wineserver and pinned, with everything it starts, to one CPU of its own: the wineserver is
  started first with `taskset -c N wineserver -p`, and every Wine process (and Xvfb, in the
  session that has the window) is pinned to the same CPU. Cases 2, 3 and 6 run in one session,
  cases 1, 7, 4 and 5 in the other; commands that are compared always run in the same session.
  On a machine with one CPU the two sessions run one after the other.
- Batch commands are started and timed from inside Wine by `launch_timer.exe` (process
  creation to exit, by the performance counter), so the Unix side of `wine` is not in the
  figures. It reads each command's peak working set every 10 ms while it runs; the table
  of working sets gives the highest reading over the rounds.
- Commands that are compared run in alternation, A B A B, for every round; each table gives
  the median and every round, each ratio is taken within a round, and its median is what the
  goal is checked against.
- The window figures are measured inside the window programs themselves (see case 4).
"""

CASES = [
    {
        "title": "1. Registering 300 distinct copies of the sample COM server",
        "rows": [
            ("p1", "Plinthora: `plinthora.exe /s servers\\*.dll`"),
            ("floor1", "floor (c): per file OleInitialize, LoadLibraryA, DllRegisterServer, FreeLibrary, OleUninitialize"),
            ("floor1-shared", "floor in one OLE session for all files (to price the session per item)"),
            ("loop", "(a) `cmd /c \"for %f in (servers\\*.dll) do regsvr32 /s %f\"`"),
            ("single", "(b) one `regsvr32 /s` naming all 300 files"),
        ],
        "items": 300,
        "goal": "1",
    },
    {
        "title": "2. 5,000 items whose load fails, with a result log",
        "rows": [
            ("p2", "Plinthora: `plinthora.exe /s /f:missing.lst /l:log`"),
            ("floor2", "floor: the same 5,000 loads (with OLE sessions) and the same log lines"),
        ],
        "items": 5000,
        "goal": "2",
    },
    {
        "title": "3. A tree of 20,000 files in 2,000 folders, with /d and a result log",
        "rows": [
            ("p3", "Plinthora: `plinthora.exe /s /d /l:log tree\\`"),
            ("floor3", "floor: its own depth-first listing, the same loads and log lines"),
        ],
        "items": 20000,
        "goal": "3",
    },
    {
        "title": "5. Start-up",
        "rows": [
            ("p-blank", "Plinthora with an argument text of one blank (a batch with nothing in it)"),
            ("p-one", "Plinthora registering one server (the run starts its worker process)"),
            ("regsvr32-missing", "`regsvr32 /s` naming a file that does not exist"),
            ("do-nothing", "a program that returns at once"),
        ],
        "items": None,
        "goal": "5",
    },
    {
        "title": "6. A tree of 20,000 empty files in 2,000 folders nested seven deep, with /d and a result log",
        "rows": [
            ("p6", "Plinthora: `plinthora.exe /s /d /l:log deep\\`"),
            ("floor6", "floor: its own depth-first listing and the same log lines, each empty file answered"
                       " from its listing (it cannot load)"),
        ],
        "items": 20000,
        "goal": "6",
    },
    {
        "title": "7. 5,000 files of 64 bytes that are no image, by a wildcard, with a result log",
        "rows": [
            ("p7", "Plinthora: `plinthora.exe /s /l:log junk\\*.dll`"),
            ("floor7", "floor: its own listing, per file OleInitialize, the failing LoadLibraryA, OleUninitialize"
                       " and the same log line"),
        ],
        "items": 5000,
        "goal": "7",
    },
]


def read_raw(path):
    times, memory, window = {}, {}, []
    with open(path, encoding="ascii") as raw:
        for line in raw:
            fields = line.rstrip("\n").split("\t")
            if fields[0] == "time":
                _, round_, label, micros, code, peak = fields
                times.setdefault(label, {})[int(round_)] = (float(micros) / 1000.0, code)
                memory[label] = max(memory.get(label, 0.0), float(peak))
            elif fields[0] == "window" and int(fields[1]) > 0:
                window.append(fields[1:])
    return times, memory, window


def ms(value):
    return "%.0f" % value if value >= 100 else "%.1f" % value if value >= 10 else "%.2f" % value


def median_of(values):
    return statistics.median(values) if values else float("nan")


def rounds_of(times, label):
    return [times[label][r][0] for r in sorted(times.get(label, {}))]


def ratios(times, over, under):
    shared = sorted(set(times.get(over, {})) & set(times.get(under, {})))
    return [times[over][r][0] / times[under][r][0] for r in shared]


def verdict(met):
    return "**met**" if met else "**missed**"


def time_table(times, rows):
    lines = ["| Command | median ms | rounds (ms) | exit |", "|---|---:|---|---|"]
    for label, text in rows:
        if label not in times:
            continue
        values = rounds_of(times, label)
        codes = sorted({code for _, code in times[label].values()})
        lines.append("| %s | %s | %s | %s |" % (text, ms(median_of(values)), " ".join(ms(v) for v in values),
                                             ", ".join(codes)))
    return lines


def ratio_line(name, values):
    return "- %s: %s (median **%.2f**)" % (name, " ".join("%.2f" % v for v in values), median_of(values))


def window_section(window, window_run_rounds):
    out = ["### 4. The window: listing 10,000 files through the Add worker, then running them", ""]
    if not window:
        out += ["Not measured in this run.", ""]
        return out, None
    by_label = {}
    for fields in window:
        round_, label = int(fields[0]), fields[1]
        by_label.setdefault(label, {})[round_] = fields
    out += [
        "Both programs run their window on the process's main thread and time, from that thread,",
        "the start of the worker to the message that ends it. Plinthora's figures come from",
        "`window_driver.exe`, which runs the real main window and message loop and starts the add",
        "through `startAddJob` with the job the Add command makes for its folder",
        "method (the dialog itself is not shown), and the run through the Run command's starter.",
        "The floor, `window_floor.exe`, is a window with the same list (three columns, row",
        "pictures, texts asked for when painted) whose worker lists the folder and inserts each row",
        "with a synchronous `LVM_INSERTITEMA`, and whose run worker performs each row and sends",
        "`LVM_UPDATE` and `LVM_SCROLL`. A third thread sends `WM_NULL` with `SendMessageTimeout`",
        "every 5 ms; *longest answer* is the longest of those round trips during the operation.",
        "Wine's default theme is switched off in the bench's prefix: with it, every change of a list's",
        "scroll bar costs some 20 ms of theme drawing in both programs alike (about 200 s per add).",
        ("The run is timed in round 1 only" if window_run_rounds == "1" else
         "The run is timed in the first %s rounds only" % window_run_rounds) +
        ", to save time (%s s a program here)." % "-".join(
            "%.0f" % seconds for seconds in sorted({round(float(f[6]) / 1e6) for f in window if float(f[6]) > 0})),
        "",
        "| Program | round | add ms | longest answer during add (ms) | list paints during add | run ms | longest answer during run (ms) | rows | peak working set (MiB) | outcome |",
        "|---|---:|---:|---:|---:|---:|---:|---:|---:|---|",
    ]
    for label in ("plinthora", "floor"):
        for round_ in sorted(by_label.get(label, {})):
            f = by_label[label][round_]
            ran = float(f[6]) > 0
            out.append("| %s | %d | %s | %s | %s | %s | %s | %s | %.1f | %s |" % (
                label, round_, ms(float(f[2]) / 1000), ms(float(f[3]) / 1000), f[5],
                ms(float(f[6]) / 1000) if ran else "-", ms(float(f[7]) / 1000) if ran else "-", f[11],
                float(f[10]) / MIB, f[12]))
    add_ratios, run_ratios, answers = [], [], []
    shared = sorted(set(by_label.get("plinthora", {})) & set(by_label.get("floor", {})))
    for round_ in shared:
        p, f = by_label["plinthora"][round_], by_label["floor"][round_]
        add_ratios.append(float(p[2]) / float(f[2]))
        if float(f[6]) > 0 and float(p[6]) > 0:
            run_ratios.append(float(p[6]) / float(f[6]))
        answers.append(max(float(p[3]), float(p[7])) / 1000)
    out += ["", ratio_line("add, Plinthora / floor, per round", add_ratios),
            ratio_line("run, Plinthora / floor, per round", run_ratios), ""]
    return out, (add_ratios, answers, by_label)


def render(arch, times, memory, window, machine, exe_bytes):
    out = ["## %s" % arch, ""]
    out += ["Machine: %s CPUs (%s), %s; kernel %s; %s; measured %s." % (
        machine.get("nproc"), machine.get("cpu"), machine.get("memory", "?"), machine.get("kernel"),
        machine.get("wine"), machine.get("date"))]
    others = machine.get("others_busy", "?")
    free_cpus = ("the bench's sessions used every CPU (%s)" % machine.get("cpus", "?") if others == "-" else
                 "the CPUs the bench leaves free were %s %% busy meanwhile" % others)
    if "others_cpu" in machine:
        seconds, share = machine["others_cpu"].split("\t")
        free_cpus += (", and other processes took at least %s CPU-seconds of them while the sessions ran"
                      " (%s %% of those CPUs' time)" % (seconds, share))
    out += ["Load average before / after the measurements: %s / %s; %s.%s" % (
                machine.get("load_before"), machine.get("load_after"), free_cpus,
                " **Measured while other work ran on the machine: absolute times are inflated and noisy,"
                " and cross-thread hand-offs suffer most.**" if machine.get("loaded") == "yes" else "")]
    if "emulator" in machine:
        out += ["", "**Emulated 32-bit Wine.** The host's own 32-bit Wine could not start when this was"
                " measured, so every figure in this section comes from an emulated 32-bit Wine: %s in a %s"
                " chroot, whose 32-bit Linux programs run under %s, patched so that Wine can tell a page fault"
                " from other faults (`tools/x86-emulated.sh`). Each session's wineserver and Wine processes ran"
                " inside the chroot, pinned as described above; Xvfb ran on the host. Plinthora and everything"
                " it is compared with ran there alike, so the ratios within this section are comparable with"
                " each other. They are not comparable with the x64 section (the host's own Wine running native"
                " 64-bit code), and the absolute times are not those of a real 32-bit machine: the 32-bit code"
                " is translated as it runs, and every 32-bit process start also starts the emulator (see the"
                " do-nothing program in case 5)." % (
                    machine.get("wine"), machine.get("emulated_system"), machine.get("emulator")), ""]
    out += ["Rounds: %s for the batch cases and the window, %s for start-up. Whole run, build included: %s s." % (
        machine.get("rounds"), machine.get("startup_rounds"), machine.get("elapsed", "?")), ""]

    goals = []
    for case in CASES:
        if case["items"] is None:
            # Case 4, the window, reads best before start-up.
            window_lines, window_figures = window_section(window, machine.get("window_run_rounds", "?"))
            out += window_lines
            if window_figures is not None:
                add_ratios, answers, _ = window_figures
                goals.append(("4: listing within 1.20 x its floor", median_of(add_ratios) <= 1.20,
                              "%.2f x" % median_of(add_ratios)))
                goals.append(("4: the window answers throughout (longest answer under 100 ms)",
                              bool(answers) and max(answers) < 100, "longest %s ms" % ms(max(answers))))
        if not any(label in times for label, _ in case["rows"]):
            continue
        out += ["### " + case["title"], ""] + time_table(times, case["rows"]) + [""]
        if case["goal"] == "1":
            r_floor = ratios(times, "p1", "floor1")
            r_loop = ratios(times, "loop", "p1")
            r_single = ratios(times, "p1", "single")
            out += [ratio_line("Plinthora / floor (c), per round", r_floor),
                    ratio_line("loop (a) / Plinthora, per round (how many times faster Plinthora is)", r_loop),
                    ratio_line("Plinthora / one regsvr32 (b), per round", r_single)]
            p, f, fs, s = (median_of(rounds_of(times, k)) for k in ("p1", "floor1", "floor1-shared", "single"))
            out += ["- Per item: Plinthora %.2f ms, floor %.2f ms, floor in one OLE session %.2f ms, one regsvr32 %.2f ms"
                    " (start-up included, divided by 300)." % (p / 300, f / 300, fs / 300, s / 300),
                    "- What a session of each item's own costs: %.3f ms per item (floor minus the floor in one"
                    " session). One `regsvr32` keeps one OLE session for all files; Plinthora gives each item"
                    " its own, as Windows users get from one `regsvr32` per file." % ((f - fs) / 300), ""]
            goals.append(("1: Plinthora at most 1.10 x the floor (c)", median_of(r_floor) <= 1.10,
                          "%.2f x" % median_of(r_floor)))
            goals.append(("1: at least 10 x faster than the loop (a)", median_of(r_loop) >= 10,
                          "%.1f x" % median_of(r_loop)))
        elif case["goal"] in ("2", "3", "6", "7"):
            tool, floor = case["rows"][0][0], case["rows"][1][0]
            r = ratios(times, tool, floor)
            out += [ratio_line("Plinthora / floor, per round", r)]
            if case["goal"] in ("6", "7"):
                p, f = median_of(rounds_of(times, tool)), median_of(rounds_of(times, floor))
                out += ["- Per item: Plinthora %.3f ms, floor %.3f ms (start-up included, divided by %d)." % (
                    p / case["items"], f / case["items"], case["items"])]
            out += [""]
            goals.append(("%s: at most 1.20 x the floor" % case["goal"], median_of(r) <= 1.20, "%.2f x" % median_of(r)))
        else:
            r_reg = ratios(times, "p-blank", "regsvr32-missing")
            r_nothing = ratios(times, "p-blank", "do-nothing")
            out += [ratio_line("Plinthora / regsvr32, per round", r_reg),
                    ratio_line("Plinthora / do-nothing program, per round", r_nothing), ""]
            goals.append(("5: start-up no slower than regsvr32", median_of(r_reg) <= 1.0,
                          "%.2f x regsvr32" % median_of(r_reg)))
            if rounds_of(times, "p-one") and rounds_of(times, "p1"):
                one = median_of(rounds_of(times, "p-one")) - median_of(rounds_of(times, "p-blank"))
                per_item = (median_of(rounds_of(times, "p1")) - median_of(rounds_of(times, "floor1"))) / 300
                out += ["- The worker process: starting it and performing the first item in it adds %.1f ms to a"
                        " run with nothing to do (median of one server minus median of one blank); each further"
                        " item costs %.3f ms more than the in-process floor's (case 1, Plinthora minus floor,"
                        " divided by 300)." % (one, per_item), ""]

    out += ["### Size and working set", ""]
    out += ["- `plinthora.exe`: %d bytes (%.2f MiB)." % (exe_bytes, exe_bytes / MIB)]
    goals.append(("5: x64 exe under 1 MiB" if arch == "x64" else "5: exe under 1 MiB", exe_bytes < MIB,
                  "%d bytes" % exe_bytes))
    out += ["", "| Run | items | peak working set (MiB) |", "|---|---:|---:|"]
    names = {"p-blank": ("start-up, one blank", 0), "p1": ("case 1", 300), "p2": ("case 2", 5000),
             "p3": ("case 3", 20000), "p6": ("case 6", 20000), "p7": ("case 7", 5000),
             "floor1": ("floor, case 1", 300), "floor2": ("floor, case 2", 5000),
             "floor3": ("floor, case 3", 20000), "floor6": ("floor, case 6", 20000), "floor7": ("floor, case 7", 5000),
             "do-nothing": ("do-nothing program", 0)}
    for label in ("p-blank", "p1", "p2", "p3", "p6", "p7", "do-nothing", "floor1", "floor2", "floor3", "floor6",
                  "floor7"):
        if label in memory:
            out.append("| %s | %d | %.1f |" % (names[label][0], names[label][1], memory[label] / MIB))
    if window:
        peaks = [float(f[10]) for f in window if f[1] == "plinthora"]
        if peaks:
            out.append("| window (case 4, add and run) | 10000 | %.1f |" % (max(peaks) / MIB))
    out.append("")
    largest = [memory[label] for label in ("p3", "p6") if label in memory]
    if "p1" in memory and largest:
        growth = max(largest) - memory["p1"]
        flat = growth <= 0.05 * memory["p1"]
        out += ["Batch working set from 300 to 20,000 items: %+.1f MiB (flat means at most 5 %% above the"
                " 300-item run)." % (growth / MIB), ""]
        goals.append(("5: batch working set flat from 300 to 20,000 items", flat, "%+.1f MiB" % (growth / MIB)))

    out += ["### Goals", "", "| Goal | result | figure |", "|---|---|---|"]
    for name, met, figure in goals:
        out.append("| %s | %s | %s |" % (name, verdict(met), figure))
    out.append("")
    return out


def replace_section(results_path, arch, lines):
    try:
        with open(results_path, encoding="utf-8") as existing:
            text = existing.read()
    except OSError:
        text = ""
    sections = {}
    for name in ("x64", "x86"):
        begin, end = "<!-- %s begin -->" % name, "<!-- %s end -->" % name
        if begin in text and end in text:
            sections[name] = text[text.index(begin) + len(begin):text.index(end)].strip("\n")
    sections[arch] = "\n".join(lines).rstrip("\n")
    notes = text[text.index(NOTES_MARK):] if NOTES_MARK in text else NOTES_MARK + "\n## Notes\n"
    body = [HEADER]
    for name in ("x64", "x86"):
        body.append("<!-- %s begin -->\n%s\n<!-- %s end -->\n" % (
            name, sections.get(name, "## %s\n\nNot measured yet." % name), name))
    body.append(notes)
    with open(results_path, "w", encoding="utf-8") as out:
        out.write("\n".join(body))


def main():
    arch = sys.argv[1]
    if sys.argv[2] == "--not-run":
        replace_section(sys.argv[4], arch, ["## %s" % arch, "", sys.argv[3]])
        return
    raw, machine_file, exe_bytes, results_path = sys.argv[2], sys.argv[3], int(sys.argv[4]), sys.argv[5]
    machine = {}
    with open(machine_file, encoding="utf-8") as info:
        for line in info:
            key, _, value = line.rstrip("\n").partition("\t")
            machine[key] = value
    times, memory, window = read_raw(raw)
    replace_section(results_path, arch, render(arch, times, memory, window, machine, exe_bytes))


if __name__ == "__main__":
    main()
