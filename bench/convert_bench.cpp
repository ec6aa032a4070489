// Times ConvertImageToJpeg on a GIF, on either platform (under Wine for the
// Windows backend). image_bench --keep-gif writes a 4000 x 3000 GIF for it.
// Usage: convert_bench GIF [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "image/convert_image_to_jpeg.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: convert_bench GIF [RUNS]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::vector<double> samples;
    for (int run = 0; run < runs; ++run) {
        pushnote::WorkingPath source;
        pushnote::WorkingPath destination;
        const auto start = std::chrono::steady_clock::now();
        if (!source.Assign(argv[1]) || !pushnote::ConvertImageToJpeg(source.text, destination)) {
            std::fprintf(stderr, "convert_bench: conversion failed\n");
            return 1;
        }
        samples.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(samples.begin(), samples.end());
    std::printf("ConvertImageToJpeg, median of %d: %.3f s\n", runs, samples[samples.size() / 2]);
    return 0;
}
