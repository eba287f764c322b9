// Packs one request on several threads at once, then prints what was packed
// and whether every thread got the same result.
//
//   pack_threads REQUEST.json [THREADS]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <quarvex/quarvex.hpp>

int main(int argc, char** argv) {
    const int threads = argc == 3 ? std::atoi(argv[2]) : 4;
    if (argc < 2 || argc > 3 || threads < 1) {
        std::cerr << "usage: pack_threads REQUEST.json [THREADS]\n";
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::cerr << "pack_threads: error: cannot read " << argv[1] << "\n";
        return 2;
    }
    std::stringstream text;
    text << file.rdbuf();

    quarvex::Request request;
    try {
        request = quarvex::Request::from_json(text.str());
    } catch (const quarvex::RequestError& error) {
        std::cerr << "pack_threads: error: " << argv[1] << " at '" << error.pointer()
                  << "': " << error.what() << "\n";
        return 2;
    }

    // Every thread packs the same request; the request is only read.
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::future<quarvex::Result>> runs;
    for (int i = 0; i < threads; ++i) {
        runs.push_back(
            std::async(std::launch::async, [&request] { return quarvex::pack(request); }));
    }
    std::vector<quarvex::Result> results;
    for (auto& run : runs) results.push_back(run.get());
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

    const quarvex::Result& result = results.front();
    std::size_t placed = 0;
    for (const quarvex::Result::Box& box : result.boxes()) {
        std::printf("%-12s %3zu items, weight %7.2f, %5.1f%% full\n", box.reference.c_str(),
                    box.items.size(), box.weight, box.volume_utilisation);
        placed += box.items.size();
    }
    bool identical = true;
    for (const quarvex::Result& other : results) identical &= other.to_json() == result.to_json();
    std::printf("%zu placed, %zu unplaced, %.1f%% of the boxes' volume used\n", placed,
                result.unplaced_item_codes().size(), result.volume_utilisation());
    std::printf("%d thread%s in %.3f s: %s\n", threads, threads == 1 ? "" : "s", elapsed.count(),
                identical ? "identical results" : "RESULTS DIFFER");
    return identical ? 0 : 1;
}
