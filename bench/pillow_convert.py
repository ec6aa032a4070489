"""Converts a GIF to a JPEG of quality 90 with Pillow, as a program using
Pillow would, and prints the seconds it took, the CPU seconds, and the peak
resident memory the conversion added, in KiB.
Usage: pillow_convert.py GIF JPEG"""
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
    source, target = sys.argv[1], sys.argv[2]
    # Pillow finds its format plugins on first use: not part of the work.
    Image.init()
    before = resident_kib()
    start, cpu_start = time.perf_counter(), time.process_time()
    with Image.open(source) as image:
        image.convert("RGB").save(target, "JPEG", quality=90)
    seconds, cpu = time.perf_counter() - start, time.process_time() - cpu_start
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    print(f"{seconds:.6f} {cpu:.6f} {peak - before}")


main()
