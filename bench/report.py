#!/usr/bin/env python3
"""Runs every benchmark program once (with repetitions) and prints Markdown:
the ratios of MORVEN to the peers measured in the same run, and the figures
checked against the performance targets.

    python3 bench/report.py [BENCH_DIR] [--min-time S] [--repetitions N] [--only PROGRAM,...]

BENCH_DIR defaults to build/bench. Figures are medians of the repetitions, in
CPU time; "spread" is the largest coefficient of variation seen in a table.
Ratios are peer time / MORVEN time: above 1, MORVEN is faster.
"""
import argparse
import json
import os
import re
import subprocess
import sys
import tempfile

# (program, benchmark filter). The side-by-side sprite frames run in a process
# of their own: frames drawn before them in the same process (other
# renderers, worker threads) change what both sides measure.
PROGRAMS = [("containers_bench", None), ("atlas_bench", None), ("timer_bench", None), ("numeric_bench", None),
            ("bank_bench", None), ("render_bench", None), ("sprite_bench", "-SpritesBesideSdl"),
            ("sprite_bench", "SpritesBesideSdl"), ("text_bench", None), ("shapes_bench", None), ("image_bench", None), ("sound_bench", None)]


def run(path, min_time, repetitions, only=None):
    with tempfile.NamedTemporaryFile(suffix=".json", delete=False) as out:
        out_path = out.name
    try:
        cmd = [path, "--benchmark_min_time=%g" % min_time, "--benchmark_repetitions=%d" % repetitions,
               "--benchmark_report_aggregates_only=true", "--benchmark_out=" + out_path,
               "--benchmark_out_format=json"] + (["--benchmark_filter=" + only] if only else [])
        print("running %s" % " ".join(cmd), file=sys.stderr)
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
        with open(out_path) as f:
            return json.load(f)
    finally:
        os.unlink(out_path)


class Results:
    """Median and coefficient of variation of each benchmark, by run name."""

    def __init__(self):
        self.median = {}
        self.cv = {}
        self.context = None

    def add(self, data):
        self.context = self.context or data.get("context")
        for b in data["benchmarks"]:
            name = re.sub(r"/(iterations|repeats|min_time):[^/]*", "", b.get("run_name", b["name"]))
            kind = b.get("aggregate_name")
            if kind == "median" or (kind is None and name not in self.median):
                self.median[name] = b
            elif kind == "cv":
                self.cv[name] = b.get("cpu_time", 0.0)

    def get(self, name):
        return self.median.get(name)

    def ns(self, name):
        """CPU time in nanoseconds (per iteration)."""
        b = self.get(name)
        if not b:
            return None
        scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}[b.get("time_unit", "ns")]
        return b["cpu_time"] * scale

    def manual_ns(self, name):
        """Time the benchmark measured itself, in nanoseconds (per iteration)."""
        b = self.get(name)
        if not b:
            return None
        scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}[b.get("time_unit", "ns")]
        return b["real_time"] * scale

    def counter(self, name, key):
        b = self.get(name)
        return None if not b or key not in b else b[key]

    def find(self, pattern):
        rx = re.compile(pattern)
        return [n for n in self.median if rx.fullmatch(n)]


def fmt(x, digits=2):
    if x is None:
        return "n/a"
    if abs(x) >= 100:
        return "%.0f" % x
    return "%.*f" % (digits, x)


def ratio(peer, ours):
    return None if not peer or not ours else peer / ours


def per_item_ns(res, name):
    """CPU nanoseconds per processed item where a benchmark counts items."""
    b = res.get(name)
    if not b:
        return None
    if b.get("items_per_second"):
        return 1e9 / b["items_per_second"]
    return res.ns(name)


def spread(res, names):
    values = [res.cv[n] for n in names if n in res.cv]
    return "%.0f%%" % (100 * max(values)) if values else "n/a"


def containers(res, out):
    rx = re.compile(r"(\w+)<(\w+)>/(\d+)")
    groups = {}
    for name in res.median:
        m = rx.fullmatch(name)
        if m:
            groups.setdefault((m.group(1), int(m.group(3))), {})[m.group(2)] = name
    if not groups:
        return
    ours = sorted({i for g in groups.values() for i in g if i.startswith("Morven")})
    peers = sorted({i for g in groups.values() for i in g if not i.startswith("Morven")})
    used = [n for g in groups.values() for n in g.values()]
    out.append("### Ordered containers (throughput ratio, MORVEN / peer; spread %s)\n" % spread(res, used))
    out.append("| workload | N | MORVEN | " + " | ".join("vs " + p for p in peers) + " |")
    out.append("|---|---:|---|" + "---:|" * len(peers))
    for (workload, n) in sorted(groups, key=lambda k: (k[0], k[1])):
        g = groups[(workload, n)]
        for mine in ours:
            if mine not in g:
                continue
            t = per_item_ns(res, g[mine])
            cells = [fmt(ratio(per_item_ns(res, g[p]), t)) if p in g else "" for p in peers]
            out.append("| %s | %d | %s (%s ns) | %s |" % (workload, n, mine, fmt(t), " | ".join(cells)))
    out.append("")


def atlas(res, out):
    names = res.find(r"AtlasOccupancy256/.*")
    if not names:
        return
    out.append("### Atlas packing (256 x 256, 20 seeds, until 50 requests in a row fail)\n")
    out.append("| sizes | padding | MORVEN | MaxRects-BSSF | stb skyline | MORVEN / MaxRects | MORVEN / stb |")
    out.append("|---|---:|---:|---:|---:|---:|---:|")
    for sizes in ("12_16", "4_64"):
        for padding in (0, 1):
            occ = {}
            for who in ("morven", "maxrects_bssf", "stb_skyline"):
                occ[who] = res.counter("AtlasOccupancy256/%s/sizes_%s/padding_%d" % (who, sizes, padding), "occupancy")
            out.append("| %s | %d | %s | %s | %s | %s | %s |" % (
                sizes.replace("_", "-"), padding, fmt(occ["morven"], 3), fmt(occ["maxrects_bssf"], 3),
                fmt(occ["stb_skyline"], 3), fmt(ratio(occ["morven"], occ["maxrects_bssf"]), 3),
                fmt(ratio(occ["morven"], occ["stb_skyline"]), 3)))
    out.append("")
    side_by_side_atlas(res, out)
    one = res.manual_ns("AtlasRelease4096/16000_live/manual_time")
    all1k, all8k = res.ns("AtlasReleaseAll4096/1000"), res.ns("AtlasReleaseAll4096/8000")
    if one is not None and all1k is not None and all8k is not None:
        out.append("Releasing in a 4096 x 4096 atlas (sizes 4-48): %s us per release with 16,000 live areas "
                   "(thread CPU time); releasing all of 1,000 areas %s ms, of 8,000 areas %s ms.\n" % (
                       fmt(one / 1000, 1), fmt(all1k / 1e6, 1), fmt(all8k / 1e6, 1)))


def quartiles(b):
    """'median [q1-q3]' of a side-by-side benchmark's per-sample ratio."""
    return "%s [%s-%s]" % (fmt(b.get("ratio")), fmt(b.get("ratio_lo")), fmt(b.get("ratio_hi")))


ATLAS_STREAMS = ("4-64", "12-16", "2-12", "sheet-8-128")
ATLAS_SIDES = (1024, 2048, 4096)


def side_by_side_atlas(res, out):
    rows = [(s, side, res.get("AtlasReserveBesideStb/%s/%d" % (s, side))) for side in ATLAS_SIDES
            for s in ATLAS_STREAMS]
    rows = [r for r in rows if r[2]]
    if not rows:
        return
    out.append("Filling an atlas from empty beside stb_rect_pack's bottom-left skyline, side by side in one "
               "run (order alternating per sample, a new stream each sample): time per placed area (failed "
               "requests near the end count in the time, not in the divisor), thread CPU time, medians of "
               "the samples; the ratio is stb's time / MORVEN's per sample, median [quartiles]. Streams: sizes "
               "drawn uniformly from the range, or sprite-sheet frames of 8-128 pixels in steps of 8, most "
               "of them small.\n")
    out.append("| stream | atlas | MORVEN ns | stb ns | stb / MORVEN | occupancy MORVEN | occupancy stb | "
               "lowest MORVEN / stb |")
    out.append("|---|---:|---:|---:|---:|---:|---:|---:|")
    for stream, side, b in rows:
        out.append("| %s | %d | %s | %s | %s | %s | %s | %s |" % (
            stream, side, fmt(b.get("ours")), fmt(b.get("peer")), quartiles(b), fmt(b.get("occupancy"), 3),
            fmt(b.get("occupancy_peer"), 3), fmt(b.get("occupancy_ratio_min"), 3)))
    out.append("")


def side_by_side_sprites(res, out):
    rows = [(kind, n, res.get("SpritesBesideSdl/%s/%d" % (kind, n))) for kind in ("upright", "turned")
            for n in (1000, 10000)]
    rows = [r for r in rows if r[2]]
    if not rows:
        return
    out.append("### Sprites on one thread beside SDL2's software renderer\n")
    out.append("32 x 32 sprites at random positions in a 640 x 480 RGBA frame, MORVEN's software renderer on "
               "the engine's thread alone and SDL2's software renderer (SDL_RenderCopyF / SDL_RenderCopyExF, "
               "blended) side by side in one run, order alternating per frame. A frame counts clearing, "
               "handing over every sprite and flushing; thread CPU time, medians of the frames; the ratio is "
               "SDL2's time / MORVEN's per frame, median [quartiles].\n")
    out.append("| sprites | count | MORVEN ms | SDL2 ms | SDL2 / MORVEN |")
    out.append("|---|---:|---:|---:|---:|")
    for kind, n, b in rows:
        out.append("| %s | %d | %s | %s | %s |" % (kind, n, fmt(b.get("ours")), fmt(b.get("peer")), quartiles(b)))
    out.append("")


def text_and_shapes(res, out):
    glyphs = [(label, res.get(name)) for label, name in (
        ("tinted, the renderer's threads, wall clock", "TrueTypeGlyphs/0/0/real_time"),
        ("white, the renderer's threads, wall clock", "TrueTypeGlyphs/1/0/real_time"),
        ("tinted, one thread, CPU", "TrueTypeGlyphsOneThread/0/1/process_time"),
        ("white, one thread, CPU", "TrueTypeGlyphsOneThread/1/1/process_time"))]
    glyphs = [g for g in glyphs if g[1]]
    if glyphs:
        out.append("### TrueType text on the software renderer\n")
        out.append("A frame of 10,000 glyphs (DejaVu Sans at 16 pixels, 250 lines of 40) at 640 x 480, "
                   "presented and cleared; target 2 ms.\n")
        out.append("| text | ms a frame | <= 2 ms |")
        out.append("|---|---:|---|")
        for label, b in glyphs:
            ms = (b["real_time"] if "wall" in label else b["cpu_time"]) / {"ns": 1e6, "us": 1e3, "ms": 1.0}[
                b.get("time_unit", "ns")]
            out.append("| %s | %s | %s |" % (label, fmt(ms), "yes" if ms <= 2 else "**no**"))
        out.append("")
    shapes = [(label, res.get("ShapesBesideSdl/%d" % k)) for k, label in ((0, "rectangles 16 x 16"),
                                                                          (1, "circles of radius 8"))]
    shapes = [s for s in shapes if s[1]]
    if shapes:
        out.append("### Shapes beside SDL2's software renderer\n")
        out.append("1,000 translucent shapes a round at 640 x 480, MORVEN headless and SDL2's software "
                   "renderer on an RGBA surface, side by side in one run with the order alternating, thread "
                   "CPU time, medians of the rounds; the ratio is SDL2's time / MORVEN's, median [quartiles].\n")
        out.append("| shape | MORVEN per ms | SDL2 per ms | SDL2 / MORVEN |")
        out.append("|---|---:|---:|---:|")
        for label, b in shapes:
            per_ms = lambda us: fmt(1000.0 * 1000.0 / us, 0) if us else "-"
            out.append("| %s | %s | %s | %s |" % (label, per_ms(b.get("ours")), per_ms(b.get("peer")),
                                                 quartiles(b)))
        out.append("")


def pairs(res, out, title, rows):
    """rows: (label, MORVEN benchmark, peer benchmark, peer label)."""
    present = [r for r in rows if res.get(r[1])]
    if not present:
        return
    used = [r[1] for r in present] + [r[2] for r in present]
    out.append("### %s (spread %s)\n" % (title, spread(res, used)))
    out.append("| case | MORVEN ns | peer | peer ns | peer / MORVEN |")
    out.append("|---|---:|---|---:|---:|")
    for label, mine, peer, peer_label in present:
        a, b = per_item_ns(res, mine), per_item_ns(res, peer)
        out.append("| %s | %s | %s | %s | %s |" % (label, fmt(a), peer_label, fmt(b), fmt(ratio(b, a))))
    out.append("")


def numeric(res, out):
    rows = []
    for n in (8, 64):
        for mode in ("nearest", "linear", "cosine", "cubic"):
            rows.append(("gradient %s, %d stops" % (mode, n), "GradientSample/%s/%d" % (mode, n),
                         "SortedVectorLerp/%d" % n, "sorted vector + binary search, linear"))
    for n in (64, 4096):
        rows.append(("trail append at bound %d" % n, "TrailAppendAtBound/%d" % n, "DequeAppendAtBound/%d" % n,
                     "std::deque"))
    for n in (100, 10000):
        rows.append(("bank hit, %d held" % n, "BankHit/%d" % n, "StdMapHit/%d" % n, "std::map<std::string>"))
        rows.append(("bank hit, %d held" % n, "BankHit/%d" % n, "StdUnorderedMapHit/%d" % n,
                     "std::unordered_map<std::string>"))
    pairs(res, out, "Numeric modules and the bank", rows)
    angles = res.find(r"AngleDifference\w+/\d+")
    if angles:
        out.append("Angle differences (no peer): " + ", ".join(
            "%s %s ns" % (n, fmt(res.ns(n))) for n in sorted(angles)) + "\n")


def images(res, out):
    rows = []
    for kind in ("png_photo", "png_frame", "jpeg_photo", "jpeg_frame"):
        rows.append(("decode %s, 1024 x 768" % kind.replace("_", " "), "ImageDecode/%s/morven" % kind,
                     "ImageDecode/%s/stb" % kind, "stb_image"))
    pairs(res, out, "Image decoding", rows)


def targets(res, out):
    out.append("### Targets\n")
    out.append("| target | measured | met |")
    out.append("|---|---:|---|")

    def row(text, value, ok):
        out.append("| %s | %s | %s |" % (text, value, "n/a" if ok is None else ("yes" if ok else "**no**")))

    for n in (100000, 1000000):
        for workload, need_std, need_gtree in (("Insert", 1.5, 1.2), ("FindHit", 1.5, 1.2), ("FindMiss", 1.5, 1.2),
                                               ("RemoveAll", 1.5, 1.2), ("Iterate", 1.5, None)):
            mine = per_item_ns(res, "%s<MorvenSMap>/%d" % (workload, n))
            std = per_item_ns(res, "%s<StdMapCString>/%d" % (workload, n))
            r = ratio(std, mine)
            if r is not None:
                row("string map %s, N=%d: >= %.1fx std::map<const char*>" % (workload, n, need_std),
                    fmt(r) + "x", r >= need_std)
            if need_gtree:
                r = ratio(per_item_ns(res, "%s<GTreeMap>/%d" % (workload, n)), mine)
                if r is not None:
                    row("string map %s, N=%d: >= %.1fx GTree" % (workload, n, need_gtree), fmt(r) + "x",
                        r >= need_gtree)
    for sizes, about in (("12_16", "0.89"), ("4_64", "0.96")):
        mine = res.counter("AtlasOccupancy256/morven/sizes_%s/padding_0" % sizes, "occupancy")
        ref = res.counter("AtlasOccupancy256/maxrects_bssf/sizes_%s/padding_0" % sizes, "occupancy")
        if mine is not None and ref is not None:
            row("atlas occupancy %s >= MaxRects-BSSF (about %s)" % (sizes.replace("_", "-"), about),
                "%.3f vs %.3f" % (mine, ref), mine >= ref)
    mine = res.counter("AtlasOccupancy256/morven/sizes_12_16/padding_0", "occupancy")
    stb = res.counter("AtlasOccupancy256/stb_skyline/sizes_12_16/padding_0", "occupancy")
    if mine is not None and stb is not None:
        row("atlas occupancy 12-16 >= stb skyline", "%.3f vs %.3f" % (mine, stb), mine >= stb)
    one = res.manual_ns("AtlasRelease4096/16000_live/manual_time")
    if one is not None:
        row("atlas release, 16,000 live areas in 4096 x 4096: <= 13 us", "%s us" % fmt(one / 1000, 1), one <= 13000)
    every = res.ns("AtlasReleaseAll4096/8000")
    if every is not None:
        row("atlas release of all 8,000 areas: well under 1 s", "%s ms" % fmt(every / 1e6, 1), every < 250e6)
    for side in ATLAS_SIDES:
        for stream in ATLAS_STREAMS:
            b = res.get("AtlasReserveBesideStb/%s/%d" % (stream, side))
            if not b:
                continue
            r = b.get("ratio")
            row("atlas time per placed area <= 2x stb skyline, %s at %d x %d" % (stream, side, side),
                "%s ns vs %s ns: stb / MORVEN %s" % (fmt(b.get("ours")), fmt(b.get("peer")), quartiles(b)),
                r is not None and r >= 0.5)
            row("atlas occupancy >= stb skyline, %s at %d x %d" % (stream, side, side),
                "%s vs %s" % (fmt(b.get("occupancy"), 3), fmt(b.get("occupancy_peer"), 3)),
                b.get("occupancy", 0) >= b.get("occupancy_peer", 1))
    idle = res.ns("BM_TimerUpdateNothingDue/10000")
    if idle is not None:
        clock = res.ns("BM_ClockRead")
        row("timer update, nothing due, 10,000 timers <= 30 ns",
            "%s ns (clock read alone %s ns)" % (fmt(idle, 1), fmt(clock, 1)), idle <= 30)
    late = res.counter("BM_TimerLatenessBusyPoll", "max_lateness_us")
    if late is not None:
        gap = res.counter("BM_TimerLatenessBusyPoll", "longest_poll_gap_us")
        p99 = res.counter("BM_TimerLatenessBusyPoll", "p99_lateness_us")
        mean = res.counter("BM_TimerLatenessBusyPoll", "mean_lateness_us")
        inside = res.counter("BM_TimerLatenessBusyPoll", "longest_in_update_us")
        missed = res.counter("BM_TimerLatenessBusyPoll", "missed_by_earlier_poll")
        off = res.counter("BM_TimerLatenessBusyPoll", "off_cpu_share")
        row("no timer firing more than 1 ms late (2 s busy poll)",
            "max %s us, p99 %s us, mean %s us; longest gap between polls (off the processor) %s us, "
            "off-processor share %s%%; within an update at most %s us, firings an earlier poll missed: %s" % (
                fmt(late), fmt(p99), fmt(mean), fmt(gap), fmt(100 * off if off is not None else None, 1),
                fmt(inside), fmt(missed, 0)), late <= 1000)
    frame = res.ns("AtlasDemoFrame")
    if frame is not None:
        row("software renderer: one atlas-demo frame <= 1 ms", "%s us" % fmt(frame / 1000.0), frame <= 1e6)
    # 1 MiB of text wholly off the frame: below, above, right, and one line
    # from far left that crosses it (the slowest of them counts).
    text = [res.ns("TextMegabyte/%d" % case) for case in range(4)]
    if all(t is not None for t in text):
        worst = max(text)
        row("mvDrawText, 1 MiB of text off the frame: <= 10 ms", "%s ms" % fmt(worst / 1e6), worst <= 10e6)
    # A sprite frame counts clearing, drawing and (OpenGL) glFinish, not
    # presenting. Both renderers draw on threads of their own (the software
    # renderer in bands of rows, an OpenGL driver as it likes): a frame's time
    # is wall-clock time, with the CPU time of all threads beside it, and for
    # the software renderer its time on the engine's thread alone.
    # The OpenGL case runs only with a display (run the report under xvfb-run).
    def sprites(name):
        b = res.get(name + "/process_time/real_time")
        if not b:
            return None, None
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b.get("time_unit", "ns")]
        return b["real_time"] * scale, b["cpu_time"] * scale

    for kind, n, need in (("upright", 10000, 1.3), ("upright", 1000, 1.0)):
        b = res.get("SpritesBesideSdl/%s/%d" % (kind, n))
        if b:
            row("%s unrotated 32 x 32 sprites on one thread: >= %.1fx SDL2's software renderer" % (
                "{:,}".format(n), need), "%s ms vs %s ms: %s" % (fmt(b.get("ours")), fmt(b.get("peer")), quartiles(b)),
                b.get("ratio", 0) >= need)
    b = res.get("SpritesBesideSdl/turned/10000")
    if b:
        row("10,000 turned 32 x 32 sprites on one thread: <= 16 ms", "%s ms (CPU time)" % fmt(b.get("ours")),
            b.get("ours", 1e9) <= 16)
    alone, _ = sprites("SoftwareSprites10kOneThread")
    for name, where in (("SoftwareSprites10k", "software renderer"), ("OpenGLSprites10k", "OpenGL under Xvfb")):
        wall, cpu = sprites(name)
        if wall is None:
            continue
        note = "CPU time of all threads %s ms" % fmt(cpu)
        if name == "SoftwareSprites10k" and alone is not None:
            note += "; on one thread %s ms" % fmt(alone)
        row("10,000 turned 32 x 32 sprites a frame at 640 x 480, %s, wall clock: <= 16 ms" % where,
            "%s ms (%s)" % (fmt(wall), note), wall <= 16)
    # Mixing: CPU time of the mixing thread per second of audio, each side
    # measured twice in alternating order; the slower of each side counts.
    mine = [res.manual_ns("Mix64/morven/%d/manual_time" % i) for i in (1, 2)]
    peer = [res.manual_ns("Mix64/sdl_mixer/%d/manual_time" % i) for i in (1, 2)]
    if all(mine):
        worst = max(mine) / 1e6
        row("mixing 64 voices, changing volume and pan: <= 20 ms CPU per second of audio",
            "%s ms (runs %s)" % (fmt(worst), ", ".join(fmt(m / 1e6) for m in mine)), worst <= 20)
        if all(peer):
            row("mixing 64 voices: <= SDL_mixer's time", "%s ms vs %s ms (SDL_mixer runs %s)" % (
                fmt(worst), fmt(min(peer) / 1e6), ", ".join(fmt(p / 1e6) for p in peer)), worst <= min(peer))
    out.append("")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("bench_dir", nargs="?", default="build/bench")
    parser.add_argument("--min-time", type=float, default=0.2, help="seconds per benchmark and repetition")
    parser.add_argument("--repetitions", type=int, default=3)
    parser.add_argument("--only", default="", help="comma-separated programs to run (default: all)")
    args = parser.parse_args()

    res = Results()
    ran = []
    for program, only in PROGRAMS:
        if args.only and program not in args.only.split(","):
            continue
        path = os.path.join(args.bench_dir, program)
        if not os.access(path, os.X_OK):
            print("missing %s: skipped" % path, file=sys.stderr)
            continue
        res.add(run(path, args.min_time, args.repetitions, only))
        if program not in ran:
            ran.append(program)

    out = []
    ctx = res.context or {}
    out.append("Command: `python3 bench/report.py %s --min-time %g --repetitions %d` (%s; %s CPUs at %s MHz; "
               "load average at start %s). Medians of %d repetitions, CPU time.\n" % (
                   args.bench_dir, args.min_time, args.repetitions, ", ".join(ran), ctx.get("num_cpus", "?"),
                   ctx.get("mhz_per_cpu", "?"), " ".join("%.2f" % x for x in ctx.get("load_avg", [])),
                   args.repetitions))
    targets(res, out)
    containers(res, out)
    atlas(res, out)
    side_by_side_sprites(res, out)
    text_and_shapes(res, out)
    numeric(res, out)
    images(res, out)
    decode = [(rate, res.ns("BM_DecodeOgg60s/%d" % rate)) for rate in (48000, 44100)]
    if any(ns for _, ns in decode):
        memory = res.counter("BM_MusicMemory10min", "heap_bytes")
        out.append("Sound files: decoding a 60 s stereo Ogg Vorbis file into memory takes %s; a playing "
                   "ten-minute Ogg stream holds %s KiB of heap.\n" % (
                       ", ".join("%s ms CPU at %d Hz%s" % (fmt(ns / 1e6), rate, "" if rate == 48000 else
                                                               " (resampled to 48000)")
                                 for rate, ns in decode if ns),
                       fmt(memory / 1024 if memory else None, 0)))
    timer_rows = res.find(r"BM_\w+(/\d+)?")
    if timer_rows:
        out.append("Timers: " + ", ".join("%s %s ns" % (n, fmt(res.ns(n), 1)) for n in sorted(timer_rows)
                                          if "Lateness" not in n and "Decode" not in n and "Music" not in n) + "\n")
    print("\n".join(out))


if __name__ == "__main__":
    main()
