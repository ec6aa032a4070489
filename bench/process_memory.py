"""What a process of the benchmarks has used."""


def peak_mib(pid):
    """The process's peak resident memory (VmHWM), in MiB."""
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024
    return 0.0
