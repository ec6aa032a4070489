"""Converts a GIF to a JPEG of quality 90 with Pillow, RUNS times in this
process, and prints the median seconds and the peak resident memory the
conversion added, in KiB. Usage: pillow_convert.py GIF JPEG RUNS"""
import resource
import sys
import time

from PIL import Image


def resident_kib():
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def main():
    source, target, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
    before = resident_kib()
    seconds = []
    for _ in range(runs):
        start = time.perf_counter()
        with Image.open(source) as image:
            image.convert("RGB").save(target, "JPEG", quality=90)
        seconds.append(time.perf_counter() - start)
    seconds.sort()
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    print(f"{seconds[len(seconds) // 2]:.6f} {peak - before}")


main()
