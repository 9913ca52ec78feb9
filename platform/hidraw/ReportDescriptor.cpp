#include "platform/hidraw/ReportDescriptor.h"

#include <algorithm>
#include <array>
#include <map>
#include <vector>

namespace hidmodules {

namespace {

// Limits beyond which no real device goes; they keep sums far from overflow.
constexpr uint32_t kMaxReportSize = 256;
constexpr uint32_t kMaxReportCount = 12288;
constexpr size_t kMaxPushDepth = 16;
constexpr uint64_t kMaxReportBytes = 65534;

enum ItemType : uint8_t { Main = 0, Global = 1, Local = 2, Reserved = 3 };
enum ReportKind : int { InputKind = 0, OutputKind = 1, FeatureKind = 2 };

struct GlobalState {
    uint32_t usagePage = 0;
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint32_t reportId = 0;
};

struct LocalState {
    uint32_t entries = 0; // usages and usage ranges listed
    uint64_t usages = 0;  // usages they name in total
    bool haveMinimum = false;
    bool haveMaximum = false;
    uint32_t minimum = 0;
    uint32_t maximum = 0;
    bool firstUsageSet = false;
    uint32_t firstUsage = 0;
    uint32_t firstUsagePage = 0;
};

struct KindCounts {
    uint64_t buttonCaps = 0;
    uint64_t valueCaps = 0;
    uint64_t dataIndices = 0;
};

class Parser {
public:
    explicit Parser(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    ReportDescriptorSummary run() {
        ReportDescriptorSummary result;
        size_t pos = 0;
        while (pos < bytes_.size()) {
            const uint8_t prefix = bytes_[pos];
            if (prefix == 0xFE) { // long item: size, tag, data; carries nothing we use
                if (bytes_.size() - pos < 3)
                    return result;
                const size_t dataSize = bytes_[pos + 1];
                if (bytes_.size() - pos - 3 < dataSize)
                    return result;
                pos += 3 + dataSize;
                continue;
            }
            static constexpr std::array<size_t, 4> kSizes{0, 1, 2, 4};
            const size_t size = kSizes[prefix & 3];
            if (bytes_.size() - pos - 1 < size)
                return result;
            uint32_t data = 0;
            for (size_t i = 0; i < size; ++i)
                data |= static_cast<uint32_t>(bytes_[pos + 1 + i]) << (8 * i);
            pos += 1 + size;
            const auto type = static_cast<ItemType>((prefix >> 2) & 3);
            const uint8_t tag = prefix >> 4;
            bool ok = false;
            switch (type) {
            case Main:
                ok = mainItem(tag, data);
                break;
            case Global:
                ok = globalItem(tag, data, size);
                break;
            case Local:
                ok = localItem(tag, data, size);
                break;
            case Reserved:
                ok = false;
                break;
            }
            if (!ok)
                return result;
        }
        if (depth_ != 0 || !sawTopLevel_)
            return result;
        return finish();
    }

private:
    bool mainItem(uint8_t tag, uint32_t flags) {
        bool ok = true;
        switch (tag) {
        case 0x8:
            ok = reportItem(InputKind, flags);
            break;
        case 0x9:
            ok = reportItem(OutputKind, flags);
            break;
        case 0xB:
            ok = reportItem(FeatureKind, flags);
            break;
        case 0xA:
            if (depth_ == 0 && !sawTopLevel_) {
                sawTopLevel_ = true;
                topUsage_ = local_.firstUsageSet ? local_.firstUsage : 0;
                topUsagePage_ = local_.firstUsageSet ? local_.firstUsagePage : global_.usagePage;
            }
            ++depth_;
            ++collections_;
            break;
        case 0xC:
            if (depth_ == 0)
                ok = false;
            else
                --depth_;
            break;
        default:
            ok = false;
            break;
        }
        local_ = LocalState{};
        return ok;
    }

    bool reportItem(ReportKind kind, uint32_t flags) {
        if (depth_ == 0)
            return false;
        if (usesIds_ && global_.reportId == 0)
            return false; // a report without id among reports with ids
        if (global_.reportId == 0)
            reportsWithoutId_ = true;
        const uint64_t bits = uint64_t{global_.reportSize} * global_.reportCount;
        uint64_t& total = bits_[global_.reportId][kind];
        total += bits;
        if ((total + 7) / 8 > kMaxReportBytes)
            return false;
        if (bits == 0 || (flags & 0x1) != 0) // constant fields are padding
            return true;
        const bool variable = (flags & 0x2) != 0;
        const uint32_t entries = std::max<uint32_t>(1, local_.entries);
        const uint64_t usages = std::max<uint64_t>(1, local_.usages);
        KindCounts& counts = counts_[kind];
        if (!variable) {
            counts.buttonCaps += entries;
            counts.dataIndices += usages;
            return true;
        }
        const uint32_t caps = std::min(entries, global_.reportCount);
        (global_.reportSize == 1 ? counts.buttonCaps : counts.valueCaps) += caps;
        counts.dataIndices += std::min<uint64_t>(usages, global_.reportCount);
        return true;
    }

    bool globalItem(uint8_t tag, uint32_t data, size_t size) {
        switch (tag) {
        case 0x0:
            global_.usagePage = data;
            return true;
        case 0x1: // logical minimum
        case 0x2: // logical maximum
        case 0x3: // physical minimum
        case 0x4: // physical maximum
        case 0x5: // unit exponent
        case 0x6: // unit
            return true;
        case 0x7:
            if (data > kMaxReportSize)
                return false;
            global_.reportSize = data;
            return true;
        case 0x8:
            if (size == 0 || data == 0 || data > 255)
                return false;
            if (reportsWithoutId_)
                return false; // ids introduced after reports without one
            global_.reportId = data;
            usesIds_ = true;
            return true;
        case 0x9:
            if (data > kMaxReportCount)
                return false;
            global_.reportCount = data;
            return true;
        case 0xA:
            if (stack_.size() >= kMaxPushDepth)
                return false;
            stack_.push_back(global_);
            return true;
        case 0xB:
            if (stack_.empty())
                return false;
            global_ = stack_.back();
            stack_.pop_back();
            return true;
        default:
            return false;
        }
    }

    bool localItem(uint8_t tag, uint32_t data, size_t size) {
        switch (tag) {
        case 0x0: // usage; a four-byte usage carries its own page
            noteUsage(size == 4 ? data & 0xFFFF : data, size == 4 ? data >> 16 : global_.usagePage);
            ++local_.entries;
            ++local_.usages;
            return true;
        case 0x1:
            local_.haveMinimum = true;
            local_.minimum = size == 4 ? data & 0xFFFF : data;
            noteUsage(local_.minimum, size == 4 ? data >> 16 : global_.usagePage);
            closeRange();
            return true;
        case 0x2:
            local_.haveMaximum = true;
            local_.maximum = size == 4 ? data & 0xFFFF : data;
            closeRange();
            return true;
        case 0x3: // designator index, minimum, maximum
        case 0x4:
        case 0x5:
        case 0x7: // string index, minimum, maximum
        case 0x8:
        case 0x9:
        case 0xA: // delimiter
            return true;
        default:
            return false;
        }
    }

    void noteUsage(uint32_t usage, uint32_t page) {
        if (local_.firstUsageSet)
            return;
        local_.firstUsageSet = true;
        local_.firstUsage = usage;
        local_.firstUsagePage = page;
    }

    void closeRange() {
        if (!local_.haveMinimum || !local_.haveMaximum)
            return;
        const uint32_t low = std::min(local_.minimum, local_.maximum);
        const uint32_t high = std::max(local_.minimum, local_.maximum);
        ++local_.entries;
        local_.usages += uint64_t{high} - low + 1;
        local_.haveMinimum = local_.haveMaximum = false;
    }

    ReportDescriptorSummary finish() const {
        ReportDescriptorSummary result;
        std::array<uint64_t, 3> longest{};
        for (const auto& [id, kinds] : bits_)
            for (int k = 0; k < 3; ++k)
                if (kinds[k] > 0)
                    longest[k] = std::max(longest[k], (kinds[k] + 7) / 8 + 1);
        HIDP_CAPS& caps = result.caps;
        caps.Usage = static_cast<USHORT>(topUsage_);
        caps.UsagePage = static_cast<USHORT>(topUsagePage_);
        caps.InputReportByteLength = static_cast<USHORT>(longest[InputKind]);
        caps.OutputReportByteLength = static_cast<USHORT>(longest[OutputKind]);
        caps.FeatureReportByteLength = static_cast<USHORT>(longest[FeatureKind]);
        caps.NumberLinkCollectionNodes = clamp16(collections_);
        caps.NumberInputButtonCaps = clamp16(counts_[InputKind].buttonCaps);
        caps.NumberInputValueCaps = clamp16(counts_[InputKind].valueCaps);
        caps.NumberInputDataIndices = clamp16(counts_[InputKind].dataIndices);
        caps.NumberOutputButtonCaps = clamp16(counts_[OutputKind].buttonCaps);
        caps.NumberOutputValueCaps = clamp16(counts_[OutputKind].valueCaps);
        caps.NumberOutputDataIndices = clamp16(counts_[OutputKind].dataIndices);
        caps.NumberFeatureButtonCaps = clamp16(counts_[FeatureKind].buttonCaps);
        caps.NumberFeatureValueCaps = clamp16(counts_[FeatureKind].valueCaps);
        caps.NumberFeatureDataIndices = clamp16(counts_[FeatureKind].dataIndices);
        result.usesReportIds = usesIds_;
        result.valid = true;
        return result;
    }

    static USHORT clamp16(uint64_t v) { return static_cast<USHORT>(std::min<uint64_t>(v, 0xFFFF)); }

    std::span<const uint8_t> bytes_;
    GlobalState global_;
    LocalState local_;
    std::vector<GlobalState> stack_;
    std::map<uint32_t, std::array<uint64_t, 3>> bits_;
    std::array<KindCounts, 3> counts_{};
    uint32_t depth_ = 0;
    uint64_t collections_ = 0;
    bool sawTopLevel_ = false;
    bool usesIds_ = false;
    bool reportsWithoutId_ = false;
    uint32_t topUsage_ = 0;
    uint32_t topUsagePage_ = 0;
};

} // namespace

ReportDescriptorSummary parseReportDescriptor(std::span<const uint8_t> descriptor) {
    return Parser(descriptor).run();
}

} // namespace hidmodules
