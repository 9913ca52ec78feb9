#include "platform/hidraw/PreparsedData.h"

#include "platform/hidraw/ReportDescriptor.h"

#include <memory>
#include <mutex>
#include <unordered_map>

namespace hidmodules {

namespace {

struct Registry {
    std::mutex mutex;
    std::unordered_map<const void*, std::unique_ptr<ReportDescriptorSummary>> live;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

} // namespace

PHIDP_PREPARSED_DATA createPreparsedData(const ReportDescriptorSummary& summary) {
    auto copy = std::make_unique<ReportDescriptorSummary>(summary);
    auto* handle = reinterpret_cast<PHIDP_PREPARSED_DATA>(copy.get());
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.live.emplace(handle, std::move(copy));
    return handle;
}

bool freePreparsedData(PHIDP_PREPARSED_DATA data) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.live.erase(data) == 1;
}

NTSTATUS capsFromPreparsedData(PHIDP_PREPARSED_DATA data, HIDP_CAPS* caps) {
    if (caps == nullptr)
        return HIDP_STATUS_INVALID_PREPARSED_DATA;
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    const auto found = r.live.find(data);
    if (found == r.live.end() || !found->second->valid)
        return HIDP_STATUS_INVALID_PREPARSED_DATA;
    *caps = found->second->caps;
    return HIDP_STATUS_SUCCESS;
}

} // namespace hidmodules
