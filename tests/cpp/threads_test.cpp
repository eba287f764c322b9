// Threads packing the same requests at once, on shared collections, must give
// exactly the bytes of a run on one thread: nothing a call keeps (the
// look-ahead memo, region fill storage, sorted views) may leak into another's.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "quarvex/json_io/result_writer.hpp"
#include "quarvex/packing/packer.hpp"
#include "quarvex/search/optimizer.hpp"
#include "test_support.hpp"

namespace quarvex {
namespace {

constexpr int kRequests = 4;
constexpr int kThreads = 4;

struct Request {
    ItemCollection items = test::itemCollection();
    BoxCollection boxes{std::make_shared<DefaultBoxSorter>()};
};

// Mixed orders: varied sizes, weights under box limits (so that balancing
// runs), linked items and a limited box type in some.
Request makeRequest(int seed) {
    std::uint64_t state = 0x9E3779B97F4A7C15ULL * static_cast<std::uint64_t>(seed + 1);
    auto next = [&state](int below) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((state >> 33) % static_cast<std::uint64_t>(below));
    };
    Request request;
    const int count = 25 + 10 * seed;
    for (int i = 0; i < count; ++i) {
        const std::string group = seed % 2 == 1 && i % 5 == 0 ? "g" + std::to_string(i % 3) : "";
        request.items.insert(test::item("i" + std::to_string(i), 2 + next(9), 2 + next(12),
                                        1 + next(7), 1 + next(20), group,
                                        static_cast<Rotation>(next(3))));
    }
    request.boxes.insert(test::box("small", 12, 14, 10, 150));
    request.boxes.insert(test::box("large", 20, 24, 16, 400, 5));
    request.boxes.insert(makeBox("limited", 16, 16, 16, -1, 0, true, 2));
    return request;
}

std::string packed(const Request& request) {
    return responseToJsonText(Packer::pack(request.items, request.boxes), -1);
}

std::string optimized(const Request& request) {
    OptimizeOptions options;
    options.timeLimit.reset();
    options.effort = 2000;  // a fixed amount of work: the same result on any thread
    return responseToJsonText(optimize(request.items, request.boxes, options), -1);
}

TEST(Threads, PackSharedRequestsAsOneThreadDoes) {
    // Shared collections whose sorted views the threads race to build; the
    // threads run first, so that they also race to fill any state they share.
    std::vector<Request> shared;
    for (int k = 0; k < kRequests; ++k) shared.push_back(makeRequest(k));
    std::vector<std::vector<std::string>> got(kThreads);
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                got[t].resize(2 * kRequests);
                for (int n = 0; n < kRequests; ++n) {
                    const int k = (n + t) % kRequests;  // each thread in its own order
                    got[t][2 * k] = packed(shared[k]);
                    got[t][2 * k + 1] = optimized(shared[k]);
                }
            });
        }
    }
    std::vector<std::string> expected;
    for (int k = 0; k < kRequests; ++k) {
        const Request request = makeRequest(k);
        expected.push_back(packed(request));
        expected.push_back(optimized(request));
    }
    for (int t = 0; t < kThreads; ++t) {
        for (std::size_t r = 0; r < expected.size(); ++r) {
            EXPECT_EQ(got[t][r], expected[r]) << "thread " << t << ", result " << r;
        }
    }
}

}  // namespace
}  // namespace quarvex
