#!/usr/bin/env bash
# Succeeds where this machine can execute 32-bit x86 programs (and so run
# 32-bit Wine); some kernels and virtual machines cannot.
[ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
