#pragma once
// The driver both "%.4f" soaks share: values from a sampler, formatted by the
// formatter under test and by snprintf on several threads, until the count is
// reached or one differs. Usage of a soak: [COUNT] [THREADS] [SEED].

#include <atomic>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "obj/fixed_format.h"

template <class Format, class Sample>
int runFixed4Soak(int argc, char** argv, std::uint64_t defaultSeed, Format format, Sample sample) {
    const std::uint64_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 300'000'000;
    const unsigned threads = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 2;
    const std::uint64_t seed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : defaultSeed;
    std::atomic<bool> mismatchFound{false};
    std::atomic<std::uint64_t> compared{0};

    const auto sameAsPrintf = [&](double value) {
        char ours[morvale::fixed4MaxChars + 16];
        char theirs[400];
        const std::size_t ourLength = static_cast<std::size_t>(format(value, ours) - ours);
        const int theirLength = std::snprintf(theirs, sizeof theirs, "%.4f", value);
        if (ourLength == static_cast<std::size_t>(theirLength) && std::memcmp(ours, theirs, ourLength) == 0)
            return true;
        ours[ourLength] = '\0';
        std::printf("MISMATCH bits 0x%016llx: %s instead of %s\n",
                    static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(value)), ours, theirs);
        mismatchFound = true;
        return false;
    };

    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            std::mt19937_64 random(seed + t);
            std::uint64_t done = 0;
            for (std::uint64_t i = t; i < count && !mismatchFound; i += threads) {
                if (!sameAsPrintf(sample(random, i))) break;
                if (++done == 1'000'000) {
                    compared += done;
                    done = 0;
                }
            }
            compared += done;
        });
    }
    for (auto& worker : workers) worker.join();

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%llu values compared with snprintf(\"%%.4f\") in %.1f s on %u threads: %s\n",
                static_cast<unsigned long long>(compared.load()), seconds, threads,
                mismatchFound ? "MISMATCH" : "all identical");
    return mismatchFound ? 1 : 0;
}
