#pragma once
// Shared pieces of the HID tests: a recorder of the controller's events, a
// probe of the texts, and a temporary folder. The event loop helpers come
// from tests/support.

#include "hid/HidControllerClass.h"
#include "tests/support/EventLoop.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace hidtest {

using testsupport::DeliverPosted;
using testsupport::PumpUntil;

// Records every event as "<kind>:<DevInst>" ("change" for OnDeviceChange).
struct TEventRecorder {
    std::vector<std::string> Events;
    std::vector<THidDevice*> Enumerated;
    std::vector<int> EnumeratedIdx;
    int StopAfter = -1; // OnEnumerate answers false on this call (1-based)
    std::vector<uint8_t> LastReportID;
    std::vector<std::vector<uint8_t>> Reports;
    std::vector<uint32_t> Errors;
    int Changes = 0;

    static std::string Tag(const char* kind, THidDevice* device) {
        return std::string(kind) + ":" + std::to_string(device->InterfaceInfo().InstanceHandle);
    }
    void Arrival(THidDevice* HidDev) { Events.push_back(Tag("arrival", HidDev)); }
    void Removal(THidDevice* HidDev) { Events.push_back(Tag("removal", HidDev)); }
    void Unplug(THidDevice* HidDev) { Events.push_back(Tag("unplug", HidDev)); }
    void Change(void* Sender) {
        Events.push_back("change");
        ++Changes;
    }
    bool Enumerate(THidDevice* HidDev, int Idx) {
        Enumerated.push_back(HidDev);
        EnumeratedIdx.push_back(Idx);
        return static_cast<int>(Enumerated.size()) != StopAfter;
    }
    void Data(THidDevice* HidDev, uint8_t ReportID, const uint8_t* Data, uint16_t Size) {
        LastReportID.push_back(ReportID);
        Reports.emplace_back(Data, Data + Size);
    }
    void DataError(THidDevice* HidDev, uint32_t Error) { Errors.push_back(Error); }

    void Attach(THidDeviceController& controller) {
        controller.SetOnArrival(THidPlugEvent(this, &TEventRecorder::Arrival));
        controller.SetOnRemoval(THidPlugEvent(this, &TEventRecorder::Removal));
        controller.SetOnDeviceUnplug(THidPlugEvent(this, &TEventRecorder::Unplug));
        controller.SetOnEnumerate(THidEnumerateEvent(this, &TEventRecorder::Enumerate));
    }
};

// OnEnumerate that reads both texts, where the device may be opened.
struct TTextProbe {
    QString Product;
    QString Manufacturer;
    bool Enumerate(THidDevice* HidDev, int) {
        Product = HidDev->GetProductText();
        Manufacturer = HidDev->GetManufacturerText();
        return true;
    }
};

// A fresh folder in the system's temporary directory, removed with what it
// holds at the end. Path() is empty when it couldn't be made.
class TTempFolder {
public:
    explicit TTempFolder(const char* prefix)
        : dir_(QDir::tempPath() + QLatin1Char('/') + QLatin1String(prefix) +
               QLatin1String("-XXXXXX")) {
        if (dir_.isValid())
            path_ = QDir::toNativeSeparators(dir_.path()).toStdString();
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    // Creates an empty file in the folder; answers its path.
    std::string File(const char* name) const {
        const std::string file = (std::filesystem::path(path_) / name).string();
        if (FILE* f = std::fopen(file.c_str(), "w"))
            std::fclose(f);
        return file;
    }
    const std::string& Path() const { return path_; }

private:
    QTemporaryDir dir_;
    std::string path_;
};

} // namespace hidtest
