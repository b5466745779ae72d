#!/usr/bin/env python3
"""Draws search time against dictionary size from search_bench's closing table.

Usage: plot_search.py BENCH_OUTPUT OUT.png

One line per side (the window's search, the naive and the best plain SQLite
program) and per case (on the dictionaries without an index, contains "а":
many rows, and contains "щщщ": none; on the dictionaries with the index on
lx_word_upper, equals "абай"), at the medians the table gives. Drawn with
ImageMagick's convert, which setup installs.
"""
import re
import subprocess
import sys

# (indexed file, mode, pattern, legend)
CASES = [(False, "0", "many", "contains «а» (many rows)"), (False, "0", "none", "contains «щщщ» (no row)"),
         (True, "2", "few", "equals «абай», indexed file")]
DASHES = ["", "stroke-dasharray 6 4 ", "stroke-dasharray 2 3 "]
SIDES = [("naive", "#c0392b", "naive plain SQLite program"), ("best", "#7d3c98", "best plain SQLite program"),
         ("chain", "#2471a3", "Kalimdar, whole search")]


def read_table(path):
    """The medians, by file (with or without the index), mode and pattern."""
    medians = {}  # (rows, indexed, mode, pattern, side) -> ms
    row = re.compile(r"^\| (\d+)( indexed)? \| (\S+) \| (\S+) \| [^|]+ \| ([\d.]+) \| ([\d.]+) \| ([\d.]+) \|")
    with open(path, encoding="utf-8") as f:
        for line in f:
            m = row.match(line)
            if m:
                key = (int(m.group(1)), m.group(2) is not None, m.group(3), m.group(4))
                medians[key + ("chain",)] = float(m.group(5))
                medians[key + ("best",)] = float(m.group(6))
                medians[key + ("naive",)] = float(m.group(7))
    return medians


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    medians = read_table(sys.argv[1])
    sizes = sorted({k[0] for k in medians})
    if len(sizes) < 2:
        sys.exit("plot_search.py: the table holds fewer than two dictionary sizes")
    width, height, left, right, top, bottom = 760, 460, 80, 250, 50, 60
    plot_w, plot_h = width - left - right, height - top - bottom
    top_ms = max(v for k, v in medians.items() if k[1:4] in {c[:3] for c in CASES})
    step = 100 if top_ms > 400 else 50 if top_ms > 150 else 20
    y_max = (int(top_ms / step) + 1) * step

    def x(rows):
        return left + plot_w * rows / sizes[-1]

    def y(ms):
        return top + plot_h * (1 - ms / y_max)

    draw = ["-stroke", "#888888", "-draw", f"line {left},{top} {left},{top + plot_h}",
            "-draw", f"line {left},{top + plot_h} {left + plot_w},{top + plot_h}"]
    text = []  # (x, y, string, colour)
    for ms in range(0, y_max + 1, step):
        draw += ["-stroke", "#e0e0e0", "-draw", f"line {left + 1},{y(ms):.1f} {left + plot_w},{y(ms):.1f}"]
        text.append((left - 45, y(ms) + 4, f"{ms}", "#333333"))
    for rows in sizes:
        text.append((x(rows) - 25, top + plot_h + 20, f"{rows // 1000}K", "#333333"))
    text.append((left + plot_w / 2 - 60, height - 12, "dictionary rows", "#333333"))
    text.append((10, top - 20, "ms per search (median)", "#333333"))
    legend_y = top + 10
    for side, colour, side_name in SIDES:
        for index, (indexed, mode, pattern, case_name) in enumerate(CASES):
            points = [(x(r), y(medians[(r, indexed, mode, pattern, side)])) for r in sizes
                      if (r, indexed, mode, pattern, side) in medians]
            dash = DASHES[index]
            path = " ".join(f"{px:.1f},{py:.1f}" for px, py in points)
            draw += ["-stroke", colour, "-strokewidth", "2", "-fill", "none", "-draw", f"{dash}polyline {path}"]
            for px, py in points:
                draw += ["-fill", colour, "-draw", f"circle {px:.1f},{py:.1f} {px + 3:.1f},{py:.1f}"]
            draw += ["-fill", "none", "-draw",
                     f"{dash}line {left + plot_w + 15},{legend_y} {left + plot_w + 45},{legend_y}"]
            text.append((left + plot_w + 52, legend_y + 4, side_name, colour))
            text.append((left + plot_w + 52, legend_y + 18, case_name, colour))
            legend_y += 40
    command = ["convert", "-size", f"{width}x{height}", "xc:white", "-font", "DejaVu-Sans"] + draw
    command += ["-stroke", "none", "-strokewidth", "1", "-pointsize", "12"]
    for tx, ty, s, colour in text:
        command += ["-fill", colour, "-draw", f"text {tx:.1f},{ty:.1f} '{s}'"]
    command.append(sys.argv[2])
    subprocess.run(command, check=True)


if __name__ == "__main__":
    main()
