// Packs many seeded random requests and checks every result with the
// independent validator; also checks that results are reproducible, that the
// look-ahead memo never leaks one request's answers into another, and that no
// input can exhaust the native stack.

#include <pthread.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "quarvex/model/box.hpp"
#include "quarvex/model/collections.hpp"
#include "quarvex/model/item.hpp"
#include "quarvex/packing/packer.hpp"
#include "quarvex/placement/look_ahead.hpp"
#include "validator.hpp"

namespace quarvex {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// The sanitizer build runs several times slower; fewer cases keep it brisk.
constexpr std::uint32_t kRandomRequests = kSanitized ? 600 : 3000;
constexpr std::uint32_t kRepeatedRequests = kSanitized ? 60 : 300;
constexpr std::uint32_t kHistoryRequests = 1000;
constexpr std::uint32_t kNudgedRequests = kSanitized ? 120 : 300;
// Fifty thousand levels would need far more than a 256 KiB stack if the
// region filling recursed.
constexpr int kSheets = 50'000;

struct Request {
    ItemCollection items{std::make_shared<DefaultItemSorter>()};
    BoxCollection boxes{std::make_shared<DefaultBoxSorter>()};
};

// The request as JSON, so that a failing case can be replayed by hand.
std::string describe(const Request& request) {
    nlohmann::json json = {{"items", nlohmann::json::array()}, {"boxes", nlohmann::json::array()}};
    for (const ItemPtr& item : request.items.entries()) json["items"].push_back(item->to_json());
    for (const BoxPtr& box : request.boxes.entries()) json["boxes"].push_back(box->to_json());
    return json.dump();
}

std::string joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) all += "\n  " + line;
    return all;
}

// Draws requests that mix ordinary sizes with the awkward ones (zero and
// near-zero extents, oversized items, repeated shapes, cubes) under all three
// rotation rules, with weight limits, limited supply (also 0 and negative),
// inactive box types, box groups and the odd item object given twice.
class RequestGenerator {
public:
    explicit RequestGenerator(std::uint32_t seed) : random_(seed) {}

    Request request(int maxItems) {
        Request request;
        const int boxTypes = chance(0.04) ? 0 : uniformInt(1, 4);
        for (int b = 0; b < boxTypes; ++b) request.boxes.insert(box("b" + std::to_string(b)));

        const int count = chance(0.1) ? maxItems : uniformInt(0, std::min(maxItems, 25));
        const bool grouped = chance(0.3);
        const bool oneRotation = chance(0.2);
        const Rotation sharedRotation = rotation();
        std::vector<std::array<double, 3>> palette(static_cast<std::size_t>(uniformInt(1, 3)));
        for (auto& shape : palette) shape = {dimension(), dimension(), dimension()};

        for (int i = 0; i < count; ++i) {
            std::array<double, 3> shape = {dimension(), dimension(), dimension()};
            if (chance(0.5)) shape = palette[pick(palette.size())];
            if (chance(0.1)) shape = {shape[0], shape[0], shape[0]};
            const std::string group =
                grouped && chance(0.6) ? std::string(1, static_cast<char>('A' + uniformInt(0, 2)))
                                       : std::string();
            const std::string code = chance(0.05) ? "same" : "i" + std::to_string(i);
            ItemPtr item = makeItem(code, "r", shape[0], shape[1], shape[2], weight(),
                                    oneRotation ? sharedRotation : rotation(), group);
            if (chance(0.03)) request.items.insert(item);  // the same object twice
            request.items.insert(std::move(item));
        }
        return request;
    }

private:
    bool chance(double p) { return std::bernoulli_distribution(p)(random_); }
    int uniformInt(int low, int high) { return std::uniform_int_distribution(low, high)(random_); }
    std::size_t pick(std::size_t size) {
        return std::uniform_int_distribution<std::size_t>(0, size - 1)(random_);
    }
    double uniform(double low, double high) {
        return std::uniform_real_distribution(low, high)(random_);
    }
    double halves(double low, double high) { return std::round(uniform(low, high) * 2.0) / 2.0; }

    Rotation rotation() { return static_cast<Rotation>(uniformInt(0, 2)); }

    double dimension() {
        const double roll = uniform(0.0, 1.0);
        if (roll < 0.05) return 0.0;
        if (roll < 0.10) return 0.001;
        if (roll < 0.20) return uniform(0.5, 20.0);
        if (roll < 0.28) return halves(20.0, 60.0);
        return halves(1.0, 20.0);
    }

    double weight() {
        const double roll = uniform(0.0, 1.0);
        if (roll < 0.2) return 0.0;
        if (roll < 0.5) return uniformInt(1, 10);
        return std::round(uniform(0.0, 20.0) * 10.0) / 10.0;
    }

    BoxPtr box(std::string reference) {
        double width = halves(5.0, 40.0);
        double length = halves(5.0, 40.0);
        double depth = halves(5.0, 40.0);
        if (chance(0.15)) length = depth = width;
        if (chance(0.04)) depth = 0.0;
        double maxWeight = -1.0;
        double emptyWeight = 0.0;
        if (chance(0.4)) {
            maxWeight = uniformInt(0, 80);
            emptyWeight = chance(0.1) ? maxWeight + 5.0 : uniformInt(0, 10);
        }
        std::optional<std::int32_t> maxQuantity;
        if (chance(0.35)) maxQuantity = uniformInt(-1, 3);
        return makeBox(std::move(reference), width, length, depth, maxWeight, emptyWeight,
                       chance(0.85), maxQuantity);
    }

    std::mt19937 random_;
};

// The first way in which two results differ, or nothing. With scale 1 both
// come from one request and must hold the very same objects; otherwise the
// second packs a copy of the request with every size times `scale`.
std::optional<std::string> firstDifference(const PackResponse& a, const PackResponse& b,
                                           double scale = 1.0) {
    const auto same = [&](const ItemPtr& x, const ItemPtr& y) {
        return scale == 1.0 ? x == y : x->item_code() == y->item_code();
    };
    if (a.success() != b.success()) return "success differs";
    const std::vector<PackedBox> boxesA = a.boxes();
    const std::vector<PackedBox> boxesB = b.boxes();
    if (boxesA.size() != boxesB.size()) return "box counts differ";
    for (std::size_t i = 0; i < boxesA.size(); ++i) {
        const PackedBox& x = boxesA[i];
        const PackedBox& y = boxesB[i];
        const std::string where = "box " + std::to_string(i);
        if (scale == 1.0 ? x.box != y.box : x.box->reference() != y.box->reference()) {
            return where + " has another type";
        }
        if (x.items.size() != y.items.size()) return where + " holds another number of items";
        for (std::size_t k = 0; k < x.items.size(); ++k) {
            const PackedItem& p = x.items[k];
            const PackedItem& q = y.items[k];
            if (!same(p.item, q.item) || p.orientation != q.orientation ||
                p.width * scale != q.width || p.length * scale != q.length ||
                p.depth * scale != q.depth || p.x * scale != q.x || p.y * scale != q.y ||
                p.z * scale != q.z) {
                return where + " placement " + std::to_string(k) + " differs";
            }
        }
    }
    const std::vector<ItemPtr> leftA = a.unplaced_items();
    const std::vector<ItemPtr> leftB = b.unplaced_items();
    if (!std::equal(leftA.begin(), leftA.end(), leftB.begin(), leftB.end(), same)) {
        return "unplaced items differ";
    }
    return std::nullopt;
}

void expectValid(const Request& request, const PackResponse& response, const std::string& label) {
    const std::vector<std::string> violations =
        test::packingViolations(request.items, request.boxes, response);
    EXPECT_TRUE(violations.empty()) << label << joined(violations) << "\nrequest: "
                                    << describe(request);
}

TEST(RandomPacking, EveryResultKeepsThePackingRules) {
    for (std::uint32_t seed = 1; seed <= kRandomRequests; ++seed) {
        const Request request = RequestGenerator(seed).request(40);
        expectValid(request, Packer::pack(request.items, request.boxes),
                    "seed " + std::to_string(seed));
    }
}

TEST(RandomPacking, SameRequestTwiceGivesTheSameResult) {
    for (std::uint32_t seed = 1; seed <= kRepeatedRequests; ++seed) {
        const Request request = RequestGenerator(seed).request(25);
        const PackResponse first = Packer::pack(request.items, request.boxes);
        const PackResponse second = Packer::pack(request.items, request.boxes);
        EXPECT_EQ(firstDifference(first, second), std::nullopt)
            << "seed " << seed << "\nrequest: " << describe(request);
    }
}

// A request asking the look-ahead many of the probe's questions: some of its
// items, renamed and so in another order where sizes tie, some in box groups.
Request lookalike(const Request& probe, std::mt19937& random) {
    std::vector<ItemPtr> items = probe.items.entries();
    std::shuffle(items.begin(), items.end(), random);
    items.resize(items.size() - random() % (items.size() / 2));
    Request request;
    for (const ItemPtr& item : items) {
        const std::string group = random() % 4 ? "" : "g" + std::to_string(random() % 3);
        request.items.insert(makeItem(std::to_string(random() % 1000), "", item->width(),
                                      item->length(), item->depth(), item->weight(),
                                      item->allowed_rotation(), group));
    }
    for (const BoxPtr& box : probe.boxes.entries()) request.boxes.insert(box);
    return request;
}

// Forty small items of six shapes (three of them turns of one block) and
// mixed rotation rules: many placements tie until the look-ahead decides.
Request lookAheadProbe() {
    Request probe;
    probe.boxes.insert(makeBox("crate", 16, 12, 10, -1, 0, true, std::nullopt));
    probe.boxes.insert(makeBox("tote", 12, 10, 8, 40, 2, true, 1));
    const double shapes[][3] = {{6, 4, 3}, {4, 6, 3}, {3, 4, 6}, {5, 5, 2}, {2, 5, 5}, {7, 3, 2}};
    for (int i = 0; i < 40; ++i) {
        const auto& s = shapes[i % 6];
        probe.items.insert(makeItem("p" + std::to_string(i), "", s[0], s[1], s[2], 1 + i % 4,
                                    static_cast<Rotation>(i % 3), ""));
    }
    return probe;
}

// The history asks enough new questions for the memo to reach its bound and
// start over, so the probe is packed again partly from answers given since.
TEST(RandomPacking, ResultDoesNotDependOnEarlierRequests) {
    const Request probe = lookAheadProbe();
    const PackResponse before = Packer::pack(probe.items, probe.boxes);

    std::size_t held = lookAheadMemoSize();
    std::size_t mostHeld = held;
    std::size_t heldIfNeverDropped = held;
    std::mt19937 random(7);
    for (std::uint32_t i = 0; i < kHistoryRequests; ++i) {
        const Request other =
            i % 2 ? lookalike(probe, random) : RequestGenerator(10'000 + i).request(20);
        Packer::pack(other.items, other.boxes);
        const std::size_t now = lookAheadMemoSize();
        if (now > held) heldIfNeverDropped += now - held;
        mostHeld = std::max(mostHeld, now);
        held = now;
    }
    EXPECT_LT(mostHeld, heldIfNeverDropped) << "the memo kept every answer";

    const PackResponse after = Packer::pack(probe.items, probe.boxes);
    expectValid(probe, after, "probe");
    EXPECT_EQ(firstDifference(before, after), std::nullopt) << describe(probe);
}

// The request with every size times `scale`: doubling is exact in floating
// point, so the copy must pack exactly as the original, doubled.
Request scaled(const Request& request, double scale) {
    Request copy;
    for (const ItemPtr& item : request.items.entries()) {
        const std::string* group = boxGroupOf(*item);
        copy.items.insert(makeItem(item->item_code(), item->item_reference(),
                                   item->width() * scale, item->length() * scale,
                                   item->depth() * scale, item->weight(),
                                   item->allowed_rotation(), group ? *group : ""));
    }
    for (const BoxPtr& box : request.boxes.entries()) {
        const LimitedSupplyBox* limited = limitedSupplyOf(*box);
        copy.boxes.insert(makeBox(box->reference(), box->width() * scale, box->length() * scale,
                                  box->depth() * scale, box->max_weight(), box->empty_weight(),
                                  box->active(),
                                  limited ? std::optional(limited->max_quantity()) : std::nullopt));
    }
    return copy;
}

// The request with every item 3e-7 larger (or smaller) in each size.
Request nudged(const Request& request, double nudge) {
    Request copy;
    for (const ItemPtr& item : request.items.entries()) {
        copy.items.insert(makeItem(item->item_code(), "", item->width() + nudge,
                                   item->length() + nudge, item->depth() + nudge, item->weight(),
                                   item->allowed_rotation(), ""));
    }
    for (const BoxPtr& box : request.boxes.entries()) copy.boxes.insert(box);
    return copy;
}

// Look-ahead answers given for items a little larger or smaller must not be
// taken for the request's own: it packs exactly as its doubled copy, whose
// questions nobody has asked before. The seeds are used nowhere else.
TEST(LookAheadMemo, AnswersForNearlyEqualItemsAreNotReused) {
    for (std::uint32_t seed = 50'001; seed <= 50'000 + kNudgedRequests; ++seed) {
        const Request request = RequestGenerator(seed).request(25);
        for (const double nudge : {3e-7, -3e-7}) {
            const Request lookalike = nudged(request, nudge);
            Packer::pack(lookalike.items, lookalike.boxes);
        }
        const PackResponse packed = Packer::pack(request.items, request.boxes);
        const Request doubled = scaled(request, 2.0);
        EXPECT_EQ(firstDifference(packed, Packer::pack(doubled.items, doubled.boxes), 2.0),
                  std::nullopt)
            << "seed " << seed << "\nrequest: " << describe(request);
    }
}

// Boxes with item weights 10 + 0.4 and 10, beside a box of 30: moving the
// 0.4 only mirrors the imbalance, but rounding makes each direction look a
// little better than the other, so the item could travel back and forth
// for ever. Balancing must still end, with the 30 alone in its box.
TEST(WeightBalancing, EndsWhenAMoveWouldOnlyMirrorTheImbalance) {
    Request request;
    request.boxes.insert(makeBox("B", 10, 10, 11, -1, 0, true, std::nullopt));
    for (const auto& [code, weight] : {std::pair{"E", 30.0}, {"A", 10.0}, {"C", 10.0}}) {
        request.items.insert(makeItem(code, "", 10, 10, 10, weight, Rotation::BEST_FIT, ""));
    }
    request.items.insert(makeItem("D", "", 1, 1, 1, 0.4, Rotation::BEST_FIT, ""));
    const PackResponse response = Packer::pack(request.items, request.boxes);
    expectValid(request, response, "balanced");
    EXPECT_EQ(response.boxes().size(), 3u);
    for (const PackedBox& box : response.boxes()) {
        if (box.items.front().item->item_code() == "E") {
            EXPECT_EQ(box.items.size(), 1u);
        }
    }
}

// A post the full height of the box, with sheets stacked one on another
// beside it: every sheet sits on the one below, kSheets levels deep.
Request postAndSheets() {
    Request request;
    request.boxes.insert(makeBox("tall", 10, 10, 100, -1, 0, true, std::nullopt));
    request.items.insert(makeItem("post", "", 1, 1, 100, 0, Rotation::NEVER, ""));
    for (int i = 0; i < kSheets; ++i) {
        request.items.insert(makeItem("sheet", "", 9, 9, 0.001, 0, Rotation::BEST_FIT, ""));
    }
    return request;
}

void expectAllSheetsPacked(const Request& request, const PackResponse& response) {
    expectValid(request, response, "post and sheets");
    EXPECT_TRUE(response.success());
    EXPECT_EQ(response.boxes().size(), 1u);
}

TEST(DeepStacking, ThousandsOfThinSheetsPackBesideAPost) {
    const Request request = postAndSheets();
    expectAllSheetsPacked(request, Packer::pack(request.items, request.boxes));
}

// Runs the work on a thread whose stack is far smaller than the usual 8 MiB.
void runOnSmallStack(std::function<void()> work) {
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, 256 * 1024), 0);
    pthread_t thread;
    const auto run = [](void* argument) -> void* {
        (*static_cast<std::function<void()>*>(argument))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, run, &work), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

TEST(DeepStacking, ThinSheetsPackOnASmallThreadStack) {
    const Request request = postAndSheets();
    std::optional<PackResponse> response;
    std::exception_ptr failure;
    runOnSmallStack([&] {
        try {
            response = Packer::pack(request.items, request.boxes);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    ASSERT_FALSE(failure) << "packing threw";
    ASSERT_TRUE(response);
    expectAllSheetsPacked(request, *response);
}

}  // namespace
}  // namespace quarvex
