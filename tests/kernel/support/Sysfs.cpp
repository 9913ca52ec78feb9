#include "Sysfs.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace kerneltest {

namespace fs = std::filesystem;

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return in ? text.str() : std::string();
}

bool writeText(const std::string& path, const std::string& text) {
    // Attributes want the text in one write(2).
    std::FILE* file = std::fopen(path.c_str(), "we");
    if (!file)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

bool waitUntil(int timeoutMs, const std::function<bool()>& ready) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (ready())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

namespace {

fs::path hidDeviceFor(const std::string& ueventLine) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/sys/bus/hid/devices", error)) {
        std::istringstream uevent(readText((entry.path() / "uevent").string()));
        for (std::string line; std::getline(uevent, line);)
            if (line == ueventLine)
                return entry.path();
    }
    return {};
}

} // namespace

std::string hidrawNodeFor(const std::string& ueventLine) {
    const fs::path device = hidDeviceFor(ueventLine);
    if (device.empty())
        return {};
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(device / "hidraw", error)) {
        const fs::path node = fs::path("/dev") / entry.path().filename();
        if (fs::exists(node, error))
            return node.string();
    }
    return {};
}

std::string hidDeviceNameFor(const std::string& ueventLine) {
    return hidDeviceFor(ueventLine).filename().string();
}

} // namespace kerneltest
