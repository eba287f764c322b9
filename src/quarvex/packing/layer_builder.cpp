#include "quarvex/packing/layer_builder.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>

#include "quarvex/model/stable_sort.hpp"
#include "quarvex/placement/free_space_carving.hpp"
#include "quarvex/placement/layer_restacking.hpp"
#include "quarvex/placement/orientation.hpp"
#include "quarvex/placement/region_filler.hpp"

namespace quarvex {

namespace {

// Summed item by item in order, as the weight limit check defines it.
double weightOf(const std::vector<Layer>& layers) {
    double sum = 0.0;
    for (const Layer& layer : layers) {
        for (const PackedItem& p : layer.items) {
            sum += p.weight();
        }
    }
    return sum;
}

bool hasItems(const std::vector<Layer>& layers) {
    for (const Layer& layer : layers) {
        if (!layer.items.empty()) return true;
    }
    return false;
}

// Room for rounding in positions and volumes, or none when some size is
// negative or not finite: such sizes make no promise about what fits.
std::optional<double> roundingSlack(const ItemQueue& queue, double boxWidth, double boxLength,
                                    double boxDepth) {
    const double scale = std::max({boxWidth, boxLength, boxDepth});
    if (!(std::isfinite(scale) && boxWidth >= 0.0 && boxLength >= 0.0 && boxDepth >= 0.0)) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < queue.size(); ++i) {
        for (double side : sortedDimensions(*queue[i])) {
            if (!(side >= 0.0 && std::isfinite(side))) {
                return std::nullopt;
            }
        }
    }
    return scale * 1e-9;
}

// Every item a gap fill places lies inside one free space, and the items of
// one space do not overlap. So when some queued item fits no space, or the
// queued volume exceeds that of the spaces any of them fits, not all of them
// can go in. The margins cover rounding in the positions and volumes.
bool cannotPlaceAll(const ItemQueue& queue, const std::vector<FreeSpace>& spaces, double boxWidth,
                    double boxLength, double boxDepth) {
    const std::optional<double> slack = roundingSlack(queue, boxWidth, boxLength, boxDepth);
    if (!slack) {
        return false;
    }
    double queuedVolume = 0.0;
    for (std::size_t i = 0; i < queue.size(); ++i) {
        const auto& size = sortedDimensions(*queue[i]);
        queuedVolume += size[0] * size[1] * size[2];
    }
    std::vector<std::array<double, 3>> rooms;
    rooms.reserve(spaces.size());
    for (const FreeSpace& s : spaces) {
        rooms.push_back(sortedDimensions(s.w + *slack, s.l + *slack, s.d + *slack));
    }
    // Item by item, each stopping at the first space it fits: most tries that
    // get here fail on some item, and need not test every item against every space.
    for (std::size_t i = 0; i < queue.size(); ++i) {
        if (std::none_of(rooms.begin(), rooms.end(),
                         [&](const auto& room) { return mayFitSorted(*queue[i], room); })) {
            return true;
        }
    }
    double usableVolume = 0.0;
    for (std::size_t k = 0; k < spaces.size(); ++k) {
        for (std::size_t i = 0; i < queue.size(); ++i) {
            if (mayFitSorted(*queue[i], rooms[k])) {
                usableVolume += spaces[k].volume;
                break;
            }
        }
    }
    return queuedVolume > usableVolume + boxWidth * boxLength * boxDepth * 1e-9;
}

// The same test on the spaces around the layers, carving only those some
// queued item may fit. A piece is no larger than the space it is cut from,
// up to rounding far below the doubled margin, so a space dropped could give
// no piece that the test counts: the answer is the one the full carving
// gives, which a failing try then never builds.
bool cannotPlaceAllAround(const std::vector<Layer>& layers, const ItemQueue& queue, double boxWidth,
                          double boxLength, double boxDepth) {
    const std::optional<double> slack = roundingSlack(queue, boxWidth, boxLength, boxDepth);
    if (!slack) {
        return false;
    }
    std::vector<std::array<double, 3>> sizes;
    sizes.reserve(queue.size());
    for (std::size_t i = 0; i < queue.size(); ++i) {
        sizes.push_back(sortedDimensions(*queue[i]));
    }
    std::vector<FreeSpace> spaces{FreeSpace(0.0, 0.0, 0.0, boxWidth, boxLength, boxDepth)};
    std::vector<FreeSpace> scratch;
    for (const Layer& layer : layers) {
        carveFreeSpacesFor(spaces, layer.items, scratch, sizes, 2.0 * *slack);
    }
    return cannotPlaceAll(queue, spaces, boxWidth, boxLength, boxDepth);
}

}  // namespace

bool UpperLayers::Start::operator==(const Start& other) const {
    const auto same = [](double a, double b) {
        return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
    };
    return same(footprintWidth, other.footprintWidth) &&
           same(footprintLength, other.footprintLength) && same(z, other.z) &&
           same(weight, other.weight) && queue == other.queue && stability == other.stability;
}

const UpperLayers::Stack* UpperLayers::find(const Start& start) const {
    for (const auto& [known, stack] : known_) {
        if (known == start) return &stack;
    }
    return nullptr;
}

void UpperLayers::add(Start start, Stack stack) {
    known_.emplace_back(std::move(start), std::move(stack));
}

PackedBox packLayers(const BoxFiller& filler, double footprintWidth, double footprintLength,
                     const std::optional<OrientedItem>& firstOption, ItemQueue queue,
                     UpperLayers* upper) {
    OrientationChooser chooser(filler.box(), filler.lookAheadDisabled);
    ItemQueue trialQueue;  // reused by every layer's trial, keeping its storage
    std::vector<Layer> layers;
    const double boxDepth = filler.box()->depth();
    std::optional<UpperLayers::Start> upperStart;  // set while stacking above the first layer

    while (!queue.empty()) {
        double z = 0.0;
        for (const Layer& layer : layers) {
            z += layer.depth;
        }
        double packedWeight = weightOf(layers);
        const std::optional<OrientedItem> preset = hasItems(layers) ? std::nullopt : firstOption;
        if (upper && layers.size() == 1 && !preset) {
            // With no first orientation forced, what is stacked from here on
            // depends only on what the start holds.
            UpperLayers::Start start{footprintWidth, footprintLength, z, packedWeight, {}, {}};
            start.stability = chooser.stabilityMemo();
            start.queue.reserve(queue.size());
            for (std::size_t i = 0; i < queue.size(); ++i) {
                start.queue.push_back(&queue[i]);
            }
            if (const UpperLayers::Stack* known = upper->find(start)) {
                layers.insert(layers.end(), known->layers.begin(), known->layers.end());
                queue = known->queue;
                break;
            }
            upperStart = std::move(start);
        }
        const Region floor{0.0, 0.0, z, footprintWidth, footprintLength, boxDepth - z};

        // A trial with stacking up to the layer's own height so far; a layer
        // that grows deeper than its first item is built again with its full
        // depth as the stacking ceiling.
        trialQueue = queue;
        double trialWeight = packedWeight;
        Layer trial = fillRegion(chooser, trialQueue, trialWeight, floor, 0.0, true, preset);
        if (trial.items.empty()) {
            break;
        }
        if (trial.depth == trial.items.front().depth) {
            layers.push_back(std::move(trial));
            std::swap(queue, trialQueue);
        } else {
            layers.push_back(
                fillRegion(chooser, queue, packedWeight, floor, trial.depth, true, preset));
        }
    }

    if (upperStart) {
        upper->add(std::move(*upperStart),
                   {std::vector<Layer>(layers.begin() + 1, layers.end()), queue});
    }
    if (!filler.lookAheadDisabled && !layers.empty()) {
        layers = restackLayers(std::move(layers));
        layers =
            fillGaps(filler, std::move(layers), queue, chooser, footprintWidth, footprintLength);
    }
    if (filler.wantsEveryItem() && !queue.empty()) {
        return PackedBox{filler.box(), {}};  // a try that left items out is not looked at
    }
    layers = restoreFrame(filler, std::move(layers), footprintWidth);
    return PackedBox{filler.box(), allItems(std::move(layers))};
}

std::vector<Layer> fillGaps(const BoxFiller& filler, std::vector<Layer> layers, ItemQueue& queue,
                            OrientationChooser& chooser, double footprintWidth,
                            double footprintLength) {
    if (queue.empty()) {
        return layers;  // nothing to place: the spaces would go unread
    }
    if (filler.wantsEveryItem() && cannotPlaceAllAround(layers, queue, footprintWidth,
                                                        footprintLength, filler.box()->depth())) {
        return layers;  // most tries that must hold every item end here
    }
    // Room for the spaces a box of a few dozen items leaves, so that they
    // are not moved as they grow.
    constexpr std::size_t kSpacesReserved = 64;
    std::vector<FreeSpace> spaces;
    spaces.reserve(kSpacesReserved);
    spaces.emplace_back(0.0, 0.0, 0.0, footprintWidth, footprintLength, filler.box()->depth());
    std::vector<FreeSpace> scratch;
    scratch.reserve(kSpacesReserved);
    for (const Layer& layer : layers) {
        carveFreeSpaces(spaces, layer.items, scratch);
    }
    double packedWeight = weightOf(layers);
    bool progress = true;
    while (!queue.empty() && !spaces.empty() && progress) {
        progress = false;
        // Lowest first; at one height the largest space, then the widest floor.
        stableSort(spaces, [](const FreeSpace& a, const FreeSpace& b) {
            if (a.z != b.z) return a.z < b.z;
            if (a.volume != b.volume) return a.volume > b.volume;
            return a.area > b.area;
        });
        for (std::size_t i = 0; i < spaces.size() && !progress; ++i) {
            const FreeSpace& s = spaces[i];
            const Region gap{s.x, s.y, s.z, s.x + s.w, s.y + s.l, s.d};
            Layer layer = fillRegion(chooser, queue, packedWeight, gap, s.d, false, std::nullopt);
            if (!layer.items.empty()) {
                carveFreeSpaces(spaces, layer.items, scratch);
                layers.push_back(std::move(layer));
                progress = true;
            }
        }
        // Asked again of the spaces each gap layer leaves (the first time
        // above, on the spaces the floor-up layers leave).
        if (progress && filler.wantsEveryItem() && !queue.empty() &&
            cannotPlaceAll(queue, spaces, footprintWidth, footprintLength, filler.box()->depth())) {
            break;  // this try cannot be the one wanted
        }
    }
    return layers;
}

std::vector<Layer> restoreFrame(const BoxFiller& filler, std::vector<Layer> layers,
                                double footprintWidth) {
    if (filler.box()->width() == footprintWidth) {
        return layers;
    }
    std::vector<Layer> restored;
    restored.reserve(layers.size());
    for (Layer& layer : layers) {
        Layer turned;
        turned.items.reserve(layer.items.size());
        for (PackedItem& p : layer.items) {
            std::string code = std::move(p.orientation);
            if (code.size() >= 2) {
                std::swap(code[0], code[1]);
            }
            turned.insert(PackedItem{std::move(p.item), p.length, p.width, p.depth, std::move(code),
                                     p.y, p.x, p.z});
        }
        restored.push_back(std::move(turned));
    }
    return restored;
}

}  // namespace quarvex
