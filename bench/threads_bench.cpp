// The C++ engine on one thread and on several: packs every request of a file
// (one JSON request per line) with solveRequest(), the requests dealt out to the
// threads in turn, and prints the wall seconds of each run and whether every
// output matched the one-thread run, as one JSON line.
//
//     quarvex_threads_bench REQUESTS.jsonl MAX_THREADS

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "quarvex/json_io/solve.hpp"

namespace {

std::vector<std::string> packedOn(int threads, const std::vector<std::string>& requests,
                                  double& seconds) {
    std::vector<std::string> outputs(requests.size());
    const auto started = std::chrono::steady_clock::now();
    {
        std::vector<std::jthread> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back([&, t] {
                for (std::size_t k = static_cast<std::size_t>(t); k < requests.size();
                     k += static_cast<std::size_t>(threads)) {
                    outputs[k] = quarvex::solveRequest(requests[k]);
                }
            });
        }
    }
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return outputs;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: quarvex_threads_bench REQUESTS.jsonl MAX_THREADS\n";
        return 2;
    }
    std::ifstream file(argv[1]);
    std::vector<std::string> requests;
    for (std::string line; std::getline(file, line);) requests.push_back(line);
    const int maxThreads = std::atoi(argv[2]);
    if (!file.eof() || requests.empty() || maxThreads < 1) {
        std::cerr << "quarvex_threads_bench: cannot read requests from " << argv[1] << "\n";
        return 2;
    }
    double seconds = 0.0;
    const std::vector<std::string> serial = packedOn(1, requests, seconds);
    std::cout << "{\"requests\": " << requests.size() << ", \"seconds\": {\"1\": " << seconds;
    bool same = true;
    for (int threads = 2; threads <= maxThreads; ++threads) {
        same = packedOn(threads, requests, seconds) == serial && same;
        std::cout << ", \"" << threads << "\": " << seconds;
    }
    std::cout << "}, \"same\": " << (same ? "true" : "false") << "}\n";
    return 0;
}
