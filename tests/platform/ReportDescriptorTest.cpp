// Report descriptors read into HIDP_CAPS: the descriptors of real devices in descriptors/*.txt
// (format in descriptors/README.md), and broken ones.

#include "platform/hidraw/ReportDescriptor.h"
#include "platform/hidraw/PreparsedData.h"
#include "platform/virtual/TarvenikDescriptor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using hidmodules::parseReportDescriptor;

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

const fs::path kDescriptorFolder = TARVENIK_DESCRIPTOR_DIR;

struct TDescriptorFile {
    Bytes Descriptor;
    std::vector<std::pair<std::string, long>> Caps; // field name, expected value
    std::optional<bool> ReportIds;
    std::string Error; // what is wrong with the file; empty when it reads well
};

USHORT HIDP_CAPS::*CapsField(const std::string& name) {
    static const std::pair<const char*, USHORT HIDP_CAPS::*> kFields[] = {
        {"Usage", &HIDP_CAPS::Usage},
        {"UsagePage", &HIDP_CAPS::UsagePage},
        {"InputReportByteLength", &HIDP_CAPS::InputReportByteLength},
        {"OutputReportByteLength", &HIDP_CAPS::OutputReportByteLength},
        {"FeatureReportByteLength", &HIDP_CAPS::FeatureReportByteLength},
        {"NumberLinkCollectionNodes", &HIDP_CAPS::NumberLinkCollectionNodes},
        {"NumberInputButtonCaps", &HIDP_CAPS::NumberInputButtonCaps},
        {"NumberInputValueCaps", &HIDP_CAPS::NumberInputValueCaps},
        {"NumberInputDataIndices", &HIDP_CAPS::NumberInputDataIndices},
        {"NumberOutputButtonCaps", &HIDP_CAPS::NumberOutputButtonCaps},
        {"NumberOutputValueCaps", &HIDP_CAPS::NumberOutputValueCaps},
        {"NumberOutputDataIndices", &HIDP_CAPS::NumberOutputDataIndices},
        {"NumberFeatureButtonCaps", &HIDP_CAPS::NumberFeatureButtonCaps},
        {"NumberFeatureValueCaps", &HIDP_CAPS::NumberFeatureValueCaps},
        {"NumberFeatureDataIndices", &HIDP_CAPS::NumberFeatureDataIndices},
    };
    for (const auto& [field, member] : kFields)
        if (name == field)
            return member;
    return nullptr;
}

TDescriptorFile ReadDescriptorFile(const fs::path& path) {
    TDescriptorFile file;
    std::ifstream in(path);
    if (!in) {
        file.Error = "cannot be read";
        return file;
    }
    enum class Section { None, Descriptor, Caps } section = Section::None;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string word;
        if (!(words >> word))
            continue;
        const std::string where = "line " + std::to_string(number) + ": ";
        if (word == "descriptor" || word == "caps") {
            section = word == "caps" ? Section::Caps : Section::Descriptor;
        } else if (section == Section::Descriptor) {
            do {
                if (word.size() != 2 || !std::isxdigit(static_cast<unsigned char>(word[0])) ||
                    !std::isxdigit(static_cast<unsigned char>(word[1]))) {
                    file.Error = where + "\"" + word + "\" is not a hex byte";
                    return file;
                }
                file.Descriptor.push_back(static_cast<uint8_t>(std::stoul(word, nullptr, 16)));
            } while (words >> word);
        } else if (section == Section::Caps && word == "report-ids") {
            std::string answer;
            words >> answer;
            if (answer != "yes" && answer != "no") {
                file.Error = where + "report-ids takes yes or no";
                return file;
            }
            file.ReportIds = answer == "yes";
        } else if (section == Section::Caps && CapsField(word) != nullptr) {
            std::string value;
            words >> value;
            try {
                file.Caps.emplace_back(word, std::stol(value, nullptr, 0));
            } catch (const std::exception&) {
                file.Error = where + "\"" + value + "\" is not a number";
                return file;
            }
        } else {
            file.Error = where + "\"" + word + "\" is out of place";
            return file;
        }
    }
    if (file.Descriptor.empty() || file.Caps.empty())
        file.Error = "needs a descriptor and caps";
    return file;
}

std::vector<std::string> DescriptorFileNames() {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(kDescriptorFolder, error))
        if (entry.path().extension() == ".txt")
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class DescriptorFile : public ::testing::TestWithParam<std::string> {};

TEST_P(DescriptorFile, ReadsAsTheCapsWindowsReports) {
    const TDescriptorFile file = ReadDescriptorFile(kDescriptorFolder / GetParam());
    ASSERT_TRUE(file.Error.empty()) << GetParam() << ": " << file.Error;
    const auto summary = parseReportDescriptor(file.Descriptor);
    ASSERT_TRUE(summary.valid);
    for (const auto& [field, expected] : file.Caps)
        EXPECT_EQ(summary.caps.*CapsField(field), expected) << field;
    if (file.ReportIds) {
        EXPECT_EQ(summary.usesReportIds, *file.ReportIds);
    }
}

INSTANTIATE_TEST_SUITE_P(Devices, DescriptorFile, ::testing::ValuesIn(DescriptorFileNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = fs::path(info.param).stem().string();
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST(ReportDescriptor, TheVirtualUnitPresentsTheUnitsDescriptor) {
    const TDescriptorFile file = ReadDescriptorFile(kDescriptorFolder / "tarvenik-unit.txt");
    ASSERT_TRUE(file.Error.empty()) << file.Error;
    EXPECT_EQ(file.Descriptor, Bytes(virtualunit::kTarvenikReportDescriptor.begin(),
                                     virtualunit::kTarvenikReportDescriptor.end()));
}

TEST(ReportDescriptor, MalformedDescriptorsAreRefused) {
    const std::vector<std::pair<const char*, Bytes>> cases{
        {"empty", {}},
        {"no collection", {0x05, 0x01, 0x75, 0x08}},
        {"item cut short", {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x26, 0xFF}},
        {"long item cut short", {0x05, 0x01, 0xA1, 0x01, 0xFE, 0x05, 0x00, 0x01, 0xC0}},
        {"collection left open", {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01}},
        {"end without collection", {0x05, 0x01, 0xC0, 0xA1, 0x01, 0xC0}},
        {"report id 0", {0x05, 0x01, 0xA1, 0x01, 0x85, 0x00, 0xC0}},
        {"report outside a collection", {0x75, 0x08, 0x95, 0x01, 0x81, 0x02}},
        {"report without id among numbered ones",
         {0x05, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0x85, 0x01, 0x81, 0x02,
          0xC0}},
        {"pop without push", {0x05, 0x01, 0xA1, 0x01, 0xB4, 0xC0}},
        {"reserved item type", {0x05, 0x01, 0xA1, 0x01, 0x0C, 0xC0}},
        {"unknown main item", {0x05, 0x01, 0xA1, 0x01, 0xF0, 0xC0}},
        {"report size beyond 256 bits", {0x05, 0x01, 0xA1, 0x01, 0x76, 0x01, 0x01, 0xC0}},
    };
    for (const auto& [name, bytes] : cases)
        EXPECT_FALSE(parseReportDescriptor(bytes).valid) << name;

    Bytes deep{0x05, 0x01, 0xA1, 0x01};
    for (int i = 0; i < 17; ++i)
        deep.push_back(0xA4);
    deep.push_back(0xC0);
    EXPECT_FALSE(parseReportDescriptor(deep).valid) << "push stack overflow";

    // 300 items of 256 x 8 bits: far beyond what a report length can say.
    Bytes huge{0x05, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x96, 0x00, 0x01};
    for (int i = 0; i < 300; ++i) {
        huge.push_back(0x81);
        huge.push_back(0x02);
    }
    huge.push_back(0xC0);
    EXPECT_FALSE(parseReportDescriptor(huge).valid) << "report longer than 65534 bytes";
}

TEST(PreparsedData, CapsOnlyForLiveHandlesOfWellFormedDescriptors) {
    HIDP_CAPS caps{};
    const Bytes mouse = ReadDescriptorFile(kDescriptorFolder / "boot-mouse.txt").Descriptor;
    const auto good = hidmodules::createPreparsedData(parseReportDescriptor(mouse));
    const auto bad = hidmodules::createPreparsedData(parseReportDescriptor(Bytes{0xA1, 0x01}));
    EXPECT_EQ(hidmodules::capsFromPreparsedData(good, &caps), HIDP_STATUS_SUCCESS);
    EXPECT_EQ(caps.InputReportByteLength, 4);
    EXPECT_EQ(hidmodules::capsFromPreparsedData(good, nullptr), HIDP_STATUS_INVALID_PREPARSED_DATA);
    EXPECT_EQ(hidmodules::capsFromPreparsedData(bad, &caps), HIDP_STATUS_INVALID_PREPARSED_DATA);
    int notOurs = 0;
    EXPECT_EQ(
        hidmodules::capsFromPreparsedData(reinterpret_cast<PHIDP_PREPARSED_DATA>(&notOurs), &caps),
        HIDP_STATUS_INVALID_PREPARSED_DATA);
    EXPECT_TRUE(hidmodules::freePreparsedData(good));
    EXPECT_TRUE(hidmodules::freePreparsedData(bad));
    EXPECT_FALSE(hidmodules::freePreparsedData(good));
    EXPECT_EQ(hidmodules::capsFromPreparsedData(good, &caps), HIDP_STATUS_INVALID_PREPARSED_DATA);
}

} // namespace
